// The About box (template 109): product name, version and copyright.
#include "ui/about.h"

#include <windows.h>

#include "app/mainwindow.h"
#include "app/resources/resource.h"

namespace {

// The version is a fixed text, the same value as the version resource's.
INT_PTR InitAboutBox(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, BRINDLE_VERSION_DOTTED);
    return TRUE;  // the system sets the focus
}

// OK gives IDOK; Escape and the close box give IDCANCEL.
INT_PTR OnAboutCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return InitAboutBox(dialog);
    case WM_COMMAND:
        return OnAboutCommand(dialog, wParam);
    default:
        return FALSE;
    }
}

}  // namespace

void ShowAboutBox()
{
    DialogBoxParamA(ProgramInstance(), MAKEINTRESOURCEA(IDD_ABOUT), MainWindow(), AboutDialogProc, 0);
}
