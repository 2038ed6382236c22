// The real executable on a desktop as a user meets it: the test script's Xvfb with a window
// manager (openbox) and a notification area (trayer), driven by synthetic X input (XTest). What
// the offscreen tests cannot see lives here: a widget deleted inside its own mouse event, a
// dialog buried under its owner or minimised out of reach, keys typed into a disabled window, a
// click on a selected line. A crash, a hang or a sanitizer report in the child fails the test.
//
// Every step waits for what it should bring about (a window mapped, a property set, the process
// ended), all under one deadline per test; nothing waits for time.
//
// Where the child's controls and menu items are on screen is taken from the same window
// definitions loaded in this process (hidden at once): the layout is the runtime's, not the
// platform's.
#include <QDate>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "core/stores.h"
#include "runtime/ui/control_registry.h"
#include "runtime/ui/widgets/month_calendar.h"
#include "support/shell_fixture.h"

// Xlib's macros (Bool, Status, None...) clash with Qt's names: its headers come last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace shelltest {
namespace {

constexpr const char* kMainCaption = "澄岚手记本-Quillarbor V3.5.1.0";
constexpr auto kTestDeadline = std::chrono::seconds(150);
// The hotkey every test registers through the settings file: Ctrl + F8.
constexpr const char* kHotkeySettings = "[全局热键]\n功能键1=1\n主热键1=119\n";

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Where a control sits inside its window's client area, a pop-up menu's items inside the menu,
// and the tab strip's page buttons, from the definitions laid out by the runtime in this process.
struct Layout {
    QPoint centreOf(std::string_view control, std::string_view window = "MainWindow") const {
        QWidget* w = runtime::ui::findControlWidget(window, control);
        return w ? w->mapTo(w->window(), w->rect().center()) : QPoint(-1, -1);
    }
    QRect rectOf(std::string_view control) const {
        QWidget* w = runtime::ui::findControlWidget("MainWindow", control);
        return w ? QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()) : QRect();
    }
    // The first line of a list, once it holds one.
    QPoint firstLine(std::string_view list) const {
        auto* l = qobject_cast<QListWidget*>(runtime::ui::findControlWidget("MainWindow", list));
        if (!l) return {-1, -1};
        if (l->count() == 0) l->addItem(QStringLiteral("2024年3月8日"));
        return l->viewport()->mapTo(l->window(), l->visualItemRect(l->item(0)).center());
    }
    QPoint tab(std::string_view tabControl, int page) const {
        QWidget* w = runtime::ui::findControlWidget("MainWindow", tabControl);
        QTabBar* bar = w ? w->findChild<QTabBar*>() : nullptr;
        return bar ? bar->mapTo(w->window(), bar->tabRect(page).center()) : QPoint(-1, -1);
    }
    QPoint menuItem(const char* menu, const char* item) const {
        QWidget* main = runtime::ui::findWindowWidget("MainWindow");
        auto* m = main ? main->findChild<QMenu*>(QString::fromUtf8(menu)) : nullptr;
        auto* action = m ? m->findChild<QAction*>(QString::fromUtf8(item)) : nullptr;
        return action ? m->actionGeometry(action).center() : QPoint(-1, -1);
    }
    // A day cell of the month calendar on today's page that is not today.
    QPoint otherDay() const {
        auto* calendar =
            runtime::ui::findWindowWidget("MainWindow")->findChild<runtime::ui::widgets::MonthCalendar*>();
        const QDate today = QDate::currentDate();
        calendar->setDate(runtime::makeDate(today.year(), today.month(), today.day()));
        const int row = calendar->cellDate(0, 0) == today ? 5 : 0;
        return calendar->mapTo(calendar->window(), calendar->cellRect(row, 0).center());
    }
};

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        deadline_ = std::chrono::steady_clock::now() + kTestDeadline;
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X server";
        d_ = XOpenDisplay(nullptr);
        ASSERT_NE(d_, nullptr);
        root_ = DefaultRootWindow(d_);
        if (!property(root_, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).size())
            GTEST_SKIP() << "needs a window manager on the X server (openbox, started by scripts/test)";
        probe_ = XCreateSimpleWindow(d_, root_, 0, 0, 1, 1, 0, 0, 0);
        runtime::ui::resetForTesting();
        for (const char* window : {"MainWindow", "NewPeriodicItemWindow", "EditPeriodicItemWindow"}) {
            ASSERT_TRUE(runtime::ui::loadWindow(window));
            runtime::ui::setBool(window, "", "visible", false);
        }
        QApplication::processEvents();
    }

    void TearDown() override {
        const bool running = program_.running();
        program_.end();
        if (!folder_.empty()) {
            EXPECT_TRUE(running || program_.exitedWith(0))
                << "the program died: " << program_.describe() << "\n"
                << readWhole(folder_ + "/stderr.log");
            const std::string err = readWhole(folder_ + "/stderr.log");
            EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
            EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
            std::filesystem::remove_all(folder_);
            std::filesystem::remove_all(run_);
        }
        runtime::ui::resetForTesting();
        if (d_) XCloseDisplay(d_);
    }

    // Starts the program in a fresh folder with that config.ini and those message-box answers,
    // and waits for its main window, active.
    void start(const std::string& config, const std::string& answers = {}) {
        makeFolder();
        if (!config.empty()) std::ofstream(folder_ + "/config.ini", std::ios::binary) << config;
        launch(answers);
    }
    void makeFolder() {
        folder_ = makeTempFolder("qb_desktop");
        run_ = makeTempFolder("qb_desktop_run");
        chmod(run_.c_str(), 0700);
        std::filesystem::copy_file(QB_EXECUTABLE, folder_ + "/quillarbor");
    }
    // Starts the program in the folder as it is, answering input boxes with `inputs`, and waits
    // for its main window, active.
    void launch(const std::string& answers, const std::string& inputs = {}) {
        ChildProcess::Environment environment = {{"XDG_RUNTIME_DIR", run_},
                                                 {"QUILLARBOR_DIALOG_LOG", folder_ + "/dialogs.log"},
                                                 {"QUILLARBOR_DIALOG_ANSWERS", answers}};
        if (!inputs.empty()) environment.push_back({"QUILLARBOR_DIALOG_INPUTS", inputs});
        ASSERT_TRUE(program_.start(folder_ + "/quillarbor", environment, folder_ + "/stderr.log"));
        ASSERT_TRUE(waitUntil([&] {
            return (main_ = client(kMainCaption)) && viewable(main_) && active() == main_;
        })) << "no main window: "
            << program_.describe();
        watch(main_);
    }

    void waitForExit() {
        waitUntil([&] { return !program_.running(); });
    }

    // Polls until the condition holds; false at the test's deadline, or at once when the
    // program has died.
    bool waitUntil(const std::function<bool()>& condition) {
        for (;;) {
            XSync(d_, False);
            takeEvents();
            if (condition()) return true;
            if (!program_.running() || std::chrono::steady_clock::now() > deadline_) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Unmaps and focus changes of the watched windows, kept until forgotten: a window that was
    // unmapped and mapped again, or focused and left again, between two polls is still seen.
    void watch(Window w) { XSelectInput(d_, w, StructureNotifyMask | FocusChangeMask); }
    void takeEvents() {
        while (XPending(d_)) {
            XEvent e;
            XNextEvent(d_, &e);
            if (e.type == UnmapNotify) unmapped_.insert(e.xunmap.window);
            if (e.type == FocusIn && e.xfocus.mode == NotifyNormal) focused_.insert(e.xfocus.window);
        }
    }

    std::vector<unsigned long> property(Window w, const char* name, Atom type) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> out;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, name, False), 0, 4096, False, type, &actual, &format,
                               &count, &after, &data) == Success &&
            data && format == 32) {
            auto* values = reinterpret_cast<unsigned long*>(data);
            out.assign(values, values + count);
        }
        if (data) XFree(data);
        return out;
    }
    bool hasState(Window w, const char* state) {
        const auto states = property(w, "_NET_WM_STATE", XA_ATOM);
        return std::find(states.begin(), states.end(), XInternAtom(d_, state, False)) != states.end();
    }
    std::string title(Window w) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string out;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, "_NET_WM_NAME", False), 0, 1024, False,
                               XInternAtom(d_, "UTF8_STRING", False), &actual, &format, &count, &after,
                               &data) == Success &&
            data)
            out.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        return out;
    }
    bool ours(Window w) {
        const auto pid = property(w, "_NET_WM_PID", XA_CARDINAL);
        return !pid.empty() && static_cast<pid_t>(pid[0]) == program_.pid();
    }
    bool viewable(Window w) {
        XWindowAttributes a;
        return w && XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable;
    }
    Window active() {
        const auto a = property(root_, "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return a.empty() ? 0 : a[0];
    }

    // The program's managed windows, bottom to top as the window manager stacks them.
    std::vector<Window> stacking() {
        std::vector<Window> out;
        for (unsigned long w : property(root_, "_NET_CLIENT_LIST_STACKING", XA_WINDOW))
            if (ours(w)) out.push_back(w);
        return out;
    }
    Window client(const std::string& caption) {
        for (unsigned long w : property(root_, "_NET_CLIENT_LIST_STACKING", XA_WINDOW))
            if (title(w) == caption) return w;
        return 0;
    }
    bool above(Window top, Window below) {
        const auto order = stacking();
        const auto t = std::find(order.begin(), order.end(), top);
        const auto b = std::find(order.begin(), order.end(), below);
        return t != order.end() && b != order.end() && t > b;
    }
    // The dialog shown above the main window, both mapped, the dialog the active window.
    bool inFront(Window dialog) {
        return viewable(main_) && viewable(dialog) && above(dialog, main_) && active() == dialog;
    }

    // The program's unmanaged viewable windows: the tray icon inside the notification area and
    // pop-up menus (both override-redirect; only the icon is embedded in another window).
    void unmanaged(Window w, const std::vector<Window>& managed, std::vector<std::pair<Window, bool>>& out) {
        Window r = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d_, w, &r, &parent, &children, &count)) return;
        for (unsigned i = 0; i < count; ++i) {
            const Window c = children[i];
            if (ours(c) && viewable(c) && std::find(managed.begin(), managed.end(), c) == managed.end())
                out.emplace_back(c, w == root_);
            unmanaged(c, managed, out);
        }
        if (children) XFree(children);
    }
    Window unmanagedWhere(bool onRoot, int minWidth, int maxWidth) {
        std::vector<std::pair<Window, bool>> found;
        unmanaged(root_, stacking(), found);
        for (const auto& [w, top] : found) {
            XWindowAttributes a;
            if (top == onRoot && XGetWindowAttributes(d_, w, &a) && a.width >= minWidth &&
                a.width <= maxWidth)
                return w;
        }
        return 0;
    }
    Window trayIcon() { return unmanagedWhere(false, 1, 64); }
    Window popup() { return unmanagedWhere(true, 40, 1000); }
    // The tray icon, once the notification area has given it its place and size.
    Window placedTrayIcon() {
        const Window icon = trayIcon();
        XWindowAttributes a;
        return icon && XGetWindowAttributes(d_, icon, &a) && a.width > 1 && a.height > 1 ? icon : 0;
    }
    // The top-edge bar: the program's managed window 380 pixels wide.
    Window bar() {
        for (Window w : stacking()) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d_, w, &a) && a.width == 380) return w;
        }
        return 0;
    }

    QPoint onScreen(Window w, QPoint p) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(d_, w, root_, p.x(), p.y(), &x, &y, &child);
        return {x, y};
    }
    QPoint centre(Window w) {
        XWindowAttributes a;
        XGetWindowAttributes(d_, w, &a);
        return onScreen(w, {a.width / 2, a.height / 2});
    }
    // Each click returns once it went on to the program (see settle).
    void click(QPoint at, unsigned button = 1) {
        XTestFakeMotionEvent(d_, -1, at.x(), at.y(), CurrentTime);
        XTestFakeButtonEvent(d_, button, True, CurrentTime);
        XTestFakeButtonEvent(d_, button, False, CurrentTime);
        settle();
    }
    void doubleClick(QPoint at) {
        XTestFakeMotionEvent(d_, -1, at.x(), at.y(), CurrentTime);
        for (int i = 0; i < 2; ++i) {
            XTestFakeButtonEvent(d_, 1, True, CurrentTime);
            XTestFakeButtonEvent(d_, 1, False, CurrentTime);
        }
        settle();
    }
    // The window manager holds each click until it has looked at it (to focus and raise), while
    // keys pass at once. What comes meanwhile waits behind the click, and the held release takes
    // the position of a pointer move made meanwhile: the release of a button would land where
    // the next click goes, outside the button, which then never fires; keys would reach the
    // control that had the focus before the click. It takes requests in order, so once it has
    // answered one sent after the click, the click went on.
    void settle() {
        const Atom extents = XInternAtom(d_, "_NET_FRAME_EXTENTS", False);
        XDeleteProperty(d_, probe_, extents);
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = probe_;
        e.xclient.message_type = XInternAtom(d_, "_NET_REQUEST_FRAME_EXTENTS", False);
        e.xclient.format = 32;
        XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        XFlush(d_);
        waitUntil([&] { return property(probe_, "_NET_FRAME_EXTENTS", XA_CARDINAL).size() == 4; });
    }
    void keys(const std::vector<KeySym>& combination) {
        for (KeySym k : combination) XTestFakeKeyEvent(d_, XKeysymToKeycode(d_, k), True, CurrentTime);
        for (auto it = combination.rbegin(); it != combination.rend(); ++it)
            XTestFakeKeyEvent(d_, XKeysymToKeycode(d_, *it), False, CurrentTime);
        XFlush(d_);
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) keys({static_cast<KeySym>(*c)});
    }
    void hotkey() { keys({XK_Control_L, XK_F8}); }
    // Minimise as the window manager's button does it.
    void iconify(Window w) {
        XIconifyWindow(d_, w, DefaultScreen(d_));
        XFlush(d_);
    }
    // The window manager's close request (what its close box sends).
    void closeBox(Window w) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(d_, "_NET_CLOSE_WINDOW", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = CurrentTime;
        e.xclient.data.l[1] = 2;
        XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
        XFlush(d_);
    }
    // Opens the pop-up menu with a click of that button at `at`, then chooses the item.
    bool chooseFromMenu(QPoint at, unsigned button, const char* menu, const char* item) {
        click(at, button);
        Window shown = 0;
        if (!waitUntil([&] { return (shown = popup()) != 0; })) return false;
        click(onScreen(shown, layout_.menuItem(menu, item)));
        return waitUntil([&] { return !popup(); });
    }
    // The pixels of a control of the main window as shown now.
    size_t shot(std::string_view control) {
        const QRect r = layout_.rectOf(control);
        XImage* image = XGetImage(d_, main_, r.x(), r.y(), static_cast<unsigned>(r.width()),
                                  static_cast<unsigned>(r.height()), AllPlanes, ZPixmap);
        if (!image) return 0;
        const std::string_view pixels(image->data,
                                      static_cast<size_t>(image->bytes_per_line) * image->height);
        const size_t hash = std::hash<std::string_view>{}(pixels);
        XDestroyImage(image);
        return hash;
    }
    std::string dialogLog() { return readWhole(folder_ + "/dialogs.log"); }
    QPoint control(std::string_view name) { return onScreen(main_, layout_.centreOf(name)); }
    QPoint tab(std::string_view tabControl, int page) {
        return onScreen(main_, layout_.tab(tabControl, page));
    }

    Display* d_ = nullptr;
    Window root_ = 0;
    Window main_ = 0;
    Window probe_ = 0;  // never mapped: the window manager's round trips ask about it
    ChildProcess program_;
    std::chrono::steady_clock::time_point deadline_;
    std::set<Window> unmapped_, focused_;
    std::string folder_, run_;
    Layout layout_;
};

// The three modal windows, each with the way the user opens it and whether it has the period
// box that the typing check types into.
class ModalWindows : public Desktop {
protected:
    struct Opening {
        const char* caption;
        const char* form;
        std::function<void()> open;
    };

    void openNewItemWindow() {
        click(tab("选择夹右侧", 0));
        chooseFromMenu(control("列表框_周期事项"), 3, "周期性右键菜单", "新增周期性事件");
    }
    QPoint inDialog(Window dialog, const char* form, const char* name) {
        return onScreen(dialog, layout_.centreOf(name, form));
    }
    std::vector<Opening> openings() {
        return {
            {"导入联系人", nullptr,
             [&] {
                 click(tab("选择夹右侧", 3));
                 click(control("按钮_导入联系人"));
             }},
            {"周期性事项：", "NewPeriodicItemWindow", [&] { openNewItemWindow(); }},
            // A periodic item added through that window, then its line double-clicked.
            {"修改已存在的提醒事件：", "EditPeriodicItemWindow",
             [&] {
                 openNewItemWindow();
                 Window added = 0;
                 ASSERT_TRUE(
                     waitUntil([&] { return (added = client("周期性事项：")) && active() == added; }));
                 type("1");  // the period box has the focus
                 click(inDialog(added, "NewPeriodicItemWindow", "编辑框提醒内容"));
                 type("x");
                 click(inDialog(added, "NewPeriodicItemWindow", "按钮周期事项确定"));
                 ASSERT_TRUE(waitUntil([&] { return !client("周期性事项："); }))
                     << "the item was not added: " << dialogLog();
                 doubleClick(onScreen(main_, layout_.firstLine("列表框_周期事项")));
             }},
        };
    }

    // Opens the window and waits for it in front of its owner, which is its native owner.
    Window open(const Opening& o) {
        o.open();
        Window dialog = 0;
        EXPECT_TRUE(waitUntil([&] { return (dialog = client(o.caption)) && inFront(dialog); }))
            << program_.describe();
        Window owner = 0;
        EXPECT_TRUE(XGetTransientForHint(d_, dialog, &owner) && owner == main_)
            << "the dialog's owner is " << owner << ", not the main window " << main_;
        watch(dialog);
        return dialog;
    }

    // The user minimises the main window, then the dialog, through the window manager: both
    // come back at once, the dialog active above its owner, and nothing went to a way back.
    void minimiseThroughTheWindowManager(Window dialog, const std::function<bool()>& noWayBackShown) {
        for (Window w : {main_, dialog}) {
            unmapped_.clear();
            iconify(w);
            EXPECT_TRUE(waitUntil([&] {
                return unmapped_.count(main_) && inFront(dialog) && noWayBackShown();
            })) << (w == main_ ? "the main window" : "the dialog")
                << " was minimised: main " << (viewable(main_) ? "mapped" : "unmapped") << ", dialog "
                << (viewable(dialog) ? "mapped" : "unmapped");
        }
    }

    // The hotkey hides the main window with its dialog; `wayBack` brings both back.
    void hideAndComeBack(Window dialog, const std::function<bool()>& wayBackShown,
                         const std::function<void()>& wayBack, const char* what) {
        hotkey();
        ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && !viewable(dialog) && wayBackShown(); }))
            << "the hotkey did not hide both windows";
        wayBack();
        EXPECT_TRUE(waitUntil([&] { return inFront(dialog) && !wayBackShown(); }))
            << what << " did not bring both back";
    }

    // A click on the disabled owner: the window manager makes it active, and the dialog comes
    // back in front, active.
    bool clickTheOwner(Window dialog) {
        focused_.clear();
        click(onScreen(main_, {4, 300}));  // left of the tab controls, where no dialog reaches
        return waitUntil([&] { return focused_.count(main_) && inFront(dialog); });
    }

    // After a click on the disabled owner, "12" typed next reaches the dialog's period box,
    // emptied first: the item is then stored without the question for a period.
    void typeAfterAClickOnTheOwner(Window dialog, const char* form) {
        click(inDialog(dialog, form, "编辑框提醒内容"));
        type("x");
        click(inDialog(dialog, form, "编辑框循环周期"));
        keys({XK_Control_L, XK_a});
        keys({XK_BackSpace});
        EXPECT_TRUE(clickTheOwner(dialog)) << "the click left the dialog inactive";
        type("12");
        click(inDialog(dialog, form, "按钮周期事项确定"));
        EXPECT_TRUE(waitUntil([&] { return !viewable(dialog); })) << "the dialog stayed: " << dialogLog();
        EXPECT_EQ(dialogLog().find("请填写循环周期"), std::string::npos) << "the keys went elsewhere";
    }
};

using X11Desktop = Desktop;
using X11ModalWindows = ModalWindows;

TEST_F(X11Desktop, TrayIconClickAndItsMenuRestoreTheWindowAndItsMenuQuits) {
    start("[最小化方式]\n最小化方式=0\n", "0");
    auto minimiseToTray = [&] {
        iconify(main_);
        return waitUntil([&] { return !viewable(main_) && placedTrayIcon(); });
    };
    ASSERT_TRUE(minimiseToTray()) << "no tray icon after a minimise";
    click(centre(trayIcon()));
    ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !trayIcon(); })) << "a click did not restore";

    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(minimiseToTray()) << "round " << i;
        ASSERT_TRUE(chooseFromMenu(centre(trayIcon()), 3, "托盘菜单", "恢复窗口"))
            << "round " << i << ": no menu";
        ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !trayIcon(); }))
            << "round " << i << ": not restored";
    }

    ASSERT_TRUE(minimiseToTray());
    ASSERT_TRUE(chooseFromMenu(centre(trayIcon()), 3, "托盘菜单", "退出"));  // answered OK
    waitForExit();
    EXPECT_TRUE(program_.exitedWith(0)) << program_.describe();
    EXPECT_NE(dialogLog().find("确认要退出程序？"), std::string::npos);
}

TEST_F(X11Desktop, TopEdgeBarAndHotkeyBringTheWindowBack) {
    start(std::string("[最小化方式]\n最小化方式=1\n") + kHotkeySettings);
    iconify(main_);
    Window bar = 0;
    ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && (bar = this->bar()) && viewable(bar); }))
        << "no bar";
    EXPECT_EQ(centre(bar), QPoint(800 + 190, 2));
    // No taskbar or pager lists it.
    EXPECT_TRUE(hasState(bar, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(hasState(bar, "_NET_WM_STATE_SKIP_PAGER"));
    click(centre(bar));
    ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !viewable(bar); })) << "the bar did not restore";

    iconify(main_);
    ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && viewable(bar); }));
    EXPECT_TRUE(hasState(bar, "_NET_WM_STATE_SKIP_TASKBAR")) << "shown again, the bar lost its state";
    hotkey();
    ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !viewable(bar); })) << "the hotkey did not restore";
    hotkey();
    ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && viewable(bar); }))
        << "the hotkey did not minimise";
    hotkey();
    EXPECT_TRUE(waitUntil([&] { return viewable(main_) && !viewable(bar); }));
}

TEST_F(X11ModalWindows, StayInFrontOfTheirOwnerAndComeBackFromTheTrayWithIt) {
    start(std::string("[最小化方式]\n最小化方式=0\n") + kHotkeySettings, "0");
    for (const Opening& o : openings()) {
        SCOPED_TRACE(o.caption);
        const Window dialog = open(o);
        ASSERT_FALSE(HasFailure());

        // The disabled owner neither comes forward nor takes a close request.
        EXPECT_TRUE(clickTheOwner(dialog)) << "the owner came forward";
        closeBox(main_);

        minimiseThroughTheWindowManager(dialog, [&] { return !trayIcon(); });
        const auto iconShown = [&] { return placedTrayIcon() != 0; };
        hideAndComeBack(
            dialog, iconShown, [&] { click(centre(trayIcon())); }, "a click on the tray icon");
        hideAndComeBack(
            dialog, iconShown, [&] { chooseFromMenu(centre(trayIcon()), 3, "托盘菜单", "恢复窗口"); },
            "the tray menu");
        hideAndComeBack(
            dialog, iconShown, [&] { hotkey(); }, "the hotkey");

        EXPECT_EQ(dialogLog().find("确认要退出程序？"), std::string::npos)
            << "the owner took a close request";
        if (o.form) {
            typeAfterAClickOnTheOwner(dialog, o.form);
        } else {
            closeBox(dialog);
            EXPECT_TRUE(waitUntil([&] { return !client(o.caption); })) << "the dialog did not close";
        }
        ASSERT_FALSE(HasFailure());
    }
    // With no modal window left the close box asks again, and OK ends the program.
    closeBox(main_);
    waitForExit();
    EXPECT_TRUE(program_.exitedWith(0)) << program_.describe();
    EXPECT_NE(dialogLog().find("确认要退出程序？"), std::string::npos);
}

TEST_F(X11ModalWindows, ComeBackFromTheTopEdgeBarWithTheirOwner) {
    start(std::string("[最小化方式]\n最小化方式=1\n") + kHotkeySettings, "0");
    for (const Opening& o : openings()) {
        SCOPED_TRACE(o.caption);
        const Window dialog = open(o);
        ASSERT_FALSE(HasFailure());
        const auto barShown = [&] { return bar() && viewable(bar()); };
        minimiseThroughTheWindowManager(dialog, [&] { return !barShown(); });
        hideAndComeBack(
            dialog, barShown, [&] { click(centre(bar())); }, "a click on the bar");
        hideAndComeBack(
            dialog, barShown, [&] { hotkey(); }, "the hotkey");
        closeBox(dialog);
        EXPECT_TRUE(waitUntil([&] { return !client(o.caption); })) << "the dialog did not close";
        ASSERT_FALSE(HasFailure());
    }
}

TEST_F(X11Desktop, ASecondClickOnASelectedResultLineMovesTheCalendarAgain) {
    start("[默认视图]\n左侧=0\n右侧=0\n");  // the month calendar and the day page
    click(control("编辑框_本日志"));
    type("quill");  // today's diary
    click(control("编辑框关键词"));
    type("quill");
    const size_t noResults = shot("列表框_日志搜索结果");
    keys({XK_Return});
    ASSERT_TRUE(waitUntil([&] { return shot("列表框_日志搜索结果") != noResults; })) << "nothing was found";
    const size_t unselected = shot("列表框_日志搜索结果");
    const QPoint line = onScreen(main_, layout_.firstLine("列表框_日志搜索结果"));
    click(line);
    ASSERT_TRUE(waitUntil([&] { return shot("列表框_日志搜索结果") != unselected; }))
        << "the line was not selected";
    const size_t followed = shot("月历");

    // Another day on the calendar, the focus back where following a line leaves it.
    click(onScreen(main_, layout_.otherDay()));
    ASSERT_TRUE(waitUntil([&] { return shot("月历") != followed; })) << "the calendar did not move";
    click(control("编辑框_本日志"));

    click(line);
    EXPECT_TRUE(waitUntil([&] { return shot("月历") == followed; })) << "the second click was not followed";
}

// Three sessions in one program folder, each pressing "A-D" and quitting as the user does, which
// leaves the group's table open with its log: every session's group lists each matching contact
// once, unprotected and protected, and a name typed into the group in the third is in the group's
// table and in lxr35 as soon as Return commits it.
TEST_F(X11Desktop, ALetterGroupListsEachContactOnceSessionAfterSession) {
    const std::vector<std::string> group = {"阿强", "白云", "蔡明", "陈晨", "邓丽", "杜甫"};
    for (const std::string password : {"", "秘密"}) {
        SCOPED_TRACE(password.empty() ? "unprotected" : "protected");
        const std::optional<std::string_view> key =
            password.empty() ? std::nullopt : std::optional<std::string_view>(password);
        if (!folder_.empty()) {
            std::filesystem::remove_all(folder_);
            std::filesystem::remove_all(run_);
        }
        makeFolder();
        const std::string data = folder_ + "/data";
        ASSERT_TRUE(std::filesystem::create_directory(data));
        for (const char* f : {"rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"}) {
            ASSERT_TRUE(core::writeTemplate(f, data + "/" + f));
        }
        ASSERT_TRUE(st::openDatabase(data + "/lxr35.edb"));
        for (const char* name : {"张三", "邓丽", "阿强", "Tom", "白云", "陈晨", "蔡明", "杜甫"}) {
            ASSERT_TRUE(st::addRecord({st::Value{std::string(name)}, st::Value{std::string("1")}}));
        }
        st::closeAllDatabases();
        if (key) {
            for (const char* store : {"rz35", "tx35", "bw35", "lxr35"}) {
                ASSERT_TRUE(st::openDatabase(data + "/" + store + ".edb"));
                ASSERT_TRUE(st::setDatabasePassword(password));
            }
            st::closeAllDatabases();
        }
        // The names in a table as the program has it on disk, its log included, read from a copy.
        const auto namesIn = [&](const std::string& table) {
            const std::string copy = folder_ + "/inspect/";
            std::filesystem::create_directory(copy);
            const std::string name = std::filesystem::path(table).filename();
            for (const char* suffix : {"", "-wal"}) {
                if (std::filesystem::exists(table + suffix))
                    std::filesystem::copy_file(table + suffix, copy + name + suffix);
            }
            std::vector<std::string> names;
            if (st::openDatabase(copy + name, key)) {
                for (int n = 1; n <= st::getRecordCount(); ++n) {
                    st::goToRecord(n);
                    names.push_back(st::valueText(st::readField("姓名")));
                }
            }
            st::closeAllDatabases();
            std::filesystem::remove_all(copy);
            return names;
        };
        const std::string groupTable = run_ + "/quillarbor-temp/ad.edb", contactTable = data + "/lxr35.edb";
        std::vector<std::string> contacts = {"张三", "邓丽", "阿强", "Tom", "白云", "陈晨", "蔡明", "杜甫"};
        for (int session = 1; session <= 3; ++session) {
            SCOPED_TRACE("session " + std::to_string(session));
            // Until the press has made it anew, the group's table is the one the last session left.
            std::error_code absent;
            const auto left = std::filesystem::last_write_time(groupTable, absent);
            const auto madeAnew = [&] {
                std::error_code gone;
                const auto made = std::filesystem::last_write_time(groupTable, gone);
                return !gone && made != left;
            };
            launch("0", password);
            click(tab("选择夹右侧", 3));
            click(control("按钮_ad"));
            std::vector<std::string> expected = group;
            if (session == 3) {
                // The first row's name cell: a key starts the edit, Return commits it.
                const QRect view = layout_.rectOf("表格_人脉");
                click(onScreen(main_, QPoint(view.left() + 40, view.top() + 36)));
                type("lee");
                keys({XK_Return});
                expected[0] = "lee";
                contacts[2] = "lee";
            }
            // On disk while the program runs, before it is asked to quit.
            EXPECT_TRUE(waitUntil([&] {
                return madeAnew() && namesIn(groupTable) == expected && namesIn(contactTable) == contacts;
            }));
            closeBox(main_);
            waitForExit();
            ASSERT_TRUE(program_.exitedWith(0)) << program_.describe();
            EXPECT_EQ(readWhole(folder_ + "/stderr.log").find("Sanitizer"), std::string::npos);
            EXPECT_EQ(dialogLog().find("无法"), std::string::npos) << dialogLog();
            EXPECT_EQ(namesIn(groupTable), expected);
            EXPECT_EQ(namesIn(contactTable), contacts);
        }
    }
}

}  // namespace
}  // namespace shelltest
