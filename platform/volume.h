#pragma once

// Stores the volume label of `root` (drive letter, colon, backslash) in
// `label`, which is cleared first; it stays empty when the drive has no
// label or the query fails.
void QueryVolumeLabel(const char *root, char label[35]);
