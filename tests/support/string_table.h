#pragma once
// The program's string table as data, from the same source as the resource
// script's STRINGTABLE (app/resources/strings.inc): for the in-memory double
// of the string loader, for the test that loads every string from the real
// resource, and for the end-to-end driver, which knows a box by its text.
#include "app/resources/resource.h"

struct StringTableRow {
    unsigned id;
    const char *text;
};

inline constexpr StringTableRow kStringTable[] = {
#define BRINDLE_STRING(id, text) {id, text},
#include "app/resources/strings.inc"
#undef BRINDLE_STRING
};

// The text of string `id`, or 0 when the table has none.
inline const char *StringTableText(unsigned id)
{
    for (const StringTableRow &row : kStringTable)
        if (row.id == id)
            return row.text;
    return 0;
}
