#include "platform/processor.h"

#include <windows.h>

static_assert(sizeof(AffinityMask) == sizeof(DWORD_PTR), "masks are pointer-sized");

bool ReadProcessAffinity(AffinityMask *processMask, AffinityMask *systemMask)
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        return false;
    *processMask = process;
    *systemMask = system;
    return true;
}

uint32_t ReportedProcessorCount()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

bool BindCurrentThread(AffinityMask mask)
{
    // The earlier mask comes back on success; 0 means refused.
    return SetThreadAffinityMask(GetCurrentThread(), mask) != 0;
}
