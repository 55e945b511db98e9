#include "platform/msgbox.h"

#include <windows.h>

void ShowMessageBox(const char *text, const char *caption, MessageIcon icon)
{
    UINT style = MB_OK;
    switch (icon) {
    case ICON_ERROR:
        style |= MB_ICONERROR;
        break;
    case ICON_WARNING:
        style |= MB_ICONWARNING;
        break;
    case ICON_INFORMATION:
        style |= MB_ICONINFORMATION;
        break;
    }
    MessageBoxA(0, text, caption, style);
}

void EnableWindowInput(PlatformHandle window, bool enable)
{
    if (window)
        EnableWindow(static_cast<HWND>(window), enable ? TRUE : FALSE);
}
