#include "tests/fakes/fake_dialog.h"

#include <map>
#include <utility>

#include "platform/dialog.h"

namespace {
typedef std::pair<PlatformHandle, int> ControlKey;
std::map<ControlKey, ButtonState> g_states;
std::map<ControlKey, unsigned> g_reads;
}  // namespace

void SetFakeButtonState(PlatformHandle dialog, int controlId, ButtonState state)
{
    g_states[ControlKey(dialog, controlId)] = state;
}

void ClearFakeButtonStates()
{
    g_states.clear();
    g_reads.clear();
}

unsigned FakeButtonReads(PlatformHandle dialog, int controlId)
{
    auto it = g_reads.find(ControlKey(dialog, controlId));
    return it == g_reads.end() ? 0 : it->second;
}

ButtonState DialogButtonState(PlatformHandle dialog, int controlId)
{
    ControlKey key(dialog, controlId);
    ++g_reads[key];
    auto it = g_states.find(key);
    return it == g_states.end() ? BUTTON_UNTICKED : it->second;
}
