// System-wide hotkeys where the desktop offers no key grabbing: registrations are kept and
// answered by the contract (ids from 33001, one more for every call, refused calls included,
// never reused in a run; 0 when refused) but no key press ever reaches them.
#include <map>

#include "runtime/ui/control_registry.h"

namespace runtime::ui {

namespace {

struct Registration {
    Handle owner = 0;
    int modifiers = 0;
    int key = 0;
};

int& nextId() {
    static int id = 33001;
    return id;
}

std::map<int, Registration>& registrations() {
    static std::map<int, Registration> map;
    return map;
}

}  // namespace

int registerGlobalHotkey(Handle owner, Handle notify, int modifierBits, int virtualKey) {
    const int id = nextId()++;
    if (!widgetForHandle(owner) || !widgetForHandle(notify)) return 0;
    if (virtualKey <= 0 || virtualKey > 254 || modifierBits < 0 || modifierBits > 7) return 0;
    for (const auto& [otherId, r] : registrations())
        if (r.modifiers == modifierBits && r.key == virtualKey) return 0;  // taken
    registrations()[id] = Registration{owner, modifierBits, virtualKey};
    return id;
}

bool unregisterGlobalHotkey(Handle /*owner*/, int id) { return registrations().erase(id) > 0; }

}  // namespace runtime::ui
