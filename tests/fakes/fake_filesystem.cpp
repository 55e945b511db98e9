#include "tests/fakes/fake_filesystem.h"

#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

#include "platform/dirsearch.h"
#include "platform/fileversion.h"
#include "platform/volume.h"

namespace {

struct Node {
    std::string name;
    bool isDirectory = false;
    uint64_t size = 0;
    bool hasVersion = false;
    VersionHalves version = {0, 0, 0, 0};
    std::vector<std::unique_ptr<Node>> children;  // in the order added
};

struct Drive {
    std::string label;
    Node root;
};

std::string Fold(const std::string &text)
{
    std::string folded = text;
    for (char &c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

char FoldLetter(char letter)
{
    return (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 'a' + 'A') : letter;
}

std::map<char, Drive> g_drives;
std::map<std::string, SearchFailure> g_failures;               // folded pattern
std::map<std::string, std::function<void()>> g_listedActions;  // folded entry path
std::map<std::string, std::function<void()>> g_openedActions;  // folded pattern
std::map<std::string, int> g_listingsByPattern;                 // folded pattern
std::map<std::string, int> g_labelQueriesByRoot;                // folded root
std::map<std::string, int> g_versionReadsByPath;                // folded path
std::vector<std::string> g_listingLog;
int g_listings = 0;
int g_labelQueries = 0;
int g_versionReads = 0;
size_t g_longestPattern = 0;
int g_misused = 0;

Node *FindChild(Node *dir, const std::string &name)
{
    const std::string folded = Fold(name);
    for (auto &child : dir->children)
        if (Fold(child->name) == folded)
            return child.get();
    return 0;
}

// Splits "C:\\a\\b" (or "C:", "C:\\") into its drive letter and names.
bool SplitPath(const std::string &path, char *letter, std::vector<std::string> *names)
{
    if (path.size() < 2 || path[1] != ':')
        return false;
    *letter = FoldLetter(path[0]);
    names->clear();
    if (path.size() == 2)
        return true;
    if (path[2] != '\\')
        return false;
    size_t start = 3;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end == start)
            return false;  // "\\\\" inside a path names nothing
        names->push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

Drive &DriveFor(char letter, const std::string &path)
{
    auto it = g_drives.find(letter);
    if (it == g_drives.end())
        throw std::invalid_argument("no such fake drive in " + path);
    return it->second;
}

Node *MakeDirectories(const std::string &path, std::vector<std::string> *names)
{
    char letter;
    if (!SplitPath(path, &letter, names))
        throw std::invalid_argument("malformed fake path " + path);
    return &DriveFor(letter, path).root;
}

Node *AddChild(Node *dir, const std::string &name, bool isDirectory, const std::string &path)
{
    if (name.size() > 259)
        throw std::invalid_argument("fake name longer than 259 characters in " + path);
    auto node = std::make_unique<Node>();
    node->name = name;
    node->isDirectory = isDirectory;
    dir->children.push_back(std::move(node));
    return dir->children.back().get();
}

// Walks to (and creates) every directory of `names`, returning the last.
Node *EnsureDirectories(Node *dir, const std::vector<std::string> &names, size_t count,
                        const std::string &path)
{
    for (size_t i = 0; i < count; ++i) {
        Node *child = FindChild(dir, names[i]);
        if (!child)
            child = AddChild(dir, names[i], true, path);
        else if (!child->isDirectory)
            throw std::invalid_argument("fake file stands where a directory is expected in " + path);
        dir = child;
    }
    return dir;
}

Node *Lookup(const std::string &path)
{
    char letter;
    std::vector<std::string> names;
    if (!SplitPath(path, &letter, &names))
        return 0;
    auto drive = g_drives.find(letter);
    if (drive == g_drives.end())
        return 0;
    Node *node = &drive->second.root;
    for (const std::string &name : names) {
        if (!node->isDirectory)
            return 0;
        node = FindChild(node, name);
        if (!node)
            return 0;
    }
    return node;
}

FoundEntry MakeEntry(const std::string &name, bool isDirectory, uint64_t size)
{
    FoundEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.isDirectory = isDirectory;
    entry.sizeHigh = static_cast<uint32_t>(size >> 32);
    entry.sizeLow = static_cast<uint32_t>(size);
    std::memcpy(entry.name, name.c_str(), name.size() + 1);  // names are at most 259 characters
    return entry;
}

}  // namespace

// A listing is a snapshot taken when it is opened. Closed searches stay
// allocated until the next reset so that a use after close is counted, not
// undefined.
struct DirSearch {
    std::string directory;  // "C:" for a root, "C:\\a" otherwise
    std::vector<FoundEntry> entries;
    size_t next = 0;
    bool open = true;
};

namespace {
std::vector<std::unique_ptr<DirSearch>> g_searches;

void HandOut(DirSearch *search, FoundEntry *entry)
{
    const FoundEntry &found = search->entries[search->next++];
    auto action = g_listedActions.find(Fold(search->directory + "\\" + found.name));
    if (action != g_listedActions.end())
        action->second();
    *entry = found;
}
}  // namespace

void FakeFsReset()
{
    g_drives.clear();
    g_failures.clear();
    g_listedActions.clear();
    g_openedActions.clear();
    g_listingsByPattern.clear();
    g_labelQueriesByRoot.clear();
    g_versionReadsByPath.clear();
    g_listingLog.clear();
    g_searches.clear();
    g_listings = 0;
    g_labelQueries = 0;
    g_versionReads = 0;
    g_longestPattern = 0;
    g_misused = 0;
}

void FakeFsAddDrive(char letter, const char *label)
{
    if (std::strlen(label) > 34)
        throw std::invalid_argument("fake volume label longer than 34 characters");
    Drive &drive = g_drives[FoldLetter(letter)];
    drive.label = label;
    drive.root = Node();
    drive.root.isDirectory = true;
}

void FakeFsAddDirectory(const char *path)
{
    std::vector<std::string> names;
    Node *root = MakeDirectories(path, &names);
    EnsureDirectories(root, names, names.size(), path);
}

static void AddFile(const char *path, uint64_t size, const VersionHalves *version)
{
    std::vector<std::string> names;
    Node *root = MakeDirectories(path, &names);
    if (names.empty())
        throw std::invalid_argument(std::string("fake file path without a name: ") + path);
    Node *dir = EnsureDirectories(root, names, names.size() - 1, path);
    if (FindChild(dir, names.back()))
        throw std::invalid_argument(std::string("fake entry exists already: ") + path);
    Node *file = AddChild(dir, names.back(), false, path);
    file->size = size;
    if (version) {
        file->hasVersion = true;
        file->version = *version;
    }
}

void FakeFsAddFile(const char *path, uint64_t size)
{
    AddFile(path, size, 0);
}

void FakeFsAddFile(const char *path, uint64_t size, const VersionHalves &version)
{
    AddFile(path, size, &version);
}

void FakeFsFailListing(const char *pattern, SearchFailure failure)
{
    g_failures[Fold(pattern)] = failure;
}

void FakeFsOnListed(const char *entryPath, std::function<void()> action)
{
    g_listedActions[Fold(entryPath)] = std::move(action);
}

void FakeFsOnOpened(const char *pattern, std::function<void()> action)
{
    g_openedActions[Fold(pattern)] = std::move(action);
}

int FakeFsListingsOpened()
{
    return g_listings;
}

int FakeFsListingsOpened(const char *pattern)
{
    auto it = g_listingsByPattern.find(Fold(pattern));
    return it == g_listingsByPattern.end() ? 0 : it->second;
}

int FakeFsVolumeLabelQueries()
{
    return g_labelQueries;
}

int FakeFsVolumeLabelQueries(const char *root)
{
    auto it = g_labelQueriesByRoot.find(Fold(root));
    return it == g_labelQueriesByRoot.end() ? 0 : it->second;
}

int FakeFsVersionReads()
{
    return g_versionReads;
}

int FakeFsVersionReads(const char *path)
{
    auto it = g_versionReadsByPath.find(Fold(path));
    return it == g_versionReadsByPath.end() ? 0 : it->second;
}

const std::vector<std::string> &FakeFsListingLog()
{
    return g_listingLog;
}

size_t FakeFsLongestPattern()
{
    return g_longestPattern;
}

int FakeFsOpenSearches()
{
    int open = 0;
    for (const auto &search : g_searches)
        open += search->open ? 1 : 0;
    return open;
}

int FakeFsMisusedSearches()
{
    return g_misused;
}

DirSearch *DirSearchFirst(const char *pattern, FoundEntry *entry, SearchFailure *failure)
{
    const std::string text = pattern;
    ++g_listings;
    ++g_listingsByPattern[Fold(text)];
    g_listingLog.push_back(text);
    if (text.size() > g_longestPattern)
        g_longestPattern = text.size();

    auto onOpen = g_openedActions.find(Fold(text));
    if (onOpen != g_openedActions.end())
        onOpen->second();

    auto injected = g_failures.find(Fold(text));
    if (injected != g_failures.end()) {
        *failure = injected->second;
        return 0;
    }
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\\*") != 0) {
        *failure = SEARCH_OTHER;  // only whole-directory listings are modelled
        return 0;
    }
    const std::string directory = text.substr(0, text.size() - 2);
    Node *dir = Lookup(directory);
    if (!dir || !dir->isDirectory) {
        *failure = SEARCH_PATH_NOT_FOUND;
        return 0;
    }

    auto search = std::make_unique<DirSearch>();
    search->directory = directory;
    const bool isRoot = directory.size() == 2;
    if (!isRoot) {
        search->entries.push_back(MakeEntry(".", true, 0));
        search->entries.push_back(MakeEntry("..", true, 0));
    }
    for (const auto &child : dir->children)
        search->entries.push_back(MakeEntry(child->name, child->isDirectory, child->size));
    if (search->entries.empty()) {
        *failure = SEARCH_OTHER;  // an empty root: the system says "file not found"
        return 0;
    }

    g_searches.push_back(std::move(search));
    DirSearch *opened = g_searches.back().get();
    try {
        HandOut(opened, entry);
    } catch (...) {
        opened->open = false;  // the caller never received it
        throw;
    }
    return opened;
}

bool DirSearchNext(DirSearch *search, FoundEntry *entry)
{
    if (!search || !search->open) {
        ++g_misused;
        return false;
    }
    if (search->next >= search->entries.size())
        return false;
    HandOut(search, entry);
    return true;
}

void DirSearchClose(DirSearch *search)
{
    if (!search)
        return;  // no search: nothing to close
    if (!search->open) {
        ++g_misused;
        return;
    }
    search->open = false;
}

void QueryVolumeLabel(const char *root, char label[VOLUME_LABEL_SIZE])
{
    std::memset(label, 0, VOLUME_LABEL_SIZE);
    ++g_labelQueries;
    ++g_labelQueriesByRoot[Fold(root)];
    if (std::strlen(root) < 2 || root[1] != ':')
        return;
    auto drive = g_drives.find(FoldLetter(root[0]));
    if (drive != g_drives.end())
        std::memcpy(label, drive->second.label.c_str(), drive->second.label.size());  // at most 34
}

bool ReadVersionHalves(const char *path, VersionHalves *halves)
{
    *halves = VersionHalves{0, 0, 0, 0};
    ++g_versionReads;
    ++g_versionReadsByPath[Fold(path)];
    Node *file = Lookup(path);
    if (!file || file->isDirectory || !file->hasVersion)
        return false;
    *halves = file->version;
    return true;
}
