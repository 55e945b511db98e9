#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/handle.h"

// One request to the shell to open a document.
struct ShellCall {
    PlatformHandle owner;
    std::string path;
};

// Every ShellOpenDocument call since the last reset, in order.
std::vector<ShellCall> &RecordedShellCalls();

// What ShellOpenDocument returns from now on (at first 42, a success).
void SetShellResult(intptr_t result);

// Forgets the calls and returns to the first result.
void ResetFakeShell();
