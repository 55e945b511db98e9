#include "app/report.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/shared.h"
#include "tests/fakes/fake_msgbox.h"
#include "tests/fakes/fake_strings.h"

namespace {

PlatformHandle const kMainWindow = reinterpret_cast<PlatformHandle>(0x1234);

class ReportTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearRecordedMessages();
        g_shared.mainWindow = kMainWindow;
        ASSERT_GT(LoadText(10, g_shared.windowTitle, TITLE_TEXT_SIZE), 0);
    }

    void TearDown() override
    {
        ClearRecordedMessages();
        g_shared.mainWindow = 0;
        g_shared.windowTitle[0] = '\0';
    }
};

TEST_F(ReportTest, ShowsTheStringWithItsIconAndCaption)
{
    const struct {
        unsigned id;
        MessageIcon icon;
        bool withTitle;
    } cases[] = {
        {5, ICON_WARNING, false},
        {25, ICON_ERROR, false},
        {35, ICON_ERROR, false},
        {26, ICON_INFORMATION, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        ClearRecordedMessages();
        ReportMessage(c.id, c.icon, c.withTitle ? g_shared.windowTitle : 0);
        ASSERT_EQ(RecordedMessages().size(), 1u);
        const RecordedMessage &m = RecordedMessages()[0];
        EXPECT_EQ(m.stringId, c.id);
        EXPECT_EQ(m.text, StringTableText(c.id));
        EXPECT_EQ(m.icon, c.icon);
        EXPECT_EQ(m.hasCaption, c.withTitle);
        EXPECT_EQ(m.caption, c.withTitle ? "Ulvaron(R) Brindlemark" : "");
    }
}

TEST_F(ReportTest, MainWindowIsDisabledExactlyWhileTheBoxIsUp)
{
    bool enabledDuringBox = true;
    SetMessageBoxHook([&](const RecordedMessage &) { enabledDuringBox = FakeWindowEnabled(kMainWindow); });
    ASSERT_TRUE(FakeWindowEnabled(kMainWindow));

    ReportMessage(21, ICON_WARNING);
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_TRUE(RecordedMessages()[0].mainWindowDisabled);
    EXPECT_FALSE(enabledDuringBox);
    EXPECT_TRUE(FakeWindowEnabled(kMainWindow));
}

TEST_F(ReportTest, BeforeTheMainWindowExistsOnlyTheBoxIsShown)
{
    g_shared.mainWindow = 0;
    ReportMessage(5, ICON_WARNING);
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].stringId, 5u);
    EXPECT_FALSE(RecordedMessages()[0].mainWindowDisabled);
    EXPECT_TRUE(FakeWindowEnabled(kMainWindow));
}

}  // namespace
