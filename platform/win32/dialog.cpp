#include "platform/dialog.h"

#include <windows.h>

unsigned DialogButtonState(PlatformHandle dialog, int controlId)
{
    return IsDlgButtonChecked(static_cast<HWND>(dialog), controlId);
}
