// The main dialog: the drive checkboxes, Start, Cancel and Exit, and the
// worker's notices. Idle and scanning differ only in which of Start and
// Cancel is shown and in three File menu items.
#include "ui/maindialog.h"

#include "app/mainwindow.h"
#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "ui/worker.h"

namespace {

void ShowControl(HWND dialog, int id, bool show)
{
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

void EnableMenuCommand(unsigned commandId, bool enable)
{
    EnableMenuItem(GetMenu(MainWindow()), commandId, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void SetScanningState(HWND dialog, bool scanning)
{
    ShowControl(dialog, IDC_START, !scanning);
    ShowControl(dialog, IDC_CANCEL, scanning);
    EnableMenuCommand(IDM_START_SCAN, !scanning);
    EnableMenuCommand(IDM_CLEAR_LOG, !scanning);
    EnableMenuCommand(IDM_CANCEL_SCAN, scanning);
}

INT_PTR InitMainDialog(HWND dialog)
{
    BuildDriveTable(dialog);
    ShowControl(dialog, IDC_CANCEL, false);
    // The main window handle is stored before the dialog is created.
    EnableMenuCommand(IDM_CANCEL_SCAN, false);
    return TRUE;
}

// The thread is created before the buttons switch: its notice 3 is handled
// only after this command has returned, so a worker that ends at once still
// leaves the dialog idle. A Start that reaches the dialog while a stop is
// being waited for (sent to the waiting thread) is dropped: no scan, no
// message, no change of state.
INT_PTR StartScan(HWND dialog)
{
    switch (StartWorker(dialog)) {
    case START_RUNNING:
        SetScanningState(dialog, true);
        return TRUE;
    case START_REFUSED:
        return TRUE;
    case START_FAILED:
        break;
    }
    ReportMessage(IDS_WORKER_FAILED, ICON_ERROR);
    return FALSE;
}

// The state goes back to idle on the worker's notice 3, which it has posted
// before ending.
INT_PTR CancelScan(HWND dialog)
{
    StopWorkerAndWait();
    SetDlgItemTextA(dialog, IDC_DRIVE_TEXT, "");
    return TRUE;
}

INT_PTR ExitFromDialog(HWND dialog)
{
    StopWorkerAndWait();
    DestroyWindow(dialog);
    QuitApplication(MainWindow());
    return TRUE;
}

// The whole first parameter is the command: a nonzero notification code
// makes it a different value, which is left alone.
INT_PTR OnDialogCommand(HWND dialog, WPARAM command)
{
    switch (command) {
    case IDCANCEL:
    case IDC_EXIT:
        return ExitFromDialog(dialog);
    case IDC_START:
        return StartScan(dialog);
    case IDC_CANCEL:
        return CancelScan(dialog);
    default:
        return FALSE;
    }
}

INT_PTR ReportNotice(unsigned stringId, MessageIcon icon)
{
    ReportMessage(stringId, icon);
    return TRUE;
}

INT_PTR ReturnToIdle(HWND dialog)
{
    SetScanningState(dialog, false);
    return TRUE;
}

INT_PTR OnScanNotify(HWND dialog, WPARAM notice)
{
    switch (notice) {
    case NOTICE_CANCELLED:
        return ReportNotice(IDS_SCAN_CANCELED, ICON_WARNING);
    case NOTICE_DRIVE_FAILED:
        return ReportNotice(IDS_FILE_SCAN_FAILED, ICON_ERROR);
    case NOTICE_SCAN_OVER:
        return ReturnToIdle(dialog);
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitMainDialog(dialog);
    case WM_COMMAND:
        return OnDialogCommand(dialog, wParam);
    case WM_SCAN_NOTIFY:
        return OnScanNotify(dialog, wParam);
    default:
        return FALSE;
    }
}
