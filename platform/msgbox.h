#pragma once
#include "platform/handle.h"

// Shows a modal message box with no owner window on the calling thread and
// returns when the user has closed it. `caption` 0 gives the system's
// default caption; `style` is the platform's message box style value.
void ShowMessageBox(const char *text, const char *caption, unsigned style);

// Enables or disables input to `window`; a 0 window is ignored.
void EnableWindowInput(PlatformHandle window, bool enable);
