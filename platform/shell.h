#pragma once
#include <cstdint>
#include "platform/handle.h"

// Asks the shell to open `path` with its default action, owned by `owner`,
// in the normal show state. Returns the shell's result: greater than 32 is
// success.
intptr_t ShellOpenDocument(PlatformHandle owner, const char *path);
