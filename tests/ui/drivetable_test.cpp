#include <gtest/gtest.h>

#include <cstring>

#include "app/shared.h"
#include "tests/fakes/fake_dialog.h"
#include "ui/drivetable.h"

namespace {

PlatformHandle const kDialog = reinterpret_cast<PlatformHandle>(0x1100);
PlatformHandle const kOtherDialog = reinterpret_cast<PlatformHandle>(0x2200);

// A table as the main dialog builds it: entry i has checkbox 1023 + i and
// label 1101 + i; `selected` starts as given, to show that it is overwritten.
class DriveTableTest : public ::testing::Test {
protected:
    DriveEntry entries[3];

    void SetUp() override
    {
        ClearFakeButtonStates();
        const char *labels[] = {"C:", "D:", "A:"};
        for (int i = 0; i < 3; ++i) {
            entries[i].checkboxId = 1023 + i;
            entries[i].labelId = 1101 + i;
            entries[i].selected = 1;
            std::strcpy(entries[i].label, labels[i]);
        }
        g_shared.drives.entries = entries;
        g_shared.drives.count = 3;
        g_shared.drives.selectedCount = 99;
    }

    void TearDown() override
    {
        g_shared.drives.entries = 0;
        g_shared.drives.count = 0;
        g_shared.drives.selectedCount = 0;
    }
};

TEST_F(DriveTableTest, EmptyTableSelectsNothingAndReadsNoControl)
{
    g_shared.drives.entries = 0;
    g_shared.drives.count = 0;
    SetFakeButtonState(kDialog, 1023, BUTTON_TICKED);

    EXPECT_FALSE(ReadDriveSelections(kDialog));
    EXPECT_EQ(0u, g_shared.drives.selectedCount);
    EXPECT_EQ(0u, FakeButtonReads(kDialog, 1023));
}

// Only a ticked box selects its drive: an unticked or indeterminate one
// leaves it out.
TEST_F(DriveTableTest, OnlyCheckedStateCounts)
{
    struct Row {
        const char *label;
        ButtonState states[3];
        int32_t selected[3];
        uint32_t count;
    } const rows[] = {
        {"only the third ticked", {BUTTON_UNTICKED, BUTTON_UNTICKED, BUTTON_TICKED}, {0, 0, 1}, 1},
        {"indeterminate is not a tick", {BUTTON_INDETERMINATE, BUTTON_TICKED, BUTTON_INDETERMINATE}, {0, 1, 0}, 1},
        {"all ticked", {BUTTON_TICKED, BUTTON_TICKED, BUTTON_TICKED}, {1, 1, 1}, 3},
        {"none ticked", {BUTTON_UNTICKED, BUTTON_UNTICKED, BUTTON_UNTICKED}, {0, 0, 0}, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        for (int i = 0; i < 3; ++i)
            SetFakeButtonState(kDialog, 1023 + i, row.states[i]);

        EXPECT_EQ(row.count != 0, ReadDriveSelections(kDialog));
        EXPECT_EQ(row.count, g_shared.drives.selectedCount);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(row.selected[i], entries[i].selected) << "entry " << i;
    }
}

// The entry's own checkbox id is asked in the dialog that was passed, not a
// control derived from the letter or another window's controls.
TEST_F(DriveTableTest, ReadsEachEntrysCheckboxInTheGivenDialog)
{
    entries[0].checkboxId = 1030;
    SetFakeButtonState(kOtherDialog, 1030, BUTTON_TICKED);
    SetFakeButtonState(kDialog, 1023, BUTTON_TICKED);  // not entry 0's checkbox any more
    SetFakeButtonState(kDialog, 1024, BUTTON_TICKED);

    EXPECT_TRUE(ReadDriveSelections(kDialog));
    EXPECT_EQ(0, entries[0].selected);
    EXPECT_EQ(1, entries[1].selected);
    EXPECT_EQ(0, entries[2].selected);
    EXPECT_EQ(1u, g_shared.drives.selectedCount);
    EXPECT_EQ(1u, FakeButtonReads(kDialog, 1030));
    EXPECT_EQ(0u, FakeButtonReads(kOtherDialog, 1030));
    // The letters are the dialog's to show; reading ticks leaves them alone.
    EXPECT_STREQ("C:", entries[0].label);
}

}  // namespace
