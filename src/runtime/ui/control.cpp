// The control base and the watcher that turns Qt input events into the program's control events
// (mouse, focus, keys, wheel). The kinds build on it, one file per family (control_kinds.h).
//
// Program writes never pass for user input: every widget signal that a user action emits is
// ignored while a program write runs (ProgramWriteScope) or is a signal only user actions emit;
// the events that a program write must raise (an edit box's content, a tab page) are raised
// explicitly, once, nested inside the write.
#include <QFocusEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

#include "runtime/ui/key_codes.h"
#include "runtime/ui/ui_internal.h"

namespace runtime::ui::detail {

// ---------------------------------------------------------------------------------------------
// Input watcher
// ---------------------------------------------------------------------------------------------

namespace {

struct Watch {
    Control* control = nullptr;
    unsigned mask = 0;
};

class InputWatcher : public QObject {
public:
    static InputWatcher& instance() {
        static InputWatcher* w = new InputWatcher;  // lives as long as the application
        return *w;
    }

    void watch(QObject* o, Control* c, unsigned mask) {
        watches_.insert(o, Watch{c, mask});
        o->installEventFilter(this);
        connect(o, &QObject::destroyed, this, [this, o] { watches_.remove(o); });
    }
    void forget(Control* c) {
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (it->control == c) {
                it.key()->removeEventFilter(this);
                it = watches_.erase(it);
            } else {
                ++it;
            }
        }
        wheelRest_.remove(c);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        auto it = watches_.constFind(o);
        if (it == watches_.constEnd()) return false;
        Control* c = it->control;
        const unsigned mask = it->mask;
        // Filters see events before Qt drops them for a disabled widget, so a control of a window
        // disabled by a modal one would still raise its input events; and a press that a widget
        // turned disabled by its own handler (the handler opened a modal window) no longer
        // accepts goes on to the watched parent and would raise its event a second time.
        if (isUserInput(e->type())) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isEnabled()) return false;
        }
        if (c->onInput(o, e)) return true;
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove: {
                if (!(mask & kMouseInput)) return false;
                auto* me = static_cast<QMouseEvent*>(e);
                EventArgs a{int64_t(me->position().x()), int64_t(me->position().y()),
                            int64_t(mouseButtons(me->buttons()))};
                if (e->type() == QEvent::MouseMove) {
                    c->raise(event::kMouseMove, a);
                } else if (e->type() == QEvent::MouseButtonDblClick) {
                    if (me->button() == Qt::LeftButton) c->raise(event::kDoubleClick, a);
                } else if (me->button() == Qt::LeftButton) {
                    c->raise(event::kLeftDown, a);
                } else if (me->button() == Qt::RightButton) {
                    c->raise(event::kRightDown, a);
                }
                return false;
            }
            case QEvent::FocusIn:
            case QEvent::FocusOut: {
                if (!(mask & kFocusInput)) return false;
                if (static_cast<QFocusEvent*>(e)->reason() == Qt::PopupFocusReason) return false;
                c->raise(e->type() == QEvent::FocusIn ? event::kGotFocus : event::kLostFocus);
                return false;
            }
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                if (!(mask & kKeyInput)) return false;
                auto* ke = static_cast<QKeyEvent*>(e);
                if (e->type() == QEvent::KeyRelease && ke->isAutoRepeat()) return false;
                const int code = virtualKeyCode(ke->key(), ke->modifiers());
                if (code == 0) return false;
                c->raise(e->type() == QEvent::KeyPress ? event::kKeyDown : event::kKeyUp,
                         EventArgs{code, modifierState(ke->key(), ke->modifiers()), 0});
                return false;
            }
            case QEvent::Wheel: {
                if (!(mask & kWheelInput) || !c->hasBinding(event::kWheel)) return false;
                auto* we = static_cast<QWheelEvent*>(e);
                int& rest = wheelRest_[c];
                rest += we->angleDelta().y();
                const int notches = rest / 120;  // toward zero; the rest waits for more turning
                rest -= notches * 120;
                if (notches != 0)
                    c->raise(event::kWheel, EventArgs{notches, modifierState(0, we->modifiers()), 0});
                return true;  // the handler moves the control itself
            }
            default: return false;
        }
    }

private:
    static bool isUserInput(QEvent::Type t) {
        switch (t) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel: return true;
            default: return false;
        }
    }

    static int mouseButtons(Qt::MouseButtons b) {
        return ((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) |
               ((b & Qt::MiddleButton) ? 16 : 0);
    }

    QHash<QObject*, Watch> watches_;
    QHash<Control*, int> wheelRest_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Control base
// ---------------------------------------------------------------------------------------------

Control::Control(FormWindow& window, const ControlDef& def) : window_(window), def_(def) {}

Control::~Control() { InputWatcher::instance().forget(this); }

bool Control::raise(int event, const EventArgs& args) const {
    return deliver(window_.windowName(), def_.name, event, args);
}

bool Control::hasBinding(int event) const {
    for (const EventBinding& b : def_.events)
        if (b.handler && b.event == event) return true;
    return false;
}

void Control::watch(QObject* object, unsigned mask) {
    InputWatcher::instance().watch(object, this, mask);
    if ((mask & kMouseInput) && hasBinding(event::kMouseMove))
        if (auto* w = qobject_cast<QWidget*>(object)) w->setMouseTracking(true);
}

void Control::placeWidget(QWidget* w) {
    w->setObjectName(qs(def_.name));
    w->setGeometry(def_.left, def_.top, def_.width, def_.height);
    if (def_.hidden) w->hide();
    if (def_.disabled) w->setEnabled(false);
    QPalette p = w->palette();
    if (def_.textColour != kNoColour) {
        const QColor c = QColor::fromRgb(def_.textColour);
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Text, c);
        p.setColor(QPalette::ButtonText, c);
    }
    if (def_.backColour != kNoColour) {
        const QColor c = QColor::fromRgb(def_.backColour);
        p.setColor(QPalette::Base, c);
        p.setColor(QPalette::Window, c);
    }
    w->setPalette(p);
    watch(w, kAllInput);
}

bool Control::set(std::string_view property, const Value& value) {
    QWidget* w = widget();
    if (!w) return false;
    int64_t n = 0;
    bool b = false;
    if (property == "visible" && valueToBool(value, b)) {
        w->setVisible(b);
        return true;
    }
    if (property == "enabled" && valueToBool(value, b)) {
        w->setEnabled(b);
        return true;
    }
    if (!valueToInt(value, n)) return false;
    QRect g = w->geometry();
    if (property == "left")
        g.moveLeft(int(n));
    else if (property == "top")
        g.moveTop(int(n));
    else if (property == "width")
        g.setWidth(int(std::max<int64_t>(0, n)));
    else if (property == "height")
        g.setHeight(int(std::max<int64_t>(0, n)));
    else
        return false;
    w->setGeometry(g);
    return true;
}

Value Control::get(std::string_view property) const {
    QWidget* w = widget();
    if (!w) return {};
    if (property == "left") return int64_t(w->x());
    if (property == "top") return int64_t(w->y());
    if (property == "width") return int64_t(w->width());
    if (property == "height") return int64_t(w->height());
    if (property == "visible") return !w->isHidden();
    if (property == "enabled") return !w->testAttribute(Qt::WA_ForceDisabled);
    return {};
}

}  // namespace runtime::ui::detail
