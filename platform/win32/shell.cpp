#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

intptr_t ShellOpenDocument(PlatformHandle owner, const char *path)
{
    HINSTANCE result = ShellExecuteA(static_cast<HWND>(owner), 0, path, 0, 0, SW_SHOWNORMAL);
    return reinterpret_cast<intptr_t>(result);
}
