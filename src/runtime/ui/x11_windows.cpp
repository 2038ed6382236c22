// What the window system tells an X11 window manager about a window beyond what Qt tells it:
// the start state of a window the program brings back, and that a window outside the taskbar
// is outside the pager too. Without an X connection (the offscreen platform) nothing happens.
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "runtime/ui/ui_internal.h"

namespace runtime::ui::detail {

namespace {

xcb_connection_t* connectionFor(const QWidget* w) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* native = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!native || !native->connection() || !w->testAttribute(Qt::WA_WState_Created)) return nullptr;
    return native->connection();
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::char_traits<char>::length(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

}  // namespace

// Minimising a window leaves the iconic start state in its WM_HINTS; a window the program hid
// while minimised and now brings back would be minimised again by the window manager the moment
// it is mapped.
void clearIconicStartState(QWidget* w) {
    xcb_connection_t* c = connectionFor(w);
    if (!c) return;
    const auto window = static_cast<xcb_window_t>(w->winId());
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9), nullptr);
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 12) {
        const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply));
        std::vector<uint32_t> hints(values, values + xcb_get_property_value_length(reply) / 4);
        constexpr uint32_t kStateHint = 2, kIconicState = 3, kNormalState = 1;
        if ((hints[0] & kStateHint) && hints[2] == kIconicState) {
            hints[2] = kNormalState;
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32,
                                static_cast<uint32_t>(hints.size()), hints.data());
            xcb_flush(c);
        }
    }
    std::free(reply);
}

// Qt keeps the states it finds on a window it maps and adds its own, so the two states are
// written into _NET_WM_STATE while the window is unmapped; a window manager clears the
// property when the window is withdrawn, so this runs before every map.
void keepOutOfTaskbarAndPager(QWidget* w) {
    xcb_connection_t* c = connectionFor(w);
    if (!c) return;
    const auto window = static_cast<xcb_window_t>(w->winId());
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        states.assign(values, values + reply->value_len);
    }
    std::free(reply);
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t a = atom(c, name);
        if (std::find(states.begin(), states.end(), a) == states.end()) states.push_back(a);
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.data());
    xcb_flush(c);
}

}  // namespace runtime::ui::detail
