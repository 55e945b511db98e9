#pragma once
#include <windows.h>

// Carries out one command of the main window's menu (the low 16 bits of the
// command message's first parameter); any other id shows string 12.
void HandleMenuCommand(HWND mainWindow, unsigned commandId);
