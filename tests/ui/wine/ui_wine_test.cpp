// The interface under Wine: the main window and dialog created as start-up
// creates them, driven with real messages (checkbox states, button clicks,
// menu commands), every message box read and answered by the test.
//
// Drives of the test prefix (all fixed, so all listed and ticked at first):
// C: Wine's own (always unticked here), L: a generated tree of some
// thousands of files, M: and N: small trees with catalogue files, P: an
// empty root (its scan fails), W: a folder whose Brindlog.html is /dev/full.
// The current folder C:\brindle holds the catalogue and the log; .html
// documents open with brindle_record_open.exe, which notes them in opened.txt.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/mainwindow.h"
#include "app/resources/resource.h"
#include "app/shared.h"
#include "tests/wine/support/wine_support.h"
#include "ui/maindialog.h"
#include "ui/worker.h"
#include "platform/volume.h"

// How many of the next volume-label queries throw, as a broken platform
// call would: the walk asks for the label at the first catalogued file of
// a drive, so a drive's walk breaks there.
std::atomic<int> g_labelQueriesThatThrow{0};

// The volume-label query of this test program: the real one, but for the
// faults asked for above.
void QueryVolumeLabel(const char *root, char label[VOLUME_LABEL_SIZE])
{
    if (g_labelQueriesThatThrow.load() > 0) {
        --g_labelQueriesThatThrow;
        throw std::runtime_error("volume label query broken by the test");
    }
    std::memset(label, 0, VOLUME_LABEL_SIZE);
    if (!GetVolumeInformationA(root, label, VOLUME_LABEL_SIZE, 0, 0, 0, 0, 0))
        std::memset(label, 0, VOLUME_LABEL_SIZE);
    label[VOLUME_LABEL_SIZE - 1] = '\0';
}

namespace {

const char kTitle[] = "Ulvaron(R) Brindlemark";
const char kCompleted[] = "Completed scanning the drive.";
const char kCanceled[] = "Canceled scanning drive.";
const char kScanFailed[] = "File Scanning Failed.";
const char kInvalidFile[] = "Located an invalid file in the drive.";
const char kException[] = "Encountered Exception. Scan Incomplete.";
const char kHomeFolder[] = "C:\\brindle";
const char kOpenedRecord[] = "C:\\brindle\\opened.txt";

const DWORD kBoxTimeoutMs = 30000;
const DWORD kStateTimeoutMs = 15000;

// ---------------------------------------------------------------- helpers

HWND Dialog() { return g_mainDialog; }
HWND Item(int id) { return GetDlgItem(Dialog(), id); }

std::string TextOf(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(int id) { return TextOf(Item(id)); }
bool ItemVisible(int id) { return (GetWindowLongA(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }

bool MenuGreyed(unsigned commandId)
{
    UINT state = GetMenuState(GetMenu(MainWindow()), commandId, MF_BYCOMMAND);
    return state != 0xFFFFFFFFu && (state & MF_GRAYED) != 0;
}

bool IsIdle()
{
    return ItemVisible(IDC_START) && !ItemVisible(IDC_CANCEL) && !MenuGreyed(IDM_START_SCAN) &&
           MenuGreyed(IDM_CANCEL_SCAN) && !MenuGreyed(IDM_CLEAR_LOG);
}

bool IsScanning()
{
    return !ItemVisible(IDC_START) && ItemVisible(IDC_CANCEL) && MenuGreyed(IDM_START_SCAN) &&
           !MenuGreyed(IDM_CANCEL_SCAN) && MenuGreyed(IDM_CLEAR_LOG);
}

template <typename Condition>
bool PumpUntil(Condition condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        PumpMessagesFor(10);
    }
    return true;
}

HWND ProgressBar() { return FindWindowExA(MainWindow(), 0, PROGRESS_CLASSA, 0); }

std::string ReadWholeFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> OpenedDocuments()
{
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(kOpenedRecord));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string CurrentFolder()
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

std::string LogPathHere() { return CurrentFolder() + "\\Brindlog.html"; }

// The document that the latest scan appended: everything from its last
// BODY tag on.
std::string LastDocument(const std::string &log)
{
    size_t body = log.rfind("<BODY");
    return body == std::string::npos ? std::string() : log.substr(body);
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

size_t Occurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The slot of the checkbox whose label reads `label`, or -1.
int SlotOf(const char *label)
{
    for (int k = 0; k < 26; ++k)
        if (ItemText(IDC_FIRST_DRIVE_LABEL + k) == label)
            return k;
    return -1;
}

// Leaves exactly the drives named ticked (wine_support's TickOnly).
void TickOnly(std::initializer_list<const char *> labels)
{
    std::string missing;
    ASSERT_TRUE(::TickOnly(Dialog(), std::vector<std::string>(labels.begin(), labels.end()), &missing))
        << missing;
}

void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }

HANDLE LatestWorker() { return g_latestWorker; }

bool WorkerEnded(HANDLE worker) { return worker != 0 && WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }

// Ends the process loudly when a wait that must return does not: a
// deadlock would otherwise hang the program until the harness kills it.
class Watchdog {
public:
    Watchdog(DWORD limitMs, const char *what)
        : limitMs_(limitMs), what_(what), done_(CreateEventA(0, TRUE, FALSE, 0))
    {
        thread_ = CreateThread(0, 0, Watch, this, 0, 0);
    }
    ~Watchdog()
    {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(done_);
    }

private:
    static DWORD WINAPI Watch(LPVOID self)
    {
        Watchdog *dog = static_cast<Watchdog *>(self);
        if (WaitForSingleObject(dog->done_, dog->limitMs_) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "\nFATAL: %s did not return within %lu ms (deadlock?)\n",
                         dog->what_, static_cast<unsigned long>(dog->limitMs_));
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }
    DWORD limitMs_;
    const char *what_;
    HANDLE done_;
    HANDLE thread_;
};

double FileTimeMs(const FILETIME &time)
{
    ULARGE_INTEGER units;
    units.LowPart = time.dwLowDateTime;
    units.HighPart = time.dwHighDateTime;
    return static_cast<double>(units.QuadPart) / 10000.0;
}

double MillisecondsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// ---------------------------------------------------------------- fixtures

void WriteFile(const std::string &path, const std::string &content)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file != 0) << path;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

void MakeFolder(const std::string &path)
{
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS) << path;
}

// L: 200 folders of 50 files, each with a subfolder of 50 more; a
// match.dat in every tenth folder. Long enough to stop a scan at varying
// moments.
void MakeLongTree()
{
    for (int d = 0; d < 200; ++d) {
        char folder[64];
        std::snprintf(folder, sizeof folder, "L:\\d%03d", d);
        MakeFolder(folder);
        MakeFolder(std::string(folder) + "\\sub");
        for (int f = 0; f < 50; ++f) {
            char name[96];
            std::snprintf(name, sizeof name, "%s\\f%02d.bin", folder, f);
            WriteFile(name, "");
            std::snprintf(name, sizeof name, "%s\\sub\\g%02d.bin", folder, f);
            WriteFile(name, "");
        }
        if (d % 10 == 0)
            WriteFile(std::string(folder) + "\\match.dat", "x");
    }
}

// HKCR .html -> htmlfile -> the recording program, with no DDE step.
void RegisterRecordingHandler()
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, ".html", 0, 0, 0, KEY_ALL_ACCESS,
                                             0, &key, 0));
    RegSetValueExA(key, 0, 0, REG_SZ, reinterpret_cast<const BYTE *>("htmlfile"), 9);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "htmlfile\\shell");
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "htmlfile\\shell\\open\\command",
                                             0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0));
    const char command[] = "\"C:\\brindle\\brindle_record_open.exe\" \"%1\"";
    RegSetValueExA(key, 0, 0, REG_SZ, reinterpret_cast<const BYTE *>(command), sizeof command);
    RegCloseKey(key);
}

// Folders for the early failures: one without a catalogue; one whose
// Brindlog.html is a folder; one whose path leaves no room for the log's
// name in 260 characters while the catalogue's full path still fits.
const char kNoCatalogueFolder[] = "C:\\brindle\\no-catalogue";
const char kLogIsFolder[] = "C:\\brindle\\log-is-folder";
std::string g_longFolder;

void MakeFailureFolders()
{
    std::string catalogue = ReadWholeFile("C:\\brindle\\DataFile.txt");
    ASSERT_FALSE(catalogue.empty());
    MakeFolder(kNoCatalogueFolder);
    MakeFolder(kLogIsFolder);
    MakeFolder(std::string(kLogIsFolder) + "\\Brindlog.html");
    WriteFile(std::string(kLogIsFolder) + "\\DataFile.txt", catalogue);
    // 246 characters: catalogue path 259, log path 260 (one too many).
    g_longFolder = std::string(kHomeFolder) + "\\" + std::string(246 - 11, 'q');
    MakeFolder(g_longFolder);
    WriteFile(g_longFolder + "\\DataFile.txt", catalogue);
}

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SetCurrentDirectoryA(kHomeFolder));
        RegisterRecordingHandler();
        DeleteFileA(kOpenedRecord);
        WriteFile("M:\\match.dat", "payload");
        MakeFolder("M:\\sub");
        WriteFile("M:\\sub\\nomatch.dat", "small");
        WriteFile("M:\\sub\\other.txt", "not in the catalogue");
        MakeFolder("N:\\deep");
        MakeFolder("N:\\deep\\er");
        WriteFile("N:\\deep\\er\\MATCH.DAT", "payload");
        MakeLongTree();
        MakeFailureFolders();

        HINSTANCE instance = GetModuleHandleA(0);
        ASSERT_TRUE(RegisterMainClass(instance));
        ASSERT_TRUE(CreateMainWindows(instance, SW_SHOWNORMAL));
        PumpMessagesFor(100);
    }
};

[[maybe_unused]] const ::testing::Environment *const g_environment =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment);

// Every test starts idle in the home folder with no box pending.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(IsWindow(MainWindow())) << "the main window is gone";
        ASSERT_TRUE(SetCurrentDirectoryA(kHomeFolder));
        ASSERT_TRUE(IsIdle());
    }
};

// ---------------------------------------------------------------- template

// The dialog manager maps a control's origin and size separately, so the
// far edge is origin plus mapped size, not the mapped far edge.
RECT DialogUnits(int x, int y, int width, int height)
{
    RECT units = {x, y, width, height};
    MapDialogRect(Dialog(), &units);
    RECT rect = {units.left, units.top, units.left + units.right, units.top + units.bottom};
    return rect;
}

RECT PlaceInDialog(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(0, Dialog(), reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

::testing::AssertionResult SamePlace(const RECT &expected, const RECT &actual)
{
    if (EqualRect(&expected, &actual))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected (" << expected.left << "," << expected.top << ")-(" << expected.right << ","
           << expected.bottom << ") got (" << actual.left << "," << actual.top << ")-("
           << actual.right << "," << actual.bottom << ")";
}

std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

TEST_F(UiTest, DialogTemplateControlsSitWhereTheTemplateSays)
{
    struct Control {
        int id;
        const char *cls;
        const char *text;
        int x, y, width, height;
        bool visible;
    } const controls[] = {
        {IDC_DRIVE_GROUP, "Button", "Select the drives to be scanned", 13, 15, 142, 210, true},
        {IDC_EXIT, "Button", "Exit", 210, 192, 50, 15, true},
        {IDC_DRIVE_TEXT, "Static", "", 255, 135, 20, 15, true},
        {IDC_LOG_CAPTION, "Static", "LogFile:", 15, 230, 30, 15, false},
        {IDC_LOG_PATH, "Static", "", 50, 230, 260, 15, false},
        {IDC_START, "Button", "Start", 210, 160, 50, 15, true},
        {IDC_CANCEL, "Button", "Cancel", 210, 160, 50, 15, false},
        {IDC_SCANNING_CAPTION, "Static", "Scanning Drive:", 200, 135, 55, 15, true},
    };
    for (const Control &c : controls) {
        SCOPED_TRACE(c.id);
        HWND control = Item(c.id);
        ASSERT_TRUE(control != 0);
        EXPECT_STRCASEEQ(c.cls, ClassOf(control).c_str());
        EXPECT_EQ(c.text, TextOf(control));
        EXPECT_TRUE(SamePlace(DialogUnits(c.x, c.y, c.width, c.height), PlaceInDialog(control)));
        EXPECT_EQ(c.visible, ItemVisible(c.id));
    }
    // Start and Cancel share one place; one of them shows at a time.
    EXPECT_TRUE(SamePlace(PlaceInDialog(Item(IDC_START)), PlaceInDialog(Item(IDC_CANCEL))));

    // The 26 slots: column k / 10, row k % 10.
    for (int k = 0; k < 26; ++k) {
        SCOPED_TRACE(k);
        int column = k / 10, row = k % 10;
        HWND check = Item(IDC_FIRST_DRIVE_CHECK + k);
        HWND label = Item(IDC_FIRST_DRIVE_LABEL + k);
        ASSERT_TRUE(check != 0 && label != 0);
        EXPECT_EQ(BS_AUTOCHECKBOX, GetWindowLongA(check, GWL_STYLE) & BS_TYPEMASK);
        EXPECT_TRUE(SamePlace(DialogUnits(30 + 45 * column, 32 + 20 * row, 10, 8), PlaceInDialog(check)));
        EXPECT_TRUE(SamePlace(DialogUnits(45 + 45 * column, 32 + 20 * row, 15, 8), PlaceInDialog(label)));
    }

    // The dialog fills 323 by 266 units from the main window's top left.
    RECT client;
    GetClientRect(Dialog(), &client);
    RECT expected = DialogUnits(0, 0, 323, 266);
    EXPECT_EQ(expected.right, client.right);
    EXPECT_EQ(expected.bottom, client.bottom);
    // Its client area, that is; the modal frame lies outside, clipped.
    POINT origin = {0, 0};
    MapWindowPoints(Dialog(), MainWindow(), &origin, 1);
    EXPECT_EQ(0, origin.x);
    EXPECT_EQ(0, origin.y);
    EXPECT_EQ(WS_CHILD, GetWindowLongA(Dialog(), GWL_STYLE) & (WS_CHILD | WS_POPUP | WS_CAPTION));
}

// The prefix's drives, all fixed: letter order, all ticked, one slot each;
// every other slot hidden with an empty label.
TEST_F(UiTest, DriveTableFillsTheSlotsInOrder)
{
    const char *const expected[] = {"C:", "L:", "M:", "N:", "P:", "W:"};
    const uint32_t count = sizeof expected / sizeof expected[0];
    ASSERT_EQ(count, g_shared.drives.count);
    for (int k = 0; k < 26; ++k) {
        SCOPED_TRACE(k);
        bool used = k < static_cast<int>(count);
        EXPECT_EQ(used, ItemVisible(IDC_FIRST_DRIVE_CHECK + k));
        EXPECT_EQ(used ? expected[k] : "", ItemText(IDC_FIRST_DRIVE_LABEL + k));
        if (used) {
            const DriveEntry &entry = g_shared.drives.entries[k];
            EXPECT_STREQ(expected[k], entry.label);
            EXPECT_EQ(IDC_FIRST_DRIVE_CHECK + k, entry.checkboxId);
            EXPECT_EQ(IDC_FIRST_DRIVE_LABEL + k, entry.labelId);
            EXPECT_EQ(1, entry.selected);
            EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(Dialog(), IDC_FIRST_DRIVE_CHECK + k));
        }
    }
}

TEST_F(UiTest, MenuHoldsTheSevenItemsInOrder)
{
    HMENU bar = GetMenu(MainWindow());
    ASSERT_TRUE(bar != 0);
    struct Item {
        const char *text;
        unsigned id;
    };
    const Item file[] = {{"&Start Scan", IDM_START_SCAN}, {"&Cancel Scan", IDM_CANCEL_SCAN},
                         {"&Open Log", IDM_OPEN_LOG},     {"&Clear Log", IDM_CLEAR_LOG},
                         {"&Exit", IDM_EXIT}};
    const Item help[] = {{"&Readme", IDM_README}, {"&About", IDM_ABOUT}};
    struct Popup {
        const char *text;
        const Item *items;
        int count;
    } const popups[] = {{"&File", file, 5}, {"&Help", help, 2}};

    ASSERT_EQ(2, GetMenuItemCount(bar));
    for (int p = 0; p < 2; ++p) {
        char text[64] = "";
        GetMenuStringA(bar, p, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(popups[p].text, text);
        HMENU popup = GetSubMenu(bar, p);
        ASSERT_TRUE(popup != 0);
        ASSERT_EQ(popups[p].count, GetMenuItemCount(popup)) << "no separators, nothing else";
        for (int i = 0; i < popups[p].count; ++i) {
            SCOPED_TRACE(popups[p].items[i].text);
            EXPECT_EQ(popups[p].items[i].id, GetMenuItemID(popup, i));
            GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
            EXPECT_STREQ(popups[p].items[i].text, text);
            bool greyed = (GetMenuState(popup, i, MF_BYPOSITION) & MF_GRAYED) != 0;
            EXPECT_EQ(popups[p].items[i].id == IDM_CANCEL_SCAN, greyed);
        }
    }
}

// ---------------------------------------------------------------- scans

struct ProgressSnapshot {
    bool present = false;
    int low = -1, high = -1, position = -1;
    RECT place = {};
    std::string driveText;
};

ProgressSnapshot SnapshotProgress()
{
    ProgressSnapshot shot;
    HWND bar = ProgressBar();
    shot.driveText = ItemText(IDC_DRIVE_TEXT);
    if (bar == 0)
        return shot;
    shot.present = true;
    PBRANGE range = {};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    shot.low = range.iLow;
    shot.high = range.iHigh;
    shot.position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    GetWindowRect(bar, &shot.place);
    MapWindowPoints(0, MainWindow(), reinterpret_cast<POINT *>(&shot.place), 2);
    return shot;
}

TEST_F(UiTest, CompletedScanRunsItsWholeRoad)
{
    TickOnly({"M:", "N:"});
    size_t openedBefore = OpenedDocuments().size();

    ProgressSnapshot atCompletion;
    bool mainDisabledAtCompletion = false;
    BoxAnswerer answerer(BOXES_OF_THIS_PROCESS, [&](const SeenBox &box) {
        if (box.text == kCompleted) {
            atCompletion = SnapshotProgress();
            mainDisabledAtCompletion = !IsWindowEnabled(MainWindow());
        }
    });

    Click(IDC_START);
    // The command has returned: the dialog scans, whatever the worker does.
    EXPECT_TRUE(IsScanning());
    HANDLE worker = LatestWorker();
    ASSERT_TRUE(worker != 0);

    ASSERT_TRUE(answerer.WaitForBoxes(1, kBoxTimeoutMs));
    std::vector<SeenBox> boxes = answerer.Boxes();
    EXPECT_EQ(kCompleted, boxes[0].text);
    EXPECT_EQ(kTitle, boxes[0].caption);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONINFORMATION), boxes[0].icon);
    EXPECT_TRUE(mainDisabledAtCompletion);

    // Range 0 to the two ticked drives, stepped after each; along the bottom
    // of the main window's client area, one scroll bar high.
    ASSERT_TRUE(atCompletion.present);
    EXPECT_EQ(0, atCompletion.low);
    EXPECT_EQ(2, atCompletion.high);
    EXPECT_EQ(2, atCompletion.position);
    RECT client;
    GetClientRect(MainWindow(), &client);
    int height = GetSystemMetrics(SM_CYVSCROLL);
    RECT expected = {0, client.bottom - height, client.right, client.bottom};
    EXPECT_TRUE(SamePlace(expected, atCompletion.place));
    EXPECT_EQ("", atCompletion.driveText);

    // The log goes to the shell; the bar goes first.
    ASSERT_TRUE(PumpUntil([&] { return OpenedDocuments().size() > openedBefore; }, kStateTimeoutMs));
    EXPECT_STRCASEEQ(LogPathHere().c_str(), OpenedDocuments().back().c_str());
    ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(worker); }, kStateTimeoutMs));
    PumpMessagesFor(50);
    EXPECT_TRUE(ProgressBar() == 0);
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(1u, answerer.Count());

    EXPECT_TRUE(ItemVisible(IDC_LOG_CAPTION));
    EXPECT_TRUE(ItemVisible(IDC_LOG_PATH));
    EXPECT_EQ(LogPathHere(), ItemText(IDC_LOG_PATH));
    EXPECT_EQ("", ItemText(IDC_DRIVE_TEXT));

    std::string document = LastDocument(ReadWholeFile("Brindlog.html"));
    EXPECT_TRUE(Contains(document, "Scan Drive M: ")) << document;
    EXPECT_TRUE(Contains(document, "Scan Drive N: ")) << document;
    EXPECT_TRUE(Contains(document, "MATCH.DAT")) << document;
    EXPECT_TRUE(Contains(document, "Scanning Completed\r\n")) << document;
    EXPECT_FALSE(Contains(document, "No Updates Needed")) << document;
    EXPECT_EQ(1, g_shared.drives.entries[SlotOf("M:")].selected);
    EXPECT_EQ(0, g_shared.drives.entries[SlotOf("C:")].selected);
    EXPECT_EQ(2u, g_shared.drives.selectedCount);
}

// The stop request that the exception guard raises ends that scan only:
// the next Start scans as usual.
TEST_F(UiTest, AfterAnExceptionInADriveTheNextScanRunsNormally)
{
    TickOnly({"M:", "N:"});
    BoxAnswerer answerer;

    g_labelQueriesThatThrow = 1;
    Click(IDC_START);
    ASSERT_TRUE(answerer.WaitForBoxes(1, kBoxTimeoutMs));
    EXPECT_EQ(kException, answerer.Boxes()[0].text);
    ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(LatestWorker()) && IsIdle(); }, kStateTimeoutMs));
    PumpMessagesFor(200);
    // Then as after a stop: the warning, since N: was still to come.
    ASSERT_EQ(2u, answerer.Count());
    EXPECT_EQ(kCanceled, answerer.Boxes()[1].text);
    EXPECT_EQ(0u, g_shared.StopRequested.load());
    std::string document = LastDocument(ReadWholeFile("Brindlog.html"));
    EXPECT_EQ(1u, Occurrences(document, kException)) << document;
    EXPECT_FALSE(Contains(document, "Scan Drive N: ")) << document;
    const size_t boxesAfterException = answerer.Count();

    size_t openedBefore = OpenedDocuments().size();
    Click(IDC_START);
    ASSERT_TRUE(answerer.WaitForBoxes(boxesAfterException + 1, kBoxTimeoutMs));
    EXPECT_EQ(kCompleted, answerer.Boxes()[boxesAfterException].text);
    ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(LatestWorker()) && IsIdle() &&
                                       OpenedDocuments().size() > openedBefore; },
                          kStateTimeoutMs));
    PumpMessagesFor(200);
    EXPECT_EQ(boxesAfterException + 1, answerer.Count());
    document = LastDocument(ReadWholeFile("Brindlog.html"));
    EXPECT_TRUE(Contains(document, "Scan Drive N: ")) << document;
    EXPECT_TRUE(Contains(document, "Scanning Completed\r\n")) << document;
}

// M: scans, then P: (an empty root) fails: the drive scan's own message,
// then the dialog's, no completion, no shell.
TEST_F(UiTest, FailedDriveEndsTheScanWithoutCompletion)
{
    TickOnly({"M:", "P:"});
    size_t openedBefore = OpenedDocuments().size();
    ProgressSnapshot atFailure;
    BoxAnswerer answerer(BOXES_OF_THIS_PROCESS, [&](const SeenBox &box) {
        if (box.text == kInvalidFile)
            atFailure = SnapshotProgress();
    });

    Click(IDC_START);
    HANDLE worker = LatestWorker();
    ASSERT_TRUE(answerer.WaitForBoxes(2, kBoxTimeoutMs));
    std::vector<SeenBox> boxes = answerer.Boxes();
    EXPECT_EQ(kInvalidFile, boxes[0].text);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), boxes[0].icon);
    EXPECT_EQ(kScanFailed, boxes[1].text);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), boxes[1].icon);
    EXPECT_EQ("Error", boxes[1].caption);

    EXPECT_TRUE(atFailure.present);
    EXPECT_EQ(2, atFailure.high);
    EXPECT_EQ(1, atFailure.position) << "only the drive that scanned steps the bar";
    EXPECT_EQ("P:", atFailure.driveText);

    ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(worker) && IsIdle(); }, kStateTimeoutMs));
    PumpMessagesFor(500);
    EXPECT_EQ(2u, answerer.Count()) << "no completion box after a failed drive";
    EXPECT_EQ(openedBefore, OpenedDocuments().size());
    EXPECT_TRUE(ProgressBar() == 0);
    EXPECT_EQ("", ItemText(IDC_DRIVE_TEXT));
    std::string document = LastDocument(ReadWholeFile("Brindlog.html"));
    EXPECT_TRUE(Contains(document, "Scanning Failed.\r\n")) << document;
}

// Each early failure shows its own box first, then the dialog's warning,
// and leaves the dialog idle.
TEST_F(UiTest, EarlyFailuresReportInOrder)
{
    struct Row {
        const char *label;
        std::string folder;
        bool tickM;
        const char *first;
        bool logAbsentAfter;
    } const rows[] = {
        {"no drive ticked", kHomeFolder, false, "No drives have been selected for scanning.", false},
        {"no catalogue", kNoCatalogueFolder, true, "Failed to open or read the Data File.", true},
        {"log path too long", g_longFolder, true, "Failed to generate Log File Name", false},
        {"log cannot be opened", kLogIsFolder, true, "Failed to open the Log File.", false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        ASSERT_TRUE(SetCurrentDirectoryA(row.folder.c_str()));
        if (row.tickM)
            TickOnly({"M:"});
        else
            TickOnly({});
        std::string homeLog = ReadWholeFile("C:\\brindle\\Brindlog.html");
        BoxAnswerer answerer;

        Click(IDC_START);
        ASSERT_TRUE(answerer.WaitForBoxes(2, kBoxTimeoutMs));
        std::vector<SeenBox> boxes = answerer.Boxes();
        EXPECT_EQ(row.first, boxes[0].text);
        EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), boxes[0].icon);
        EXPECT_EQ(kCanceled, boxes[1].text);
        EXPECT_EQ(static_cast<unsigned>(MB_ICONWARNING), boxes[1].icon);
        EXPECT_TRUE(PumpUntil(IsIdle, kStateTimeoutMs));
        PumpMessagesFor(200);
        EXPECT_EQ(2u, answerer.Count());
        EXPECT_EQ(homeLog, ReadWholeFile("C:\\brindle\\Brindlog.html")) << "nothing written";
        if (row.logAbsentAfter) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("Brindlog.html")) << "no log created";
        }
        EXPECT_EQ("", ItemText(IDC_DRIVE_TEXT));
    }
    SetCurrentDirectoryA(kHomeFolder);
}

// Brindlog.html is a link to /dev/full: every write fails. The scan is
// then reported as failed, not as complete, and the log is not opened.
TEST_F(UiTest, LogThatCannotBeWrittenIsNotReportedComplete)
{
    ASSERT_TRUE(SetCurrentDirectoryA("W:\\full"));
    TickOnly({"M:"});
    size_t openedBefore = OpenedDocuments().size();
    BoxAnswerer answerer;

    Click(IDC_START);
    HANDLE worker = LatestWorker();
    ASSERT_TRUE(answerer.WaitForBoxes(1, kBoxTimeoutMs));
    ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(worker) && IsIdle(); }, kStateTimeoutMs));
    PumpMessagesFor(500);
    std::vector<SeenBox> boxes = answerer.Boxes();
    ASSERT_EQ(1u, boxes.size()) << "one box: " << boxes.back().text;
    EXPECT_EQ(kScanFailed, boxes[0].text);
    EXPECT_EQ(static_cast<unsigned>(MB_ICONERROR), boxes[0].icon);
    EXPECT_EQ(openedBefore, OpenedDocuments().size());
    EXPECT_EQ("W:\\full\\Brindlog.html", ItemText(IDC_LOG_PATH));
    SetCurrentDirectoryA(kHomeFolder);
}

// ---------------------------------------------------------------- stopping

// Cancel at many moments of a long scan, from the very start (before the
// worker has read the ticks) to deep inside the tree; alternately by the
// buttons and by the menu. Every Cancel returns, every scan ends stopped
// and every notice arrives.
TEST_F(UiTest, CancelAtVaryingMomentsNeverHangsOrLosesANotice)
{
    TickOnly({"L:"});

    // Full scans first, to learn how long the tree takes once it is cached;
    // the first also shows that the whole tree is walked.
    double fullScanMs = 1e9;
    for (int scan = 0; scan < 3; ++scan) {
        size_t openedBefore = OpenedDocuments().size();
        BoxAnswerer answerer;
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        Click(IDC_START);
        ASSERT_TRUE(answerer.WaitForBoxes(1, 120000));
        fullScanMs = std::min(fullScanMs, MillisecondsSince(start));
        EXPECT_EQ(kCompleted, answerer.Boxes()[0].text);
        ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(LatestWorker()) && IsIdle() &&
                                           OpenedDocuments().size() > openedBefore; },
                              kStateTimeoutMs));
    }
    std::string full = LastDocument(ReadWholeFile("Brindlog.html"));
    EXPECT_TRUE(Contains(full, "20.  L:\\d190\\match.dat")) << full;
    EXPECT_FALSE(Contains(full, "21. "));
    std::printf("[ stress ] a full scan of L: takes %.0f ms\n", fullScanMs);

    const int kCancels = 100;
    double longestWaitMs = 0, totalWaitMs = 0;
    int sawDriveText = 0, finishedFirst = 0;
    BoxAnswerer answerer;
    for (int trial = 0; trial < kCancels; ++trial) {
        SCOPED_TRACE(trial);
        bool byMenu = trial % 2 == 1;
        // Spread over the first 60% of a scan; trial 0 cancels at once.
        DWORD delayMs = static_cast<DWORD>(fullScanMs * 0.6 * ((trial * 37) % kCancels) / kCancels);
        size_t boxesBefore = answerer.Count();
        size_t openedBefore = OpenedDocuments().size();

        if (byMenu)
            SendMessageA(MainWindow(), WM_COMMAND, IDM_START_SCAN, 0);
        else
            Click(IDC_START);
        ASSERT_TRUE(IsScanning());
        HANDLE worker = LatestWorker();
        if (delayMs > 0)
            PumpMessagesFor(delayMs);
        std::string driveText = ItemText(IDC_DRIVE_TEXT);
        EXPECT_TRUE(driveText == "" || driveText == "L:") << driveText;
        sawDriveText += driveText == "L:";

        // A scan that ended during the delay has had its notice 3 handled
        // by the pump already: the dialog is idle before the Cancel.
        bool scanningAtCancel = IsScanning();
        LARGE_INTEGER cancelStart;
        {
            Watchdog watchdog(30000, "Cancel");
            QueryPerformanceCounter(&cancelStart);
            if (byMenu)
                SendMessageA(MainWindow(), WM_COMMAND, IDM_CANCEL_SCAN, 0);
            else
                Click(IDC_CANCEL);
        }
        double waitMs = MillisecondsSince(cancelStart);
        longestWaitMs = std::max(longestWaitMs, waitMs);
        totalWaitMs += waitMs;

        // The command returned only after the worker had ended, and the
        // dialog still scans: it goes idle on notice 3, not on the Cancel.
        EXPECT_TRUE(WorkerEnded(worker));
        EXPECT_EQ(0u, g_shared.StopRequested.load());
        EXPECT_EQ("", ItemText(IDC_DRIVE_TEXT));
        if (scanningAtCancel) {
            EXPECT_TRUE(IsScanning()) << "idle before notice 3 was handled";
        }

        // The notices arrive after the command: idle again, and the
        // warning, because L: is not the table's last drive. A scan that
        // beat the Cancel to its end must show its completion instead.
        ASSERT_TRUE(answerer.WaitForBoxes(boxesBefore + 1, kBoxTimeoutMs));
        ASSERT_TRUE(PumpUntil(IsIdle, kStateTimeoutMs));
        std::string document = LastDocument(ReadWholeFile("Brindlog.html"));
        if (Contains(document, "Scanning Completed\r\n")) {
            ++finishedFirst;
            EXPECT_EQ(kCompleted, answerer.Boxes().back().text);
            EXPECT_TRUE(PumpUntil([&] { return OpenedDocuments().size() > openedBefore; },
                                  kStateTimeoutMs));
            continue;
        }
        EXPECT_EQ(kCanceled, answerer.Boxes().back().text);
        EXPECT_TRUE(Contains(document, "Scan Incomplete - Stopped by user.\r\n")) << document;
        EXPECT_FALSE(Contains(document, "No Updates Needed"));
    }
    PumpMessagesFor(300);
    EXPECT_EQ(static_cast<size_t>(kCancels), answerer.Count()) << "one box per scan, no other";
    EXPECT_GT(sawDriveText, 0) << "the drive text was never seen during a scan";
    EXPECT_LE(finishedFirst, kCancels / 10) << "too few scans were really stopped";
    std::printf("[ stress ] %d cancels (%d during the drive, %d too late), longest wait %.1f ms, "
                "mean wait %.1f ms\n",
                kCancels, sawDriveText, finishedFirst, longestWaitMs, totalWaitMs / kCancels);
}

// The worker owns the progress bar, so only the worker can carry out what
// reaches the bar: it does so as it walks, not only once the walk is over.
// A repaint request is met during the walk of L:; then a message posted to
// the bar is handled while no footer is written and no box is up, and its
// handler holds the worker there while the test looks.
const UINT kBarPing = WM_APP + 7;
WNDPROC g_barProc = 0;
HANDLE g_barPinged = 0;
HANDLE g_barResume = 0;

LRESULT CALLBACK HoldingBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kBarPing) {
        SetEvent(g_barPinged);
        WaitForSingleObject(g_barResume, 20000);
        return 0;
    }
    return CallWindowProcA(g_barProc, bar, message, wParam, lParam);
}

TEST_F(UiTest, WorkerHandlesTheBarsMessagesWhileItWalks)
{
    TickOnly({"L:"});
    g_barPinged = CreateEventA(0, TRUE, FALSE, 0);
    g_barResume = CreateEventA(0, TRUE, FALSE, 0);
    struct Resume {
        ~Resume() { SetEvent(g_barResume); }
    } resumeOnEveryWayOut;
    size_t openedBefore = OpenedDocuments().size();
    size_t documentsBefore = Occurrences(ReadWholeFile("Brindlog.html"), "</BODY>");
    BoxAnswerer answerer;

    Click(IDC_START);
    HANDLE worker = LatestWorker();
    ASSERT_TRUE(PumpUntil([] { return ProgressBar() != 0 && ItemText(IDC_DRIVE_TEXT) == "L:"; },
                          kStateTimeoutMs));
    HWND bar = ProgressBar();
    g_barProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoldingBarProc)));
    ASSERT_TRUE(g_barProc != 0);

    ASSERT_TRUE(InvalidateRect(bar, 0, TRUE));
    RECT update;
    EXPECT_TRUE(PumpUntil([&] { return !GetUpdateRect(bar, &update, FALSE); }, kStateTimeoutMs))
        << "the bar was not repainted";
    ASSERT_TRUE(PostMessageA(bar, kBarPing, 0, 0));
    ASSERT_TRUE(PumpUntil([] { return WaitForSingleObject(g_barPinged, 0) == WAIT_OBJECT_0; },
                          kStateTimeoutMs))
        << "the message posted to the bar was not handled";
    // The worker is held inside the bar's procedure: still in the walk.
    EXPECT_FALSE(WorkerEnded(worker));
    EXPECT_EQ(0u, answerer.Count());
    EXPECT_TRUE(FindMessageBox() == 0);
    // What the worker wrote may still sit in its buffer, but no document
    // has been closed since the Start.
    EXPECT_EQ(documentsBefore, Occurrences(ReadWholeFile("Brindlog.html"), "</BODY>"));

    SetEvent(g_barResume);
    ASSERT_TRUE(answerer.WaitForBoxes(1, kBoxTimeoutMs));
    EXPECT_EQ(kCompleted, answerer.Boxes()[0].text);
    std::string log = ReadWholeFile("Brindlog.html");
    EXPECT_EQ(documentsBefore + 1, Occurrences(log, "</BODY>"));
    EXPECT_TRUE(Contains(LastDocument(log), "Scanning Completed")) << LastDocument(log);
    ASSERT_TRUE(PumpUntil([&] { return WorkerEnded(worker) && IsIdle() &&
                                       OpenedDocuments().size() > openedBefore; },
                          kStateTimeoutMs));
    CloseHandle(g_barPinged);
    CloseHandle(g_barResume);
    g_barPinged = g_barResume = 0;
}

// A Start while the previous worker still shows its completion box: the
// earlier worker's handle is kept and waited for, then let go. A Start
// that reaches the dialog during that wait is dropped, and the wait sleeps.
TEST_F(UiTest, EarlierWorkerInItsLastStepsIsStillWaitedFor)
{
    TickOnly({"M:"});
    HANDLE release = CreateEventA(0, TRUE, FALSE, 0);
    HANDLE firstBoxUp = CreateEventA(0, TRUE, FALSE, 0);
    size_t openedBefore = OpenedDocuments().size();
    BoxAnswerer answerer(BOXES_OF_THIS_PROCESS, [&](const SeenBox &box) {
        if (box.text == kCompleted && WaitForSingleObject(firstBoxUp, 0) == WAIT_TIMEOUT) {
            SetEvent(firstBoxUp);
            WaitForSingleObject(release, 20000);
        }
    });

    Click(IDC_START);
    HANDLE first = LatestWorker();
    // Notice 3 comes before the box: Start is available while it is up.
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(firstBoxUp, 0) == WAIT_OBJECT_0 && IsIdle(); },
                          kBoxTimeoutMs));

    TickOnly({"L:"});
    SendMessageA(Dialog(), WM_COMMAND, IDC_START, 0);
    HANDLE second = LatestWorker();
    ASSERT_NE(first, second);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(first, 0));

    // The second scan stops at once; the first is let go only later. In
    // between, another thread sends a Start to the waiting dialog: it is
    // answered inside the wait (the box is let go only after it) and must
    // start nothing. Messages posted meanwhile stay queued without making
    // the wait spin.
    struct Release {
        HANDLE event;
        bool stopStillRequested;
        static DWORD WINAPI Later(LPVOID self)
        {
            Release *release = static_cast<Release *>(self);
            Sleep(300);
            SendMessageA(Dialog(), WM_COMMAND, IDC_START, 0);
            release->stopStillRequested = g_shared.StopRequested.load() != 0;
            Sleep(400);
            SetEvent(release->event);
            return 0;
        }
    } releaser = {release, false};
    HANDLE timer = CreateThread(0, 0, Release::Later, &releaser, 0, 0);
    for (int i = 0; i < 5; ++i)
        PostMessageA(Dialog(), WM_NULL, 0, 0);
    FILETIME created, ended, kernelBefore, userBefore, kernelAfter, userAfter;
    ASSERT_TRUE(GetThreadTimes(GetCurrentThread(), &created, &ended, &kernelBefore, &userBefore));
    LARGE_INTEGER cancelStart;
    QueryPerformanceCounter(&cancelStart);
    {
        Watchdog watchdog(30000, "Cancel with an earlier worker");
        Click(IDC_CANCEL);
    }
    double waitMs = MillisecondsSince(cancelStart);
    ASSERT_TRUE(GetThreadTimes(GetCurrentThread(), &created, &ended, &kernelAfter, &userAfter));
    EXPECT_TRUE(WorkerEnded(second));
    EXPECT_TRUE(WorkerEnded(first)) << "Cancel returned before the earlier worker ended";
    EXPECT_GE(waitMs, 500.0);
    WaitForSingleObject(timer, INFINITE);
    CloseHandle(timer);
    EXPECT_TRUE(releaser.stopStillRequested) << "the Start was not answered during the wait";
    EXPECT_EQ(second, LatestWorker()) << "a Start during the wait started a worker";
    EXPECT_EQ(0u, g_shared.StopRequested.load());
    double busyMs = (FileTimeMs(kernelAfter) - FileTimeMs(kernelBefore)) +
                    (FileTimeMs(userAfter) - FileTimeMs(userBefore));
    std::printf("[ wait ] Cancel waited %.0f ms, busy for %.0f ms of it\n", waitMs, busyMs);
    EXPECT_LT(busyMs, waitMs / 10) << "the wait kept the processor busy";

    ASSERT_TRUE(answerer.WaitForBoxes(2, kBoxTimeoutMs));
    ASSERT_TRUE(PumpUntil(IsIdle, kStateTimeoutMs));
    PumpMessagesFor(300);
    std::vector<SeenBox> boxes = answerer.Boxes();
    ASSERT_EQ(2u, boxes.size()) << boxes.back().text;
    EXPECT_EQ(kCompleted, boxes[0].text);
    EXPECT_EQ(kCanceled, boxes[1].text);
    ASSERT_TRUE(PumpUntil([&] { return OpenedDocuments().size() == openedBefore + 1; }, kStateTimeoutMs));

    // The next Start lets both ended workers go.
    TickOnly({});
    Click(IDC_START);
    ASSERT_TRUE(answerer.WaitForBoxes(4, kBoxTimeoutMs));
    SetLastError(0xdeadbeef);
    DWORD flags;
    EXPECT_FALSE(GetHandleInformation(first, &flags));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(GetHandleInformation(second, &flags));
    ASSERT_TRUE(PumpUntil(IsIdle, kStateTimeoutMs));
    CloseHandle(release);
    CloseHandle(firstBoxUp);
}

// ---------------------------------------------------------------- menu

struct AboutVisit {
    int close;  // 0 OK button, 1 Escape, 2 the close box
    bool found = false;
    std::string version, product, caption;
    LONG style = 0;
    bool ownerDisabled = false;
};

DWORD WINAPI VisitAboutBox(LPVOID param)
{
    AboutVisit *visit = static_cast<AboutVisit *>(param);
    HWND box = 0;
    for (int i = 0; i < 1000 && box == 0; ++i) {
        box = FindWindowA("#32770", "About Ulvaron(R) Brindlemark");
        if (box == 0 || !IsWindowVisible(box)) {
            box = 0;
            Sleep(10);
        }
    }
    if (box == 0)
        return 0;
    visit->found = true;
    char text[128] = "";
    GetDlgItemTextA(box, IDC_ABOUT_VERSION, text, sizeof text);
    visit->version = text;
    GetDlgItemTextA(box, IDC_ABOUT_PRODUCT, text, sizeof text);
    visit->product = text;
    GetWindowTextA(box, text, sizeof text);
    visit->caption = text;
    visit->style = GetWindowLongA(box, GWL_STYLE);
    visit->ownerDisabled = !IsWindowEnabled(MainWindow());
    switch (visit->close) {
    case 0:
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        break;
    case 1:
        PostMessageA(GetDlgItem(box, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
        break;
    default:
        PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    return 0;
}

TEST_F(UiTest, AboutBoxShowsTheVersionAndEndsThreeWays)
{
    const char *const ways[] = {"OK", "Escape", "close box"};
    BoxAnswerer answerer;
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(ways[way]);
        AboutVisit visit;
        visit.close = way;
        HANDLE visitor = CreateThread(0, 0, VisitAboutBox, &visit, 0, 0);
        {
            Watchdog watchdog(20000, "About box");
            SendMessageA(MainWindow(), WM_COMMAND, IDM_ABOUT, 0);
        }
        WaitForSingleObject(visitor, INFINITE);
        CloseHandle(visitor);
        ASSERT_TRUE(visit.found);
        EXPECT_EQ("1.0.0.0", visit.version);
        EXPECT_EQ(kTitle, visit.product);
        EXPECT_EQ("About Ulvaron(R) Brindlemark", visit.caption);
        EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                                     DS_CENTER | DS_SETFONT),
                  static_cast<DWORD>(visit.style) & ~(WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK));
        EXPECT_TRUE(visit.ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(MainWindow()));
    }
    EXPECT_EQ(0u, answerer.Count());
}

TEST_F(UiTest, UnknownCommandsWarnAndStrayMessagesChangeNothing)
{
    BoxAnswerer answerer;
    const unsigned unknown[] = {40006, 40014, IDC_START, 0};
    for (unsigned id : unknown) {
        SCOPED_TRACE(id);
        size_t before = answerer.Count();
        SendMessageA(MainWindow(), WM_COMMAND, id, 0);
        ASSERT_TRUE(answerer.WaitForBoxes(before + 1, kBoxTimeoutMs));
        SeenBox box = answerer.Boxes().back();
        EXPECT_EQ("The command is not supported.", box.text);
        EXPECT_EQ(static_cast<unsigned>(MB_ICONWARNING), box.icon);
        EXPECT_EQ("Error", box.caption) << "the system's default caption";
    }

    // A notification code other than 0 makes a different command, and a
    // notice other than 1, 2 and 3 is no notice.
    HANDLE worker = LatestWorker();
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_START, BN_SETFOCUS), 0);
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_EXIT, 1), 0);
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0);
    SendMessageA(Dialog(), WM_SCAN_NOTIFY, 0, 0);
    SendMessageA(Dialog(), WM_SCAN_NOTIFY, 4, 0);
    SendMessageA(Dialog(), WM_SCAN_NOTIFY, MAKEWPARAM(NOTICE_CANCELLED, 1), 0);
    PumpMessagesFor(300);
    EXPECT_EQ(worker, LatestWorker());
    EXPECT_TRUE(IsWindow(Dialog()));
    EXPECT_TRUE(IsIdle());
    EXPECT_EQ(4u, answerer.Count());
}

BOOL CALLBACK FindNotepad(HWND window, LPARAM found)
{
    if (ClassOf(window) == "Notepad") {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

TEST_F(UiTest, LogCommandsAndReadme)
{
    BoxAnswerer answerer(BOXES_OF_THIS_PROCESS);
    size_t openedBefore = OpenedDocuments().size();

    SendMessageA(MainWindow(), WM_COMMAND, IDM_CLEAR_LOG, 0);
    std::string log = ReadWholeFile("Brindlog.html");
    EXPECT_EQ(0u, log.find("<HTML>\r\n<HEAD>")) << log;
    EXPECT_FALSE(Contains(log, "Scan Drive"));
    const std::string closing = "</FONT></CENTER>\r\n\r\n</BODY>\r\n</HTML>\r\n";
    ASSERT_GE(log.size(), closing.size());
    EXPECT_EQ(closing, log.substr(log.size() - closing.size()));

    SendMessageA(MainWindow(), WM_COMMAND, IDM_OPEN_LOG, 0);
    ASSERT_TRUE(PumpUntil([&] { return OpenedDocuments().size() > openedBefore; }, kStateTimeoutMs));
    EXPECT_STRCASEEQ(LogPathHere().c_str(), OpenedDocuments().back().c_str());

    // Readme starts the editor and says nothing of its own.
    SendMessageA(MainWindow(), WM_COMMAND, IDM_README, 0);
    HWND notepad = 0;
    PumpUntil([&] {
        EnumWindows(FindNotepad, reinterpret_cast<LPARAM>(&notepad));
        return notepad != 0;
    }, kStateTimeoutMs);
    EXPECT_TRUE(notepad != 0) << "the editor did not start";
    if (notepad != 0) {
        DWORD processId = 0;
        GetWindowThreadProcessId(notepad, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    PumpMessagesFor(300);
    EXPECT_EQ(0u, answerer.Count());
}

// ---------------------------------------------------------------- ending

void RecreateWindows()
{
    if (IsWindow(MainWindow()))
        return;
    MSG stale;
    while (PeekMessageA(&stale, 0, 0, 0, PM_REMOVE)) {
    }
    ASSERT_TRUE(CreateMainWindows(GetModuleHandleA(0), SW_SHOWNORMAL));
    PumpMessagesFor(100);
}

// Each way of ending during a scan waits for the worker, destroys the
// windows and posts the quit message with code 0.
TEST(UiEnding, EndingDuringAScanWaitsForTheWorkerAndQuits)
{
    struct Way {
        const char *label;
        void (*end)();
    } const ways[] = {
        {"Exit button", [] { Click(IDC_EXIT); }},
        {"cancel command", [] { SendMessageA(Dialog(), WM_COMMAND, IDCANCEL, 0); }},
        {"File Exit", [] { SendMessageA(MainWindow(), WM_COMMAND, IDM_EXIT, 0); }},
        {"close box", [] { SendMessageA(MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    BoxAnswerer answerer;
    for (const Way &way : ways) {
        SCOPED_TRACE(way.label);
        RecreateWindows();
        ASSERT_TRUE(SetCurrentDirectoryA(kHomeFolder));
        TickOnly({"L:"});
        HWND mainWindow = MainWindow(), dialog = Dialog();
        Click(IDC_START);
        HANDLE worker = LatestWorker();
        PumpUntil([] { return ItemText(IDC_DRIVE_TEXT) == "L:"; }, kStateTimeoutMs);
        EXPECT_FALSE(WorkerEnded(worker)) << "the scan should still run";
        {
            Watchdog watchdog(30000, way.label);
            way.end();
        }
        EXPECT_TRUE(WorkerEnded(worker));
        EXPECT_EQ(0u, g_shared.StopRequested.load());
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_FALSE(IsWindow(mainWindow));
        MSG quit;
        bool quitPosted = false;
        while (PeekMessageA(&quit, 0, 0, 0, PM_REMOVE)) {
            if (quit.message == WM_QUIT) {
                quitPosted = true;
                EXPECT_EQ(0u, quit.wParam);
            }
        }
        EXPECT_TRUE(quitPosted);
        std::string document = LastDocument(ReadWholeFile("Brindlog.html"));
        EXPECT_TRUE(Contains(document, "Scan Incomplete - Stopped by user.\r\n"));
    }
    PumpMessagesFor(300);
    EXPECT_EQ(0u, answerer.Count()) << "notices to a destroyed dialog show nothing";
}

}  // namespace
