#include "tests/fakes/fake_shell.h"

#include "platform/shell.h"

namespace {
std::vector<ShellCall> g_calls;
bool g_accepts = true;
}  // namespace

std::vector<ShellCall> &RecordedShellCalls()
{
    return g_calls;
}

void SetShellAccepts(bool accepts)
{
    g_accepts = accepts;
}

void ResetFakeShell()
{
    g_calls.clear();
    g_accepts = true;
}

bool ShellOpenDocument(PlatformHandle owner, const char *path)
{
    g_calls.push_back(ShellCall{owner, path ? path : ""});
    return g_accepts;
}
