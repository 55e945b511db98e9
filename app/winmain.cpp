#include <windows.h>

#include "app/mainwindow.h"
#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"

namespace {

void ResetScanState()
{
    g_shared.drives.count = 0;
    g_shared.drives.selectedCount = 0;
    g_shared.StopRequested = 0;
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

// Called by the runtime's start-up, which the entry point (startup.cpp)
// hands over to only once this is the one running copy and the OS and
// processor gate have passed; the mutex is held from there on. The exit code
// is 0 on every path, failures included.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
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
