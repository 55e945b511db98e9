#pragma once
#include <windows.h>

#include "app/shared.h"

// The main window and the process frame around it.

// The main dialog, 0 until CreateMainWindows has made it.
extern HWND g_mainDialog;

// The handles the portable state keeps, as the Win32 code uses them.
inline HWND MainWindow()
{
    return static_cast<HWND>(g_shared.mainWindow);
}
inline HINSTANCE ProgramInstance()
{
    return static_cast<HINSTANCE>(g_shared.instance);
}

// The main window's class; a second copy finds the first copy's window by it.
extern const char kMainWindowClass[];

// Loads the window title and registers the class "VQBRDM32ClASS"; false when
// a window of the class and title exists already (it is brought forward) or
// the registration fails.
bool RegisterMainClass(HINSTANCE instance);

// Creates and shows the main window and the main dialog inside it, storing
// their handles in g_shared.mainWindow and g_mainDialog; false when either
// cannot be created.
bool CreateMainWindows(HINSTANCE instance, int showCommand);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_CLOSE: stops a running scan, waits for it, then QuitApplication.
void CloseMainWindow(HWND mainWindow);

// Destroys the main window and posts the quit message with exit code 0.
void QuitApplication(HWND mainWindow);
