#pragma once

// StringTableText(id): the text of string `id`, or 0.
#include "tests/support/string_table.h"

// The id whose text equals `text` exactly, or 0. Every text is unique.
unsigned StringTableId(const char *text);
