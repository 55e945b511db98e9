#pragma once
#include "platform/dialog.h"
#include "platform/handle.h"

// A settable check state per (dialog, control id); a control never set reads
// as unticked. Every read is counted, so a test can see which controls
// were asked.
void SetFakeButtonState(PlatformHandle dialog, int controlId, ButtonState state);
void ClearFakeButtonStates();
unsigned FakeButtonReads(PlatformHandle dialog, int controlId);
