// Drives the real program from outside, as a user would: starts it with
// CreateProcess, finds its windows and message boxes by process, ticks
// drives, presses buttons, answers boxes and reads the exit code.
//
//   brindle_e2e_driver scan PROGRAM DRIVE
//       scans DRIVE alone to completion, then File > Exit
//   brindle_e2e_driver second-copy PROGRAM
//       a second copy beside a minimised first one
//   brindle_e2e_driver refused PROGRAM ID...
//       start-up shows exactly the boxes ID... and ends
//   brindle_e2e_driver scan-cancel-scan PROGRAM DRIVE LARGE_DRIVE
//       scans DRIVE to completion, cancels a scan of LARGE_DRIVE while it
//       runs, scans DRIVE again, then File > Exit
//   brindle_e2e_driver stop-during-scan PROGRAM DRIVE close|exit
//       closes the main window (close box or File > Exit) while DRIVE is
//       being scanned
//   brindle_e2e_driver log-matches LOG EXPECTED
//       the log LOG, its dates masked as @DATE@, equals the document
//       EXPECTED (kept with either line end) byte for byte
//   brindle_e2e_driver pose PROGRAM idle|scanning|about READY DONE [DRIVE...]
//       brings the program into a state for a screenshot (scanning: the
//       DRIVEs ticked, the last one being scanned), creates the file READY,
//       waits for the file DONE and closes the program
//
// Every message box it answers must show the expected string with the icon
// that string is shown with. Prints what it sees and exits 0 when every
// expectation held, 1 otherwise.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/resources/resource.h"
#include "tests/support/log_dates.h"
#include "tests/support/string_table.h"
#include "tests/wine/support/wine_support.h"

namespace {

// The icon of each box the driver may meet, as a message box style value.
struct BoxIcon {
    unsigned stringId;
    unsigned icon;
};

const BoxIcon kBoxIcons[] = {
    {IDS_NOT_ZYPHOR_PROCESSOR, MB_ICONERROR},
    {IDS_OS_NOT_SUPPORTED, MB_ICONERROR},
    {IDS_ALREADY_RUNNING, MB_ICONWARNING},
    {IDS_FILE_SCAN_FAILED, MB_ICONERROR},
    {IDS_SCAN_CANCELED, MB_ICONWARNING},
    {IDS_SCAN_COMPLETED, MB_ICONINFORMATION},
};

const char *IconName(unsigned icon)
{
    switch (icon) {
    case 0: return "no icon";
    case MB_ICONERROR: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    default: return "an icon that is none of the system's";
    }
}

const char MAIN_CLASS[] = "VQBRDM32ClASS";
const DWORD START_TIMEOUT_MS = 30000;
const DWORD SCAN_TIMEOUT_MS = 60000;
const DWORD EXIT_TIMEOUT_MS = 30000;
const DWORD POLL_MS = 50;

bool g_failed = false;

void Note(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

void Fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    printf("FAIL: ");
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
    g_failed = true;
}

struct Program {
    PROCESS_INFORMATION info;
    bool running;
};

bool Start(const char *path, Program &program)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = std::string("\"") + path + "\"";
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    program.running = CreateProcessA(path, buffer.data(), 0, 0, FALSE, 0, 0, 0, &startup,
                                     &program.info) != 0;
    if (!program.running)
        Fail("cannot start %s (error %lu)", path, GetLastError());
    return program.running;
}

// Ends a program that is left over after a failure, so that the test never
// leaves a process behind.
void Abandon(Program &program)
{
    if (!program.running)
        return;
    if (WaitForSingleObject(program.info.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(program.info.hProcess, 99);
    CloseHandle(program.info.hProcess);
    CloseHandle(program.info.hThread);
    program.running = false;
}

// The exit code once the program has ended, or -1 after the time-out.
long WaitForExit(Program &program, DWORD timeoutMs)
{
    if (WaitForSingleObject(program.info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(program.info.hProcess, &code);
    CloseHandle(program.info.hProcess);
    CloseHandle(program.info.hThread);
    program.running = false;
    return static_cast<long>(code);
}

bool HasEnded(const Program &program)
{
    return WaitForSingleObject(program.info.hProcess, 0) == WAIT_OBJECT_0;
}

struct WindowQuery {
    DWORD processId;
    const char *className;  // 0: a message box of the process
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter)
{
    WindowQuery *query = reinterpret_cast<WindowQuery *>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query->processId || !IsWindowVisible(window))
        return TRUE;
    bool wanted = false;
    if (query->className == 0) {
        wanted = IsMessageBox(window);
    } else {
        char className[64] = "";
        GetClassNameA(window, className, sizeof className);
        wanted = strcmp(className, query->className) == 0;
    }
    if (wanted) {
        query->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the program with the given class, or, for
// class 0, a message box of the program; 0 when there is none.
HWND FindTopLevel(const Program &program, const char *className)
{
    WindowQuery query = {program.info.dwProcessId, className, 0};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

std::string TextOf(HWND window)
{
    char text[512] = "";
    DWORD_PTR length = 0;
    // WM_GETTEXT with a time-out: the program's interface thread may be
    // waiting for its worker.
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &length))
        return std::string();
    return std::string(text);
}

// Waits for a message box of the program. False after the time-out or
// when the program ends first.
bool WaitForBox(const Program &program, DWORD timeoutMs, SeenBox &box)
{
    for (DWORD waited = 0; waited <= timeoutMs; waited += POLL_MS) {
        HWND window = FindTopLevel(program, 0);
        if (window != 0 && ReadMessageBox(window, &box))
            return true;
        if (HasEnded(program))
            return false;
        Sleep(POLL_MS);
    }
    return false;
}

void Answer(const SeenBox &box)
{
    PressOk(box.window);
    WaitForWindowGone(box.window, 5000);
}

// The box `box`, showing string `id`, has the icon that string is shown
// with. The icon is told from the screen (another process's icon handle
// means nothing here), so a box not yet painted is looked at once more.
bool HasIconOf(const SeenBox &box, unsigned id)
{
    const BoxIcon *expected = 0;
    for (const BoxIcon &known : kBoxIcons)
        if (known.stringId == id)
            expected = &known;
    if (expected == 0) {
        Fail("the driver knows no icon for string %u", id);
        return false;
    }
    unsigned icon = box.icon;
    if (icon == ICON_UNKNOWN)
        icon = IconStyleFromScreen(box.window, 3000);
    if (icon != expected->icon) {
        Fail("the box of string %u shows %s, expected %s", id, IconName(icon),
             IconName(expected->icon));
        return false;
    }
    return true;
}

// Expects the next box to show string `id`; with `caption` given, also that
// caption. Answers it either way.
bool ExpectBox(const Program &program, unsigned id, const char *caption, DWORD timeoutMs)
{
    SeenBox box;
    if (!WaitForBox(program, timeoutMs, box)) {
        Fail("no box with string %u (\"%s\") appeared", id, StringTableText(id));
        return false;
    }
    bool good = box.text == StringTableText(id);
    if (!good)
        Fail("expected string %u (\"%s\"), the box says \"%s\"", id, StringTableText(id),
             box.text.c_str());
    else
        Note("box: \"%s\" (caption \"%s\", %s icon)", box.text.c_str(), box.caption.c_str(),
             IconName(box.icon));
    if (good && caption != 0 && box.caption != caption) {
        Fail("box %u has caption \"%s\", expected \"%s\"", id, box.caption.c_str(), caption);
        good = false;
    }
    good = good && HasIconOf(box, id);
    Answer(box);
    return good;
}

HWND WaitForMainWindow(const Program &program)
{
    for (DWORD waited = 0; waited <= START_TIMEOUT_MS; waited += POLL_MS) {
        // The dialog is shown once its initialisation has run.
        HWND window = FindTopLevel(program, MAIN_CLASS);
        HWND dialog = window != 0 ? FindWindowExA(window, 0, "#32770", 0) : 0;
        if (dialog != 0 && IsWindowVisible(dialog))
            return window;
        SeenBox box;
        if (WaitForBox(program, 0, box)) {
            Fail("start-up shows \"%s\" instead of the main window", box.text.c_str());
            return 0;
        }
        if (HasEnded(program)) {
            Fail("the program ended without a main window");
            return 0;
        }
        Sleep(POLL_MS);
    }
    Fail("no main window within %lu ms", START_TIMEOUT_MS);
    return 0;
}

HWND MainDialogOf(HWND mainWindow)
{
    return FindWindowExA(mainWindow, 0, "#32770", 0);
}

// Ticks the checkboxes of `drives` and unticks every other one, so that
// the scan never walks Wine's own C: drive.
bool TickDrives(HWND dialog, const std::vector<std::string> &drives)
{
    std::string missing;
    if (TickOnly(dialog, drives, &missing))
        return true;
    Fail("the main dialog has no checkbox for %s that a click ticks", missing.c_str());
    return false;
}

void Press(HWND dialog, int buttonId)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, buttonId), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
}

bool WaitUntilVisible(HWND control, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited <= timeoutMs; waited += POLL_MS) {
        if (IsWindowVisible(control))
            return true;
        Sleep(POLL_MS);
    }
    return false;
}

bool ExpectExitCodeZero(Program &program, const char *what)
{
    long code = WaitForExit(program, EXIT_TIMEOUT_MS);
    if (code == -1) {
        Fail("%s: the program did not end within %lu ms", what, EXIT_TIMEOUT_MS);
        return false;
    }
    Note("%s: exit code %ld", what, code);
    if (code != 0) {
        Fail("%s: exit code %ld, expected 0", what, code);
        return false;
    }
    return true;
}

// Starts the program and waits for its main dialog. False (the program
// abandoned) when it shows no main window.
bool StartToMainDialog(const char *path, Program &program, HWND &mainWindow, HWND &dialog)
{
    if (!Start(path, program))
        return false;
    mainWindow = WaitForMainWindow(program);
    dialog = mainWindow != 0 ? MainDialogOf(mainWindow) : 0;
    if (dialog == 0)
        Abandon(program);
    return dialog != 0;
}

// One complete scan of `drive` alone in a running program: the completion
// box with the window title as its caption, then Start shown again.
bool ScanToCompletion(const Program &program, HWND dialog, const char *drive)
{
    if (!TickDrives(dialog, {drive}))
        return false;
    Press(dialog, IDC_START);
    if (!ExpectBox(program, IDS_SCAN_COMPLETED, StringTableText(IDS_WINDOW_TITLE), SCAN_TIMEOUT_MS))
        return false;
    if (!WaitUntilVisible(GetDlgItem(dialog, IDC_START), 5000)) {
        Fail("Start is not shown again after the scan");
        return false;
    }
    return true;
}

// Starts a scan of `drives` (in the table's order) and waits until the
// worker shows the last one's label, that is, walks that drive.
bool StartScanOf(HWND dialog, const std::vector<std::string> &drives)
{
    if (drives.empty()) {
        Fail("no drive to scan");
        return false;
    }
    if (!TickDrives(dialog, drives))
        return false;
    Press(dialog, IDC_START);
    HWND driveText = GetDlgItem(dialog, IDC_DRIVE_TEXT);
    for (DWORD waited = 0; waited <= START_TIMEOUT_MS; waited += 10) {
        if (_stricmp(TextOf(driveText).c_str(), drives.back().c_str()) == 0)
            return true;
        Sleep(10);
    }
    Fail("the scan of %s did not start", drives.back().c_str());
    return false;
}

// File > Exit after a finished scan: the program ends with exit code 0.
bool ExitAfterScan(Program &program, HWND mainWindow)
{
    // Give the worker its last step, handing the log to the shell.
    Sleep(500);
    PostMessageA(mainWindow, WM_COMMAND, IDM_EXIT, 0);
    return ExpectExitCodeZero(program, "after File > Exit");
}

// One complete scan of `drive`, then File > Exit.
bool RunScan(const char *path, const char *drive)
{
    Program program = {};
    HWND mainWindow = 0;
    HWND dialog = 0;
    if (!StartToMainDialog(path, program, mainWindow, dialog))
        return false;
    bool good = ScanToCompletion(program, dialog, drive) && ExitAfterScan(program, mainWindow);
    Abandon(program);
    return good;
}

// The label of the drive table's last entry (the last shown checkbox).
std::string LastDriveLabel(HWND dialog)
{
    std::string last;
    for (int slot = 0; slot <= IDC_LAST_DRIVE_CHECK - IDC_FIRST_DRIVE_CHECK; ++slot) {
        if (IsWindowVisible(GetDlgItem(dialog, IDC_FIRST_DRIVE_CHECK + slot)))
            last = TextOf(GetDlgItem(dialog, IDC_FIRST_DRIVE_LABEL + slot));
    }
    return last;
}

// Cancel while `drive` is being scanned: the dialog waits for the worker,
// clears the drive text and returns to idle. The worker sees the stop inside
// the drive and goes on to the table's next entry, where it posts the
// "cancelled" notice; when the drive is the table's last entry there is no
// next pass, and so no box.
bool CancelDuringScan(const Program &program, HWND dialog, const char *drive)
{
    bool boxExpected = _stricmp(LastDriveLabel(dialog).c_str(), drive) != 0;
    if (!StartScanOf(dialog, {drive}))
        return false;
    DWORD before = GetTickCount();
    Press(dialog, IDC_CANCEL);
    bool good = true;
    if (boxExpected) {
        good = ExpectBox(program, IDS_SCAN_CANCELED, 0, EXIT_TIMEOUT_MS);
    } else {
        SeenBox box;
        if (WaitForBox(program, 1000, box)) {
            Fail("cancelling the table's last drive shows \"%s\"", box.text.c_str());
            Answer(box);
            good = false;
        }
    }
    if (good && !WaitUntilVisible(GetDlgItem(dialog, IDC_START), 5000)) {
        Fail("Start is not shown again after Cancel");
        good = false;
    }
    if (good && !TextOf(GetDlgItem(dialog, IDC_DRIVE_TEXT)).empty()) {
        Fail("the drive text still says \"%s\" after Cancel",
             TextOf(GetDlgItem(dialog, IDC_DRIVE_TEXT)).c_str());
        good = false;
    }
    if (good)
        Note("Cancel while %s was scanned: idle again after %lu ms, %s", drive,
             GetTickCount() - before, boxExpected ? "after the box" : "no box");
    return good;
}

// A scan of `drive` to completion, a scan of `largeDrive` cancelled while it
// runs, a second complete scan of `drive`, then File > Exit.
bool RunScanCancelScan(const char *path, const char *drive, const char *largeDrive)
{
    Program program = {};
    HWND mainWindow = 0;
    HWND dialog = 0;
    if (!StartToMainDialog(path, program, mainWindow, dialog))
        return false;
    bool good = ScanToCompletion(program, dialog, drive) &&
                CancelDuringScan(program, dialog, largeDrive) &&
                ScanToCompletion(program, dialog, drive) && ExitAfterScan(program, mainWindow);
    Abandon(program);
    return good;
}

// A second copy beside a minimised first: string 5 with no window of its
// own, exit code 0, and the first copy goes on, still minimised.
bool RunSecondCopy(const char *path)
{
    Program first = {};
    Program second = {};
    if (!Start(path, first))
        return false;
    HWND firstWindow = WaitForMainWindow(first);
    bool good = firstWindow != 0;
    // A window of the driver's own takes the foreground, so that handing it
    // back to the first copy can be seen.
    TestWindow elsewhere("Brindlemark e2e: another program");
    if (good) {
        ShowWindow(firstWindow, SW_MINIMIZE);
        ShowWindow(elsewhere.handle(), SW_SHOW);
        SetForegroundWindow(elsewhere.handle());
        PumpMessagesFor(200);
        if (GetForegroundWindow() != elsewhere.handle()) {
            Fail("the driver's window cannot take the foreground");
            good = false;
        }
    }
    if (good)
        good = Start(path, second);
    if (good) {
        SeenBox box;
        good = WaitForBox(second, START_TIMEOUT_MS, box);
        if (!good) {
            Fail("the second copy shows no box");
        } else {
            Note("second copy: \"%s\" (caption \"%s\")", box.text.c_str(),
                 box.caption.c_str());
            if (box.text != StringTableText(IDS_ALREADY_RUNNING)) {
                Fail("the second copy's box says \"%s\"", box.text.c_str());
                good = false;
            } else if (!HasIconOf(box, IDS_ALREADY_RUNNING)) {
                good = false;
            }
            if (FindTopLevel(second, MAIN_CLASS) != 0) {
                Fail("the second copy has a main window behind its box");
                good = false;
            }
            Answer(box);
        }
    }
    if (good)
        good = ExpectExitCodeZero(second, "second copy");
    if (good) {
        if (HasEnded(first) || !IsWindow(firstWindow)) {
            Fail("the first copy did not survive the second");
            good = false;
        } else if (!IsIconic(firstWindow)) {
            Fail("the first copy's window was restored; it should stay minimised");
            good = false;
        } else if (GetForegroundWindow() != firstWindow) {
            Fail("the first copy's window was not brought to the foreground");
            good = false;
        } else {
            Note("first copy still runs, its window minimised and in the foreground");
        }
    }
    if (good) {
        PostMessageA(firstWindow, WM_CLOSE, 0, 0);
        good = ExpectExitCodeZero(first, "first copy after WM_CLOSE");
    }
    Abandon(second);
    Abandon(first);
    return good;
}

// Start-up refused: the boxes `ids` in that order, no main window, exit 0.
bool RunRefused(const char *path, const std::vector<unsigned> &ids)
{
    Program program = {};
    if (!Start(path, program))
        return false;
    bool good = true;
    for (unsigned id : ids) {
        if (!good)
            break;
        if (FindTopLevel(program, MAIN_CLASS) != 0) {
            Fail("a main window exists although start-up is refused");
            good = false;
            break;
        }
        good = ExpectBox(program, id, 0, START_TIMEOUT_MS);
    }
    if (good)
        good = ExpectExitCodeZero(program, "refused start-up");
    Abandon(program);
    return good;
}

// Closes the main window while `drive` is being scanned. The program must
// wait for its worker (which writes the log's stopped footer) and end with
// exit code 0, with no box on the way.
bool RunStopDuringScan(const char *path, const char *drive, bool byMenu)
{
    Program program = {};
    HWND mainWindow = 0;
    HWND dialog = 0;
    if (!StartToMainDialog(path, program, mainWindow, dialog))
        return false;
    bool good = StartScanOf(dialog, {drive});
    if (good) {
        DWORD before = GetTickCount();
        if (byMenu)
            PostMessageA(mainWindow, WM_COMMAND, IDM_EXIT, 0);
        else  // what the close box sends; the default procedure makes it WM_CLOSE
            PostMessageA(mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
        long code = WaitForExit(program, EXIT_TIMEOUT_MS);
        DWORD took = GetTickCount() - before;
        SeenBox box;
        if (code == -1) {
            if (WaitForBox(program, 0, box))
                Fail("closing during the scan shows \"%s\"", box.text.c_str());
            else
                Fail("the program did not end within %lu ms of the close", EXIT_TIMEOUT_MS);
            good = false;
        } else {
            Note("%s during the scan: ended after %lu ms, exit code %ld",
                 byMenu ? "File > Exit" : "close box", took, code);
            if (code != 0) {
                Fail("exit code %ld, expected 0", code);
                good = false;
            }
        }
    }
    Abandon(program);
    return good;
}

bool FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The program's own top-level dialog (the About box): a visible "#32770"
// window of the process that is not a message box.
HWND FindOwnDialog(const Program &program)
{
    HWND window = 0;
    while ((window = FindWindowExA(0, window, "#32770", 0)) != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == program.info.dwProcessId && IsWindowVisible(window) &&
            !IsMessageBox(window))
            return window;
    }
    return 0;
}

bool Pose(const char *path, const std::string &state, const char *readyFile,
          const char *doneFile, const std::vector<std::string> &drives)
{
    Program program = {};
    if (!Start(path, program))
        return false;
    HWND mainWindow = WaitForMainWindow(program);
    bool good = mainWindow != 0;
    HWND dialog = good ? MainDialogOf(mainWindow) : 0;
    HWND about = 0;
    if (good && state == "scanning") {
        good = StartScanOf(dialog, drives);
    } else if (good && state == "about") {
        PostMessageA(mainWindow, WM_COMMAND, IDM_ABOUT, 0);
        for (DWORD waited = 0; waited <= START_TIMEOUT_MS && about == 0; waited += POLL_MS) {
            about = FindOwnDialog(program);
            if (about == 0)
                Sleep(POLL_MS);
        }
        good = about != 0;
        if (!good)
            Fail("the About box did not appear");
    } else if (good && state != "idle") {
        Fail("unknown state %s", state.c_str());
        good = false;
    }
    if (good) {
        Sleep(300);  // let the windows paint
        FILE *ready = fopen(readyFile, "w");
        if (ready != 0)
            fclose(ready);
        for (DWORD waited = 0; waited <= 60000 && !FileExists(doneFile); waited += POLL_MS)
            Sleep(POLL_MS);
    }
    if (about != 0) {
        PostMessageA(about, WM_COMMAND, IDOK, 0);
        WaitForWindowGone(about, 5000);
    }
    if (mainWindow != 0) {
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
        good = ExpectExitCodeZero(program, "after the pose") && good;
    }
    Abandon(program);
    return good;
}

bool ReadWholeFile(const char *path, std::string &content)
{
    FILE *file = fopen(path, "rb");
    if (file == 0)
        return false;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, got);
    bool read = ferror(file) == 0;
    fclose(file);
    return read;
}

// The log against the expected document; on a difference, prints the first
// line that differs.
int LogMatches(const char *logPath, const char *expectedPath)
{
    std::string log, expected;
    if (!ReadWholeFile(logPath, log) || !ReadWholeFile(expectedPath, expected)) {
        Fail("cannot read %s or %s", logPath, expectedPath);
        return 1;
    }
    std::vector<std::string> malformed;
    std::string masked = MaskLogDates(log, "@DATE@", &malformed);
    for (const std::string &date : malformed)
        Fail("the log's date text \"%s\" is not of the form \"Www Mmm dd hh:mm:ss yyyy\"",
             date.c_str());
    expected = WithCrLf(expected);
    if (masked != expected) {
        size_t at = 0, line = 1;
        while (at < masked.size() && at < expected.size() && masked[at] == expected[at]) {
            line += masked[at] == '\n';
            ++at;
        }
        size_t start = masked.rfind('\n', at == 0 ? 0 : at - 1);
        start = start == std::string::npos ? 0 : start + 1;
        Fail("the log differs from %s from line %u on:\n  log:      \"%s\"\n  expected: \"%s\"",
             expectedPath, static_cast<unsigned>(line),
             masked.substr(start, masked.find('\n', start) - start).c_str(),
             expected.substr(start, expected.find('\n', start) - start).c_str());
        return 1;
    }
    if (!malformed.empty())
        return 1;
    Note("the log equals %s (%u bytes)", expectedPath, static_cast<unsigned>(log.size()));
    return 0;
}

// The version this process is told it runs on, "platform major.minor", as
// the program under test reads it: the prefix's version setting took.
int PrintOsVersion()
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return 1;
    printf("%lu %lu.%lu\n", info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
    return 0;
}

int Usage()
{
    printf("usage: brindle_e2e_driver scan|scan-cancel-scan|second-copy|refused|stop-during-scan|pose|log-matches|os-version ...\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "os-version") == 0)
        return PrintOsVersion();
    if (argc == 4 && strcmp(argv[1], "log-matches") == 0)
        return LogMatches(argv[2], argv[3]);
    if (argc < 3)
        return Usage();
    std::string scenario = argv[1];
    const char *program = argv[2];
    bool good = false;
    if (scenario == "scan" && argc == 4) {
        good = RunScan(program, argv[3]);
    } else if (scenario == "scan-cancel-scan" && argc == 5) {
        good = RunScanCancelScan(program, argv[3], argv[4]);
    } else if (scenario == "second-copy" && argc == 3) {
        good = RunSecondCopy(program);
    } else if (scenario == "refused" && argc >= 4) {
        std::vector<unsigned> ids;
        for (int i = 3; i < argc; ++i)
            ids.push_back(static_cast<unsigned>(atoi(argv[i])));
        good = RunRefused(program, ids);
    } else if (scenario == "stop-during-scan" && argc == 5) {
        std::string how = argv[4];
        if (how != "close" && how != "exit")
            return Usage();
        good = RunStopDuringScan(program, argv[3], how == "exit");
    } else if (scenario == "pose" && argc >= 6) {
        std::vector<std::string> drives(argv + 6, argv + argc);
        good = Pose(program, argv[3], argv[4], argv[5], drives);
    } else {
        return Usage();
    }
    printf("%s: %s\n", scenario.c_str(), good && !g_failed ? "passed" : "FAILED");
    return good && !g_failed ? 0 : 1;
}
