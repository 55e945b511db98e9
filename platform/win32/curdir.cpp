#include "platform/curdir.h"

#include <windows.h>

uint32_t GetCurrentDir(char *buffer, uint32_t size)
{
    DWORD length = GetCurrentDirectoryA(size, buffer);
    // A result of size or more is the length needed: the path did not fit.
    if (length == 0 || length >= size)
        return 0;
    return length;
}
