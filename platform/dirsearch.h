#pragma once
#include <cstdint>
#include "platform/path.h"

// One entry of a directory listing.
struct FoundEntry {
    bool isDirectory;   // the entry has the directory attribute
    uint32_t sizeHigh;  // 64-bit size, high half
    uint32_t sizeLow;   // 64-bit size, low half
    char name[PATH_SIZE];  // the name as the file system holds it
};

// Why a listing could not be opened. The first four mean that there is
// nothing to list here; SEARCH_OTHER covers every other reason, including a
// directory with no entries at all (such as an empty root directory).
enum SearchFailure {
    SEARCH_PATH_NOT_FOUND,
    SEARCH_ACCESS_DENIED,
    SEARCH_INVALID_DRIVE,
    SEARCH_NOT_READY,
    SEARCH_OTHER
};

struct DirSearch;

// Opens a listing of `pattern` (a directory path, a backslash and "*") and
// stores its first entry. Returns 0 and sets *failure when it cannot be
// opened; otherwise the caller owns the search and closes it.
DirSearch *DirSearchFirst(const char *pattern, FoundEntry *entry, SearchFailure *failure);

// Stores the next entry; false when there is none (or the listing broke
// off), and false again on every later call.
bool DirSearchNext(DirSearch *search, FoundEntry *entry);

// Ends a search that DirSearchFirst opened; 0 is no search and does
// nothing.
void DirSearchClose(DirSearch *search);
