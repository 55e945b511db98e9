// The string table as the program loads it: the resource script compiled
// into this test program, read back through LoadTableString.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/resources/resource.h"
#include "platform/strings.h"
#include "tests/support/string_table.h"

namespace {
TEST(StringTable, EveryIdLoadsItsExactText)
{
    for (const StringTableRow &row : kStringTable) {
        char buffer[260];
        std::memset(buffer, 'x', sizeof buffer);
        int length = LoadTableString(0, row.id, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer), row.text) << "id " << row.id;
        EXPECT_EQ(length, static_cast<int>(std::strlen(row.text))) << "id " << row.id;
    }
}

TEST(StringTable, TheModuleHandleAndZeroLoadTheSameTable)
{
    char viaZero[100], viaHandle[100];
    ASSERT_GT(LoadTableString(0, IDS_WINDOW_TITLE, viaZero, sizeof viaZero), 0);
    ASSERT_GT(LoadTableString(GetModuleHandleA(0), IDS_WINDOW_TITLE, viaHandle, sizeof viaHandle), 0);
    EXPECT_STREQ(viaZero, viaHandle);
    EXPECT_STREQ(viaZero, "Ulvaron(R) Brindlemark");
}

TEST(StringTable, UndefinedIdsLoadNothingAndLeaveAnEmptyBuffer)
{
    for (unsigned id : {0u, 17u, 19u, 36u, 999u}) {
        char buffer[250];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(LoadTableString(0, id, buffer, sizeof buffer), 0) << "id " << id;
        EXPECT_EQ(buffer[0], '\0') << "id " << id;
    }
}

TEST(StringTable, ALongTextIsCutToTheBufferAndTerminated)
{
    // String 2 has 78 characters; a 10-character buffer takes 9 and the end.
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    int length = LoadTableString(0, IDS_OS_NOT_SUPPORTED, buffer, 10);
    EXPECT_EQ(length, 9);
    EXPECT_STREQ(buffer, "The OS on");
    EXPECT_EQ(buffer[10], 'x') << "wrote past the buffer";
}
}  // namespace
