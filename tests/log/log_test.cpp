// The scan log as the user's browser gets it: whole documents compared byte
// for byte with the committed ones in expected/ (CR LF line ends, the date
// masked), and the path, the menu effects and the write errors.
#include "log/log.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "tests/fakes/fake_curdir.h"
#include "tests/fakes/fake_msgbox.h"
#include "tests/fakes/fake_shell.h"
#include "tests/support/log_dates.h"

namespace {

namespace fs = std::filesystem;

// With the fake current directory reporting ".", BuildLogPath gives this:
// natively one file name, backslash and all, in the test's own folder.
const char kLogFile[] = ".\\Brindlog.html";
const char kSite[] = "http://www.example.com/support\n";
const char kDateMarker[] = "DDD MMM DD HH:MM:SS YYYY";

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Expected(const std::string &name)
{
    std::string path = std::string(BRINDLE_LOG_EXPECTED_DIR) + "/" + name;
    EXPECT_TRUE(fs::exists(path)) << path;
    return ReadFile(path);
}

// Replaces each date text by the marker the expected documents carry, after
// checking that it has the 24-character form and its CR LF.
std::string MaskDates(const std::string &document)
{
    std::vector<std::string> malformed;
    std::string masked = MaskLogDates(document, kDateMarker, &malformed);
    for (const std::string &text : malformed)
        ADD_FAILURE() << "date text: " << text;
    return masked;
}

std::string Repeat(const std::string &piece, size_t times)
{
    std::string result;
    for (size_t i = 0; i < times; ++i)
        result += piece;
    return result;
}

struct Listed {
    std::string text;
    bool held;
};

struct Drive {
    std::string label;
    std::vector<Listed> lines;
};

// One scan the way the worker and the drive scan drive the log: the file
// lines numbered on across the drives, and a footer that says no update is
// needed only for a scan that was neither stopped (by the user or the
// exception guard) nor listed a file.
void RunScan(const std::string &site, const std::vector<Drive> &drives, unsigned statusId, bool stopped)
{
    char path[PATH_SIZE];
    ASSERT_TRUE(BuildLogPath(path));
    FILE *log = OpenLogForScan(path);
    ASSERT_NE(log, nullptr);
    WriteLogHeader(log, GetLogSize(log));
    WriteLogDateBlock(log, site.c_str());
    int32_t listed = 0;
    for (const Drive &drive : drives) {
        WriteDriveLine(log, drive.label.c_str());
        for (const Listed &line : drive.lines)
            WriteFileLine(log, ++listed, line.text.c_str(), line.held);
    }
    char status[LOG_TEXT_SIZE];
    ASSERT_GT(LoadText(statusId, status, sizeof status), 0);
    WriteLogFooter(log, status, !stopped && listed == 0);
    EXPECT_TRUE(CloseLog(log));
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brindlelog.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(folder_);
        SetFakeCurrentDir(".");
        ResetFakeShell();
        ClearRecordedMessages();
        g_shared.StopRequested = 0;
    }

    void TearDown() override
    {
        fs::current_path(previous_);
        fs::remove_all(folder_);
        SetFakeCurrentDir(".");
    }

    fs::path folder_;
    fs::path previous_;
};

const std::string kMaxLabel = std::string(32, 'L') + "34";
const std::string kMaxDirectory = "C:\\" + Repeat(std::string(63, 'd') + "\\", 3) + std::string(62, 'e') + "\\";
const std::string kMaxName = std::string(255, 'n') + ".dll";
const std::string kMaxText = kMaxLabel + " " + kMaxDirectory + kMaxName;

TEST_F(LogTest, DocumentsMatchExpectedBytes)
{
    ASSERT_EQ(kMaxLabel.size(), 34u);
    ASSERT_EQ(kMaxDirectory.size(), 258u);
    ASSERT_EQ(kMaxName.size(), 259u);

    const std::vector<Drive> kFirst = {
        {"C:", {{"DISK_C C:\\WINDOWS\\SYSTEM\\corelib.dll", true}, {"DISK_C C:\\Program Files\\App\\corelib.dll", false}}},
        {"D:", {{"DATA D:\\corelib.dll", true}}},
    };
    const std::vector<Drive> kOne = {{"C:", {{"DISK_C C:\\corelib.dll", true}}}};
    const std::vector<Drive> kNone = {{"C:", {}}};
    const std::string kLongSite = "http://" + std::string(515 - 8, 's') + "\n";
    const std::string kCrafted = "<LBL\"&> C:\\a&b\\\"x\"<script>alert(1)</script>.dll";

    struct Case {
        const char *expected;
        std::function<void()> run;
    };
    const Case cases[] = {
        // Full header, numbering across drives, the note on a line that did not validate.
        {"fresh_scan.html", [&] { RunScan(kSite, kFirst, IDS_STATUS_COMPLETED, false); }},
        // The second document: short header, numbers from 1 again.
        {"second_scan.html",
         [&] {
             RunScan(kSite, kFirst, IDS_STATUS_COMPLETED, false);
             RunScan(kSite, kOne, IDS_STATUS_COMPLETED, false);
         }},
        // Old content gone; the scan after it finds a non-empty file.
        {"clear_then_scan.html",
         [&] {
             std::ofstream(kLogFile) << "an older scan\n";
             ClearLog();
             RunScan(kSite, kNone, IDS_STATUS_COMPLETED, false);
         }},
        {"footer_completed_none.html", [&] { RunScan(kSite, kNone, IDS_STATUS_COMPLETED, false); }},
        {"footer_failed_none.html", [&] { RunScan(kSite, kNone, IDS_STATUS_FAILED, false); }},
        {"footer_failed_listed.html", [&] { RunScan(kSite, kOne, IDS_STATUS_FAILED, false); }},
        {"footer_stopped_none.html", [&] { RunScan(kSite, kNone, IDS_STATUS_STOPPED, true); }},
        {"footer_exception_listed.html", [&] { RunScan(kSite, kOne, IDS_STATUS_EXCEPTION, true); }},
        // The whole line twice, as long as the catalogue can hold it.
        {"long_site.html", [&] { RunScan(kLongSite, kNone, IDS_STATUS_COMPLETED, false); }},
        // The drive's text escaped; the catalogue's site line as it is.
        {"crafted_line.html",
         [&] { RunScan("http://www.example.com/?a=1&b=<2>\n", {{"C:", {{kCrafted, false}}}}, IDS_STATUS_COMPLETED, false); }},
        {"max_line.html",
         [&] { RunScan(kSite, {{"C:", {{kMaxText, true}, {kMaxText, false}}}}, IDS_STATUS_COMPLETED, false); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        std::remove(kLogFile);
        ClearRecordedMessages();
        c.run();
        EXPECT_EQ(MaskDates(ReadFile(kLogFile)), Expected(c.expected));
        EXPECT_TRUE(RecordedMessages().empty());
    }
}

TEST_F(LogTest, FileLineWritesTheWholeTextEscaped)
{
    const std::string kLead = "<LEFT><FONT COLOR=\"#C00000\" SIZE=\"2\" FACE=\"Arial\">1. ";
    const std::string kNote =
        "<CENTER>&nbsp;</CENTER>\r\nThe tool could not validate the version/size of the file to determine if it "
        "needs to be updated.  Please contact the support site. <CENTER>&nbsp;</CENTER>\r\n";
    struct Case {
        const char *label;
        std::string text;
        std::string written;
    };
    const Case cases[] = {
        // Every character at its widest, the longest text the drive scan hands over.
        {"599 quotes", std::string(FILE_LINE_TEXT_SIZE - 1, '"'), Repeat("&quot;", FILE_LINE_TEXT_SIZE - 1)},
        {"599 ampersands", std::string(FILE_LINE_TEXT_SIZE - 1, '&'), Repeat("&amp;", FILE_LINE_TEXT_SIZE - 1)},
        // Longer than any file line text: cut to its first 599, the line still closed.
        {"700 angles", std::string(700, '<'), Repeat("&lt;", FILE_LINE_TEXT_SIZE - 1)},
        {"nothing to escape", "VOL C:\\dir\\a'b;c.dll", "VOL C:\\dir\\a'b;c.dll"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        FILE *log = OpenLogForScan("line.html");
        ASSERT_NE(log, nullptr);
        WriteFileLine(log, 1, c.text.c_str(), false);
        EXPECT_TRUE(CloseLog(log));
        EXPECT_EQ(ReadFile("line.html"), kLead + c.written + " " + kNote);
        std::remove("line.html");
    }
}

TEST_F(LogTest, BuildLogPath)
{
    struct Case {
        const char *label;
        std::string directory;  // empty: the current directory cannot be had
        bool formed;
        std::string path;
    };
    const std::string k245(245, 'a');
    const Case cases[] = {
        {"folder", "C:\\WORK\\SCAN", true, "C:\\WORK\\SCAN\\Brindlog.html"},
        {"root: two backslashes", "C:\\", true, "C:\\\\Brindlog.html"},
        {"259 characters exactly", k245, true, k245 + "\\Brindlog.html"},
        {"one too many", k245 + "a", false, ""},
        {"directory fills the buffer", std::string(259, 'a'), false, ""},
        {"directory longer than the buffer", std::string(300, 'a'), false, ""},
        {"directory unavailable", "", false, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        if (c.directory.empty())
            FailFakeCurrentDir();
        else
            SetFakeCurrentDir(c.directory);
        char path[PATH_SIZE];
        ASSERT_EQ(BuildLogPath(path), c.formed);
        if (c.formed) {
            EXPECT_EQ(std::string(path), c.path);
        }
    }
    EXPECT_TRUE(RecordedMessages().empty());
}

TEST_F(LogTest, ClearLogReportsWhatWentWrong)
{
    struct Case {
        const char *label;
        std::function<void()> arrange;
        unsigned message;
    };
    const Case cases[] = {
        {"no log name", [] { FailFakeCurrentDir(); }, IDS_LOG_NAME_FAILED},
        {"cannot open", [] { fs::create_directory(kLogFile); }, IDS_LOG_OPEN_FAILED},
        // Opens fine, but nothing reaches the disk.
        {"cannot write", [] { fs::create_symlink("/dev/full", kLogFile); }, IDS_LOG_OPEN_FAILED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(kLogFile);
        SetFakeCurrentDir(".");
        ClearRecordedMessages();
        c.arrange();
        ClearLog();
        ASSERT_EQ(RecordedMessages().size(), 1u);
        EXPECT_EQ(RecordedMessages()[0].stringId, c.message);
        EXPECT_EQ(RecordedMessages()[0].icon, unsigned(ICON_ERROR));
    }
    // Left as it was.
    EXPECT_TRUE(fs::is_symlink(kLogFile));
}

TEST_F(LogTest, OpenLogHandsThePathToTheShell)
{
    PlatformHandle owner = reinterpret_cast<PlatformHandle>(0x1234);
    struct Case {
        bool shellAccepts;
        unsigned message;  // 0: none
    };
    const Case cases[] = {{true, 0}, {false, IDS_LOG_OPEN_FAILED}};
    SetFakeCurrentDir("C:\\");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shellAccepts ? "shell takes it" : "shell refuses");
        ResetFakeShell();
        ClearRecordedMessages();
        SetShellAccepts(c.shellAccepts);
        OpenLog(owner);
        ASSERT_EQ(RecordedShellCalls().size(), 1u);
        EXPECT_EQ(RecordedShellCalls()[0].owner, owner);
        EXPECT_EQ(RecordedShellCalls()[0].path, "C:\\\\Brindlog.html");
        if (c.message == 0) {
            EXPECT_TRUE(RecordedMessages().empty());
        } else {
            ASSERT_EQ(RecordedMessages().size(), 1u);
            EXPECT_EQ(RecordedMessages()[0].stringId, c.message);
            EXPECT_EQ(RecordedMessages()[0].icon, unsigned(ICON_ERROR));
        }
    }

    ResetFakeShell();
    ClearRecordedMessages();
    FailFakeCurrentDir();
    OpenLog(owner);
    EXPECT_TRUE(RecordedShellCalls().empty());
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].stringId, unsigned(IDS_LOG_NAME_FAILED));
    EXPECT_EQ(RecordedMessages()[0].icon, unsigned(ICON_ERROR));
}

TEST_F(LogTest, CloseLogReportsFailedWrites)
{
    std::ofstream("readonly.html") << "x";
    struct Case {
        const char *label;
        std::function<FILE *()> open;
    };
    const Case cases[] = {
        // Buffered writes that fail when the stream is flushed on close.
        {"full disk, scan mode", [] { return OpenLogForScan("/dev/full"); }},
        {"full disk, clear mode", [] { return std::fopen("/dev/full", "wb"); }},
        // A write that fails at once, leaving the stream's error state.
        {"stream not open for writing", [] { return std::fopen("readonly.html", "rb"); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        FILE *log = c.open();
        ASSERT_NE(log, nullptr);
        WriteLogHeader(log, 0);
        WriteLogFooter(log, "", false);
        EXPECT_FALSE(CloseLog(log));
    }
}

TEST_F(LogTest, OpeningAndSizing)
{
    std::ofstream("sized.html", std::ios::binary) << std::string(123, 'x');
    FILE *log = OpenLogForScan("sized.html");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(GetLogSize(log), 123u);
    EXPECT_TRUE(CloseLog(log));

    log = OpenLogForScan("new.html");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(fs::exists("new.html"));
    EXPECT_EQ(GetLogSize(log), 0u);
    EXPECT_TRUE(CloseLog(log));

    fs::create_directory("folder.html");
    EXPECT_EQ(OpenLogForScan("folder.html"), nullptr);
    EXPECT_TRUE(RecordedMessages().empty());

    // A stream with no file behind it: the size query fails.
    char memory[16];
    FILE *stream = fmemopen(memory, sizeof memory, "w+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(GetLogSize(stream), 0u);
    std::fclose(stream);
    ASSERT_EQ(RecordedMessages().size(), 1u);
    EXPECT_EQ(RecordedMessages()[0].stringId, unsigned(IDS_LOG_SIZE_FAILED));
    EXPECT_EQ(RecordedMessages()[0].icon, unsigned(ICON_WARNING));
}

TEST(LogDate, LocalTimeWithLeadingZeros)
{
    std::string previous = getenv("TZ") ? getenv("TZ") : "";
    bool hadZone = getenv("TZ") != 0;
    struct Case {
        const char *zone;
        time_t when;
        const char *text;
    };
    const Case cases[] = {
        {"UTC0", 0, "Thu Jan 01 00:00:00 1970\n"},
        {"UTC0", 951868799, "Tue Feb 29 23:59:59 2000\n"},
        {"UTC0", 1700000000, "Tue Nov 14 22:13:20 2023\n"},
        {"EST5", 0, "Wed Dec 31 19:00:00 1969\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        setenv("TZ", c.zone, 1);
        tzset();
        char text[LOG_DATE_TEXT_SIZE];
        FormatLogDate(c.when, text);
        EXPECT_STREQ(text, c.text);
    }
    if (hadZone)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
