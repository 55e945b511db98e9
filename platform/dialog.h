#pragma once
#include "platform/handle.h"

// The state of a checkbox as the user sees it.
enum ButtonState {
    BUTTON_UNTICKED,
    BUTTON_TICKED,
    BUTTON_INDETERMINATE
};

// The check state of button `controlId` in `dialog`; a control that is not
// there, or is not a checkbox, reads as unticked.
ButtonState DialogButtonState(PlatformHandle dialog, int controlId);
