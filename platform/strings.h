#pragma once
#include "platform/handle.h"

// Loads string `id` of the program's own string table into `buffer`, which
// holds `size` characters including the terminator; a longer text is cut.
// `module` is the program's instance handle, or 0 for the program itself.
// Returns the number of characters stored, 0 when the id has no text (the
// buffer then holds the empty string).
int LoadTableString(PlatformHandle module, unsigned id, char *buffer, int size);
