#pragma once
#include <functional>

// HandlePendingMessages with nothing to handle: it counts its calls and
// runs an action a test gives it, so that a test can see when the calls
// come.

// Calls since the last reset.
int FakePendingMessageCalls();

// Runs `action` at every call from now on (an empty one: nothing).
void FakeOnPendingMessages(std::function<void()> action);

// Forgets the calls and the action.
void ResetFakeThreadQueue();
