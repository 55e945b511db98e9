#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/handle.h"

// What the user would have seen: one record per message box, in order.
struct RecordedMessage {
    unsigned stringId;       // the table id whose text the box showed, 0 if none
    unsigned icon;           // the box's MessageIcon
    bool hasCaption;
    std::string caption;     // empty when hasCaption is false
    std::string text;
    bool mainWindowDisabled; // the main window was disabled while the box was up
};

std::vector<RecordedMessage> &RecordedMessages();
void ClearRecordedMessages();

// Called while a box is "up", after it has been recorded; tests use it to
// act at that moment (to request a stop, for instance). Cleared by
// ClearRecordedMessages.
void SetMessageBoxHook(std::function<void(const RecordedMessage &)> hook);

// Enabled state of a fake window, as EnableWindowInput left it (windows
// start enabled).
bool FakeWindowEnabled(PlatformHandle window);
