// The program's entry point: the checks that must be able to speak on any
// x86 processor Windows runs on, before the C runtime starts.
//
// The C runtime's own start-up code, like the rest of the runtime, is built
// for processors from the Pentium Pro on and executes their instructions
// before WinMain is reached. On an older processor it would fault before the
// processor gate could tell the user that the machine is not supported. So
// the image's entry point is here: this file and everything it reaches is
// compiled for the i386 and calls only the system and our own code. It takes
// the single-instance mutex and runs the OS and processor gate; only when
// they pass does it hand over to the runtime's start-up, which initialises
// the runtime, runs the static constructors and calls WinMain for the rest.
//
// Nothing of the runtime has run here: no static constructors, no runtime
// initialisation, no pseudo-relocations. Only the loader's work is done, so
// the code reads only zero-filled or constant data and ends the process
// itself when it stops.

#include <windows.h>
#include <cstdint>

#include "app/gate.h"
#include "app/mainwindow.h"
#include "app/report.h"
#include "app/resources/resource.h"

extern "C" {

// The runtime's start-up for a GUI program (the runtime's own entry point
// when a program names none): initialises the runtime, runs the static
// constructors, calls WinMain and ends the process with its result.
int WinMainCRTStartup(void);

// The entry point the link names. Ends the process with exit code 0 when
// another copy runs or the gate is closed; otherwise continues as the
// runtime's start-up, and does not return.
int BrindleStartup(void);

}  // extern "C"

namespace {

const uint32_t kSupportedOsCodes[] = {
    OS_CODE_NT4, OS_CODE_2000, OS_CODE_95, OS_CODE_98, OS_CODE_ME, OS_CODE_LIST_END
};

// Another copy owns the mutex: tell the user and hand the desktop back to the
// first copy's window, minimised or not.
void DeferToRunningCopy(HANDLE mutex)
{
    ReportMessage(IDS_ALREADY_RUNNING, ICON_WARNING);
    HWND firstCopy = FindWindowA(kMainWindowClass, 0);
    if (firstCopy != 0)
        SetForegroundWindow(firstCopy);
    CloseHandle(mutex);
}

bool PassGate()
{
    uint32_t osCode = 0;
    if (!IdentifyOs(kSupportedOsCodes, &osCode)) {
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

// True when this is the only copy and the gate has passed; on false the
// user has been told why (nothing, when the mutex cannot be created).
// Messages load their text from this module (instance 0): the instance
// handle is stored only later, with the main window.
bool StartUpChecksPass()
{
    // Held, never released, for the life of the process: its name is what
    // tells a later copy that this one runs.
    HANDLE mutex = CreateMutexA(0, TRUE, "VQBMutex");
    if (mutex == 0)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        DeferToRunningCopy(mutex);
        return false;
    }
    return PassGate();
}

}  // namespace

int BrindleStartup(void)
{
    // The runtime is not started, so there is no exit() to call: the process
    // ends here, with the exit code every path of the program has.
    if (!StartUpChecksPass())
        ExitProcess(0);
    return WinMainCRTStartup();
}
