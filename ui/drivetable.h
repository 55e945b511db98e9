#pragma once
#include <cstdint>
#include "platform/handle.h"

// A drive label: letter, ":" and the terminator, with a spare byte.
enum { DRIVE_LABEL_SIZE = 4 };

// One row of the drive table. Entry i always has checkbox 1023 + i and
// label 1101 + i in the main dialog, whatever its letter.
struct DriveEntry {
    int32_t checkboxId;
    int32_t labelId;
    int32_t selected;  // 1 ticked, 0 not, as read at the start of the latest scan
    char label[DRIVE_LABEL_SIZE];  // drive letter in upper case, ":", terminator
};

// The drives behind the main dialog's checkboxes: fixed drives first, then
// removable, network and CD-ROM drives, each group in letter order.
struct DriveTable {
    DriveEntry *entries;     // one zero-filled block of `count` entries
    uint32_t count;          // at most 26; 0 until built, and when building failed
    uint32_t selectedCount;  // ticked entries found by the last ReadDriveSelections
};

// Reads the tick state of every entry's checkbox in `dialog` into the shared
// drive table; only a state of exactly "checked" counts. Returns true when at
// least one drive is ticked.
bool ReadDriveSelections(PlatformHandle dialog);
