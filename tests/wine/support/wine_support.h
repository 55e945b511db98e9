#pragma once
// Helpers for Wine test programs: finding, reading and answering message
// boxes, and pumping messages. Every wait here has a time limit, so that a
// test that goes wrong fails instead of hanging until the harness ends it.
//
// A message box, as these helpers recognise it, is a visible top-level
// window of class "#32770" with a static control of id 0xFFFF (its text)
// whose other children are only its icon static and push buttons with the
// standard command ids (IDOK to IDCONTINUE). That tells it apart from a
// dialog of the program's own (the About box, for one), whose controls
// carry the program's ids.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a test saw of one message box.
struct SeenBox {
    HWND window;
    DWORD processId;
    DWORD threadId;        // the thread the box runs on (its modal loop)
    std::string text;      // the text static (id 0xFFFF), as ANSI
    std::string caption;   // the box's title; Wine's default is "Error"
    // The icon as a message box style value: MB_ICONERROR (16),
    // MB_ICONQUESTION (32), MB_ICONWARNING (48), MB_ICONINFORMATION (64),
    // 0 for no icon. ICON_UNKNOWN when it cannot be told (see ReadMessageBox).
    unsigned icon;
};

enum : unsigned { ICON_UNKNOWN = 0xFFFFFFFFu };

enum BoxScope {
    BOXES_OF_THIS_PROCESS,  // only boxes shown by the calling process
    BOXES_OF_ANY_PROCESS    // boxes of every process of this Wine prefix
};

// True when `window` is a message box as described at the top.
bool IsMessageBox(HWND window);

// The first visible message box in `scope` other than those in `skip`, or 0.
// Does not wait.
HWND FindMessageBox(BoxScope scope = BOXES_OF_THIS_PROCESS,
                    const std::vector<HWND> &skip = std::vector<HWND>());

// Reads the text, caption, owner thread and icon of `box` into *seen. The
// texts are read without sending messages to the box, so this never blocks
// on the box's thread. For a box of this process the icon is told by its
// handle (the icon static's icon against the system icons); icon handles
// belong to a process, so for another process's box it is told from the
// screen by IconStyleFromScreen. False when `box` is no longer a message box.
bool ReadMessageBox(HWND box, SeenBox *seen);

// Tells the icon of `box` from what the screen shows: the pixels of its icon
// static against each system icon drawn on the same background. Works for
// any process's box, as long as the icon is not covered; waits up to
// `timeoutMs` for the box to be painted. 0 when the box has no icon,
// ICON_UNKNOWN when no system icon matches.
unsigned IconStyleFromScreen(HWND box, DWORD timeoutMs = 1000);

// Presses the box's OK button (posts WM_COMMAND with IDOK and BN_CLICKED);
// the box closes once its thread has handled it. False when `box` is gone.
bool PressOk(HWND box);

// Waits until `window` is destroyed; false after `timeoutMs`.
bool WaitForWindowGone(HWND window, DWORD timeoutMs);

// Retrieves and dispatches the calling thread's messages for `ms`
// milliseconds, sleeping while there are none.
void PumpMessagesFor(DWORD ms);

// A background thread that answers every message box in its scope: it reads
// the box, records it, calls the hook (if any) while the box is still up,
// presses OK and waits for the box to go before it looks for the next. Use
// it around code that shows boxes on the test's own thread (ReportMessage,
// for instance), or to answer another process's boxes.
//
//   BoxAnswerer answerer;                  // starts answering at once
//   ReportMessage(26, ICON_INFORMATION, title);
//   ASSERT_TRUE(answerer.WaitForBoxes(1, 5000));
//   EXPECT_EQ(answerer.Boxes()[0].text, "...");
//
// The destructor stops the thread; boxes that come up after that stay up.
class BoxAnswerer {
public:
    // The hook runs on the answerer's thread, with the box up and read.
    typedef std::function<void(const SeenBox &)> Hook;

    explicit BoxAnswerer(BoxScope scope = BOXES_OF_THIS_PROCESS, Hook hook = Hook());
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer &) = delete;
    BoxAnswerer &operator=(const BoxAnswerer &) = delete;

    // Waits until at least `count` boxes have been answered (closed) since
    // the start or the last Clear; false after `timeoutMs`. Pumps the
    // calling thread's messages while it waits.
    bool WaitForBoxes(std::size_t count, DWORD timeoutMs);

    // The boxes answered so far, in the order they were seen.
    std::vector<SeenBox> Boxes() const;
    std::size_t Count() const;
    void Clear();

    // Stops answering; called by the destructor.
    void Stop();

    // Boxes that did not close within 5 s of pressing OK (a sign of a box
    // whose thread is stuck); they are not recorded as answered.
    std::size_t Stuck() const;

private:
    void Run();

    BoxScope scope_;
    Hook hook_;
    mutable std::mutex mutex_;
    std::vector<SeenBox> boxes_;
    std::size_t stuck_;
    std::atomic<bool> stop_;
    std::thread thread_;
};

// Leaves exactly the drives labelled `labels` ("M:") ticked in the main
// dialog `dialog`, of this process or another: every shown drive checkbox
// is cleared with BM_SETCHECK, then each one named is clicked, as a user
// would, and must then be ticked. Messages are sent with a time-out, so a
// busy program cannot hang the caller. False when a label has no shown
// checkbox or a click did not tick it; *missing (if given) is that label.
bool TickOnly(HWND dialog, const std::vector<std::string> &labels,
              std::string *missing = 0);

// A plain top-level window of a class of its own, for tests that need a
// main window (to see it disabled and enabled, for instance). Destroyed by
// the destructor; created on the calling thread, which must pump messages
// if anything is to be dispatched to it.
class TestWindow {
public:
    explicit TestWindow(const char *title = "Brindlemark test window");
    ~TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;
    HWND handle() const { return window_; }

private:
    HWND window_;
};
