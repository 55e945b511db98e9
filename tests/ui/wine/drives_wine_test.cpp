// The drive list as the main dialog builds it, on a prefix whose drives
// have the types that tests/ui/wine/drive_types.sh gives them. Run once per
// arrangement, with --gtest_filter choosing the matching test.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/mainwindow.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "tests/wine/support/wine_support.h"

namespace {

HWND Dialog() { return g_mainDialog; }

bool CheckboxShown(int slot)
{
    HWND check = GetDlgItem(Dialog(), IDC_FIRST_DRIVE_CHECK + slot);
    return (GetWindowLongA(check, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::string LabelText(int slot)
{
    char text[16] = "";
    GetDlgItemTextA(Dialog(), IDC_FIRST_DRIVE_LABEL + slot, text, sizeof text);
    return text;
}

// As start-up does it; the dialog builds the drive list on the way.
void CreateWindows()
{
    HINSTANCE instance = GetModuleHandleA(0);
    ASSERT_TRUE(RegisterMainClass(instance));
    ASSERT_TRUE(CreateMainWindows(instance, SW_SHOWNORMAL));
    PumpMessagesFor(100);
}

// Fixed C: and D:; A: a floppy, E: a CD-ROM, N: a network drive; R: a RAM
// disk, which is not offered; every other letter has no drive.
TEST(DriveListing, FixedDrivesFirstTickedThenTheOthersUnticked)
{
    BoxAnswerer answerer;
    CreateWindows();
    struct Slot {
        const char *label;
        bool ticked;
    } const expected[] = {{"C:", true}, {"D:", true}, {"A:", false}, {"E:", false}, {"N:", false}};
    const int count = sizeof expected / sizeof expected[0];
    ASSERT_EQ(static_cast<uint32_t>(count), g_shared.drives.count);
    for (int k = 0; k < 26; ++k) {
        SCOPED_TRACE(k);
        if (k < count) {
            EXPECT_TRUE(CheckboxShown(k));
            EXPECT_EQ(expected[k].label, LabelText(k));
            EXPECT_EQ(expected[k].ticked ? BST_CHECKED : BST_UNCHECKED,
                      IsDlgButtonChecked(Dialog(), IDC_FIRST_DRIVE_CHECK + k));
            EXPECT_EQ(expected[k].ticked ? 1 : 0, g_shared.drives.entries[k].selected);
        } else {
            EXPECT_FALSE(CheckboxShown(k));
            EXPECT_EQ("", LabelText(k));
        }
    }
    PumpMessagesFor(200);
    EXPECT_EQ(0u, answerer.Count());
}

// Only CD-ROM and removable drives: string 13, no checkbox at all, and a
// Start leads to string 16 and then the dialog's warning.
TEST(DriveListing, NoFixedDriveShowsNoCheckbox)
{
    BoxAnswerer answerer;
    CreateWindows();
    ASSERT_TRUE(answerer.WaitForBoxes(1, 10000));
    EXPECT_EQ("Failed to identify the hard disks in the system.", answerer.Boxes()[0].text);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), answerer.Boxes()[0].icon);
    EXPECT_EQ(0u, g_shared.drives.count);
    for (int k = 0; k < 26; ++k) {
        EXPECT_FALSE(CheckboxShown(k)) << k;
        EXPECT_EQ("", LabelText(k)) << k;
    }

    SendMessageA(GetDlgItem(Dialog(), IDC_START), BM_CLICK, 0, 0);
    ASSERT_TRUE(answerer.WaitForBoxes(3, 10000));
    EXPECT_EQ("No drives have been selected for scanning.", answerer.Boxes()[1].text);
    EXPECT_EQ("Canceled scanning drive.", answerer.Boxes()[2].text);
}

}  // namespace
