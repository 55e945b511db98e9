// The scan worker: one thread per scan, from reading the ticks to handing
// the finished log to the shell. It is the one place that joins the scan
// engine, the log and the dialog. It reaches the dialog in three ways only:
// it reads the drive checkboxes' ticks when it starts, it shows and sets
// the texts of the drive text, "LogFile:" and log path controls, and it
// posts notices. Its progress bar is its own window, on the main window.
#include "ui/worker.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "app/mainwindow.h"
#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "log/log.h"
#include "platform/path.h"
#include "platform/shell.h"
#include "scan/catalogue.h"
#include "scan/drivescan.h"
#include "ui/drivetable.h"
#include "ui/maindialog.h"

HANDLE g_latestWorker = 0;

namespace {

// A drive's root pattern, "C:\\*", and its terminator.
enum { DRIVE_PATTERN_SIZE = 5 };

// What one scan owns from its start to its end.
struct ScanRun {
    HWND dialog;
    Catalogue catalogue;
    char logPath[PATH_SIZE];
    ScanLog log;     // its file 0 once closed
    HWND progress;
    bool failed;     // a drive failed, or the log did not reach the file
    bool exception;  // the exception guard ended a drive and closed the log
};

// Workers replaced by a newer Start before they had ended. Touched by the
// interface thread only.
std::vector<HANDLE> g_earlierWorkers;

// Set while StopWorkerAndWait waits. The wait answers messages sent to the
// interface thread, so a Start command can arrive inside it: it must not
// start a worker while the stop request is still set, nor change the
// workers the wait is going through.
bool g_waitingForWorkers = false;

bool StopRequested()
{
    return g_shared.StopRequested.load() != 0;
}

void PostNotice(const ScanRun &run, ScanNotice notice)
{
    PostMessageA(run.dialog, WM_SCAN_NOTIFY, notice, 0);
}

// The one place the worker closes its log; true when everything written
// reached the file. A log that is not open is left alone.
bool CloseScanLog(ScanRun &run)
{
    if (run.log.file == 0)
        return true;
    bool written = CloseLog(run.log.file);
    run.log.file = 0;
    return written;
}

void Release(ScanRun &run)
{
    CloseScanLog(run);
    if (run.progress)
        DestroyWindow(run.progress);
    run.progress = 0;
    ReleaseCatalogue(&run.catalogue);
}

// Ticks, catalogue, log path and log, in this order. Returns the string of
// the first one that fails, 0 when the log is open.
unsigned OpenScan(ScanRun &run)
{
    if (!ReadDriveSelections(run.dialog))
        return IDS_NO_DRIVES_SELECTED;
    if (!LoadCatalogue(&run.catalogue))
        return IDS_DATA_FILE_FAILED;
    if (!BuildLogPath(run.logPath))
        return IDS_LOG_NAME_FAILED;
    run.log.file = OpenLogForScan(run.logPath);
    if (run.log.file == 0)
        return IDS_LOG_OPEN_FAILED;
    return 0;
}

// A scan that ends before its drives: the failure's own message, the log
// closed as it stands (no footer), then notices 3 and 1.
DWORD EndEarly(ScanRun &run, unsigned stringId)
{
    ReportMessage(stringId, ICON_ERROR);
    CloseScanLog(run);
    PostNotice(run, NOTICE_SCAN_OVER);
    PostNotice(run, NOTICE_CANCELLED);
    return 0;
}

// Once shown, "LogFile:" and the path stay for the rest of the run.
void ShowLogPath(const ScanRun &run)
{
    ShowWindow(GetDlgItem(run.dialog, IDC_LOG_CAPTION), SW_SHOW);
    SetDlgItemTextA(run.dialog, IDC_LOG_PATH, run.logPath);
    ShowWindow(GetDlgItem(run.dialog, IDC_LOG_PATH), SW_SHOW);
}

// Along the bottom of the main window's client area, one step per drive.
HWND CreateProgressBar(uint32_t driveCount)
{
    InitCommonControls();
    HWND mainWindow = MainWindow();
    RECT client = {};
    GetClientRect(mainWindow, &client);
    int height = GetSystemMetrics(SM_CYVSCROLL);
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, 0, WS_CHILD | WS_VISIBLE, client.left,
                               client.bottom - height, client.right, height, mainWindow, 0,
                               ProgramInstance(), 0);
    if (bar == 0)
        return 0;
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, driveCount));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    return bar;
}

// The drives in table order. A drive that fails (other than by a stop) ends
// the loop with notice 2; a stop seen before a drive ends it with notice 1.
// A drive stopped, or ended by an exception (whose guard raised the stop
// request), lets the next pass see the stop.
void ScanTickedDrives(ScanRun &run)
{
    const DriveTable &table = g_shared.drives;
    for (uint32_t i = 0; i < table.count; ++i) {
        if (StopRequested() || run.exception) {
            PostNotice(run, NOTICE_CANCELLED);
            return;
        }
        const DriveEntry &entry = table.entries[i];
        if (!entry.selected)
            continue;

        WriteDriveLine(run.log.file, entry.label);
        SetDlgItemTextA(run.dialog, IDC_DRIVE_TEXT, entry.label);
        char pattern[DRIVE_PATTERN_SIZE];
        std::snprintf(pattern, sizeof pattern, "%s\\*", entry.label);
        switch (ScanDrive(pattern, &run.log, &run.catalogue)) {
        case DRIVE_WALKED:
            SendMessageA(run.progress, PBM_STEPIT, 0, 0);
            break;
        case DRIVE_FAILED:
            // A listing that failed while a stop was requested counts as
            // stopped.
            if (!StopRequested()) {
                run.failed = true;
                PostNotice(run, NOTICE_DRIVE_FAILED);
                return;
            }
            break;
        case DRIVE_STOPPED:
            break;
        case DRIVE_EXCEPTION:
            run.exception = true;
            run.log.file = 0;  // closed by the guard, with its own footer
            break;
        }
    }
}

// The footer by outcome, then the close. A log that did not reach the file
// whole is not a completed scan: it is reported as a failed one, before
// the dialog returns to idle.
void FinishLog(ScanRun &run, bool stopped)
{
    unsigned status = stopped      ? IDS_STATUS_STOPPED
                      : run.failed ? IDS_STATUS_FAILED
                                   : IDS_STATUS_COMPLETED;
    char statusText[LOG_TEXT_SIZE];
    LoadText(status, statusText, sizeof statusText);
    WriteLogFooter(run.log.file, statusText, !stopped && run.log.listedCount == 0);
    if (!CloseScanLog(run) && !run.failed) {
        run.failed = true;
        PostNotice(run, NOTICE_DRIVE_FAILED);
    }
}

DWORD RunScan(ScanRun &run)
{
    unsigned failure = OpenScan(run);
    if (failure != 0)
        return EndEarly(run, failure);

    uint32_t size = GetLogSize(run.log.file);
    ShowLogPath(run);
    WriteLogHeader(run.log.file, size);
    run.log.listedCount = 0;
    WriteLogDateBlock(run.log.file, run.catalogue.supportSite);

    run.progress = CreateProgressBar(g_shared.drives.selectedCount);
    if (run.progress == 0)
        return EndEarly(run, IDS_PROGRESS_FAILED);

    ScanTickedDrives(run);
    // Read once, so that the footer and the steps after it tell one story
    // even when a Cancel arrives in between.
    bool stopped = StopRequested();
    if (!run.exception)
        FinishLog(run, stopped);

    // The stop request that the exception guard raised ends this scan only:
    // the worker, which saw the guard's outcome, clears it before the
    // dialog goes idle, so that it cannot reach a scan started right after.
    if (run.exception)
        g_shared.StopRequested.store(0);
    PostNotice(run, NOTICE_SCAN_OVER);
    if (stopped)
        return 0;

    SetDlgItemTextA(run.dialog, IDC_DRIVE_TEXT, "");
    if (run.failed)
        return 0;
    ReportMessage(IDS_SCAN_COMPLETED, ICON_INFORMATION, g_shared.windowTitle);
    DestroyWindow(run.progress);
    run.progress = 0;
    ShellOpenDocument(run.dialog, run.logPath);
    return 0;
}

}  // namespace

DWORD WINAPI ScanWorker(LPVOID dialogWindow)
{
    ScanRun run = {};
    run.dialog = static_cast<HWND>(dialogWindow);
    DWORD result = RunScan(run);
    Release(run);
    return result;
}

namespace {

// Waits for `worker` to end while answering what other threads send to this
// one: the worker sets dialog texts, reads checkboxes and enables the main
// window around its boxes, all of which this thread must carry out. Posted
// messages (the worker's notices, input) stay queued for later.
//
// Only what Windows 95 and NT 4 have: the wait wakes for sent messages
// alone, and any PeekMessage call delivers every message sent to this
// thread before it looks at the queue. PM_NOREMOVE leaves the posted
// messages and input where they are; they cannot wake this wait, and the
// sent ones are all answered by the call, so the next wait sleeps until
// the worker ends or sends again.
void WaitAnsweringSentMessages(HANDLE worker)
{
    if (worker == 0)
        return;
    for (;;) {
        DWORD woken = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woken != WAIT_OBJECT_0 + 1)
            return;  // ended, or the handle cannot be waited on
        MSG message;
        PeekMessageA(&message, 0, 0, 0, PM_NOREMOVE);
    }
}

bool HasEnded(HANDLE worker)
{
    return WaitForSingleObject(worker, 0) != WAIT_TIMEOUT;
}

// The latest worker becomes an earlier one; every earlier one that has ended
// is let go.
void RetireLatestWorker()
{
    if (g_latestWorker != 0)
        g_earlierWorkers.push_back(g_latestWorker);
    g_latestWorker = 0;
    std::vector<HANDLE> running;
    for (HANDLE worker : g_earlierWorkers) {
        if (HasEnded(worker))
            CloseHandle(worker);
        else
            running.push_back(worker);
    }
    g_earlierWorkers.swap(running);
}

}  // namespace

StartResult StartWorker(HWND dialog)
{
    if (g_waitingForWorkers)
        return START_REFUSED;
    // Windows 95 and 98 fail the call when there is nowhere to put the
    // thread id, although nothing here uses it.
    DWORD threadId = 0;
    HANDLE worker = CreateThread(0, 0, ScanWorker, dialog, 0, &threadId);
    if (worker == 0)
        return START_FAILED;
    RetireLatestWorker();
    g_latestWorker = worker;
    return START_RUNNING;
}

void StopWorkerAndWait()
{
    // A Cancel sent to this thread during another wait waits here too and
    // leaves the outer wait's mark as it found it.
    bool insideAnotherWait = g_waitingForWorkers;
    g_waitingForWorkers = true;
    g_shared.StopRequested = 1;
    WaitAnsweringSentMessages(g_latestWorker);
    for (HANDLE worker : g_earlierWorkers)
        WaitAnsweringSentMessages(worker);
    g_shared.StopRequested = 0;
    g_waitingForWorkers = insideAnotherWait;
}
