// The runtime's locks in a program linked like the product: libgcc's
// mutexes get their semaphore from our CreateSemaphoreW slot
// (platform/win32/runtime_semaphore.cpp), and they hold under contention,
// both called directly and as the unwinder uses them when several threads
// throw at once. Also the slot's handling of names. Run under Wine by the
// Wine build; prints one line per check and exits non-zero on any failure.

#include <windows.h>

// libgcc's own mutex functions (config/i386/gthr-win32.c), the ones the
// runtime's locks call, rather than the header's inline copies of them.
#define __GTHREAD_HIDE_WIN32API 1
#include <bits/gthr.h>

#include <cstdio>
#include <stdexcept>
#include <string>

extern "C" {
// Ours: what the slot must point to.
HANDLE WINAPI BrindleCreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);
// The slot through which libgcc (and any dllimport call) reaches it.
extern void *const brindle_check_slot __asm__("__imp__CreateSemaphoreW@16");
}

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char *what, const std::string &detail = std::string())
{
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", what, detail.empty() ? "" : ": ",
                detail.c_str());
    (ok ? g_passed : g_failed)++;
}

constexpr int kThreads = 4;

// Starts kThreads threads running body(index) and waits for them.
// (Windows 95 and 98 want somewhere to put each thread's id.)
bool RunThreads(LPTHREAD_START_ROUTINE body, void *argument)
{
    HANDLE threads[kThreads];
    DWORD ids[kThreads];
    for (int i = 0; i < kThreads; i++) {
        threads[i] = CreateThread(nullptr, 0, body, argument, 0, &ids[i]);
        if (threads[i] == nullptr)
            return false;
    }
    const bool done = WaitForMultipleObjects(kThreads, threads, TRUE, 120000) == WAIT_OBJECT_0;
    for (HANDLE thread : threads)
        CloseHandle(thread);
    return done;
}

// --- libgcc's mutex, contended ------------------------------------------

struct Counting {
    __gthread_mutex_t mutex;
    long count;          // guarded by mutex, updated non-atomically
    volatile long seen_held;  // times a thread found the mutex taken
};
constexpr int kRounds = 20000;

DWORD WINAPI CountingThread(void *argument)
{
    Counting *c = static_cast<Counting *>(argument);
    for (int i = 0; i < kRounds; i++) {
        // The mutex's counter is -1 when free: a thread that finds it
        // otherwise waits on the semaphore.
        if (*static_cast<volatile long *>(&c->mutex.counter) != -1)
            InterlockedIncrement(const_cast<long *>(&c->seen_held));
        __gthr_win32_mutex_lock(&c->mutex);
        const long before = c->count;
        if (i % 16 == 0)
            Sleep(0);  // let the others come up against the lock
        c->count = before + 1;
        __gthr_win32_mutex_unlock(&c->mutex);
    }
    return 0;
}

void CheckRuntimeMutex()
{
    static Counting c;
    c.count = 0;
    c.seen_held = 0;
    __gthr_win32_mutex_init_function(&c.mutex);
    Check(c.mutex.sema != nullptr, "libgcc's mutex has a semaphore");
    if (c.mutex.sema == nullptr)
        return;
    const bool ran = RunThreads(CountingThread, &c);
    Check(ran, "counting threads ran and ended");
    Check(c.count == long(kThreads) * kRounds, "no update lost under the lock",
          std::to_string(c.count) + " of " + std::to_string(long(kThreads) * kRounds));
    Check(c.seen_held > 0, "the lock was contended",
          std::to_string(c.seen_held) + " waits");
    __gthr_win32_mutex_destroy(&c.mutex);
}

// --- the unwinder's lock: threads throwing at once ------------------------

constexpr int kThrows = 3000;
volatile long g_caught = 0;

[[noreturn]] __attribute__((noinline)) void Throw(int i)
{
    throw std::runtime_error(std::to_string(i));
}

DWORD WINAPI ThrowingThread(void *)
{
    for (int i = 0; i < kThrows; i++) {
        try {
            Throw(i);
        } catch (const std::runtime_error &e) {
            if (std::stoi(e.what()) == i)
                InterlockedIncrement(const_cast<long *>(&g_caught));
        }
    }
    return 0;
}

void CheckConcurrentExceptions()
{
    const bool ran = RunThreads(ThrowingThread, nullptr);
    Check(ran, "throwing threads ran and ended");
    Check(g_caught == long(kThreads) * kThrows, "every exception caught where thrown",
          std::to_string(g_caught) + " of " + std::to_string(long(kThreads) * kThrows));
}

// --- the slot itself -------------------------------------------------------

void CheckSlot()
{
    Check(brindle_check_slot == reinterpret_cast<void *>(&BrindleCreateSemaphoreW),
          "CreateSemaphoreW's import slot points to ours");

    // A named semaphore is the object the ANSI name opens.
    HANDLE created = CreateSemaphoreW(nullptr, 0, 1, L"BrindleRuntimeLockCheck");
    HANDLE opened = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "BrindleRuntimeLockCheck");
    Check(created != nullptr && opened != nullptr, "a name is converted to the ANSI name");
    if (created != nullptr && opened != nullptr) {
        Check(ReleaseSemaphore(opened, 1, nullptr) &&
                  WaitForSingleObject(created, 0) == WAIT_OBJECT_0,
              "both handles are the one semaphore");
    }
    if (opened != nullptr)
        CloseHandle(opened);
    if (created != nullptr)
        CloseHandle(created);

    // Failures: a name too long for the buffer, one the code page lacks.
    struct Case {
        const char *label;
        std::wstring name;
        DWORD error;
    };
    CPINFO code_page{};
    GetCPInfo(CP_ACP, &code_page);
    Case cases[] = {
        {"a name of MAX_PATH characters fails", std::wstring(MAX_PATH, L'x'),
         ERROR_FILENAME_EXCED_RANGE},
        {"a name of MAX_PATH - 1 characters passes", std::wstring(MAX_PATH - 1, L'y'),
         ERROR_SUCCESS},
        {"a name the code page cannot hold fails", L"Brindle\x4E00", ERROR_INVALID_NAME},
    };
    for (const Case &c : cases) {
        if (c.error == ERROR_INVALID_NAME && code_page.MaxCharSize != 1) {
            std::printf("skip %s (code page %u has it)\n", c.label, GetACP());
            continue;
        }
        SetLastError(0xdeadbeef);
        HANDLE h = CreateSemaphoreW(nullptr, 0, 1, c.name.c_str());
        const DWORD error = GetLastError();
        if (c.error == ERROR_SUCCESS)
            Check(h != nullptr, c.label, "error " + std::to_string(error));
        else
            Check(h == nullptr && error == c.error, c.label,
                  "handle " + std::string(h ? "made" : "null") + ", error " + std::to_string(error));
        if (h != nullptr)
            CloseHandle(h);
    }
}

}  // namespace

int main()
{
    CheckSlot();
    CheckRuntimeMutex();
    CheckConcurrentExceptions();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
