// Protecting and unprotecting the four stores from the settings page.
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>

#include <filesystem>

#include "runtime/base/text.h"
#include "runtime/store/store.h"
#include "shell/protection.h"
#include "support/shell_fixture.h"

namespace shelltest {
namespace {

const char* const kProviders[] = {"数据库提供者_日志", "数据库提供者_事项", "数据库提供者_联系人"};

class Protection : public ShellTest {
protected:
    void tick(bool on) {
        ui::setBool(kMain, "选择框_加密", "checked", on);
        shell::onEncryptCheckClicked();
    }
    // A provider's password, or a marker when the property holds no text.
    static std::string providerPassword(const char* provider) {
        ui::Value v = ui::getProperty(kMain, provider, "password");
        const std::string* text = std::get_if<std::string>(&v);
        return text ? *text : "<no text>";
    }
    bool encrypted(const char* store) const {
        return st::isDatabaseEncrypted(path("/data/") + store + ".edb");
    }
    // A store that is no longer open is one that cannot take a password change.
    static void closeStore(const char* store) {
        ASSERT_TRUE(st::selectDatabase(store));
        ASSERT_TRUE(st::closeDatabase());
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
    for (const char* provider : kProviders) EXPECT_EQ(providerPassword(provider), "pw1") << provider;
    ASSERT_EQ(ui::shownDialogs().size(), 2u);
    EXPECT_EQ(ui::shownDialogs()[0].text, "请输入密码：");
    EXPECT_EQ(ui::shownDialogs()[0].title, "对数据库进行加密");
    EXPECT_EQ(ui::shownDialogs()[0].flags, 0);  // shown as typed, not masked
    EXPECT_EQ(messages().back().title, "信息！");
    EXPECT_EQ(messages().back().flags, 64);
}

int contactRowsShown();

// Whether any file under `folder` holds `bytes`.
bool anyFileHolds(const std::string& folder, const std::string& bytes) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() &&
            runtime::readFile(entry.path().string()).find(bytes) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST_F(Protection, NoContactBytesAreLeftInPlainInTheTemporaryOrDataFolder) {
    ASSERT_TRUE(start());
    const std::string name = "白云飞", phone = "13912345678";
    addContact(name, phone, "老同学");
    contacts::filterContactsAD();  // a plain copy, on show
    contacts::filterContactsUZ();  // none matches: an empty copy
    contacts::filterContactsAD();
    const std::string temp = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    ASSERT_TRUE(anyFileHolds(temp, phone));
    ui::clearDialogScript();
    ui::pushInputBoxAnswer(true, "pw1");
    tick(true);
    ASSERT_EQ(messages().back().text, "数据库加密成功");
    for (const std::string& bytes : {name, runtime::utf8ToGb18030(name), phone}) {
        EXPECT_FALSE(anyFileHolds(temp, bytes)) << bytes;
        EXPECT_FALSE(anyFileHolds(path("/data"), bytes)) << bytes;
    }
    EXPECT_TRUE(contacts::isWholeContactListShown());
    EXPECT_EQ(contactRowsShown(), 1);
    // The next press of a letter button makes the copy again, sealed like its store.
    contacts::filterContactsAD();
    EXPECT_TRUE(st::isDatabaseEncrypted(temp + "ad.edb"));
    EXPECT_FALSE(anyFileHolds(temp, phone));
    EXPECT_EQ(contactRowsShown(), 1);
}

TEST_F(Protection, AStoreThatRefusesUndoesTheOthersAndShowsUnprotected) {
    ASSERT_TRUE(start());
    closeStore("tx35");
    ui::clearDialogScript();
    ui::pushInputBoxAnswer(true, "pw1");
    tick(true);
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().text, "数据库加密失败！");
    EXPECT_EQ(messages().back().title, "信息！");
    EXPECT_EQ(messages().back().flags, 64);
    // No store is left protected, not even the diary that took the password first.
    for (const char* s : {"rz35", "tx35", "bw35", "lxr35"}) EXPECT_FALSE(encrypted(s)) << s;
    for (const char* provider : kProviders) EXPECT_EQ(providerPassword(provider), "") << provider;
    EXPECT_FALSE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
    EXPECT_EQ(st::currentTable(), st::findOpenTable("lxr35"));
}

TEST_F(Protection, RemovingEmptiesEveryProviderWithoutLookingAtTheStores) {
    ASSERT_TRUE(start());
    ui::pushInputBoxAnswer(true, "pw1");
    tick(true);
    ASSERT_TRUE(encrypted("rz35"));
    closeStore("rz35");
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdOk);
    tick(false);
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "数据库已经取消加密！");
    EXPECT_EQ(messages()[1].title, "信息！");
    EXPECT_EQ(messages()[1].flags, 64);
    EXPECT_EQ(messages()[0].title, "询问？");
    EXPECT_EQ(messages()[0].flags, 1);
    for (const char* provider : kProviders) EXPECT_EQ(providerPassword(provider), "") << provider;
    for (const char* s : {"tx35", "bw35", "lxr35"}) EXPECT_FALSE(encrypted(s)) << s;
    EXPECT_TRUE(encrypted("rz35"));  // it could not be reached
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
    EXPECT_EQ(st::currentTable(), st::findOpenTable("lxr35"));
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

// The rows the contacts table view shows.
int contactRowsShown() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() != QString::fromUtf8(kMain)) continue;
        QWidget* view = top->findChild<QWidget*>(QString::fromUtf8("表格_人脉"));
        auto* items = view ? (qobject_cast<QAbstractItemView*>(view) ? qobject_cast<QAbstractItemView*>(view)
                                                                     : view->findChild<QAbstractItemView*>())
                           : nullptr;
        return items && items->model() ? items->model()->rowCount() : -1;
    }
    return -1;
}

TEST_F(Protection, ProtectedHereTheNextStartAsksAndOpensWithThePassword) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(st::selectDatabase("lxr35"));
    ASSERT_TRUE(st::addRecord(
        {st::Value{std::string("张三")}, st::Value{std::string("123")}, st::Value{std::string("")}}));
    ui::pushInputBoxAnswer(true, "pw1");
    tick(true);
    EXPECT_EQ(contactRowsShown(), 1);  // the view keeps showing its store

    ui::resetForTesting();
    st::closeAllDatabases();
    ui::setEndProgramHook([this](int code) { exitCode_ = code; });
    const std::string run = makeTempFolder("qb_shell_run_again");
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);  // a new process, in effect
    ui::pushInputBoxAnswer(true, "pw1");
    ASSERT_TRUE(start());
    std::vector<ui::ShownDialog> shown = ui::shownDialogs();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].kind, ui::DialogKind::InputBox);
    EXPECT_EQ(shown[0].flags, 4);  // masked
    EXPECT_TRUE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "已加密");
    EXPECT_EQ(contactRowsShown(), 1);

    ui::pushMessageBoxAnswer(ui::kIdOk);
    tick(false);
    EXPECT_EQ(contactRowsShown(), 1);
    std::filesystem::remove_all(run);
}

}  // namespace
}  // namespace shelltest
