#include "tests/wine/support/wine_support.h"

#include <algorithm>

#include "app/resources/resource.h"

namespace {
const int kTextStaticId = 0xFFFF;
const DWORD kPollMs = 15;
const DWORD kCloseTimeoutMs = 5000;

std::string WindowText(HWND window)
{
    // InternalGetWindowText reads the stored text without sending
    // WM_GETTEXT, so it cannot wait on a busy or stuck thread.
    WCHAR wide[1024];
    int length = InternalGetWindowText(window, wide, sizeof wide / sizeof wide[0]);
    if (length <= 0)
        return std::string();
    char narrow[2048];
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, narrow, sizeof narrow, 0, 0);
    return std::string(narrow, bytes > 0 ? bytes : 0);
}

std::string ClassOf(HWND window)
{
    char name[64];
    int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

struct ChildCheck {
    bool hasText;
    bool foreign;
};

BOOL CALLBACK CheckChild(HWND child, LPARAM param)
{
    ChildCheck *check = reinterpret_cast<ChildCheck *>(param);
    int id = GetDlgCtrlID(child);
    std::string cls = ClassOf(child);
    if (_stricmp(cls.c_str(), "Static") == 0) {
        if (id == kTextStaticId)
            check->hasText = true;
        // Any other static is the icon; Wine gives it id 1088, Windows 20.
        return TRUE;
    }
    if (_stricmp(cls.c_str(), "Button") == 0 && id >= IDOK && id <= 11 /* IDCONTINUE */)
        return TRUE;
    check->foreign = true;
    return FALSE;
}

struct FindState {
    BoxScope scope;
    const std::vector<HWND> *skip;
    HWND found;
};

BOOL CALLBACK FindTop(HWND window, LPARAM param)
{
    FindState *state = reinterpret_cast<FindState *>(param);
    if (state->scope == BOXES_OF_THIS_PROCESS) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != GetCurrentProcessId())
            return TRUE;
    }
    if (std::find(state->skip->begin(), state->skip->end(), window) != state->skip->end())
        return TRUE;
    if (!IsWindowVisible(window) || !IsMessageBox(window))
        return TRUE;
    state->found = window;
    return FALSE;
}

struct KnownIcon {
    LPCWSTR id;
    unsigned style;
};

const KnownIcon kKnownIcons[] = {
    {reinterpret_cast<LPCWSTR>(IDI_HAND), MB_ICONERROR},
    {reinterpret_cast<LPCWSTR>(IDI_QUESTION), MB_ICONQUESTION},
    {reinterpret_cast<LPCWSTR>(IDI_EXCLAMATION), MB_ICONWARNING},
    {reinterpret_cast<LPCWSTR>(IDI_ASTERISK), MB_ICONINFORMATION},
};

HWND IconStaticOf(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgCtrlID(child) != kTextStaticId && _stricmp(ClassOf(child).c_str(), "Static") == 0)
            return child;
    return 0;
}

// The pixels of a w x h area of `source` at (x, y), as 0x00BBGGRR values.
std::vector<DWORD> Pixels(HDC source, int x, int y, int w, int h)
{
    std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = 0;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, 0, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, source, x, y, SRCCOPY);
        GdiFlush();
        const DWORD *p = static_cast<const DWORD *>(bits);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = p[i] & 0x00FFFFFF;
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// `icon` drawn as a static control draws it, on a background of `background`.
std::vector<DWORD> RenderedIcon(HICON icon, DWORD background, int w, int h)
{
    HDC screen = GetDC(0);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all = {0, 0, w, h};
    // Pixels() gives 0x00RRGGBB (DIB order); a brush wants 0x00BBGGRR.
    HBRUSH brush = CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, w, h, 0, 0, DI_NORMAL);
    std::vector<DWORD> pixels = Pixels(memory, 0, 0, w, h);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(0, screen);
    return pixels;
}

unsigned IconStyleOf(HWND box)
{
    HWND iconStatic = IconStaticOf(box);
    if (!iconStatic || !IsWindowVisible(iconStatic))
        return 0;
    // STM_GETICON is answered by the static's window procedure; for another
    // thread of this process that is a sent message, so allow it a moment.
    DWORD_PTR icon = 0;
    if (!SendMessageTimeoutA(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon))
        return ICON_UNKNOWN;
    if (!icon)
        return 0;
    for (const KnownIcon &k : kKnownIcons)
        if (reinterpret_cast<DWORD_PTR>(LoadIconW(0, k.id)) == icon)
            return k.style;
    return ICON_UNKNOWN;
}
}  // namespace

unsigned IconStyleFromScreen(HWND box, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND iconStatic = IconStaticOf(box);
        if (!IsWindow(box))
            return ICON_UNKNOWN;
        if (!iconStatic || !IsWindowVisible(iconStatic))
            return 0;
        RECT place;
        GetWindowRect(iconStatic, &place);
        int w = place.right - place.left, h = place.bottom - place.top;
        if (w > 0 && h > 0 && w <= 256 && h <= 256) {
            HDC screen = GetDC(0);
            std::vector<DWORD> shown = Pixels(screen, place.left, place.top, w, h);
            ReleaseDC(0, screen);
            // The icons' corners are transparent: the corner is the background.
            size_t best = shown.size() + 1;
            unsigned bestStyle = ICON_UNKNOWN;
            for (const KnownIcon &k : kKnownIcons) {
                std::vector<DWORD> drawn = RenderedIcon(LoadIconW(0, k.id), shown[0], w, h);
                size_t differing = 0;
                for (size_t i = 0; i < shown.size(); ++i)
                    differing += shown[i] != drawn[i];
                if (differing < best) {
                    best = differing;
                    bestStyle = k.style;
                }
            }
            if (best * 50 <= shown.size())  // at most 2% of the pixels differ
                return bestStyle;
        }
        // Not painted yet, or covered: look again shortly.
        if (GetTickCount() - start >= timeoutMs)
            return ICON_UNKNOWN;
        Sleep(kPollMs * 2);
    }
}

bool IsMessageBox(HWND window)
{
    if (!IsWindow(window) || GetParent(window) != 0)
        return false;
    if (ClassOf(window) != "#32770")
        return false;
    ChildCheck check = {false, false};
    EnumChildWindows(window, CheckChild, reinterpret_cast<LPARAM>(&check));
    return check.hasText && !check.foreign;
}

HWND FindMessageBox(BoxScope scope, const std::vector<HWND> &skip)
{
    FindState state = {scope, &skip, 0};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

bool ReadMessageBox(HWND box, SeenBox *seen)
{
    if (!IsMessageBox(box))
        return false;
    seen->window = box;
    seen->processId = 0;
    seen->threadId = GetWindowThreadProcessId(box, &seen->processId);
    seen->caption = WindowText(box);
    HWND text = GetDlgItem(box, kTextStaticId);
    seen->text = text ? WindowText(text) : std::string();
    seen->icon = seen->processId == GetCurrentProcessId() ? IconStyleOf(box) : IconStyleFromScreen(box);
    return true;
}

bool PressOk(HWND box)
{
    if (!IsWindow(box))
        return false;
    HWND button = GetDlgItem(box, IDOK);
    return PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != 0;
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        PumpMessagesFor(kPollMs);
    }
    return true;
}

void PumpMessagesFor(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, 0, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

BoxAnswerer::BoxAnswerer(BoxScope scope, Hook hook)
    : scope_(scope), hook_(std::move(hook)), stuck_(0), stop_(false)
{
    thread_ = std::thread(&BoxAnswerer::Run, this);
}

BoxAnswerer::~BoxAnswerer()
{
    Stop();
}

void BoxAnswerer::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

bool BoxAnswerer::WaitForBoxes(std::size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (boxes_.size() >= count)
                return true;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        PumpMessagesFor(kPollMs);
    }
}

std::vector<SeenBox> BoxAnswerer::Boxes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

std::size_t BoxAnswerer::Count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_.size();
}

std::size_t BoxAnswerer::Stuck() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stuck_;
}

void BoxAnswerer::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_.clear();
    stuck_ = 0;
}

void BoxAnswerer::Run()
{
    // A box that would not close is skipped from then on, so that one
    // stuck box does not hide the ones after it.
    std::vector<HWND> stuckBoxes;
    while (!stop_) {
        HWND box = FindMessageBox(scope_, stuckBoxes);
        if (!box) {
            Sleep(kPollMs);
            continue;
        }
        SeenBox seen;
        if (!ReadMessageBox(box, &seen))
            continue;
        if (hook_)
            hook_(seen);
        PressOk(box);
        // Recorded once it has closed, so that a test that waits for N
        // boxes sees the code after the N-th box running again.
        bool closed = false;
        DWORD start = GetTickCount();
        while (!(closed = !IsWindow(box)) && GetTickCount() - start < kCloseTimeoutMs)
            Sleep(kPollMs);
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed) {
            boxes_.push_back(seen);
        } else {
            ++stuck_;
            stuckBoxes.push_back(box);
        }
    }
}

namespace {
const UINT kSendTimeoutMs = 2000;

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

std::string ControlText(HWND control)
{
    char text[64] = "";
    SendWithTimeout(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}
}  // namespace

bool TickOnly(HWND dialog, const std::vector<std::string> &labels, std::string *missing)
{
    const int kSlots = IDC_LAST_DRIVE_CHECK - IDC_FIRST_DRIVE_CHECK + 1;
    std::vector<std::string> shown(kSlots);
    for (int slot = 0; slot < kSlots; ++slot) {
        HWND checkbox = GetDlgItem(dialog, IDC_FIRST_DRIVE_CHECK + slot);
        if (checkbox == 0 || !IsWindowVisible(checkbox))
            continue;
        shown[slot] = ControlText(GetDlgItem(dialog, IDC_FIRST_DRIVE_LABEL + slot));
        SendWithTimeout(checkbox, BM_SETCHECK, BST_UNCHECKED);
    }
    for (const std::string &label : labels) {
        int slot = 0;
        while (slot < kSlots && (shown[slot].empty() || _stricmp(shown[slot].c_str(), label.c_str()) != 0))
            ++slot;
        HWND checkbox = slot < kSlots ? GetDlgItem(dialog, IDC_FIRST_DRIVE_CHECK + slot) : 0;
        if (checkbox != 0)
            SendWithTimeout(checkbox, BM_CLICK);
        if (checkbox == 0 || SendWithTimeout(checkbox, BM_GETCHECK) != BST_CHECKED) {
            if (missing)
                *missing = label;
            return false;
        }
    }
    return true;
}

namespace {
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

TestWindow::TestWindow(const char *title)
{
    static const char kClass[] = "BrindleTestWindow";
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = GetModuleHandleA(0);
    wc.lpszClassName = kClass;
    wc.hCursor = LoadCursorA(0, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);  // fails harmlessly when already registered
    window_ = CreateWindowA(kClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 320, 200,
                            0, 0, wc.hInstance, 0);
}

TestWindow::~TestWindow()
{
    if (window_)
        DestroyWindow(window_);
}
