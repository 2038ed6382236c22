// What needs a real X server: the global hotkey pressed through the X server, and the main
// window of the real executable as a user sees it. Run by ctest on the test script's private
// Xvfb; skipped on the offscreen platform.
#include <QGuiApplication>
#include <QImage>
#include <chrono>

#include "child_process.h"
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
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        XTestFakeKeyEvent(d, XKeysymToKeycode(d, *it), False, CurrentTime);
    XFlush(d);
    XCloseDisplay(d);
}

using Deadline = std::chrono::steady_clock::time_point;
// Each test's one deadline, for all its waits.
Deadline deadlineIn(std::chrono::seconds s) { return std::chrono::steady_clock::now() + s; }

// Runs the event loop until the condition holds; false at the deadline.
bool waitFor(Deadline deadline, const std::function<bool()>& condition) {
    for (;;) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
}

using X11Hotkey = ShellTest;

TEST_F(X11Hotkey, RegisteredCombinationMinimisesAndRestoresTheMainWindow) {
    if (!onX11()) GTEST_SKIP() << "needs an X server";
    const Deadline deadline = deadlineIn(std::chrono::seconds(30));
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
    ASSERT_TRUE(waitFor(deadline, [] { return !ui::getBool(kMain, "", "visible"); }))
        << "the hotkey did not hide the window";
    pressKeys({XK_Control_L, XK_F9});
    EXPECT_TRUE(waitFor(deadline, [] {
        return ui::getBool(kMain, "", "visible") && ui::getInt(kMain, "", "windowState") == 0;
    }));

    // A second registration drops the first: its id no longer reaches the program.
    int first = core::hotkeyId;
    shell::onRegisterHotkey();
    EXPECT_EQ(core::hotkeyId, first + 1);
}

// The screen as shown now, and how many of its pixels differ from the first one.
QImage screenshot(Display* d, int& distinct) {
    Window root = DefaultRootWindow(d);
    XWindowAttributes attrs;
    XGetWindowAttributes(d, root, &attrs);
    XImage* shot = XGetImage(d, root, 0, 0, static_cast<unsigned>(attrs.width),
                             static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
    QImage image(attrs.width, attrs.height, QImage::Format_RGB32);
    distinct = 0;
    if (!shot) return image;
    const QRgb first = static_cast<QRgb>(XGetPixel(shot, 0, 0)) | 0xFF000000u;
    for (int y = 0; y < attrs.height; ++y) {
        for (int x = 0; x < attrs.width; ++x) {
            const QRgb px = static_cast<QRgb>(XGetPixel(shot, x, y)) | 0xFF000000u;
            image.setPixel(x, y, px);
            distinct += px != first;
        }
    }
    XDestroyImage(shot);
    return image;
}

TEST(X11Screenshot, TheRealProgramShowsItsMainWindow) {
    if (!onX11()) GTEST_SKIP() << "needs an X server";
    const std::string folder = makeTempFolder("qb_x11_shot");
    const std::string run = makeTempFolder("qb_x11_run");
    chmod(run.c_str(), 0700);
    std::filesystem::copy_file(QB_EXECUTABLE, folder + "/quillarbor");
    ChildProcess program;
    ASSERT_TRUE(program.start(folder + "/quillarbor", {{"XDG_RUNTIME_DIR", run}}));
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    // A shown window covers a large part of the screen with something other than the backdrop.
    QImage image;
    int distinct = 0;
    const int screen = DisplayWidth(d, DefaultScreen(d)) * DisplayHeight(d, DefaultScreen(d));
    const bool shown = waitFor(deadlineIn(std::chrono::seconds(30)), [&] {
        image = screenshot(d, distinct);
        return distinct > screen / 10 || !program.running();
    });
    XCloseDisplay(d);
    image.save(QStringLiteral(QB_SCREENSHOT_DIR "/main_window_x11.png"));
    EXPECT_TRUE(shown && program.running()) << program.describe() << ", " << distinct << " pixels differ";
    program.end();
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(run);
}

}  // namespace
}  // namespace shelltest
