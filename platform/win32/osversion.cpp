#include "platform/osversion.h"

#include <windows.h>

#include <cstring>

bool QueryOsVersion(OsVersionRecord *record)
{
    // The system writes into its own record, whose form the size field
    // names; our record has the same layout and is copied back field by
    // field so that neither depends on the other's padding.
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = record->size;
    if (record->size != sizeof(OSVERSIONINFOEXA) && record->size != sizeof(OSVERSIONINFOA))
        return false;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&info)))
        return false;

    record->majorVersion = info.dwMajorVersion;
    record->minorVersion = info.dwMinorVersion;
    record->buildNumber = info.dwBuildNumber;
    record->platformId = info.dwPlatformId;
    std::memcpy(record->servicePackText, info.szCSDVersion, sizeof record->servicePackText);
    if (record->size == sizeof(OSVERSIONINFOEXA)) {
        record->servicePackMajor = info.wServicePackMajor;
        record->servicePackMinor = info.wServicePackMinor;
        record->suiteMask = info.wSuiteMask;
        record->productType = info.wProductType;
        record->reserved = info.wReserved;
    }
    return true;
}

static_assert(sizeof(OSVERSIONINFOEXA) == OS_VERSION_EXTENDED_SIZE, "extended record");
static_assert(sizeof(OSVERSIONINFOA) == OS_VERSION_BASIC_SIZE, "basic record");
