#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

bool ShellOpenDocument(PlatformHandle owner, const char *path)
{
    HINSTANCE result = ShellExecuteA(static_cast<HWND>(owner), 0, path, 0, 0, SW_SHOWNORMAL);
    // The result is a number dressed as a handle: above 32 is success.
    return reinterpret_cast<intptr_t>(result) > 32;
}
