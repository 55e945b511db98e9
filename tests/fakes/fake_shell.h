#pragma once
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

// Whether the shell takes the requests from now on (at first it does).
void SetShellAccepts(bool accepts);

// Forgets the calls and takes requests again.
void ResetFakeShell();
