#include "platform/msgbox.h"

#include <windows.h>

void ShowMessageBox(const char *text, const char *caption, unsigned style)
{
    MessageBoxA(0, text, caption, style);
}

void EnableWindowInput(PlatformHandle window, bool enable)
{
    if (window)
        EnableWindow(static_cast<HWND>(window), enable ? TRUE : FALSE);
}
