#include "tests/fakes/fake_shell.h"

#include "platform/shell.h"

namespace {
const intptr_t kSuccess = 42;  // anything above 32 means the shell took it
std::vector<ShellCall> g_calls;
intptr_t g_result = kSuccess;
}  // namespace

std::vector<ShellCall> &RecordedShellCalls()
{
    return g_calls;
}

void SetShellResult(intptr_t result)
{
    g_result = result;
}

void ResetFakeShell()
{
    g_calls.clear();
    g_result = kSuccess;
}

intptr_t ShellOpenDocument(PlatformHandle owner, const char *path)
{
    g_calls.push_back(ShellCall{owner, path ? path : ""});
    return g_result;
}
