#include "platform/dirsearch.h"

#include <windows.h>

#include <cstring>
#include <new>

// The search handle lives behind the opaque DirSearch pointer.
struct DirSearch {
    HANDLE handle;
};

namespace {
void CopyEntry(const WIN32_FIND_DATAA &data, FoundEntry *entry)
{
    entry->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry->sizeHigh = data.nFileSizeHigh;
    entry->sizeLow = data.nFileSizeLow;
    // Both buffers are MAX_PATH long; the copy is bounded all the same.
    static_assert(sizeof entry->name == sizeof data.cFileName, "name buffers differ");
    std::memcpy(entry->name, data.cFileName, sizeof entry->name);
    entry->name[sizeof entry->name - 1] = '\0';
}

SearchFailure FailureFromError(DWORD error)
{
    switch (error) {
    case ERROR_PATH_NOT_FOUND: return SEARCH_PATH_NOT_FOUND;
    case ERROR_ACCESS_DENIED:  return SEARCH_ACCESS_DENIED;
    case ERROR_INVALID_DRIVE:  return SEARCH_INVALID_DRIVE;
    case ERROR_NOT_READY:      return SEARCH_NOT_READY;
    default:                   return SEARCH_OTHER;  // e.g. 2 for an empty root
    }
}
}  // namespace

DirSearch *DirSearchFirst(const char *pattern, FoundEntry *entry, SearchFailure *failure)
{
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE) {
        *failure = FailureFromError(GetLastError());
        return 0;
    }
    DirSearch *search = new (std::nothrow) DirSearch;
    if (!search) {
        FindClose(handle);
        *failure = SEARCH_OTHER;
        return 0;
    }
    search->handle = handle;
    CopyEntry(data, entry);
    return search;
}

bool DirSearchNext(DirSearch *search, FoundEntry *entry)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(search->handle, &data))
        return false;
    CopyEntry(data, entry);
    return true;
}

void DirSearchClose(DirSearch *search)
{
    if (!search)
        return;
    FindClose(search->handle);
    delete search;
}
