// What needs a real X server: the global hotkey pressed through the X server, and the main
// window of the real executable as a user sees it. Run by ctest on the test script's private
// Xvfb; skipped on the offscreen platform.
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <thread>

#include "shell/hotkey.h"
#include "support/shell_fixture.h"

// Xlib's macros (Bool, Status, None...) clash with Qt's names: its headers come last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace shelltest {
namespace {

bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

// Presses the combination through the X server, as a keyboard would.
void pressKeys(const std::vector<KeySym>& keys) {
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    for (KeySym k : keys) XTestFakeKeyEvent(d, XKeysymToKeycode(d, k), True, CurrentTime);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) XTestFakeKeyEvent(d, XKeysymToKeycode(d, *it), False, CurrentTime);
    XFlush(d);
    XCloseDisplay(d);
}

bool waitFor(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (condition()) return true;
    }
    return false;
}

using X11Hotkey = ShellTest;

TEST_F(X11Hotkey, RegisteredCombinationMinimisesAndRestoresTheMainWindow) {
    if (!onX11()) GTEST_SKIP() << "needs an X server";
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    shell::onHotkeyKeyDown(17, 0);
    shell::onHotkeyKeyDown(120, 1);  // Ctrl + F9
    shell::onHotkeyKeyUp();
    shell::onRegisterHotkey();
    ASSERT_NE(core::hotkeyId, 0);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "热键：‘Ctrl + F9’注册成功！");

    pressKeys({XK_Control_L, XK_F9});
    ASSERT_TRUE(waitFor([] { return !ui::getBool(kMain, "", "visible"); })) << "the hotkey did not hide the window";
    pressKeys({XK_Control_L, XK_F9});
    EXPECT_TRUE(waitFor([] { return ui::getBool(kMain, "", "visible") && ui::getInt(kMain, "", "windowState") == 0; }));

    // A second registration drops the first: its id no longer reaches the program.
    int first = core::hotkeyId;
    shell::onRegisterHotkey();
    EXPECT_EQ(core::hotkeyId, first + 1);
}

TEST(X11Screenshot, TheRealProgramShowsItsMainWindow) {
    if (!onX11()) GTEST_SKIP() << "needs an X server";
    std::string folder = makeTempFolder("qb_x11_shot");
    std::string run = makeTempFolder("qb_x11_run");
    chmod(run.c_str(), 0700);
    std::filesystem::copy_file(QB_EXECUTABLE, folder + "/quillarbor");
    pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        std::string exe = folder + "/quillarbor";
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 250 && !runtime::fileExists(folder + "/config.ini"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // let it paint

    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    Window root = DefaultRootWindow(d);
    XWindowAttributes attrs;
    XGetWindowAttributes(d, root, &attrs);
    XImage* shot = XGetImage(d, root, 0, 0, static_cast<unsigned>(attrs.width), static_cast<unsigned>(attrs.height),
                             AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    QImage image(attrs.width, attrs.height, QImage::Format_RGB32);
    int distinct = 0;
    QRgb firstPixel = 0;
    for (int y = 0; y < attrs.height; ++y) {
        for (int x = 0; x < attrs.width; ++x) {
            QRgb px = static_cast<QRgb>(XGetPixel(shot, x, y)) | 0xFF000000u;
            image.setPixel(x, y, px);
            if (x == 0 && y == 0) firstPixel = px;
            distinct += px != firstPixel;
        }
    }
    XDestroyImage(shot);
    XCloseDisplay(d);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    image.save(QStringLiteral(QB_SCREENSHOT_DIR "/main_window_x11.png"));
    // A shown window covers a large part of the screen with something other than the backdrop.
    EXPECT_GT(distinct, attrs.width * attrs.height / 10);
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(run);
}

}  // namespace
}  // namespace shelltest
