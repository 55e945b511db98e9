#include "tests/fakes/fake_curdir.h"

#include <cstring>

#include "platform/curdir.h"

namespace {
std::string g_directory = ".";
bool g_fails = false;
}  // namespace

void SetFakeCurrentDir(const std::string &directory)
{
    g_directory = directory;
    g_fails = false;
}

void FailFakeCurrentDir()
{
    g_fails = true;
}

uint32_t GetCurrentDir(char *buffer, uint32_t size)
{
    // 0 also when it does not fit with its terminator; the buffer is left
    // alone then, its content being undefined for the caller anyway.
    if (g_fails || size == 0 || g_directory.size() >= size)
        return 0;
    std::memcpy(buffer, g_directory.c_str(), g_directory.size() + 1);
    return static_cast<uint32_t>(g_directory.size());
}
