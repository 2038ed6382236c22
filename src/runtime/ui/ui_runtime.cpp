// The window system's heart: the application object, the handler table, event delivery, the
// loaded windows and their operations, handles, and the end of the program.
//
// Delivery runs one handler at a time on the UI thread. A handler may cause further events (a
// program write, a restore); those run nested and return before the operation does. Windows
// that destroyUnit names while a handler runs go when the outermost handler has returned.
// After endProgram nothing is delivered any more.
#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QTimer>
#include <QTranslator>
#include <QWindow>
#include <cstdio>
#include <cstdlib>

#include "runtime/ui/control_registry.h"
#include "runtime/ui/ui_internal.h"
#include "runtime/ui/ui_testing.h"

namespace runtime::ui {

namespace detail {

namespace {

struct State {
    std::map<std::string, Handler, std::less<>> handlers;
    std::vector<FormWindow*> windows;  // in load order
    std::vector<QPointer<FormWindow>> pendingDestroys;
    std::function<void()> endRoutine;
    bool endRoutineRan = false;
    std::function<void(int)> endHook;
    bool ended = false;
    int depth = 0;       // handlers running
    int writeDepth = 0;  // program writes running
    bool loopRunning = false;
    std::map<Handle, QPointer<QWidget>> handles;
    Handle nextHandle = 0x10000;
    std::span<const WindowDef* const> definitions;  // the program's, kept across resets
};

State& st() {
    static State s;
    return s;
}

const char* const kHandleProperty = "qbHandle";

void configureApplication() {
    static bool done = false;
    if (done) return;
    done = true;
    QApplication::setQuitOnLastWindowClosed(false);
    // The forms are laid out in pixels for this font; never let the locale pick another.
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
    font.setPointSize(9);
    QApplication::setFont(font);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_zh_CN"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->load(QStringLiteral("qtbase_zh_CN"), QStringLiteral("/usr/share/qt6/translations")))
        QCoreApplication::installTranslator(translator);
}

const char* bindingOf(const EventBinding (&events)[kMaxBindings], int event) {
    for (const EventBinding& b : events)
        if (b.handler && b.event == event) return b.handler;
    return nullptr;
}

const char* handlerNameFor(const FormWindow& w, std::string_view control, int event) {
    if (control.empty()) return bindingOf(w.def().events, event);
    if (event == event::kMenuSelected) {
        for (const MenuDef& m : w.def().menus)
            for (const MenuItemDef& item : m.items)
                if (item.caption && control == item.caption) return item.handler;
        return nullptr;
    }
    Control* c = w.control(control);
    return c ? bindingOf(c->def().events, event) : nullptr;
}

void runPendingDestroys() {
    while (!st().pendingDestroys.empty()) {
        QPointer<FormWindow> w = st().pendingDestroys.front();
        st().pendingDestroys.erase(st().pendingDestroys.begin());
        if (w) destroyWindowNow(w);
    }
}

const WindowDef* definitionOf(std::string_view name) {
    for (const WindowDef* d : st().definitions)
        if (d && name == d->name) return d;
    return nullptr;
}

void forgetWindow(FormWindow* w) {
    auto& ws = st().windows;
    ws.erase(std::remove(ws.begin(), ws.end(), w), ws.end());
}

Handle handleFor(QWidget* w) {
    if (!w) return 0;
    const QVariant v = w->property(kHandleProperty);
    if (v.isValid()) return v.toLongLong();
    const Handle h = st().nextHandle++;
    w->setProperty(kHandleProperty, qlonglong(h));
    st().handles[h] = w;
    return h;
}

void showFirstTime(FormWindow* w) {
    w->show();
    w->raise();
    w->activateWindow();
}

}  // namespace

QString qs(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }
std::string ss(const QString& s) { return s.toStdString(); }

bool programEndedState() { return st().ended; }
bool programWriting() { return st().writeDepth > 0; }
ProgramWriteScope::ProgramWriteScope() { ++st().writeDepth; }
ProgramWriteScope::~ProgramWriteScope() { --st().writeDepth; }

FormWindow* loadedWindow(std::string_view name) {
    for (FormWindow* w : st().windows)
        if (w->windowName() == name && !w->destroying) return w;
    return nullptr;
}

Control* findControl(std::string_view window, std::string_view control) {
    FormWindow* w = loadedWindow(window);
    return w ? w->control(control) : nullptr;
}

bool deliver(std::string_view window, std::string_view control, int event, const EventArgs& args) {
    State& s = st();
    if (s.ended) return true;
    FormWindow* w = nullptr;
    for (FormWindow* x : s.windows)
        if (x->windowName() == window) w = x;  // a window being destroyed still gets its last event
    if (!w) return true;
    const char* name = handlerNameFor(*w, control, event);
    if (!name) return true;
    auto it = s.handlers.find(std::string_view(name));
    if (it == s.handlers.end() || !it->second) return true;
    Handler handler = it->second;  // a copy: the handler may rebind its own name
    bool answer = true;
    ++s.depth;
    try {
        answer = handler(args);
    } catch (const ProgramEnded&) {
        answer = true;
    } catch (const std::exception& e) {
        qWarning("handler %s failed: %s", name, e.what());
    }
    --s.depth;
    if (s.depth == 0 && !s.ended) runPendingDestroys();
    return answer;
}

void setWindowStateByProgram(QWidget* w, Qt::WindowStates state) {
    auto* form = dynamic_cast<FormWindow*>(w);
    const bool before = form && form->programSetsState;
    if (form) form->programSetsState = true;
    w->setWindowState(state);
    if (form) form->programSetsState = before;
}

void restoreByProgram(QWidget* w) {
    if (!w->isVisible()) clearIconicStartState(w);
    auto* form = dynamic_cast<FormWindow*>(w);
    const bool forgotten = form && form->hiddenMinimised;
    if (form) form->hiddenMinimised = false;
    if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        setWindowStateByProgram(w, w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    else if (forgotten)
        form->raiseWindowEvent(event::kSizeChanged);  // as the restore itself would have
}

FormWindow* modalDisabling(const QWidget* w) {
    for (FormWindow* x : st().windows)
        for (const QPointer<QWidget>& other : x->disabledByModal)
            if (other == w && !x->destroying) return x;
    return nullptr;
}

FormWindow* modalInCharge(FormWindow* w) {
    if (!w->disabledByModal.empty() && !w->destroying) return w;
    return modalDisabling(w);
}

void bringModalForward(FormWindow* modal) {
    modal->raise();
    modal->activateWindow();
}

void undoMinimise(FormWindow* modal) {
    QPointer<FormWindow> target = modal;
    QMetaObject::invokeMethod(
        modal,
        [target] {
            if (!target || target->destroying || st().ended) return;
            std::vector<QPointer<QWidget>> held = target->disabledByModal;
            held.emplace_back(target.data());
            for (const QPointer<QWidget>& w : held) {
                auto* form = dynamic_cast<FormWindow*>(w.data());
                if (!form || !form->isVisible() || !(form->windowState() & Qt::WindowMinimized)) continue;
                form->quietStateChange = true;
                form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
                form->quietStateChange = false;
            }
            bringModalForward(target);
        },
        Qt::QueuedConnection);
}

std::vector<FormWindow*> windowsOwnedBy(const FormWindow* owner) {
    std::vector<FormWindow*> owned;
    for (FormWindow* w : st().windows)
        if (w->owner == owner && !w->destroying) owned.push_back(w);
    return owned;
}

void destroyWindowNow(FormWindow* w) {
    if (!w || w->destroying || st().ended) return;
    w->raiseWindowEvent(event::kDestroy);  // the controls are still there for it to read
    if (st().ended) return;
    w->destroying = true;
    forgetTrayIcon(w->windowName());
    for (const QPointer<QWidget>& other : w->disabledByModal)
        if (other) other->setEnabled(true);
    forgetWindow(w);
    w->hide();
    w->deleteLater();
    if (st().windows.empty() && st().loopRunning) QCoreApplication::exit(0);
}

}  // namespace detail

using namespace detail;

// ---- Registry (control_registry.h) ----

QWidget* findWindowWidget(std::string_view window) { return loadedWindow(window); }

QObject* findControlObject(std::string_view window, std::string_view control) {
    FormWindow* w = loadedWindow(window);
    if (!w) return nullptr;
    if (control.empty()) return w;
    Control* c = w->control(control);
    return c ? c->object() : nullptr;
}

QWidget* findControlWidget(std::string_view window, std::string_view control) {
    FormWindow* w = loadedWindow(window);
    if (!w) return nullptr;
    if (control.empty()) return w;
    Control* c = w->control(control);
    return c ? c->widget() : nullptr;
}

bool findControlKind(std::string_view window, std::string_view control, ControlKind& kind) {
    Control* c = findControl(window, control);
    if (!c) return false;
    kind = c->def().kind;
    return true;
}

bool controlNameOf(const QObject* object, std::string& window, std::string& control) {
    for (FormWindow* w : st().windows) {
        if (w == object) {
            window = w->windowName();
            control.clear();
            return true;
        }
        for (const auto& c : w->controls()) {
            if (c->object() == object) {
                window = w->windowName();
                control = c->name();
                return true;
            }
        }
    }
    return false;
}

bool raiseEvent(std::string_view window, std::string_view control, int event, const EventArgs& args) {
    return deliver(window, control, event, args);
}

QWidget* widgetForHandle(Handle handle) {
    auto it = st().handles.find(handle);
    return it == st().handles.end() ? nullptr : it->second.data();
}

// ---- Handlers and lifecycle ----

void bindHandler(std::string_view handlerName, Handler handler) {
    st().handlers[std::string(handlerName)] = std::move(handler);
}

void registerWindows(std::span<const WindowDef* const> windows) { st().definitions = windows; }

void startRuntime() {
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "quillarbor";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    configureApplication();
}

int runMessageLoop() {
    startRuntime();
    if (st().windows.empty() || st().ended) return 0;
    st().loopRunning = true;
    // For the start-up benchmark: end as soon as the first pass of the event loop has drained
    // everything start-up queued, with the main window shown. QUILLARBOR_CLICK_WHEN_IDLE
    // ("window/button") first clicks that button, as the user would, for the benchmarks that
    // measure what one click costs the real program.
    if (qEnvironmentVariableIsSet("QUILLARBOR_EXIT_WHEN_IDLE")) {
        QTimer::singleShot(0, [] {
            const QStringList click = qEnvironmentVariable("QUILLARBOR_CLICK_WHEN_IDLE").split('/');
            if (click.size() == 2) {
                auto* button = qobject_cast<QAbstractButton*>(
                    findControlWidget(click[0].toStdString(), click[1].toStdString()));
                if (button) button->click();
            }
            std::fflush(nullptr);
            std::_Exit(0);
        });
    }
    const int code = QApplication::exec();
    st().loopRunning = false;
    return code;
}

void setEndRoutine(std::function<void()> routine) { st().endRoutine = std::move(routine); }
void setEndProgramHook(std::function<void(int)> hook) { st().endHook = std::move(hook); }
bool programEnded() { return st().ended; }

void endProgram(int code) {
    State& s = st();
    s.ended = true;  // first of all: no handler runs from here on
    if (s.endRoutine && !s.endRoutineRan) {
        s.endRoutineRan = true;
        s.endRoutine();
    }
    if (s.endHook) {
        s.endHook(code);
        throw ProgramEnded{code};
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

void resetForTesting() {
    State& s = st();
    s.ended = true;  // destroy without events
    for (FormWindow* w : std::vector<FormWindow*>(s.windows)) {
        w->destroying = true;
        forgetTrayIcon(w->windowName());
        delete w;
    }
    s.windows.clear();
    s.pendingDestroys.clear();
    s.handlers.clear();
    s.endRoutine = {};
    s.endRoutineRan = false;
    s.endHook = {};
    s.depth = 0;
    s.writeDepth = 0;
    s.ended = false;
    resetDialogs();
}

// ---- Windows ----

bool loadWindow(std::string_view window, std::string_view parent, bool modal) {
    startRuntime();
    if (st().ended) return false;
    if (FormWindow* w = loadedWindow(window)) {
        if ((w->windowState() & Qt::WindowMinimized) || w->hiddenMinimised) {
            restoreByProgram(w);  // size-changed, nested
            w->show();
        } else if (w->isVisible()) {
            w->raise();
            w->activateWindow();
        }
        return true;
    }
    const WindowDef* def = definitionOf(window);
    if (!def) return false;
    auto* w = new FormWindow(*def);
    // An owned window stays above its owner; without it one click on a disabled owner would
    // bury the modal window behind it. Ownership is the native one only: the window's life is
    // still the runtime's, not its owner's.
    if (FormWindow* owner = parent.empty() ? nullptr : loadedWindow(parent)) {
        w->owner = owner;
        // Desktops honour an owner only for dialog-like windows.
        if (w->windowType() == Qt::Window)
            w->setWindowFlags((w->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
        owner->winId();
        w->winId();
        if (w->windowHandle() && owner->windowHandle())
            w->windowHandle()->setTransientParent(owner->windowHandle());
    }
    if (modal) {
        for (FormWindow* other : st().windows) {
            if (other->isEnabled() && other->isVisible()) {
                other->setEnabled(false);
                w->disabledByModal.emplace_back(other);
            }
        }
    }
    st().windows.push_back(w);
    w->raiseWindowEvent(event::kCreated);
    if (st().ended || loadedWindow(window) != w) return true;
    if (def->visibleOnLoad && !w->testAttribute(Qt::WA_WState_ExplicitShowHide)) showFirstTime(w);
    w->raiseWindowEvent(event::kSizeChanged);
    return true;
}

void destroyUnit(std::string_view window) {
    FormWindow* w = loadedWindow(window);
    if (!w) return;
    if (st().depth > 0)
        st().pendingDestroys.emplace_back(w);
    else
        destroyWindowNow(w);
}

void destroyUnit(std::string_view window, std::string_view component) {
    FormWindow* w = loadedWindow(window);
    if (!w) return;
    Control* c = w->control(component);
    if (c && !c->widget()) w->removeControl(component);
}

bool isWindowLoaded(std::string_view window) { return loadedWindow(window) != nullptr; }

void setFocus(std::string_view window, std::string_view control) {
    QWidget* w = findControlWidget(window, control);
    if (!w) return;
    if (QWidget* top = w->window(); !top->isActiveWindow()) top->activateWindow();
    w->setFocus(Qt::OtherFocusReason);
}

bool hasFocus(std::string_view window, std::string_view control) {
    QWidget* w = findControlWidget(window, control);
    if (!w) return false;
    QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f)) && !control.empty();
}

Handle getWindowHandle(std::string_view window, std::string_view control) {
    return handleFor(findControlWidget(window, control));
}

void setWindowToolTip(Handle handle, std::string_view text, bool /*balloon*/, bool /*centred*/) {
    QWidget* w = widgetForHandle(handle);
    if (!w) return;
    const QString tip = qs(text);
    if (w->toolTip() != tip) w->setToolTip(tip);  // one tip per window; repeating it costs nothing
}

void showWindow(Handle handle, int command) {
    QWidget* w = widgetForHandle(handle);
    if (!w || st().ended) return;
    switch (command) {
        case 0: w->hide(); break;
        case 2:
        case 6:
        case 7: setWindowStateByProgram(w, w->windowState() | Qt::WindowMinimized); break;
        default:  // 1 normal, 5 show, 9 restore, ...
            restoreByProgram(w);
            w->show();
            break;
    }
}

void setForegroundWindow(Handle handle) {
    QWidget* w = widgetForHandle(handle);
    if (!w || st().ended) return;
    w->raise();
    // Keys typed next must reach the window that takes them.
    if (FormWindow* modal = modalDisabling(w))
        bringModalForward(modal);
    else
        w->activateWindow();
}

void popupMenu(std::string_view window, std::string_view menu) {
    FormWindow* w = loadedWindow(window);
    if (!w || st().ended) return;
    QMenu* m = w->menu(menu);
    if (!m) return;
    // A disabled window disables its menus with it; the tray icon's menu of a window a modal
    // window disabled is still one of the ways back to it.
    m->setEnabled(true);
    const std::string item = choosePopupMenuItem(*m, window, menu);
    if (!item.empty()) deliver(window, item, event::kMenuSelected, {});
}

}  // namespace runtime::ui
