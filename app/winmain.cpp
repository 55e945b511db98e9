#include <windows.h>
#include <cstdint>

#include "app/gate.h"
#include "app/mainwindow.h"
#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"

namespace {

const uint32_t SupportedOsCodes[] = {
    OS_CODE_NT4, OS_CODE_2000, OS_CODE_95, OS_CODE_98, OS_CODE_ME, OS_CODE_LIST_END
};

// Another copy owns the mutex: tell the user and hand the desktop back to the
// first copy's window, minimised or not.
void DeferToRunningCopy(HANDLE mutex)
{
    ReportMessage(IDS_ALREADY_RUNNING, ICON_WARNING);
    HWND firstCopy = FindWindowA(MAIN_WINDOW_CLASS, 0);
    if (firstCopy != 0)
        SetForegroundWindow(firstCopy);
    CloseHandle(mutex);
}

bool PassGate()
{
    uint32_t osCode = 0;
    if (!IdentifyOs(SupportedOsCodes, &osCode)) {
        ReportMessage(IDS_OS_NOT_SUPPORTED, ICON_ERROR);
        return false;
    }
    // An affinity failure has already shown string 6 inside the check.
    if (!CheckProcessors(REQUIRED_PROCESSOR_FAMILY, osCode)) {
        ReportMessage(IDS_NOT_ZYPHOR_PROCESSOR, ICON_ERROR);
        return false;
    }
    return true;
}

void ResetScanState()
{
    g_shared.drives.count = 0;
    g_shared.drives.selectedCount = 0;
    g_shared.StopRequested = 0;
    g_shared.ListedCount = 0;
}

// No dialog keyboard processing and no accelerators: the main dialog takes
// its commands from its buttons and the File menu only.
void RunMessageLoop()
{
    MSG message;
    // GetMessageA gives -1 on a failure, which would otherwise spin for ever.
    while (GetMessageA(&message, 0, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

// The exit code is 0 on every path, failures included. Messages shown before
// the main window exists load their text from this module (instance 0).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // Held, never released, for the life of the process: its name is what
    // tells a later copy that this one runs.
    HANDLE mutex = CreateMutexA(0, TRUE, "VQBMutex");
    if (mutex == 0)
        return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        DeferToRunningCopy(mutex);
        return 0;
    }

    if (!PassGate())
        return 0;

    ResetScanState();

    if (!RegisterMainClass(instance)) {
        ReportMessage(IDS_WINDOW_INIT_FAILED, ICON_ERROR);
        return 0;
    }
    if (!CreateMainWindows(instance, showCommand)) {
        ReportMessage(IDS_WINDOW_CREATION_FAILED, ICON_ERROR);
        return 0;
    }

    RunMessageLoop();
    return 0;
}
