#pragma once

// The text of string `id`, or 0 when the table has none.
const char *StringTableText(unsigned id);

// The id whose text equals `text` exactly, or 0. Every text is unique.
unsigned StringTableId(const char *text);
