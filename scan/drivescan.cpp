#include "scan/drivescan.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "log/log.h"
#include "platform/dirsearch.h"
#include "platform/path.h"
#include "platform/threadqueue.h"
#include "platform/volume.h"
#include "scan/match.h"

namespace {

// Label (34), a blank, the directory (258: a pattern less its "*") and the
// name (259) must fit the line text whole, and the log writes a text of
// this size whole.
static_assert(FILE_LINE_TEXT_SIZE >= VOLUME_LABEL_SIZE - 1 + 1 + (PATH_SIZE - 2) + (PATH_SIZE - 1),
              "a file line text must hold the longest label, directory and name");

// What one drive's walk carries from directory to directory.
struct DriveWalk {
    ScanLog *log;
    const Catalogue *catalogue;
    char root[DRIVE_ROOT_SIZE];  // drive letter, colon, backslash
    bool labelKnown;        // the label is asked once, at the first listed file
    char label[VOLUME_LABEL_SIZE];
};

// Closes the search it holds on every way out of a listing, an exception
// included, so that no search outlives the function that opened it.
struct SearchCloser {
    DirSearch *search;
    explicit SearchCloser(DirSearch *opened) : search(opened) {}
    ~SearchCloser() { DirSearchClose(search); }
    SearchCloser(const SearchCloser &) = delete;
    SearchCloser &operator=(const SearchCloser &) = delete;
};

// The stop request comes from the interface thread at any moment; every
// poll reads the flag itself.
bool StopRequested()
{
    return g_shared.StopRequested.load() != 0;
}

bool IsDotEntry(const char *name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The directory of a pattern is the pattern up to its first "*", final
// backslash kept: its length.
size_t DirectoryLength(const char *pattern)
{
    const char *star = std::strchr(pattern, '*');
    return star ? static_cast<size_t>(star - pattern) : std::strlen(pattern);
}

// Judges one file against every catalogue entry of its name and writes its
// line when the name is catalogued: held as soon as one entry holds, with
// the could-not-validate note when none does. The version resource is read
// at most once, however many entries name the file, and only when an entry
// that compares a version is reached.
void JudgeFile(const char *pattern, size_t directoryLength, const FoundEntry &found, DriveWalk &walk)
{
    const uint32_t *indices = 0;
    const uint32_t matches = FindEntriesByName(walk.catalogue, found.name, &indices);
    if (matches == 0)
        return;

    if (!walk.labelKnown) {
        QueryVolumeLabel(walk.root, walk.label);
        walk.labelKnown = true;
    }
    char lineText[FILE_LINE_TEXT_SIZE];
    std::snprintf(lineText, sizeof lineText, "%s %.*s%s", walk.label, static_cast<int>(directoryLength),
                  pattern, found.name);

    FileQuantities quantities = ListedQuantities(found);
    bool versionRead = false;
    bool held = false;
    for (uint32_t i = 0; i < matches && !held; ++i) {
        if (!versionRead && KindComparesVersion(walk.catalogue->entries[indices[i]].kind)) {
            ReadFileVersion(pattern, directoryLength, found.name, &quantities.version);
            versionRead = true;
        }
        held = CheckQuantitiesAgainstEntry(&quantities, indices[i], walk.catalogue);
    }
    ++walk.log->listedCount;
    WriteFileLine(walk.log->file, walk.log->listedCount, lineText, held);
}

// Walks the directory of `pattern` (its path, "\\" and "*"): every file in
// listing order, then every subdirectory in listing order, each walked
// completely before the next. The directory is listed once; its
// subdirectory names are kept for the descent. Walked when the directory
// was walked (or holds nothing to walk); failed after a listing failure
// other than the four tolerated ones (string 29 shown); stopped on a stop
// request.
DriveOutcome ScanDirectory(const char *pattern, DriveWalk &walk)
{
    FoundEntry found;
    SearchFailure failure;
    DirSearch *search = DirSearchFirst(pattern, &found, &failure);
    if (!search) {
        switch (failure) {
        case SEARCH_PATH_NOT_FOUND:
        case SEARCH_ACCESS_DENIED:
        case SEARCH_INVALID_DRIVE:
        case SEARCH_NOT_READY:
            return DRIVE_WALKED;  // nothing to scan here
        case SEARCH_OTHER:
            break;
        }
        ReportMessage(IDS_INVALID_FILE, ICON_ERROR);
        return DRIVE_FAILED;
    }

    const size_t directoryLength = DirectoryLength(pattern);
    std::vector<std::string> subdirectories;
    {
        SearchCloser closer(search);
        do {
            if (!found.isDirectory) {
                JudgeFile(pattern, directoryLength, found, walk);
            } else if (!IsDotEntry(found.name)) {
                // A subdirectory whose pattern would not fit its buffer
                // cannot be listed: it is passed over like one that cannot
                // be reached.
                if (directoryLength + std::strlen(found.name) + 2 < PATH_SIZE)
                    subdirectories.push_back(found.name);
            }
            if (StopRequested())
                return DRIVE_STOPPED;
        } while (DirSearchNext(search, &found));
    }
    // The worker's progress bar belongs to this thread: after every
    // directory its paint requests and its input are handled, so that it
    // repaints and, where the system joins this thread's input to the
    // interface thread's, no input waits behind the walk.
    HandlePendingMessages();

    char subPattern[PATH_SIZE];
    for (const std::string &name : subdirectories) {
        std::snprintf(subPattern, sizeof subPattern, "%.*s%s\\*", static_cast<int>(directoryLength), pattern,
                      name.c_str());
        const DriveOutcome outcome = ScanDirectory(subPattern, walk);
        if (outcome != DRIVE_WALKED)
            return outcome;
        if (StopRequested())
            return DRIVE_STOPPED;
    }
    return DRIVE_WALKED;
}

// The guard's steps, in this order: the text, the stop request, the footer,
// the close, the message. The footer never says that no update is needed:
// the stop request is already raised.
DriveOutcome EndWalkOnException(FILE *log)
{
    char text[LOG_TEXT_SIZE];
    LoadText(IDS_STATUS_EXCEPTION, text, sizeof text);
    g_shared.StopRequested.store(1);
    if (log) {
        WriteLogFooter(log, text, false);
        CloseLog(log);
    }
    ReportMessage(IDS_STATUS_EXCEPTION, ICON_ERROR);
    return DRIVE_EXCEPTION;
}

}  // namespace

DriveOutcome ScanDrive(const char *pattern, ScanLog *log, const Catalogue *catalogue)
{
    char rootPattern[PATH_SIZE];
    if (std::strlen(pattern) >= sizeof rootPattern || std::strlen(pattern) < 3)
        return DRIVE_WALKED;  // not a pattern this walk can list: nothing to scan
    std::strcpy(rootPattern, pattern);

    DriveWalk walk;
    walk.log = log;
    walk.catalogue = catalogue;
    std::memcpy(walk.root, rootPattern, DRIVE_ROOT_SIZE - 1);
    walk.root[DRIVE_ROOT_SIZE - 1] = 0;
    walk.labelKnown = false;
    std::memset(walk.label, 0, sizeof walk.label);

    try {
        return ScanDirectory(rootPattern, walk);
    } catch (...) {
        // Any C++ exception thrown by the walk or by what it calls (an
        // allocation failure, the platform layer's own). An access fault or
        // another hardware exception is no C++ exception here and is not
        // caught: it ends the program as it would anywhere else.
        return EndWalkOnException(log->file);
    }
}
