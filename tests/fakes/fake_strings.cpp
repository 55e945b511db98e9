// The string table for native builds, from the same source as the resource
// script's STRINGTABLE.
#include <cstring>

#include "app/resources/resource.h"
#include "platform/strings.h"
#include "tests/fakes/fake_strings.h"

unsigned StringTableId(const char *text)
{
    for (const StringTableRow &row : kStringTable)
        if (std::strcmp(row.text, text) == 0)
            return row.id;
    return 0;
}

int LoadTableString(PlatformHandle, unsigned id, char *buffer, int size)
{
    if (size <= 0)
        return 0;
    buffer[0] = '\0';
    const char *text = StringTableText(id);
    if (!text)
        return 0;
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(size - 1))
        length = static_cast<size_t>(size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}
