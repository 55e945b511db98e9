#include "platform/threadqueue.h"

#include <windows.h>

// Nothing posts to the thread itself, so every message here is for one of
// its windows.
void HandlePendingMessages()
{
    MSG message;
    while (PeekMessageA(&message, 0, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
