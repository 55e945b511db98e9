#pragma once
#include <string>

// What GetCurrentDir reports natively. It starts as ".", so that a path
// formed from it names a file in the process's real working directory.

// Reports `directory` from now on (too long for the caller's buffer gives 0,
// as the platform does).
void SetFakeCurrentDir(const std::string &directory);

// Makes GetCurrentDir fail (0) until the next SetFakeCurrentDir.
void FailFakeCurrentDir();
