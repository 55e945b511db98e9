#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dirsearch.h"
#include "platform/fileversion.h"

// An in-memory tree behind platform/dirsearch.h, volume.h and fileversion.h.
//
// Drives are known by letter and carry a volume label. Directories and files
// are listed in the order they were added. Paths use backslashes ("C:\\a\\b"
// for a directory, "C:\\a\\b\\*" for its listing pattern, "C:\\" for a drive
// root) and are looked up without regard to ASCII letter case; listings give
// names as they were added. Like the real system, a directory other than a
// root lists "." and ".." first, and a root with no entries cannot be listed
// at all (SEARCH_OTHER). A pattern whose drive or directory does not exist
// gives SEARCH_PATH_NOT_FOUND.
//
// A single name may not exceed 259 characters; whole paths may be longer,
// so that a walk can be led past the 260-character pattern buffer.
// Setup mistakes (a duplicate name, a file where a directory is expected)
// throw std::invalid_argument.

// Empties the tree and clears every injection and counter.
void FakeFsReset();

// Adds drive `letter` (either case) with an empty root and `label` (at most
// 34 characters; "" for none).
void FakeFsAddDrive(char letter, const char *label);

// Adds the directory at `path`, creating missing parents (in that order);
// adding one that exists does nothing.
void FakeFsAddDirectory(const char *path);

// Adds the file at `path` with a 64-bit size, creating missing parent
// directories. The second form gives it a version resource.
void FakeFsAddFile(const char *path, uint64_t size);
void FakeFsAddFile(const char *path, uint64_t size, const VersionHalves &version);

// Every listing opened on `pattern` (exact pattern, any letter case) fails
// with `failure` until the next reset. Works for patterns of directories
// that do not exist, and for roots ("D:\\*" with SEARCH_NOT_READY).
void FakeFsFailListing(const char *pattern, SearchFailure failure);

// Calls `action` whenever the entry at `entryPath` (its directory, "\\" and
// its name; "C:\\a\\." for a dot entry) is about to be handed out by
// DirSearchFirst or DirSearchNext. The action may request a stop or throw;
// a throw leaves the search open, to be closed by its owner.
void FakeFsOnListed(const char *entryPath, std::function<void()> action);

// Calls `action` whenever a listing of `pattern` (any letter case) is about
// to be opened, before it succeeds or fails.
void FakeFsOnOpened(const char *pattern, std::function<void()> action);

// Counters since the last reset.
int FakeFsListingsOpened();                     // DirSearchFirst calls, failed ones included
int FakeFsListingsOpened(const char *pattern);  // those for one pattern (any letter case)
int FakeFsVolumeLabelQueries();
int FakeFsVolumeLabelQueries(const char *root);
int FakeFsVersionReads();
int FakeFsVersionReads(const char *path);

// Every pattern passed to DirSearchFirst, in call order, as passed.
const std::vector<std::string> &FakeFsListingLog();

// The longest pattern passed to DirSearchFirst, in characters.
size_t FakeFsLongestPattern();

// Searches opened successfully and not yet closed.
int FakeFsOpenSearches();

// DirSearchNext calls on a search that was not open (a closed one, or 0),
// and DirSearchClose calls on a closed one.
int FakeFsMisusedSearches();
