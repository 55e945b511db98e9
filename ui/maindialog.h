#pragma once
#include <windows.h>

// The notice that the scan worker posts to the main dialog; wParam is the
// notice code.
#define WM_SCAN_NOTIFY (WM_USER + 101)
enum ScanNotice {
    NOTICE_CANCELLED = 1,    // the scan was cancelled (also after an early failure)
    NOTICE_DRIVE_FAILED = 2, // a drive failed to scan
    NOTICE_SCAN_OVER = 3     // return to idle, whatever the outcome
};

// Procedure of the modeless main dialog (template 110), a child of the main
// window.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Builds the shared drive table once, when the dialog is initialised, and
// sets up its checkboxes. No fixed drive shows string 13 and a failed
// allocation string 15; the table then stays empty.
void BuildDriveTable(HWND dialog);
