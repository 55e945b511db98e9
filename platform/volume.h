#pragma once

enum {
    DRIVE_ROOT_SIZE = 4,    // a drive's root, "C:\\", and the terminator
    VOLUME_LABEL_SIZE = 35  // a volume label: at most 34 characters and the terminator
};

// Stores the volume label of `root` (drive letter, colon, backslash) in
// `label`, which is cleared first; it stays empty when the drive has no
// label or the query fails.
void QueryVolumeLabel(const char *root, char label[VOLUME_LABEL_SIZE]);
