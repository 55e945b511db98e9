// The frame in-process under Wine: the main window class and window as
// start-up makes them, the window procedure's dispatch and the two closing
// paths. The tests run in order in one process, which registers the class
// once, as the program does.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "app/mainwindow.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "tests/wine/support/wine_support.h"

namespace {

HWND MainDialog() { return g_mainDialog; }

// The quit message's exit code if one is queued, else -1. (Pumping first
// would swallow it.)
long TakeQuitMessage()
{
    MSG message;
    if (PeekMessageA(&message, 0, WM_QUIT, WM_QUIT, PM_REMOVE))
        return static_cast<long>(message.wParam);
    return -1;
}

void CreateWindows(int showCommand)
{
    ASSERT_TRUE(CreateMainWindows(GetModuleHandleA(0), showCommand));
    PumpMessagesFor(100);
}

// Destroys what a test left and drops a quit message it posted.
void DestroyWindows()
{
    if (IsWindow(MainWindow()))
        DestroyWindow(MainWindow());
    TakeQuitMessage();
}

TEST(MainFrame, RegistersTheClassWithItsAttributesAndLoadsTheTitle)
{
    HINSTANCE instance = GetModuleHandleA(0);
    ASSERT_TRUE(RegisterMainClass(instance));
    EXPECT_STREQ("Ulvaron(R) Brindlemark", g_shared.windowTitle);

    WNDCLASSEXA info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(instance, "VQBRDM32ClASS", &info));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), info.style);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(MainWindowProc), info.lpfnWndProc);
    EXPECT_EQ(0, info.cbClsExtra);
    EXPECT_EQ(0, info.cbWndExtra);
    EXPECT_EQ(LoadIconA(0, reinterpret_cast<LPCSTR>(IDI_APPLICATION)), info.hIcon);
    EXPECT_EQ(LoadCursorA(0, reinterpret_cast<LPCSTR>(IDC_ARROW)), info.hCursor);
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), info.hbrBackground);
    EXPECT_EQ(IDM_MAIN, static_cast<int>(reinterpret_cast<ULONG_PTR>(info.lpszMenuName)));
}

// Started minimised, the frame still opens restored; the dialog inside it
// takes the start-up show command.
TEST(MainFrame, OpensRestoredWithItsStylesSizeAndMenuWhateverTheShowCommand)
{
    BoxAnswerer answerer;  // a prefix without a fixed drive would say so
    CreateWindows(SW_SHOWMINNOACTIVE);
    HWND window = MainWindow();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));

    LONG style = GetWindowLongA(window, GWL_STYLE);
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              style & ~(WS_VISIBLE | WS_CLIPSIBLINGS));
    EXPECT_EQ(0L, style & WS_THICKFRAME);
    EXPECT_EQ(static_cast<LONG>(WS_EX_OVERLAPPEDWINDOW),
              GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_OVERLAPPEDWINDOW);
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(485, frame.right - frame.left);
    EXPECT_EQ(460, frame.bottom - frame.top);
    char title[100] = "";
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ("Ulvaron(R) Brindlemark", title);

    HMENU menu = GetMenu(window);
    ASSERT_NE(static_cast<HMENU>(0), menu);
    EXPECT_EQ(static_cast<UINT>(IDM_START_SCAN), GetMenuItemID(GetSubMenu(menu, 0), 0));
    EXPECT_EQ(static_cast<UINT>(IDM_README), GetMenuItemID(GetSubMenu(menu, 1), 0));

    HWND dialog = MainDialog();
    ASSERT_TRUE(IsWindow(dialog));
    EXPECT_EQ(window, GetParent(dialog));
    EXPECT_TRUE(IsIconic(dialog));
    DestroyWindows();
}

// A copy that finds the window of the same class and title restores it and
// declines to register.
TEST(MainFrame, ASecondRegistrationRestoresTheExistingWindowAndFails)
{
    BoxAnswerer answerer;
    CreateWindows(SW_SHOWNORMAL);
    ShowWindow(MainWindow(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(MainWindow()));

    EXPECT_FALSE(RegisterMainClass(GetModuleHandleA(0)));
    PumpMessagesFor(100);
    EXPECT_FALSE(IsIconic(MainWindow()));
    EXPECT_EQ(0u, answerer.Count());  // start-up, not the class, reports string 8
    DestroyWindows();
}

// Only the low 16 bits of the first parameter name the command: Clear Log
// with a notification code above it still clears the log, and shows no
// "command is not supported".
TEST(MainFrame, HandsTheLow16BitsOfACommandToTheMenu)
{
    BoxAnswerer answerer;
    CreateWindows(SW_SHOWNORMAL);
    answerer.Clear();
    remove("Brindlog.html");

    EXPECT_EQ(0, SendMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(IDM_CLEAR_LOG, 1), 0));
    PumpMessagesFor(100);
    FILE *log = fopen("Brindlog.html", "r");
    EXPECT_NE(static_cast<FILE *>(0), log);
    if (log != 0)
        fclose(log);
    EXPECT_EQ(0u, answerer.Count());

    // An id outside the menu's commands is the menu's to refuse.
    EXPECT_EQ(0, SendMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(0x1234, 0), 0));
    ASSERT_TRUE(answerer.WaitForBoxes(1, 5000));
    EXPECT_EQ("The command is not supported.", answerer.Boxes()[0].text);
    remove("Brindlog.html");
    DestroyWindows();
}

// Closing with no scan ever started ends at once: both windows go and the
// quit message carries exit code 0. Destroying the window by itself posts
// nothing: only the closing paths end the loop.
TEST(MainFrame, CloseDestroysBothWindowsAndPostsQuitZero)
{
    BoxAnswerer answerer;
    CreateWindows(SW_SHOWNORMAL);
    HWND window = MainWindow();
    HWND dialog = MainDialog();

    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(0L, TakeQuitMessage());

    CreateWindows(SW_SHOWNORMAL);
    DestroyWindow(MainWindow());
    EXPECT_EQ(-1L, TakeQuitMessage());

    CreateWindows(SW_SHOWNORMAL);
    window = MainWindow();
    QuitApplication(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(0L, TakeQuitMessage());
    EXPECT_EQ(0u, answerer.Count());
}

}  // namespace
