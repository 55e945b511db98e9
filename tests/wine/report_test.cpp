// ReportMessage on the real platform: a modal box with no owner, found and
// answered by the test, and the main window disabled exactly while it is up.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/report.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "tests/wine/support/wine_support.h"

namespace {
class ReportMessageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_shared.instance = GetModuleHandleA(0);
        g_shared.mainWindow = 0;
    }
    void TearDown() override { g_shared.mainWindow = 0; }
};

struct BoxCase {
    const char *label;
    unsigned id;
    MessageIcon icon;
    unsigned style;  // the icon as the box's style has it
    bool withTitle;
    const char *text;
    const char *caption;
};

const BoxCase kCases[] = {
    {"running copy: warning, default caption", IDS_ALREADY_RUNNING, ICON_WARNING, MB_ICONWARNING, false,
     "An instance of this tool is running.", "Error"},
    {"completion: information, window title", IDS_SCAN_COMPLETED, ICON_INFORMATION, MB_ICONINFORMATION, true,
     "Completed scanning the drive.", "Ulvaron(R) Brindlemark"},
    {"invalid file: error, default caption", IDS_INVALID_FILE, ICON_ERROR, MB_ICONERROR, false,
     "Located an invalid file in the drive.", "Error"},
};

TEST_F(ReportMessageTest, ShowsTheTextIconAndCaptionWithTheMainWindowDisabledMeanwhile)
{
    TestWindow main;
    ASSERT_TRUE(main.handle());
    g_shared.mainWindow = main.handle();
    const char *title = "Ulvaron(R) Brindlemark";

    for (const BoxCase &c : kCases) {
        SCOPED_TRACE(c.label);
        int enabledWhileUp = -1;
        HWND owner = reinterpret_cast<HWND>(1);
        unsigned iconOnScreen = ICON_UNKNOWN;
        BoxAnswerer answerer(BOXES_OF_THIS_PROCESS, [&](const SeenBox &box) {
            enabledWhileUp = IsWindowEnabled(main.handle()) ? 1 : 0;
            owner = GetWindow(box.window, GW_OWNER);
            iconOnScreen = IconStyleFromScreen(box.window);
        });
        ReportMessage(c.id, c.icon, c.withTitle ? title : 0);
        bool enabledAfter = IsWindowEnabled(main.handle()) != 0;

        ASSERT_TRUE(answerer.WaitForBoxes(1, 5000));
        answerer.Stop();
        std::vector<SeenBox> boxes = answerer.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(boxes[0].icon, c.style);
        EXPECT_EQ(iconOnScreen, c.style) << "the icon as the screen shows it";
        EXPECT_EQ(boxes[0].threadId, GetCurrentThreadId()) << "the box runs on the caller's thread";
        EXPECT_EQ(owner, HWND(0)) << "the box has no owner window";
        EXPECT_EQ(enabledWhileUp, 0) << "main window enabled while the box was up";
        EXPECT_TRUE(enabledAfter) << "main window left disabled";
    }
}

TEST_F(ReportMessageTest, WithoutAMainWindowTheBoxIsStillShown)
{
    // Start-up messages come before the main window exists.
    BoxAnswerer answerer;
    ReportMessage(IDS_OS_NOT_SUPPORTED, ICON_ERROR);
    ASSERT_TRUE(answerer.WaitForBoxes(1, 5000));
    EXPECT_EQ(answerer.Boxes()[0].text,
              "The OS on this system is not supported. Please see the help file for details.");
    EXPECT_EQ(answerer.Boxes()[0].icon, static_cast<unsigned>(MB_ICONERROR));
}

// A thread procedure has the system's calling convention, which a lambda
// does not on 32-bit Windows.
DWORD WINAPI ReportFromWorker(LPVOID)
{
    ReportMessage(IDS_DATA_FILE_FAILED, ICON_ERROR);
    return 0;
}

TEST_F(ReportMessageTest, ABoxFromTheWorkerThreadDisablesTheInterfaceThreadsWindow)
{
    // The worker reports from its own thread; the main window belongs to
    // this one, which keeps pumping as the interface thread would.
    TestWindow main;
    g_shared.mainWindow = main.handle();
    int enabledWhileUp = -1;
    BoxAnswerer answerer(BOXES_OF_THIS_PROCESS, [&](const SeenBox &) {
        enabledWhileUp = IsWindowEnabled(main.handle()) ? 1 : 0;
    });
    DWORD workerId;
    HANDLE worker = CreateThread(0, 0, ReportFromWorker, 0, 0, &workerId);
    ASSERT_TRUE(worker);
    DWORD waited;
    do {
        PumpMessagesFor(20);
        waited = WaitForSingleObject(worker, 0);
    } while (waited == WAIT_TIMEOUT && answerer.Count() == 0 && answerer.Stuck() == 0);
    ASSERT_TRUE(answerer.WaitForBoxes(1, 5000));
    EXPECT_EQ(WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    CloseHandle(worker);
    EXPECT_EQ(answerer.Boxes()[0].text, "Failed to open or read the Data File.");
    EXPECT_EQ(enabledWhileUp, 0);
    EXPECT_TRUE(IsWindowEnabled(main.handle()));
}
TEST_F(ReportMessageTest, ABoxOfAnotherProcessIsReadWithItsIconFromTheScreen)
{
    // This program started again shows one box and ends: the way the
    // end-to-end tests see the real program's boxes.
    char command[MAX_PATH + 40];
    GetModuleFileNameA(0, command, MAX_PATH);
    std::strcat(command, " --show-box 5 warning");
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    BoxAnswerer answerer(BOXES_OF_ANY_PROCESS);
    ASSERT_TRUE(CreateProcessA(0, command, 0, 0, FALSE, 0, 0, 0, &startup, &child));
    bool answered = answerer.WaitForBoxes(1, 15000);
    DWORD waited = WaitForSingleObject(child.hProcess, 10000);
    DWORD exitCode = 99;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    ASSERT_TRUE(answered);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(exitCode, 0u);
    SeenBox box = answerer.Boxes()[0];
    EXPECT_EQ(box.processId, child.dwProcessId);
    EXPECT_EQ(box.text, "An instance of this tool is running.");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, static_cast<unsigned>(MB_ICONWARNING));
}
}  // namespace

// "--show-box ID error|warning|information" shows one message box through
// ReportMessage and exits; anything else runs the tests.
int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--show-box") == 0) {
        g_shared.instance = GetModuleHandleA(0);
        const MessageIcon icon = std::strcmp(argv[3], "error") == 0    ? ICON_ERROR
                                 : std::strcmp(argv[3], "warning") == 0 ? ICON_WARNING
                                                                        : ICON_INFORMATION;
        ReportMessage(static_cast<unsigned>(std::atoi(argv[2])), icon);
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
