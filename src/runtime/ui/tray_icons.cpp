// Notification-area icons, one per window: the window's tray event (9) carries the icon's
// mouse action (1 left up, 2 double-click, 3 right button).
#include <map>

#include "runtime/ui/control_registry.h"
#include "runtime/ui/ui_internal.h"
#include "runtime/ui/widgets/tray.h"

namespace runtime::ui {

namespace detail {

namespace {

std::map<std::string, QPointer<widgets::TrayIcon>, std::less<>>& trays() {
    static std::map<std::string, QPointer<widgets::TrayIcon>, std::less<>> t;
    return t;
}

}  // namespace

void forgetTrayIcon(std::string_view window) {
    auto it = trays().find(window);
    if (it == trays().end()) return;
    delete it->second.data();
    trays().erase(it);
}

}  // namespace detail

using namespace detail;
bool setTrayIcon(std::string_view window, std::string_view iconBytes, std::string_view tooltip) {
    FormWindow* w = loadedWindow(window);
    if (!w) return false;
    auto it = trays().find(window);
    if (iconBytes.empty()) {
        if (it != trays().end() && it->second) it->second->remove();
        return true;
    }
    widgets::TrayIcon* icon = it != trays().end() ? it->second.data() : nullptr;
    if (!icon) {
        icon = new widgets::TrayIcon(w);
        const std::string name(window);
        // The icon is a way back to its window even while a modal window disabled it: the
        // restore brings the modal window back with it (ui_internal.h).
        QObject::connect(icon, &widgets::TrayIcon::activated, icon, [name](int action) {
            deliver(name, {}, event::kTray, EventArgs{action, 0, 0});
        });
        trays()[name] = icon;
    }
    return icon->set(iconBytes, qs(tooltip));
}

}  // namespace runtime::ui
