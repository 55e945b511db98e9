// The directory search, volume label, current directory and checkbox
// state on the real platform. Drives (see CMakeLists.txt): M: an empty
// folder without a label, N: an empty folder labelled "BRINDLE DATA" that
// the tests fill, O: a folder whose label is longer than 34 characters.
// No other letter but C: is mapped.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/curdir.h"
#include "platform/dialog.h"
#include "platform/dirsearch.h"
#include "platform/volume.h"
#include "tests/wine/support/wine_support.h"

namespace {
void MakeFile(const char *path, size_t bytes)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    std::string data(bytes, 'b');
    DWORD written = 0;
    BOOL wrote = bytes == 0 || WriteFile(file, data.data(), static_cast<DWORD>(bytes), &written, 0);
    CloseHandle(file);
    ASSERT_TRUE(wrote) << path;
}

std::map<std::string, FoundEntry> ListAll(const char *pattern)
{
    std::map<std::string, FoundEntry> entries;
    FoundEntry entry;
    SearchFailure failure = SEARCH_OTHER;
    DirSearch *search = DirSearchFirst(pattern, &entry, &failure);
    EXPECT_TRUE(search) << pattern << " failed with " << failure;
    if (!search)
        return entries;
    do {
        entries[entry.name] = entry;
    } while (DirSearchNext(search, &entry));
    DirSearchClose(search);
    return entries;
}

TEST(DirSearch, ListsNamesDirectoryAttributesAndBothSizeHalves)
{
    ASSERT_TRUE(CreateDirectoryA("N:\\tree", 0));
    ASSERT_TRUE(CreateDirectoryA("N:\\tree\\inner", 0));
    MakeFile("N:\\tree\\seven.dll", 7);
    MakeFile("N:\\tree\\empty.txt", 0);
    // A sparse file of 5 GiB + 3 bytes: the high half is 1.
    HANDLE big = CreateFileA("N:\\tree\\big.bin", GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(big, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (5LL << 30) + 3;
    ASSERT_TRUE(SetFilePointerEx(big, end, 0, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(big));
    CloseHandle(big);

    std::map<std::string, FoundEntry> entries = ListAll("N:\\tree\\*");
    ASSERT_EQ(entries.size(), 6u) << "., .., inner, seven.dll, empty.txt, big.bin";
    EXPECT_TRUE(entries["."].isDirectory);
    EXPECT_TRUE(entries[".."].isDirectory);
    EXPECT_TRUE(entries["inner"].isDirectory);
    EXPECT_FALSE(entries["seven.dll"].isDirectory);
    EXPECT_EQ(entries["seven.dll"].sizeHigh, 0u);
    EXPECT_EQ(entries["seven.dll"].sizeLow, 7u);
    EXPECT_EQ(entries["empty.txt"].sizeLow, 0u);
    EXPECT_EQ(entries["big.bin"].sizeHigh, 1u);
    EXPECT_EQ(entries["big.bin"].sizeLow, 0x40000003u);
}

TEST(DirSearch, FailuresAreMappedToTheirKinds)
{
    struct Case {
        const char *pattern;
        SearchFailure expected;
    } cases[] = {
        {"M:\\*", SEARCH_OTHER},                  // an empty root: error 2
        {"N:\\no such folder\\*", SEARCH_PATH_NOT_FOUND},
    };
    for (const Case &c : cases) {
        FoundEntry entry;
        SearchFailure failure = static_cast<SearchFailure>(-1);
        EXPECT_EQ(DirSearchFirst(c.pattern, &entry, &failure), nullptr) << c.pattern;
        EXPECT_EQ(failure, c.expected) << c.pattern;
    }

    // A letter with no drive is one of the tolerated kinds: there is
    // nothing to list there.
    FoundEntry entry;
    SearchFailure failure = SEARCH_OTHER;
    EXPECT_EQ(DirSearchFirst("Q:\\*", &entry, &failure), nullptr);
    EXPECT_TRUE(failure == SEARCH_PATH_NOT_FOUND || failure == SEARCH_INVALID_DRIVE) << failure;
}

TEST(VolumeLabel, ReadsTheLabelOrLeavesTheBufferEmpty)
{
    struct Case {
        const char *root;
        const char *label;
    } cases[] = {
        {"N:\\", "BRINDLE DATA"},
        {"M:\\", ""},
        {"Q:\\", ""},  // no such drive: the query fails
    };
    for (const Case &c : cases) {
        char label[36];
        std::memset(label, 'x', sizeof label);
        QueryVolumeLabel(c.root, label);
        EXPECT_STREQ(label, c.label) << c.root;
        EXPECT_EQ(label[35], 'x') << c.root << ": wrote past the 35-byte buffer";
    }
}

TEST(VolumeLabel, ALabelTooLongForTheBufferIsCutOrDropped)
{
    char label[36];
    std::memset(label, 'x', sizeof label);
    QueryVolumeLabel("O:\\", label);
    std::string got(label);
    EXPECT_LE(got.size(), 34u);
    EXPECT_EQ(std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD").compare(0, got.size(), got), 0)
        << got;
    EXPECT_EQ(label[35], 'x') << "wrote past the 35-byte buffer";
}

TEST(CurrentDir, GivesThePathOrZeroWhenItDoesNotFit)
{
    // The harness starts test programs in C:\brindle.
    const std::string expected = "C:\\brindle";
    char buffer[260];
    EXPECT_EQ(GetCurrentDir(buffer, sizeof buffer), expected.size());
    EXPECT_EQ(std::string(buffer), expected);
    uint32_t exact = static_cast<uint32_t>(expected.size());
    EXPECT_EQ(GetCurrentDir(buffer, exact + 1), exact) << "room for the terminator";
    EXPECT_EQ(GetCurrentDir(buffer, exact), 0u) << "no room for the terminator";
    EXPECT_EQ(GetCurrentDir(buffer, 3), 0u);

    ASSERT_TRUE(SetCurrentDirectoryA("N:\\"));
    EXPECT_EQ(GetCurrentDir(buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "N:\\");
    ASSERT_TRUE(SetCurrentDirectoryA(expected.c_str()));
}

TEST(DialogButtonState, ReadsEachCheckboxState)
{
    TestWindow parent;
    ASSERT_TRUE(parent.handle());
    const int ids[] = {1023, 1024, 1025};
    for (int id : ids)
        ASSERT_TRUE(CreateWindowA("BUTTON", "x", WS_CHILD | WS_VISIBLE | BS_AUTO3STATE, 0, 0, 50, 20,
                                  parent.handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleA(0), 0));
    CheckDlgButton(parent.handle(), 1023, BST_CHECKED);
    CheckDlgButton(parent.handle(), 1025, BST_INDETERMINATE);
    EXPECT_EQ(DialogButtonState(parent.handle(), 1023), BUTTON_TICKED);
    EXPECT_EQ(DialogButtonState(parent.handle(), 1024), BUTTON_UNTICKED);
    EXPECT_EQ(DialogButtonState(parent.handle(), 1025), BUTTON_INDETERMINATE);
    EXPECT_EQ(DialogButtonState(parent.handle(), 1099), BUTTON_UNTICKED) << "no such control";
}
}  // namespace
