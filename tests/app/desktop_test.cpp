// The real executable on a desktop as a user meets it: the test script's Xvfb with a window
// manager (openbox) and a notification area (trayer), driven by synthetic X input (XTest). What
// the offscreen tests cannot see lives here: a widget deleted inside its own mouse event, a
// dialog buried under its owner, a close request on a disabled window, a click on a selected
// line. A crash, a hang or a sanitizer report in the child fails the test.
//
// Where the child's controls are on screen is taken from the same window definitions loaded in
// this process (hidden at once): the layout is the runtime's, not the platform's.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QTabBar>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "runtime/ui/control_registry.h"
#include "core/stores.h"
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

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Where a control of MainWindow sits inside the window's client area, and the tab strip's
// page buttons, from the definitions laid out by the runtime in this process.
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
};

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X server";
        d_ = XOpenDisplay(nullptr);
        ASSERT_NE(d_, nullptr);
        root_ = DefaultRootWindow(d_);
        if (!property(root_, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).size())
            GTEST_SKIP() << "needs a window manager on the X server (openbox, started by scripts/test)";
        runtime::ui::resetForTesting();
        ASSERT_TRUE(runtime::ui::loadWindow("MainWindow"));
        runtime::ui::setBool("MainWindow", "", "visible", false);
        ASSERT_TRUE(runtime::ui::loadWindow("NewPeriodicItemWindow"));  // hidden when loaded
        QApplication::processEvents();
    }

    void TearDown() override {
        if (pid_ > 0) {
            const bool running = alive();
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            EXPECT_TRUE(running || (WIFEXITED(status_) && WEXITSTATUS(status_) == 0))
                << "the program died: " << describeStatus() << "\n" << readWhole(folder_ + "/stderr.log");
        }
        if (!folder_.empty()) {
            const std::string err = readWhole(folder_ + "/stderr.log");
            EXPECT_EQ(err.find("Sanitizer"), std::string::npos) << err;
            EXPECT_EQ(err.find("runtime error"), std::string::npos) << err;
            std::filesystem::remove_all(folder_);
            std::filesystem::remove_all(run_);
        }
        runtime::ui::resetForTesting();
        if (d_) XCloseDisplay(d_);
    }

    // Starts the program in a fresh folder with that config.ini and those message-box answers.
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
    // Starts the program in the folder as it is, answering input boxes with `inputs`.
    void launch(const std::string& answers, const std::string& inputs = {}) {
        exited_ = false;
        pid_ = fork();
        if (pid_ == 0) {
            setenv("XDG_RUNTIME_DIR", run_.c_str(), 1);
            setenv("QUILLARBOR_DIALOG_LOG", (folder_ + "/dialogs.log").c_str(), 1);
            setenv("QUILLARBOR_DIALOG_ANSWERS", answers.c_str(), 1);
            if (!inputs.empty()) setenv("QUILLARBOR_DIALOG_INPUTS", inputs.c_str(), 1);
            const int err = open((folder_ + "/stderr.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0) dup2(err, 2);
            const std::string exe = folder_ + "/quillarbor";
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid_, 0);
        ASSERT_TRUE(waitUntil([&] { return main_ = client(kMainCaption), main_ && viewable(main_); }))
            << "no main window";
        pause(300);
    }

    void waitForExit() {
        for (int i = 0; i < 250 && alive(); ++i) pause(20);
    }
    bool alive() {
        if (exited_) return false;
        if (waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
        return !exited_;
    }
    std::string describeStatus() const {
        if (!exited_) return "running";
        if (WIFSIGNALED(status_)) return "signal " + std::to_string(WTERMSIG(status_));
        return "exit code " + std::to_string(WEXITSTATUS(status_));
    }

    // Polls for up to 5 s; false at once when the program has died.
    bool waitUntil(const std::function<bool()>& condition) {
        for (int i = 0; i < 250; ++i) {
            XSync(d_, False);
            if (condition()) return true;
            if (!alive()) return false;
            pause(20);
        }
        return false;
    }

    std::vector<unsigned long> property(Window w, const char* name, Atom type) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> out;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, name, False), 0, 4096, False, type, &actual, &format, &count,
                               &after, &data) == Success &&
            data && format == 32) {
            auto* values = reinterpret_cast<unsigned long*>(data);
            out.assign(values, values + count);
        }
        if (data) XFree(data);
        return out;
    }
    std::string title(Window w) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string out;
        if (XGetWindowProperty(d_, w, XInternAtom(d_, "_NET_WM_NAME", False), 0, 1024, False,
                               XInternAtom(d_, "UTF8_STRING", False), &actual, &format, &count, &after, &data) == Success &&
            data)
            out.assign(reinterpret_cast<char*>(data), count);
        if (data) XFree(data);
        return out;
    }
    bool ours(Window w) {
        const auto pid = property(w, "_NET_WM_PID", XA_CARDINAL);
        return !pid.empty() && static_cast<pid_t>(pid[0]) == pid_;
    }
    bool viewable(Window w) {
        XWindowAttributes a;
        return XGetWindowAttributes(d_, w, &a) && a.map_state == IsViewable;
    }

    // The program's managed windows, bottom to top as the window manager stacks them.
    std::vector<Window> stacking() {
        std::vector<Window> out;
        for (unsigned long w : property(root_, "_NET_CLIENT_LIST_STACKING", XA_WINDOW))
            if (ours(w)) out.push_back(w);
        return out;
    }
    Window client(const std::string& caption) {
        for (Window w : stacking())
            if (title(w) == caption) return w;
        return 0;
    }
    bool above(Window top, Window below) {
        const auto order = stacking();
        const auto t = std::find(order.begin(), order.end(), top);
        const auto b = std::find(order.begin(), order.end(), below);
        return t != order.end() && b != order.end() && t > b;
    }

    // The program's unmanaged viewable windows: the tray icon inside the notification area and
    // pop-up menus.
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
            if (top == onRoot && XGetWindowAttributes(d_, w, &a) && a.width >= minWidth && a.width <= maxWidth) return w;
        }
        return 0;
    }
    Window trayIcon() { return unmanagedWhere(false, 1, 64); }
    Window popup() { return unmanagedWhere(true, 40, 1000); }
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
    void click(QPoint at, unsigned button = 1) {
        XTestFakeMotionEvent(d_, -1, at.x(), at.y(), CurrentTime);
        XFlush(d_);
        pause(60);
        XTestFakeButtonEvent(d_, button, True, CurrentTime);
        XFlush(d_);
        pause(40);
        XTestFakeButtonEvent(d_, button, False, CurrentTime);
        XFlush(d_);
        pause(150);
    }
    void doubleClick(QPoint at) {
        XTestFakeMotionEvent(d_, -1, at.x(), at.y(), CurrentTime);
        XFlush(d_);
        pause(60);
        for (int i = 0; i < 2; ++i) {
            XTestFakeButtonEvent(d_, 1, True, CurrentTime);
            XTestFakeButtonEvent(d_, 1, False, CurrentTime);
            XFlush(d_);
            pause(40);
        }
        pause(150);
    }
    void keys(const std::vector<KeySym>& combination) {
        for (KeySym k : combination) XTestFakeKeyEvent(d_, XKeysymToKeycode(d_, k), True, CurrentTime);
        for (auto it = combination.rbegin(); it != combination.rend(); ++it)
            XTestFakeKeyEvent(d_, XKeysymToKeycode(d_, *it), False, CurrentTime);
        XFlush(d_);
        pause(150);
    }
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
        pause(300);
    }
    // The pixels of a control of the main window as shown now.
    size_t shot(std::string_view control) {
        const QRect r = layout_.rectOf(control);
        XImage* image = XGetImage(d_, main_, r.x(), r.y(), static_cast<unsigned>(r.width()),
                                  static_cast<unsigned>(r.height()), AllPlanes, ZPixmap);
        if (!image) return 0;
        const std::string_view pixels(image->data, static_cast<size_t>(image->bytes_per_line) * image->height);
        const size_t hash = std::hash<std::string_view>{}(pixels);
        XDestroyImage(image);
        return hash;
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) keys({static_cast<KeySym>(*c)});
    }
    std::string dialogLog() { return readWhole(folder_ + "/dialogs.log"); }
    QPoint control(std::string_view name) { return onScreen(main_, layout_.centreOf(name)); }
    QPoint tab(std::string_view tabControl, int page) { return onScreen(main_, layout_.tab(tabControl, page)); }

    Display* d_ = nullptr;
    Window root_ = 0;
    Window main_ = 0;
    pid_t pid_ = -1;
    int status_ = 0;
    bool exited_ = false;
    std::string folder_, run_;
    Layout layout_;
};

using X11Desktop = Desktop;

TEST_F(X11Desktop, TrayIconClickAndItsMenuRestoreTheWindowAndItsMenuQuits) {
    start("[最小化方式]\n最小化方式=0\n", "0");
    auto minimiseToTray = [&] {
        iconify(main_);
        const bool iconShown = waitUntil([&] { return !viewable(main_) && trayIcon() && viewable(trayIcon()); });
        pause(200);  // the notification area places the icon
        return iconShown;
    };
    auto openTrayMenu = [&] {
        click(centre(trayIcon()), 3);
        return waitUntil([&] { return popup() != 0; });
    };
    ASSERT_TRUE(minimiseToTray()) << "no tray icon after a minimise";
    click(centre(trayIcon()));
    ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !trayIcon(); })) << "a click did not restore: " << describeStatus();

    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(minimiseToTray()) << "round " << i << ": " << describeStatus();
        ASSERT_TRUE(openTrayMenu()) << "round " << i << ": no menu";
        keys({XK_Down});
        keys({XK_Return});  // "恢复窗口"
        ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !trayIcon(); }))
            << "round " << i << ": not restored, " << describeStatus();
    }

    ASSERT_TRUE(minimiseToTray());
    ASSERT_TRUE(openTrayMenu());
    keys({XK_Up});
    keys({XK_Return});  // "退出", answered OK
    waitForExit();
    EXPECT_TRUE(WIFEXITED(status_) && WEXITSTATUS(status_) == 0) << describeStatus();
    EXPECT_NE(dialogLog().find("确认要退出程序？"), std::string::npos);
}

TEST_F(X11Desktop, TopEdgeBarAndHotkeyBringTheWindowBack) {
    start("[最小化方式]\n最小化方式=1\n[全局热键]\n功能键1=1\n主热键1=119\n");  // Ctrl + F8
    iconify(main_);
    Window bar = 0;
    ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && (bar = this->bar()) && viewable(bar); })) << "no bar";
    EXPECT_EQ(centre(bar), QPoint(800 + 190, 2));
    click(centre(bar));
    ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !viewable(bar); })) << "the bar did not restore";

    iconify(main_);
    ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && viewable(bar); }));
    keys({XK_Control_L, XK_F8});
    ASSERT_TRUE(waitUntil([&] { return viewable(main_) && !viewable(bar); })) << "the hotkey did not restore";
    keys({XK_Control_L, XK_F8});
    ASSERT_TRUE(waitUntil([&] { return !viewable(main_) && viewable(bar); })) << "the hotkey did not minimise";
    keys({XK_Control_L, XK_F8});
    EXPECT_TRUE(waitUntil([&] { return viewable(main_) && !viewable(bar); }));
}

TEST_F(X11Desktop, ModalWindowsStayAboveTheirOwnerWhichTakesNoCloseRequest) {
    start({}, "0");
    const std::function<void()> openNewItemWindow = [&] {
        click(tab("选择夹右侧", 0));
        click(control("列表框_周期事项"), 3);
        ASSERT_TRUE(waitUntil([&] { return popup() != 0; })) << "no menu";
        keys({XK_Down});
        keys({XK_Return});  // "新增周期性事件"
    };
    struct Opening {
        const char* caption;
        std::function<void()> open;
    };
    const Opening openings[] = {
        {"导入联系人",
         [&] {
             click(tab("选择夹右侧", 3));
             click(control("按钮_导入联系人"));
         }},
        {"周期性事项：", openNewItemWindow},
        // A periodic item added through that window, then its line double-clicked.
        {"修改已存在的提醒事件：",
         [&] {
             openNewItemWindow();
             Window added = 0;
             ASSERT_TRUE(waitUntil([&] { return (added = client("周期性事项：")) != 0; }));
             auto at = [&](const char* name) { return onScreen(added, layout_.centreOf(name, "NewPeriodicItemWindow")); };
             click(at("编辑框循环周期"));
             type("1");
             click(at("编辑框提醒内容"));
             type("x");
             click(at("按钮周期事项确定"));
             ASSERT_TRUE(waitUntil([&] { return !client("周期性事项："); })) << "the item was not added";
             doubleClick(onScreen(main_, layout_.firstLine("列表框_周期事项")));
         }},
    };
    for (const Opening& o : openings) {
        SCOPED_TRACE(o.caption);
        o.open();
        Window dialog = 0;
        ASSERT_TRUE(waitUntil([&] { return (dialog = client(o.caption)) && viewable(dialog); })) << describeStatus();
        Window owner = 0;
        EXPECT_TRUE(XGetTransientForHint(d_, dialog, &owner) && owner == main_)
            << "the dialog's owner is " << owner << ", not the main window " << main_;

        click(control("月历"));  // on the disabled owner
        EXPECT_TRUE(waitUntil([&] { return above(dialog, main_); })) << "the owner came above its dialog";

        closeBox(main_);
        EXPECT_TRUE(viewable(main_));
        EXPECT_TRUE(above(dialog, main_));
        EXPECT_EQ(dialogLog().find("确认要退出程序？"), std::string::npos) << "the quit question came up";

        closeBox(dialog);
        ASSERT_TRUE(waitUntil([&] { return !client(o.caption); })) << "the dialog did not close";
    }
    // With no modal window left the close box asks again, and OK ends the program.
    closeBox(main_);
    waitForExit();
    EXPECT_TRUE(WIFEXITED(status_) && WEXITSTATUS(status_) == 0) << describeStatus();
    EXPECT_NE(dialogLog().find("确认要退出程序？"), std::string::npos);
}

TEST_F(X11Desktop, ASecondClickOnASelectedResultLineMovesTheCalendarAgain) {
    start("[默认视图]\n左侧=0\n右侧=0\n");  // the month calendar and the day page
    click(control("编辑框_本日志"));
    type("quill");  // today's diary
    click(control("编辑框关键词"));
    type("quill");
    keys({XK_Return});
    const QPoint line = onScreen(main_, layout_.firstLine("列表框_日志搜索结果"));
    click(line);
    pause(300);
    const size_t followed = shot("月历");

    // Another day on the calendar (the first corner cell unless that is today), the focus back
    // where following a line leaves it.
    const QRect cal = layout_.rectOf("月历");
    for (QPoint cell : {QPoint(cal.left() + 40, cal.top() + 60), QPoint(cal.right() - 30, cal.bottom() - 25)}) {
        click(onScreen(main_, cell));
        click(control("编辑框_本日志"));
        pause(300);
        if (shot("月历") != followed) break;
    }
    ASSERT_NE(shot("月历"), followed) << "the calendar did not move";

    click(line);
    EXPECT_TRUE(waitUntil([&] { return shot("月历") == followed; })) << "the second click was not followed";
}

// Three sessions in one program folder, each pressing "A-D" and quitting as the user does, which
// leaves the group's table open with its log: every session's group lists each matching contact
// once, unprotected and protected, and a name typed into the group in the third reaches lxr35.
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
        // The group as the session left it: its table and log, read from a copy.
        const auto groupNames = [&] {
            const std::string copy = folder_ + "/inspect";
            std::filesystem::create_directory(copy);
            for (const char* f : {"ad.edb", "ad.edb-wal"}) {
                const std::string from = run_ + "/quillarbor-temp/" + f;
                if (std::filesystem::exists(from)) std::filesystem::copy_file(from, copy + "/" + f);
            }
            std::vector<std::string> names;
            if (st::openDatabase(copy + "/ad.edb", key)) {
                for (int n = 1; n <= st::getRecordCount(); ++n) {
                    st::goToRecord(n);
                    names.push_back(st::valueText(st::readField("姓名")));
                }
            }
            st::closeAllDatabases();
            std::filesystem::remove_all(copy);
            return names;
        };
        for (int session = 1; session <= 3; ++session) {
            SCOPED_TRACE("session " + std::to_string(session));
            launch("0", password);
            click(tab("选择夹右侧", 3));
            click(control("按钮_ad"));
            if (session == 3) {
                // The first row's name cell: a key starts the edit, Return commits it.
                const QRect view = layout_.rectOf("表格_人脉");
                click(onScreen(main_, QPoint(view.left() + 40, view.top() + 36)));
                type("lee");
                keys({XK_Return});
            }
            closeBox(main_);
            waitForExit();
            ASSERT_TRUE(exited_ && WIFEXITED(status_) && WEXITSTATUS(status_) == 0) << describeStatus();
            EXPECT_EQ(readWhole(folder_ + "/stderr.log").find("Sanitizer"), std::string::npos);
            EXPECT_EQ(dialogLog().find("无法"), std::string::npos) << dialogLog();
            std::vector<std::string> expected = group;
            if (session == 3) expected[0] = "lee";
            EXPECT_EQ(groupNames(), expected);
        }
        ASSERT_TRUE(st::openDatabase(data + "/lxr35.edb", key));
        std::vector<std::string> names;
        for (int n = 1; n <= st::getRecordCount(); ++n) {
            st::goToRecord(n);
            names.push_back(st::valueText(st::readField("姓名")));
        }
        st::closeAllDatabases();
        EXPECT_EQ(names, (std::vector<std::string>{"张三", "邓丽", "lee", "Tom", "白云", "陈晨", "蔡明", "杜甫"}));
    }
}

}  // namespace
}  // namespace shelltest
