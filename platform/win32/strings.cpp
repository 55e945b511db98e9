#include "platform/strings.h"

#include <windows.h>

int LoadTableString(PlatformHandle module, unsigned id, char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    HINSTANCE instance = module ? static_cast<HINSTANCE>(module) : GetModuleHandleA(0);
    int length = LoadStringA(instance, id, buffer, size);
    // LoadStringA leaves the buffer alone for a missing id on some systems.
    if (length <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    return length;
}
