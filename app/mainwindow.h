#pragma once
#include <windows.h>

// The main window and the process frame around it.

// The main window's class; a second copy finds the first copy's window by it.
extern const char MAIN_WINDOW_CLASS[];

// Loads the window title and registers the class "VQBRDM32ClASS"; false when
// a window of the class and title exists already (it is brought forward) or
// the registration fails.
bool RegisterMainClass(HINSTANCE instance);

// Creates and shows the main window and the main dialog inside it, storing
// their handles in g_shared; false when either cannot be created.
bool CreateMainWindows(HINSTANCE instance, int showCommand);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_CLOSE: stops a running scan, waits for it, then QuitApplication.
void CloseMainWindow(HWND mainWindow);

// Destroys the main window and posts the quit message with exit code 0.
void QuitApplication(HWND mainWindow);
