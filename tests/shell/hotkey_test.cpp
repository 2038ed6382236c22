// The hotkey's capture, display text and registration, and the minimising and restoring that
// the hotkey, the tray icon and the top-edge bar drive.
#include <QApplication>
#include <QSystemTrayIcon>
#include <QTest>

#include "runtime/base/ini.h"
#include "shell/hotkey.h"
#include "shell/minimise.h"
#include "support/shell_fixture.h"

namespace shelltest {
namespace {

// The top-level widget of a loaded window, or null.
QWidget* windowWidget(const char* window) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QString::fromUtf8(window)) return w;
    return nullptr;
}

class HotkeyText : public ::testing::Test {
protected:
    void SetUp() override { core::hotkeyDisplayText.clear(); }
    std::string down(int key, int state) { return shell::buildHotkeyText(key, state); }
};

TEST_F(HotkeyText, CtrlThenAShowsTheCombination) {
    EXPECT_EQ(down(17, 0), "Ctrl + ");
    EXPECT_EQ(down(65, 1), "Ctrl + A");
    EXPECT_EQ(shell::finishHotkeyText(), "Ctrl + A");
}

TEST_F(HotkeyText, ModifierAloneFinishesAsNone) {
    EXPECT_EQ(down(17, 0), "Ctrl + ");
    EXPECT_EQ(shell::finishHotkeyText(), "无");
    EXPECT_EQ(shell::finishHotkeyText(), "");
}

TEST_F(HotkeyText, OnlyTheListedModifierPairsAddTheirOwnPrefix) {
    EXPECT_EQ(down(17, 2), "Ctrl + Shift + ");  // Shift held, then Ctrl
    core::hotkeyDisplayText.clear();
    EXPECT_EQ(down(16, 1), "Ctrl + ");  // Ctrl held, then Shift
    EXPECT_EQ(down(116, 3), "Ctrl + Shift + F5");
    core::hotkeyDisplayText.clear();
    EXPECT_EQ(down(32, 4), "Alt + 空格");
}

TEST_F(HotkeyText, KeysWithoutNameAndPlainKeys) {
    EXPECT_EQ(down(17, 0), "Ctrl + ");
    EXPECT_EQ(down(36, 1), "Ctrl + ");  // Home has no name
    EXPECT_EQ(shell::finishHotkeyText(), "无");
    EXPECT_EQ(down(36, 0), "");
    EXPECT_EQ(down(65, 1), "Ctrl + A");
    EXPECT_EQ(down(66, 0), "B");  // a named key alone after a complete combination
    core::hotkeyDisplayText = "Alt + ";
    EXPECT_EQ(down(67, 0), "Alt + C");  // the prefix's key-up went elsewhere
    EXPECT_EQ(down(191, 1), "Ctrl + /");
    EXPECT_EQ(shell::hotkeyKeyName(192), "`");
    EXPECT_EQ(shell::hotkeyKeyName(123), "F12");
    EXPECT_EQ(shell::hotkeyKeyName(16), "");
}

using HotkeyPage = ShellTest;

TEST_F(HotkeyPage, KeyDownsWriteThePairAtOnce) {
    ASSERT_TRUE(start());
    shell::onHotkeyKeyDown(17, 0);
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "功能键1"), "0");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "主热键1"), "17");
    shell::onHotkeyKeyDown(65, 1);
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "Ctrl + A");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "功能键1"), "1");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "主热键1"), "65");
    shell::onHotkeyKeyUp();
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "Ctrl + A");
}

TEST_F(HotkeyPage, RegistrationIdsGrowAndTheTextIsWrittenEvenWhenRefused) {
    ASSERT_TRUE(start());
    int first = core::hotkeyId;
    core::hotkeyModifiers = 1;
    core::hotkeyKeyCode = 65;
    ui::setText(kMain, "编辑框_热键1", "Ctrl + A");
    ui::clearDialogScript();
    shell::onRegisterHotkey();
    // The offscreen platform has no X server: the system refuses, so no message.
    EXPECT_EQ(core::hotkeyId, 0);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "呼出热键"), "Ctrl + A");
    (void)first;
}

TEST_F(HotkeyPage, ModifiersReleasedWithoutAMainKeyKeepTheLastPair) {
    ASSERT_TRUE(start());
    shell::onHotkeyKeyDown(17, 0);
    shell::onHotkeyKeyDown(16, 1);  // Ctrl held, then Shift
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "Ctrl + ");
    shell::onHotkeyKeyUp();
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "无");
    shell::onHotkeyKeyUp();
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "功能键1"), "1");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "主热键1"), "16");
    EXPECT_EQ(core::hotkeyModifiers, 1);
    EXPECT_EQ(core::hotkeyKeyCode, 16);
    // Registering writes the box's text whatever it shows; the key-downs never wrote it.
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "呼出热键", "<missing>"), "<missing>");
    shell::onRegisterHotkey();
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "呼出热键", "<missing>"), "");
}

TEST_F(HotkeyPage, KeypadKeysTypedIntoTheBoxGiveTheMainRowCodes) {
    ASSERT_TRUE(start());
    ui::setInt(kMain, "选择夹_左侧", "page", 1);
    QWidget* window = windowWidget(kMain);
    ASSERT_NE(window, nullptr);
    QWidget* box = window->findChild<QWidget*>(QString::fromUtf8("编辑框_热键1"));
    ASSERT_NE(box, nullptr);
    QTest::keyPress(box, Qt::Key_Control);
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "Ctrl + ");
    QTest::keyPress(box, Qt::Key_7, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "Ctrl + 7");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "主热键1"), "55");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "功能键1"), "1");
    QTest::keyRelease(box, Qt::Key_7, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyRelease(box, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "Ctrl + 7");
    QTest::keyPress(box, Qt::Key_Slash, Qt::KeypadModifier);
    EXPECT_EQ(ui::getText(kMain, "编辑框_热键1"), "/");
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "主热键1"), "191");
}

// ---- Minimising: tray icon or top-edge bar ----

constexpr const char* kBar = "TopEdgeBarWindow";

class Minimising : public ShellTest {
protected:
    void startInMode(const char* mode) {
        ASSERT_TRUE(runtime::writeIniText(path("/config.ini"), "最小化方式", "最小化方式", mode));
        ASSERT_TRUE(start());
        ui::clearDialogScript();
    }
    static void minimise() { ui::setInt(kMain, "", "windowState", 2); }
    static bool mainShown() {
        return ui::getBool(kMain, "", "visible") && ui::getInt(kMain, "", "windowState") == 0;
    }
    static bool barShown() { return ui::isWindowLoaded(kBar) && ui::getBool(kBar, "", "visible"); }
    static void expectMaximisingShowsNoWayBack() {
        ui::setInt(kMain, "", "windowState", 1);
        EXPECT_EQ(ui::getInt(kMain, "", "windowState"), 1);
        EXPECT_TRUE(ui::getBool(kMain, "", "visible"));
        EXPECT_FALSE(barShown());
        ui::setInt(kMain, "", "windowState", 0);
        EXPECT_TRUE(mainShown());
        EXPECT_FALSE(barShown());
    }
    static void expectBarAtTheTopEdge() {
        EXPECT_EQ(ui::getInt(kBar, "", "left"), 800);
        EXPECT_EQ(ui::getInt(kBar, "", "top"), 0);
        EXPECT_EQ(ui::getInt(kBar, "", "width"), 380);
        EXPECT_EQ(ui::getInt(kBar, "", "height"), 5);
    }
};

TEST_F(Minimising, BarModeStartLoadsTheBarHidden) {
    startInMode("1");
    EXPECT_TRUE(ui::isWindowLoaded(kBar));
    EXPECT_FALSE(barShown());
    EXPECT_TRUE(mainShown());
}

TEST_F(Minimising, BarModeShowsTheBarAtTheTopEdgeAndAClickOnItBringsTheWindowBack) {
    startInMode("1");
    for (int round = 0; round < 2; ++round) {  // the next minimise shows the same bar again
        minimise();
        EXPECT_FALSE(ui::getBool(kMain, "", "visible")) << round;
        ASSERT_TRUE(barShown()) << round;
        expectBarAtTheTopEdge();
        QWidget* bar = windowWidget(kBar);
        ASSERT_NE(bar, nullptr);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 2));
        EXPECT_FALSE(barShown()) << round;
        EXPECT_TRUE(mainShown()) << round;
    }
}

TEST_F(Minimising, TheHotkeyHidesBehindTheBarAndRestoresIgnoringOtherIds) {
    startInMode("1");
    core::hotkeyId = 40001;  // as if the system had taken the registration
    shell::onHotkeyFired(40002);
    EXPECT_TRUE(mainShown());
    shell::onHotkeyFired(40001);
    EXPECT_FALSE(ui::getBool(kMain, "", "visible"));
    EXPECT_TRUE(barShown());
    shell::onHotkeyFired(40002);
    EXPECT_FALSE(ui::getBool(kMain, "", "visible"));
    shell::onHotkeyFired(40001);
    EXPECT_TRUE(mainShown());
    EXPECT_FALSE(barShown());
}

TEST_F(Minimising, MaximisingInTrayModeShowsNoWayBack) {
    startInMode("0");
    expectMaximisingShowsNoWayBack();
}

TEST_F(Minimising, MaximisingInBarModeKeepsTheBarHidden) {
    startInMode("1");
    expectMaximisingShowsNoWayBack();
}

TEST_F(Minimising, TrayModeWithoutANotificationAreaStillLeavesTheBarAsAWayBack) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "this desktop has a notification area";
    startInMode("0");
    minimise();
    EXPECT_FALSE(ui::getBool(kMain, "", "visible"));
    ASSERT_TRUE(barShown());
    expectBarAtTheTopEdge();
    shell::onTrayEvent(1);  // as a click on the icon, or the hotkey, restores
    EXPECT_TRUE(mainShown());
    EXPECT_FALSE(barShown());
}

TEST_F(Minimising, TheTrayMenuRestoresOrAsksBeforeQuitting) {
    startInMode("0");
    minimise();
    ui::pushMenuAnswer("恢复窗口");
    shell::onTrayEvent(3);
    std::vector<ui::ShownDialog> shown = ui::shownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, ui::DialogKind::PopupMenu);
    EXPECT_EQ(shown[0].text, "托盘菜单");
    EXPECT_TRUE(mainShown());
    EXPECT_FALSE(barShown());

    ui::clearDialogScript();
    ui::pushMenuAnswer("退出");
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    shell::onTrayEvent(3);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "确认要退出程序？");
    EXPECT_FALSE(exitCode_.has_value());

    ui::clearDialogScript();
    shell::onTrayEvent(4);  // no such action: nothing
    EXPECT_TRUE(ui::shownDialogs().empty());
    EXPECT_TRUE(mainShown());
}

}  // namespace
}  // namespace shelltest
