#include "tests/fakes/fake_threadqueue.h"

#include "platform/threadqueue.h"

namespace {
int g_calls = 0;
std::function<void()> g_action;
}  // namespace

int FakePendingMessageCalls()
{
    return g_calls;
}

void FakeOnPendingMessages(std::function<void()> action)
{
    g_action = action;
}

void ResetFakeThreadQueue()
{
    g_calls = 0;
    g_action = nullptr;
}

void HandlePendingMessages()
{
    ++g_calls;
    if (g_action)
        g_action();
}
