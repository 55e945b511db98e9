#pragma once
#include "platform/msgbox.h"

// Buffer sizes for texts loaded from the string table.
enum {
    MESSAGE_TEXT_SIZE = 250,  // a message box text
    LOG_TEXT_SIZE = 260,      // a footer status text or the log's file name
    TITLE_TEXT_SIZE = 100     // the window title
};

// The one way of telling the user something: shows string `stringId` in a
// modal box with no owner and the given icon, with the main window disabled
// while the box is up. `caption` is 0 (the system's default) or the window
// title. Callable from either thread; reports nothing about itself.
void ReportMessage(unsigned stringId, MessageIcon icon, const char *caption = 0);

// Loads string `stringId` into `buffer` of `size` characters (one of the
// sizes above); returns the number of characters loaded, 0 on failure.
int LoadText(unsigned stringId, char *buffer, int size);
