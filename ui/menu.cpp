// The main window's menu. Every command runs on the interface thread and is
// over when HandleMenuCommand returns: Start, Cancel and Exit are sent, not
// posted. The items' greyed states are the dialog's business; a command that
// arrives is carried out.
#include "ui/menu.h"

#include <shellapi.h>

#include "app/mainwindow.h"
#include "app/report.h"
#include "app/resources/resource.h"
#include "log/log.h"
#include "ui/about.h"

namespace {

// The editor is found through the shell and the readme in the current
// directory; whether either is there is not reported.
void OpenReadme(HWND mainWindow)
{
    ShellExecuteA(mainWindow, 0, "notepad", "readme.txt", 0, SW_SHOW);
}

// The dialog acts exactly as if its button had been pressed.
void SendDialogCommand(int buttonId)
{
    SendMessageA(g_mainDialog, WM_COMMAND, buttonId, 0);
}

}  // namespace

void HandleMenuCommand(HWND mainWindow, unsigned commandId)
{
    switch (commandId) {
    case IDM_README:
        OpenReadme(mainWindow);
        break;
    case IDM_EXIT:
        SendMessageA(mainWindow, WM_CLOSE, 0, 0);
        break;
    case IDM_ABOUT:
        ShowAboutBox();
        break;
    case IDM_OPEN_LOG:
        OpenLog(mainWindow);
        break;
    case IDM_START_SCAN:
        SendDialogCommand(IDC_START);
        break;
    case IDM_CANCEL_SCAN:
        SendDialogCommand(IDC_CANCEL);
        break;
    case IDM_CLEAR_LOG:
        ClearLog();
        break;
    default:
        ReportMessage(IDS_COMMAND_NOT_SUPPORTED, ICON_WARNING);
        break;
    }
}
