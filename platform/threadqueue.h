#pragma once

// Carries out what is waiting in the calling thread's own message queue:
// input to and paint requests of the windows the thread created, and
// messages posted to them. Returns when nothing is left, or at once when it
// last looked less than a twentieth of a second ago. A long task that owns
// a window calls this often (after every directory, say), so that the
// window repaints and no input waits behind it.
void HandlePendingMessages();
