#pragma once
#include <cstdint>

// Stores the process's current directory in `buffer` (`size` characters,
// terminator included). Returns its length; 0 when it cannot be had or does
// not fit, and then the buffer's content is undefined.
uint32_t GetCurrentDir(char *buffer, uint32_t size);
