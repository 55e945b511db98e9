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
#include "platform/shell.h"
#include "platform/volume.h"
#include "tests/fakes/dirsearch_contract.h"
#include "tests/wine/support/wine_support.h"

namespace {
// The contract tree on the real drives: folders and files, a large one
// sparse.
class RealTree : public DirSearchTreeBuilder {
public:
    void AddDirectory(const std::string &path) override
    {
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), 0)) << path;
    }
    void AddFile(const std::string &path, uint64_t size) override
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        BOOL sized = SetFilePointerEx(file, end, 0, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        ASSERT_TRUE(sized) << path;
    }
};

TEST(DirSearch, KeepsTheContract)
{
    RealTree tree;
    RunDirSearchContract(tree);
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

// The shell's refusal comes back as false: here the document is not there.
// (Its acceptance is seen by the interface tests, whose shell opens the log
// with a recording program.)
TEST(ShellOpenDocument, RefusalIsFalse)
{
    EXPECT_FALSE(ShellOpenDocument(0, "N:\\no such document.html"));
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
