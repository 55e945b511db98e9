#include "platform/threadqueue.h"

#include <windows.h>

namespace {

// A look at the queue costs a call into the system; a walk asks after every
// directory, thousands of times a second. Looking at most this often still
// repaints and answers input well within what a person notices.
const DWORD LOOK_INTERVAL_MS = 50;

// Only the thread walking a drive calls this, one such thread at a time.
DWORD g_lastLook;
bool g_looked;

}  // namespace

// Nothing posts to the thread itself, so every message here is for one of
// its windows.
void HandlePendingMessages()
{
    DWORD now = GetTickCount();
    if (g_looked && now - g_lastLook < LOOK_INTERVAL_MS)
        return;
    g_looked = true;
    g_lastLook = now;
    MSG message;
    while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
