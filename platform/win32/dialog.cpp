#include "platform/dialog.h"

#include <windows.h>

ButtonState DialogButtonState(PlatformHandle dialog, int controlId)
{
    switch (IsDlgButtonChecked(static_cast<HWND>(dialog), controlId)) {
    case BST_CHECKED:
        return BUTTON_TICKED;
    case BST_INDETERMINATE:
        return BUTTON_INDETERMINATE;
    default:
        return BUTTON_UNTICKED;
    }
}
