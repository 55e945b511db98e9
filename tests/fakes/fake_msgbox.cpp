#include "tests/fakes/fake_msgbox.h"

#include <map>

#include "app/shared.h"
#include "platform/msgbox.h"
#include "tests/fakes/fake_strings.h"

namespace {
std::vector<RecordedMessage> g_messages;
std::function<void(const RecordedMessage &)> g_hook;
std::map<PlatformHandle, bool> g_enabled;
}  // namespace

std::vector<RecordedMessage> &RecordedMessages()
{
    return g_messages;
}

void ClearRecordedMessages()
{
    g_messages.clear();
    g_hook = nullptr;
}

void SetMessageBoxHook(std::function<void(const RecordedMessage &)> hook)
{
    g_hook = std::move(hook);
}

bool FakeWindowEnabled(PlatformHandle window)
{
    auto it = g_enabled.find(window);
    return it == g_enabled.end() || it->second;
}

void EnableWindowInput(PlatformHandle window, bool enable)
{
    if (window)
        g_enabled[window] = enable;
}

void ShowMessageBox(const char *text, const char *caption, MessageIcon icon)
{
    RecordedMessage m;
    m.stringId = StringTableId(text);
    m.icon = icon;
    m.hasCaption = caption != 0;
    m.caption = caption ? caption : "";
    m.text = text;
    m.mainWindowDisabled = g_shared.mainWindow != 0 && !FakeWindowEnabled(g_shared.mainWindow);
    g_messages.push_back(m);
    if (g_hook)
        g_hook(g_messages.back());
}
