#pragma once
#include "platform/handle.h"

// The check state of button `controlId` in `dialog`: 1 ticked, 0 unticked,
// 2 indeterminate (the platform's BST_ values).
unsigned DialogButtonState(PlatformHandle dialog, int controlId);
