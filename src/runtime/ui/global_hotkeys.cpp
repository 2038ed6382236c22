// System-wide hotkeys on X11: a key grab on the root window for each registration, with the
// NumLock and CapsLock variants so that those locks do not swallow the hotkey. A press is handed
// to the notify control as its event 0 with the registration's id, like any other event.
// Without an X server (the offscreen platform, Wayland without XWayland) every registration is
// refused with id 0, as a combination the system will not give is.
#include <QtGui/qguiapplication_platform.h>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <map>

#include "runtime/ui/control_registry.h"
#include "runtime/ui/ui.h"

namespace runtime::ui {
namespace {

struct Registration {
    Handle owner = 0;
    Handle notify = 0;
    xcb_keycode_t keycode = 0;
    uint16_t modifiers = 0;
};

std::map<int, Registration>& registrations() {
    static std::map<int, Registration> map;
    return map;
}

int& nextId() {
    static int id = 33001;
    return id;
}

// Windows virtual-key codes to X key symbols, for the keys a user can pick.
KeySym keysymForVirtualKey(int vk) {
    if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
    if (vk >= 112 && vk <= 123) return XK_F1 + (vk - 112);
    switch (vk) {
        case 8: return XK_BackSpace;
        case 9: return XK_Tab;
        case 13: return XK_Return;
        case 16: return XK_Shift_L;
        case 17: return XK_Control_L;
        case 18: return XK_Alt_L;
        case 19: return XK_Pause;
        case 27: return XK_Escape;
        case 32: return XK_space;
        case 33: return XK_Prior;
        case 34: return XK_Next;
        case 35: return XK_End;
        case 36: return XK_Home;
        case 37: return XK_Left;
        case 38: return XK_Up;
        case 39: return XK_Right;
        case 40: return XK_Down;
        case 45: return XK_Insert;
        case 46: return XK_Delete;
        case 106: return XK_KP_Multiply;
        case 107: return XK_KP_Add;
        case 186: return XK_semicolon;
        case 187: return XK_equal;
        case 188: return XK_comma;
        case 189: return XK_minus;
        case 190: return XK_period;
        case 191: return XK_slash;
        case 192: return XK_grave;
        case 219: return XK_bracketleft;
        case 220: return XK_backslash;
        case 221: return XK_bracketright;
        case 222: return XK_apostrophe;
        default: return NoSymbol;
    }
}

QNativeInterface::QX11Application* x11() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
}

constexpr uint16_t kLockVariants[] = {0, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK,
                                      XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK};
constexpr uint16_t kRelevantModifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1;

xcb_window_t rootWindow(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

class HotkeyFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        auto* ev = static_cast<xcb_generic_event_t*>(message);
        if ((ev->response_type & ~0x80) != XCB_KEY_PRESS) return false;
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
        for (const auto& [id, reg] : registrations()) {
            if (reg.keycode != key->detail || reg.modifiers != (key->state & kRelevantModifiers)) continue;
            QWidget* notify = widgetForHandle(reg.notify);
            std::string window, control;
            if (notify && controlNameOf(notify, window, control)) {
                EventArgs args;
                args.a = id;
                args.b = 0;
                // Delivered after the current event, like the window message it stands for.
                QMetaObject::invokeMethod(
                    notify, [window, control, args] { raiseEvent(window, control, event::kChanged, args); },
                    Qt::QueuedConnection);
            }
            return true;
        }
        return false;
    }
};

void ensureFilter() {
    static HotkeyFilter* filter = nullptr;
    if (!filter && QCoreApplication::instance()) {
        filter = new HotkeyFilter;
        QCoreApplication::instance()->installNativeEventFilter(filter);
    }
}

}  // namespace

int registerGlobalHotkey(Handle owner, Handle notify, int modifierBits, int virtualKey) {
    int id = nextId()++;
    QNativeInterface::QX11Application* native = x11();
    if (!native || !native->connection() || !native->display()) return 0;
    KeySym sym = keysymForVirtualKey(virtualKey);
    if (sym == NoSymbol) return 0;
    xcb_keycode_t keycode = static_cast<xcb_keycode_t>(XKeysymToKeycode(native->display(), sym));
    if (keycode == 0) return 0;
    uint16_t mods = 0;
    if (modifierBits & 1) mods |= XCB_MOD_MASK_CONTROL;
    if (modifierBits & 2) mods |= XCB_MOD_MASK_SHIFT;
    if (modifierBits & 4) mods |= XCB_MOD_MASK_1;
    xcb_connection_t* c = native->connection();
    xcb_window_t root = rootWindow(c);
    for (uint16_t lock : kLockVariants) {
        xcb_void_cookie_t cookie =
            xcb_grab_key_checked(c, 1, root, mods | lock, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            // Another client holds the combination: undo the variants already grabbed.
            free(error);
            for (uint16_t undo : kLockVariants) {
                if (undo == lock) break;
                xcb_ungrab_key(c, keycode, root, mods | undo);
            }
            xcb_flush(c);
            return 0;
        }
    }
    xcb_flush(c);
    ensureFilter();
    registrations()[id] = Registration{owner, notify, keycode, mods};
    return id;
}

bool unregisterGlobalHotkey(Handle owner, int id) {
    auto it = registrations().find(id);
    if (id == 0 || it == registrations().end() || it->second.owner != owner) return false;
    if (QNativeInterface::QX11Application* native = x11(); native && native->connection()) {
        xcb_connection_t* c = native->connection();
        for (uint16_t lock : kLockVariants)
            xcb_ungrab_key(c, it->second.keycode, rootWindow(c), it->second.modifiers | lock);
        xcb_flush(c);
    }
    registrations().erase(it);
    return true;
}

}  // namespace runtime::ui
