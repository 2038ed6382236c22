// The hotkey's capture, display text and registration.
#include "runtime/base/ini.h"
#include "shell/hotkey.h"
#include "shell_fixture.h"

namespace shelltest {
namespace {

class HotkeyText : public ::testing::Test {
protected:
    void SetUp() override { shell::hotkeyDisplayText.clear(); }
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
    shell::hotkeyDisplayText.clear();
    EXPECT_EQ(down(16, 1), "Ctrl + ");          // Ctrl held, then Shift
    EXPECT_EQ(down(116, 3), "Ctrl + Shift + F5");
    shell::hotkeyDisplayText.clear();
    EXPECT_EQ(down(32, 4), "Alt + 空格");
}

TEST_F(HotkeyText, KeysWithoutNameAndPlainKeys) {
    EXPECT_EQ(down(17, 0), "Ctrl + ");
    EXPECT_EQ(down(36, 1), "Ctrl + ");  // Home has no name
    EXPECT_EQ(shell::finishHotkeyText(), "无");
    EXPECT_EQ(down(36, 0), "");
    EXPECT_EQ(down(65, 1), "Ctrl + A");
    EXPECT_EQ(down(66, 0), "B");         // a named key alone after a complete combination
    shell::hotkeyDisplayText = "Alt + ";
    EXPECT_EQ(down(67, 0), "Alt + C");   // the prefix's key-up went elsewhere
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
    int first = shell::hotkeyId;
    shell::hotkeyModifiers = 1;
    shell::hotkeyKeyCode = 65;
    ui::setText(kMain, "编辑框_热键1", "Ctrl + A");
    ui::clearDialogScript();
    shell::onRegisterHotkey();
    // The offscreen platform has no X server: the system refuses, so no message.
    EXPECT_EQ(shell::hotkeyId, 0);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "全局热键", "呼出热键"), "Ctrl + A");
    (void)first;
}

}  // namespace
}  // namespace shelltest
