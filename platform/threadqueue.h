#pragma once

// Carries out what is waiting in the calling thread's own message queue:
// input to and paint requests of the windows the thread created, and
// messages posted to them. Returns when nothing is left. A long task that
// owns a window calls this now and then, so that the window repaints and
// no input waits behind it.
void HandlePendingMessages();
