// Protecting and unprotecting the four stores from the settings page.
#include "runtime/store/store.h"
#include "shell/protection.h"
#include "shell_fixture.h"

namespace shelltest {
namespace {

class Protection : public ShellTest {
protected:
    void tick(bool on) {
        ui::setBool(kMain, "选择框_加密", "checked", on);
        shell::onEncryptCheckClicked();
    }
};

TEST_F(Protection, ProtectsAllFourAndTheNextStartAsks) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushInputBoxAnswer(true, "pw1");
    tick(true);
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().text, "数据库加密成功");
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "已加密");
    EXPECT_EQ(st::currentTable(), st::findOpenTable("lxr35"));
    for (const char* s : {"rz35", "tx35", "bw35", "lxr35"})
        EXPECT_TRUE(st::isDatabaseEncrypted(path("/data/") + s + ".edb")) << s;
    EXPECT_EQ(std::get<std::string>(ui::getProperty(kMain, "数据库提供者_日志", "password")), "pw1");
}

TEST_F(Protection, EmptyPasswordOrCancelChangesNothing) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushInputBoxAnswer(true, "");
    tick(true);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "密码为空，数据库不会被加密");
    EXPECT_FALSE(ui::getBool(kMain, "选择框_加密", "checked"));
    ui::pushInputBoxAnswer(false, "ignored");
    tick(true);
    EXPECT_FALSE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_FALSE(st::isDatabaseEncrypted(path("/data/rz35.edb")));
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
}

TEST_F(Protection, RemovingAsksAndCancelKeepsProtection) {
    ASSERT_TRUE(start());
    ui::pushInputBoxAnswer(true, "pw1");
    tick(true);
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    tick(false);
    EXPECT_TRUE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_TRUE(st::isDatabaseEncrypted(path("/data/tx35.edb")));

    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdOk);
    tick(false);
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].text, "确定取消数据库加密？");
    EXPECT_EQ(messages()[1].text, "数据库已经取消加密！");
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
    for (const char* s : {"rz35", "tx35", "bw35", "lxr35"})
        EXPECT_FALSE(st::isDatabaseEncrypted(path("/data/") + s + ".edb")) << s;
}

TEST_F(Protection, MismatchedStateDoesNothing) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::setText(kMain, "标签_加密状态", "已加密");
    tick(true);
    EXPECT_TRUE(ui::shownDialogs().empty());
}

}  // namespace
}  // namespace shelltest
