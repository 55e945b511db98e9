#pragma once
#include "platform/handle.h"

// Asks the shell to open `path` with its default action, owned by `owner`,
// in the normal show state. True when the shell took the request; false
// when it refused it (no such file, no program for it, no memory), with
// nothing shown.
bool ShellOpenDocument(PlatformHandle owner, const char *path);
