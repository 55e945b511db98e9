// The drive walk against the in-memory file system, with a real catalogue
// loaded from a temporary "DataFile.txt" and a real log read back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/report.h"
#include "app/shared.h"
#include "log/log.h"
#include "scan/catalogue.h"
#include "scan/drivescan.h"
#include "tests/fakes/dirsearch_contract.h"
#include "tests/fakes/fake_filesystem.h"
#include "tests/fakes/fake_msgbox.h"
#include "tests/fakes/fake_threadqueue.h"

namespace {

const char kFileLineStart[] = "<LEFT><FONT COLOR=\"#C00000\" SIZE=\"2\" FACE=\"Arial\">";
const char kSpacer[] = " <CENTER>&nbsp;</CENTER>";
const char kNote[] = "could not validate";

struct LoggedFile {
    std::string text;  // "N. label directory+name"
    bool held;         // written without the could-not-validate note
};

// Catalogue lines. Kind 4 compares the size only.
std::string HeldBySize(const std::string &name)
{
    return name + ";4;0;-;0;-;1;>=;0;-;\n";  // any non-empty file
}

std::string FailsBySize(const std::string &name)
{
    return name + ";4;0;-;0;-;10;<;0;-;\n";  // only files below 10 bytes
}

// Kind 2 compares the file version; the test files are version 1.2.3.4.
const uint64_t kVersion1234 = (1ull << 48) | (2ull << 32) | (3ull << 16) | 4;

std::string HeldByVersion(const std::string &name)
{
    return name + ";2;" + std::to_string(kVersion1234) + ";>=;0;-;0;-;0;-;\n";
}

std::string FailsByVersion(const std::string &name)
{
    return name + ";2;" + std::to_string(kVersion1234) + ";<;0;-;0;-;0;-;\n";
}

std::string InvalidKind(const std::string &name)
{
    return name + ";3;0;-;0;-;0;-;0;-;\n";
}

std::vector<std::string> Texts(const std::vector<LoggedFile> &files)
{
    std::vector<std::string> texts;
    for (const LoggedFile &file : files)
        texts.push_back(file.text);
    return texts;
}

std::vector<unsigned> MessageIds()
{
    std::vector<unsigned> ids;
    for (const RecordedMessage &m : RecordedMessages())
        ids.push_back(m.stringId);
    return ids;
}

size_t Occurrences(const std::string &haystack, const std::string &needle)
{
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++count;
    return count;
}

class DriveScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDoubles();
        log_ = ScanLog{0, 0};
        char dirTemplate[] = "/tmp/drivescan_test.XXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        dir_ = dirTemplate;
        ASSERT_NE(getcwd(oldCwd_, sizeof oldCwd_), nullptr);
        ASSERT_EQ(chdir(dir_.c_str()), 0);
        catalogue_ = Catalogue();
        logPath_ = dir_ + "/scan.html";
    }

    void TearDown() override
    {
        ReleaseScanState();
        EXPECT_EQ(chdir(oldCwd_), 0);
        rmdir(dir_.c_str());
        g_shared.StopRequested.store(0);
    }

    // Before the next case of a table: no log, catalogue or stop request,
    // an empty file system, queue and message record; the folder stays.
    void NextCase()
    {
        ReleaseScanState();
        ResetDoubles();
    }

    void ResetDoubles()
    {
        FakeFsReset();
        ResetFakeThreadQueue();
        ClearRecordedMessages();
        g_shared.StopRequested.store(0);
    }

    void ReleaseScanState()
    {
        if (log_.file)
            CloseLog(log_.file);
        log_ = ScanLog{0, 0};
        ReleaseCatalogue(&catalogue_);
        catalogue_ = Catalogue();
        std::remove((dir_ + "/DataFile.txt").c_str());
        std::remove(logPath_.c_str());
    }

    void LoadEntries(const std::string &entryLines)
    {
        std::ofstream("DataFile.txt") << "http://support.example/\n" << entryLines;
        ASSERT_TRUE(LoadCatalogue(&catalogue_));
        log_.file = OpenLogForScan(logPath_.c_str());
        ASSERT_NE(log_.file, nullptr);
    }

    DriveOutcome Scan(const char *pattern) { return ScanDrive(pattern, &log_, &catalogue_); }

    // Closes the log if the scan left it open and returns all it holds.
    std::string LogContent()
    {
        if (log_.file) {
            EXPECT_TRUE(CloseLog(log_.file));
            log_.file = 0;
        }
        std::ifstream in(logPath_, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

    std::vector<LoggedFile> LoggedFiles()
    {
        const std::string content = LogContent();
        std::vector<LoggedFile> files;
        for (size_t at = content.find(kFileLineStart); at != std::string::npos;) {
            const size_t start = at + sizeof kFileLineStart - 1;
            const size_t next = content.find(kFileLineStart, start);
            const std::string line = content.substr(start, next == std::string::npos ? std::string::npos : next - start);
            const size_t end = line.find(kSpacer);
            EXPECT_NE(end, std::string::npos) << line;
            files.push_back({line.substr(0, end), line.find(kNote) == std::string::npos});
            at = next;
        }
        return files;
    }

    // C:\ lists zeta.dll, Sub1, alpha.dll, Sub2, skip.txt; Sub1 lists
    // mid.dll, Deep, last.dll; Deep lists deep.dll and deeper.dll; Sub2
    // lists two.dll. Listing order is deliberately not alphabetical.
    void BuildSmallTree()
    {
        FakeFsAddDrive('C', "SYS");
        FakeFsAddFile("C:\\zeta.dll", 100);
        FakeFsAddDirectory("C:\\Sub1");
        FakeFsAddFile("C:\\alpha.dll", 100);
        FakeFsAddDirectory("C:\\Sub2");
        FakeFsAddFile("C:\\skip.txt", 100);
        FakeFsAddFile("C:\\Sub1\\mid.dll", 100);
        FakeFsAddDirectory("C:\\Sub1\\Deep");
        FakeFsAddFile("C:\\Sub1\\last.dll", 100);
        FakeFsAddFile("C:\\Sub1\\Deep\\deep.dll", 100);
        FakeFsAddFile("C:\\Sub1\\Deep\\deeper.dll", 100);
        FakeFsAddFile("C:\\Sub2\\two.dll", 100);
        LoadEntries(HeldBySize("zeta.dll") + HeldBySize("alpha.dll") + HeldBySize("mid.dll") +
                    HeldBySize("last.dll") + HeldBySize("deep.dll") + HeldBySize("deeper.dll") +
                    HeldBySize("two.dll"));
    }

    void ExpectSearchesClosed()
    {
        EXPECT_EQ(FakeFsOpenSearches(), 0);
        EXPECT_EQ(FakeFsMisusedSearches(), 0);
    }

    std::string dir_;
    std::string logPath_;
    char oldCwd_[PATH_MAX];
    Catalogue catalogue_;
    ScanLog log_ = {0, 0};
};

const std::vector<std::string> kSmallTreeLines = {
    "1. SYS C:\\zeta.dll",        "2. SYS C:\\alpha.dll",         "3. SYS C:\\Sub1\\mid.dll",
    "4. SYS C:\\Sub1\\last.dll",  "5. SYS C:\\Sub1\\Deep\\deep.dll", "6. SYS C:\\Sub1\\Deep\\deeper.dll",
    "7. SYS C:\\Sub2\\two.dll",
};

TEST_F(DriveScanTest, WalksDepthFirstFilesBeforeSubdirectoriesListingEachDirectoryOnce)
{
    BuildSmallTree();

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

    EXPECT_EQ(Texts(LoggedFiles()), kSmallTreeLines);
    // Each directory listed exactly once, in walk order; "." and ".." never
    // become patterns of their own.
    const std::vector<std::string> listings = {"C:\\*", "C:\\Sub1\\*", "C:\\Sub1\\Deep\\*", "C:\\Sub2\\*"};
    EXPECT_EQ(FakeFsListingLog(), listings);
    EXPECT_TRUE(RecordedMessages().empty());
    EXPECT_EQ(log_.listedCount, 7);
    ExpectSearchesClosed();
}

// The thread's pending messages are handled once per directory, after its
// files have been judged: what was listed and logged at each call.
TEST_F(DriveScanTest, PendingMessagesAreHandledAfterEveryDirectory)
{
    BuildSmallTree();
    FakeFsFailListing("C:\\Sub2\\*", SEARCH_ACCESS_DENIED);
    std::vector<std::pair<std::string, int>> calls;
    FakeOnPendingMessages([&] {
        const std::vector<std::string> &listings = FakeFsListingLog();
        calls.push_back({listings.empty() ? "" : listings.back(), log_.listedCount});
    });

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

    // A directory that cannot be listed is no directory walked.
    const std::vector<std::pair<std::string, int>> expected = {
        {"C:\\*", 2}, {"C:\\Sub1\\*", 4}, {"C:\\Sub1\\Deep\\*", 6}};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(FakePendingMessageCalls(), 3);
}

TEST_F(DriveScanTest, ToleratedListingFailuresAreSkippedSilently)
{
    const struct {
        const char *label;
        const char *pattern;
        SearchFailure failure;
    } rows[] = {
        {"path not found", "C:\\Sub1\\*", SEARCH_PATH_NOT_FOUND},
        {"access denied", "C:\\Sub1\\*", SEARCH_ACCESS_DENIED},
        {"invalid drive", "C:\\Sub1\\*", SEARCH_INVALID_DRIVE},
        {"not ready", "C:\\Sub1\\*", SEARCH_NOT_READY},
        {"not ready at the root", "C:\\*", SEARCH_NOT_READY},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        NextCase();
        BuildSmallTree();
        FakeFsFailListing(row.pattern, row.failure);

        EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

        std::vector<std::string> expected;
        if (std::string(row.pattern) != "C:\\*")
            expected = {"1. SYS C:\\zeta.dll", "2. SYS C:\\alpha.dll", "3. SYS C:\\Sub2\\two.dll"};
        EXPECT_EQ(Texts(LoggedFiles()), expected);
        EXPECT_TRUE(RecordedMessages().empty());
        ExpectSearchesClosed();
    }
}

TEST_F(DriveScanTest, OtherListingFailureFailsTheWholeDriveWithString29)
{
    BuildSmallTree();
    FakeFsFailListing("C:\\Sub1\\Deep\\*", SEARCH_OTHER);

    EXPECT_EQ(Scan("C:\\*"), DRIVE_FAILED);

    // Everything before the broken directory is logged, nothing after it.
    EXPECT_EQ(Texts(LoggedFiles()), std::vector<std::string>(kSmallTreeLines.begin(), kSmallTreeLines.begin() + 4));
    ASSERT_EQ(MessageIds(), std::vector<unsigned>{29});
    EXPECT_EQ(RecordedMessages()[0].icon, unsigned(ICON_ERROR));
    EXPECT_EQ(FakeFsListingsOpened("C:\\Sub2\\*"), 0);
    EXPECT_EQ(g_shared.StopRequested.load(), 0u);
    ExpectSearchesClosed();
}

TEST_F(DriveScanTest, EmptyRootFailsTheDriveWithString29)
{
    FakeFsAddDrive('E', "EMPTY");
    LoadEntries(HeldBySize("a.dll"));

    EXPECT_EQ(Scan("E:\\*"), DRIVE_FAILED);

    EXPECT_EQ(MessageIds(), std::vector<unsigned>{29});
    EXPECT_TRUE(LoggedFiles().empty());
    ExpectSearchesClosed();
}

TEST_F(DriveScanTest, StopEndsTheWalkAfterTheCurrentEntry)
{
    const auto stop = [] { g_shared.StopRequested.store(1); };
    const struct {
        const char *label;
        const char *listedEntry;    // stop when this entry is handed out
        const char *openedPattern;  // or when this listing opens
        const char *deniedPattern;  // a listing that fails (access denied)
        size_t linesWritten;        // of kSmallTreeLines
        size_t listings;
    } rows[] = {
        // The entry being judged still gets its line, then nothing more.
        {"deep in the tree, at a file", "C:\\Sub1\\Deep\\deep.dll", "", "", 5, 3},
        // A directory entry is polled after too: alpha.dll, listed after
        // Sub1 in the root, is never judged.
        {"at a directory entry", "C:\\Sub1", "", "", 1, 1},
        {"at a dot entry", "C:\\Sub1\\Deep\\..", "", "", 4, 3},
        // A subdirectory that lists nothing still counts as an entry
        // walked: Sub2 is not entered.
        {"while a subdirectory that cannot be listed opens", "", "C:\\Sub1\\*", "C:\\Sub1\\*", 2, 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        NextCase();
        BuildSmallTree();
        if (*row.listedEntry)
            FakeFsOnListed(row.listedEntry, stop);
        if (*row.openedPattern)
            FakeFsOnOpened(row.openedPattern, stop);
        if (*row.deniedPattern)
            FakeFsFailListing(row.deniedPattern, SEARCH_ACCESS_DENIED);

        EXPECT_EQ(Scan("C:\\*"), DRIVE_STOPPED);

        EXPECT_EQ(Texts(LoggedFiles()),
                  std::vector<std::string>(kSmallTreeLines.begin(), kSmallTreeLines.begin() + row.linesWritten));
        EXPECT_EQ(FakeFsListingsOpened(), static_cast<int>(row.listings));
        EXPECT_TRUE(RecordedMessages().empty());
        ExpectSearchesClosed();
    }
}

TEST_F(DriveScanTest, ExceptionInsideTheWalkWritesFooter33ClosesTheLogAndStops)
{
    const struct {
        const char *label;
        const char *entryPath;
        std::function<void()> fault;
        size_t linesWritten;
    } rows[] = {
        {"standard exception at a file", "C:\\Sub1\\last.dll", [] { throw std::runtime_error("broken"); }, 3},
        {"allocation failure while a listing opens", "C:\\Sub1\\Deep\\.", [] { throw std::bad_alloc(); }, 4},
        {"non-standard exception at the root", "C:\\zeta.dll", [] { throw 42; }, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        NextCase();
        BuildSmallTree();
        WriteLogHeader(log_.file, 0);
        FakeFsOnListed(row.entryPath, row.fault);

        ASSERT_EQ(Scan("C:\\*"), DRIVE_EXCEPTION);
        log_.file = 0;  // closed by the guard
        EXPECT_EQ(g_shared.StopRequested.load(), 1u);
        ASSERT_EQ(MessageIds(), std::vector<unsigned>{33});
        EXPECT_EQ(RecordedMessages()[0].icon, unsigned(ICON_ERROR));
        const std::string content = LogContent();
        EXPECT_EQ(Occurrences(content, "Encountered Exception. Scan Incomplete."), 1u);
        EXPECT_EQ(Occurrences(content, "</BODY>"), 1u);
        EXPECT_EQ(Occurrences(content, "No Updates Needed"), 0u);
        EXPECT_EQ(Texts(LoggedFiles()),
                  std::vector<std::string>(kSmallTreeLines.begin(), kSmallTreeLines.begin() + row.linesWritten));
        ExpectSearchesClosed();
    }
}

TEST_F(DriveScanTest, NameGivenBySeveralEntriesIsWrittenOnceWithItsVersionReadAtMostOnce)
{
    const struct {
        const char *label;
        std::string entries;
        bool held;
        int versionReads;
        std::vector<unsigned> messages;
    } rows[] = {
        {"none holds", FailsByVersion("multi.dll") + FailsByVersion("MULTI.DLL") + FailsBySize("Multi.dll"), false, 1,
         {}},
        {"the last holds", FailsBySize("multi.dll") + FailsByVersion("multi.dll") + HeldByVersion("multi.dll"), true, 1,
         {}},
        // Once one holds the others are not looked at: the invalid kinds
        // after it are never reported.
        {"the first holds", HeldByVersion("multi.dll") + InvalidKind("multi.dll") + InvalidKind("multi.dll"), true, 1,
         {}},
        {"an invalid kind before one that holds",
         InvalidKind("multi.dll") + HeldByVersion("multi.dll") + FailsBySize("multi.dll"), true, 1, {35}},
        // Size-only entries need nothing from the file itself.
        {"size-only entries", FailsBySize("multi.dll") + FailsBySize("multi.dll") + HeldBySize("multi.dll"), true, 0,
         {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        NextCase();
        FakeFsAddDrive('C', "SYS");
        FakeFsAddFile("C:\\lib\\multi.dll", 100, VersionHalves{0x00010002, 0x00030004, 0x00050006, 0x00070008});
        LoadEntries(HeldBySize("other.dll") + row.entries);

        EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

        const std::vector<LoggedFile> files = LoggedFiles();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].text, "1. SYS C:\\lib\\multi.dll");
        EXPECT_EQ(files[0].held, row.held);
        EXPECT_EQ(FakeFsVersionReads("C:\\lib\\multi.dll"), row.versionReads);
        EXPECT_EQ(FakeFsVersionReads(), row.versionReads);
        EXPECT_EQ(MessageIds(), row.messages);
    }
}

// Kinds 5 and 6 compare a version and the size. The file is version
// 1.2.3.4 in both halves and the entry wants a version below that and any
// size: read, the version fails it; not read, the size alone would hold it.
TEST_F(DriveScanTest, VersionAndSizeEntriesReadTheFilesVersion)
{
    const struct {
        const char *label;
        int kind;
    } rows[] = {{"product version and size", 5}, {"file version and size", 6}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        NextCase();
        FakeFsAddDrive('C', "SYS");
        FakeFsAddFile("C:\\lib\\both.dll", 100, VersionHalves{0x00010002, 0x00030004, 0x00010002, 0x00030004});
        LoadEntries("both.dll;" + std::to_string(row.kind) + ";" + std::to_string(kVersion1234) +
                    ";<;0;-;1;>=;0;-;\n");

        EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

        const std::vector<LoggedFile> files = LoggedFiles();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].text, "1. SYS C:\\lib\\both.dll");
        EXPECT_FALSE(files[0].held);
        EXPECT_EQ(FakeFsVersionReads("C:\\lib\\both.dll"), 1);
    }
}

// A size-only entry sees all 64 bits of the size: a file of 4 GiB and 5
// bytes is not one of 5 bytes.
TEST_F(DriveScanTest, SizeOnlyEntryJudgesTheWholeSize)
{
    FakeFsAddDrive('C', "SYS");
    FakeFsAddFile("C:\\big.bin", 0x100000005ull);
    FakeFsAddFile("C:\\small\\big.bin", 5);
    LoadEntries("big.bin;4;0;-;0;-;4294967296;>=;0;-;\n");

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

    const std::vector<LoggedFile> files = LoggedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].text, "1. SYS C:\\big.bin");
    EXPECT_TRUE(files[0].held);
    EXPECT_EQ(files[1].text, "2. SYS C:\\small\\big.bin");
    EXPECT_FALSE(files[1].held);
    EXPECT_EQ(FakeFsVersionReads(), 0);
}

TEST_F(DriveScanTest, NamesMatchWithoutRegardToCaseAndShowAsOnDisk)
{
    FakeFsAddDrive('C', "SYS");
    FakeFsAddFile("C:\\Sample.Dll", 100);
    FakeFsAddFile("C:\\SAMPLE.DLLX", 100);
    FakeFsAddFile("C:\\Dir\\sample.dll", 100);
    LoadEntries(HeldBySize("SAMPLE.dll"));

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

    const std::vector<std::string> expected = {"1. SYS C:\\Sample.Dll", "2. SYS C:\\Dir\\sample.dll"};
    EXPECT_EQ(Texts(LoggedFiles()), expected);
}

TEST_F(DriveScanTest, VolumeLabelIsAskedOncePerDrive)
{
    FakeFsAddDrive('C', "SYS");
    FakeFsAddFile("C:\\a.dll", 100);
    FakeFsAddFile("C:\\x\\a.dll", 100);
    FakeFsAddFile("C:\\x\\y\\a.dll", 100);
    FakeFsAddDrive('D', "");
    FakeFsAddFile("D:\\a.dll", 100);
    FakeFsAddFile("D:\\z\\a.dll", 100);
    FakeFsAddDrive('F', "NOMATCH");
    FakeFsAddFile("F:\\other.txt", 100);
    LoadEntries(HeldBySize("a.dll"));

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);
    EXPECT_EQ(Scan("D:\\*"), DRIVE_WALKED);
    EXPECT_EQ(Scan("F:\\*"), DRIVE_WALKED);

    EXPECT_EQ(FakeFsVolumeLabelQueries("C:\\"), 1);
    EXPECT_EQ(FakeFsVolumeLabelQueries("D:\\"), 1);
    EXPECT_EQ(FakeFsVolumeLabelQueries(), 2);  // F: lists nothing catalogued
    // A drive without a label still puts the blank before the path.
    const std::vector<std::string> expected = {"1. SYS C:\\a.dll", "2. SYS C:\\x\\a.dll", "3. SYS C:\\x\\y\\a.dll",
                                               "4.  D:\\a.dll", "5.  D:\\z\\a.dll"};
    EXPECT_EQ(Texts(LoggedFiles()), expected);
}

TEST_F(DriveScanTest, DirectoryWhosePatternWouldNotFitIsSkippedSilently)
{
    const std::string label(34, 'L');
    const std::string a(100, 'a');
    const std::string b(100, 'b');
    const std::string parent = "C:\\" + a + "\\" + b + "\\";  // 205 characters
    const std::string fits = parent + std::string(52, 'f');   // its pattern is 259 characters
    const std::string tooLong = parent + std::string(53, 't');
    const std::string longName = std::string(250, 'n') + ".dll";  // 254 characters
    FakeFsAddDrive('C', label.c_str());
    FakeFsAddFile((fits + "\\" + longName).c_str(), 100);
    FakeFsAddFile((tooLong + "\\" + longName).c_str(), 100);
    FakeFsAddFile("C:\\after.dll", 1);  // listed after the long branch in the root
    LoadEntries(HeldBySize(longName) + HeldBySize("after.dll"));

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

    EXPECT_TRUE(RecordedMessages().empty());
    EXPECT_EQ(FakeFsLongestPattern(), 259u);
    EXPECT_EQ(FakeFsListingsOpened((fits + "\\*").c_str()), 1);
    EXPECT_EQ(FakeFsListingsOpened((tooLong + "\\*").c_str()), 0);
    // The line of a file in the deepest listable directory is kept whole:
    // label, blank, 258-character directory and the name.
    const std::vector<std::string> expected = {"1. " + label + " C:\\after.dll",
                                               "2. " + label + " " + fits + "\\" + longName};
    EXPECT_EQ(Texts(LoggedFiles()), expected);
    ExpectSearchesClosed();
}

TEST_F(DriveScanTest, DeepestChainOfDirectoriesIsWalkedToItsEnd)
{
    // "C:\\d\\d\\...": every level adds two characters to the pattern, so
    // the walk goes as deep as the 260-character buffer allows and no deeper.
    FakeFsAddDrive('C', "SYS");
    std::string path = "C:";
    for (int level = 0; level < 140; ++level)
        path += "\\d";
    FakeFsAddDirectory(path.c_str());
    std::string deepest = "C:";
    while (deepest.size() + 4 <= 259)  // "\\d\\*" still fits
        deepest += "\\d";
    FakeFsAddFile((deepest + "\\bottom.dll").c_str(), 100);
    LoadEntries(HeldBySize("bottom.dll"));

    EXPECT_EQ(Scan("C:\\*"), DRIVE_WALKED);

    EXPECT_EQ(Texts(LoggedFiles()), std::vector<std::string>{"1. SYS " + deepest + "\\bottom.dll"});
    EXPECT_EQ(FakeFsLongestPattern(), deepest.size() + 2);
    EXPECT_TRUE(RecordedMessages().empty());
    ExpectSearchesClosed();
}

// The double must list like the system does for the walk's tests to mean
// anything: the same contract cases as the real search under Wine.
class FakeTree : public DirSearchTreeBuilder {
public:
    void AddDirectory(const std::string &path) override { FakeFsAddDirectory(path.c_str()); }
    void AddFile(const std::string &path, uint64_t size) override { FakeFsAddFile(path.c_str(), size); }
};

TEST(FakeFileSystem, KeepsTheDirectorySearchContract)
{
    FakeFsReset();
    FakeFsAddDrive('N', "");
    FakeFsAddDrive('M', "");
    FakeTree tree;
    RunDirSearchContract(tree);
    EXPECT_EQ(FakeFsOpenSearches(), 0);
    EXPECT_EQ(FakeFsMisusedSearches(), 0);
}

// Beyond the contract: listing order is the order of adding, and version
// resources are looked up in any case.
TEST(FakeFileSystem, ListsInTheOrderAddedAndReadsVersions)
{
    FakeFsReset();
    FakeFsAddDrive('c', "SYS");
    FakeFsAddFile("C:\\Dir\\zz.DLL", 1);
    FakeFsAddFile("C:\\Dir\\File.DLL", 0x100000002ull, VersionHalves{1, 2, 3, 4});

    FoundEntry entry;
    SearchFailure failure;
    DirSearch *search = DirSearchFirst("c:\\dir\\*", &entry, &failure);
    ASSERT_NE(search, nullptr);
    std::vector<std::string> names = {entry.name};
    while (DirSearchNext(search, &entry))
        names.push_back(entry.name);
    DirSearchClose(search);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "zz.DLL", "File.DLL"}));

    VersionHalves halves;
    EXPECT_TRUE(ReadVersionHalves("C:\\DIR\\file.dll", &halves));
    EXPECT_EQ(halves.productLS, 4u);
    EXPECT_FALSE(ReadVersionHalves("C:\\Dir", &halves));
    EXPECT_EQ(FakeFsOpenSearches(), 0);
    EXPECT_EQ(FakeFsMisusedSearches(), 0);
}

}  // namespace
