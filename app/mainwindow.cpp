#include "app/mainwindow.h"

#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "ui/maindialog.h"
#include "ui/menu.h"
#include "ui/worker.h"

const char kMainWindowClass[] = "VQBRDM32ClASS";

HWND g_mainDialog = 0;

namespace {

// The window is 485 by 460 with its frame; it has no sizing border.
const int MAIN_WINDOW_WIDTH = 485;
const int MAIN_WINDOW_HEIGHT = 460;
const DWORD MAIN_WINDOW_STYLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
const DWORD MAIN_WINDOW_EX_STYLE = WS_EX_OVERLAPPEDWINDOW;

}  // namespace

bool RegisterMainClass(HINSTANCE instance)
{
    // The title is also how a copy started at the same moment recognises the
    // window of the first.
    LoadStringA(instance, IDS_WINDOW_TITLE, g_shared.windowTitle, TITLE_TEXT_SIZE);

    HWND existing = FindWindowA(kMainWindowClass, g_shared.windowTitle);
    if (existing != 0) {
        if (IsIconic(existing))
            ShowWindow(existing, SW_RESTORE);
        SetForegroundWindow(existing);
        return false;
    }

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(0, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(0, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&windowClass) != 0;
}

bool CreateMainWindows(HINSTANCE instance, int showCommand)
{
    g_shared.instance = instance;

    HWND mainWindow = CreateWindowExA(MAIN_WINDOW_EX_STYLE, kMainWindowClass, g_shared.windowTitle,
                                      MAIN_WINDOW_STYLE, CW_USEDEFAULT, CW_USEDEFAULT,
                                      MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT, 0, 0, instance, 0);
    g_shared.mainWindow = mainWindow;
    if (mainWindow == 0)
        return false;

    // The frame always opens restored; the start-up show command goes to the
    // dialog inside it.
    ShowWindow(mainWindow, SW_RESTORE);
    UpdateWindow(mainWindow);

    // The dialog's initialisation reads the main window handle stored above.
    HWND dialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), mainWindow,
                                     MainDialogProc, 0);
    g_mainDialog = dialog;
    if (dialog == 0)
        return false;

    ShowWindow(dialog, showCommand);
    UpdateWindow(dialog);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        CloseMainWindow(window);
        return 0;
    case WM_COMMAND:
        HandleMenuCommand(window, LOWORD(wParam));
        return 0;
    default:
        // WM_DESTROY too: the closing paths post the quit message themselves.
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void CloseMainWindow(HWND mainWindow)
{
    // The worker keeps sending the dialog its texts until it sees the stop
    // request, so the wait answers those messages instead of blocking them.
    StopWorkerAndWait();
    QuitApplication(mainWindow);
}

void QuitApplication(HWND mainWindow)
{
    // The main dialog is a child and goes with the main window.
    DestroyWindow(mainWindow);
    PostQuitMessage(0);
}
