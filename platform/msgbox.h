#pragma once
#include "platform/handle.h"

// The icon of a message box; the box has one button, OK.
enum MessageIcon {
    ICON_ERROR = 1,
    ICON_WARNING = 2,
    ICON_INFORMATION = 3
};

// Shows a modal message box with no owner window on the calling thread and
// returns when the user has closed it. `caption` 0 gives the system's
// default caption.
void ShowMessageBox(const char *text, const char *caption, MessageIcon icon);

// Enables or disables input to `window`; a 0 window is ignored.
void EnableWindowInput(PlatformHandle window, bool enable);
