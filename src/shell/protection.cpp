#include "shell/protection.h"

#include <string>

#include "contacts/contacts_page.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"
#include "shell/globals.h"

namespace shell {

namespace ui = runtime::ui;
namespace st = runtime::store;

namespace {

constexpr const char* kMain = "MainWindow";

struct StoreProvider {
    const char* store;
    const char* provider;  // empty: the memo store has no table view
};
constexpr StoreProvider kStores[] = {
    {"rz35", "数据库提供者_日志"}, {"tx35", "数据库提供者_事项"}, {"bw35", ""}, {"lxr35", "数据库提供者_联系人"}};

// A store that is not open cannot be selected, and the current table is then another store's:
// it must not get this store's password, so such a store counts as refusing it.
bool setStorePassword(const StoreProvider& s, const std::string& password) {
    return st::selectDatabase(s.store) && st::setDatabasePassword(password);
}

void setProviderPassword(const StoreProvider& s, const std::string& password) {
    if (*s.provider) ui::setProperty(kMain, s.provider, "password", password);
}

void showState(bool protectedNow) {
    ui::setBool(kMain, "选择框_加密", "checked", protectedNow);
    ui::setText(kMain, "标签_加密状态", protectedNow ? "已加密" : "未加密");
}

}  // namespace

void setPasswordOnAllTables() {
    int taken = 0;
    for (const StoreProvider& s : kStores) {
        if (!setStorePassword(s, databasePassword)) break;
        ++taken;
        setProviderPassword(s, databasePassword);
    }
    if (taken == 4) {
        ui::showMessageBox("数据库加密成功", ui::kMbIconInfo, "信息！");
        return;
    }
    // Stores left half protected would lock the user out at the next start, which asks the
    // diary file alone: the stores that took the password give it up again. A provider follows
    // its file, so one whose store keeps the password keeps it too.
    for (int i = 0; i < taken; ++i) {
        if (setStorePassword(kStores[i], std::string())) setProviderPassword(kStores[i], std::string());
    }
    st::selectDatabase("lxr35");
    showState(false);
    ui::showMessageBox("数据库加密失败！", ui::kMbIconInfo, "信息！");
}

void onEncryptCheckClicked() {
    bool checked = ui::getBool(kMain, "选择框_加密", "checked");
    std::string label = ui::getText(kMain, "标签_加密状态");
    if (checked && label == "未加密") {
        if (!ui::showInputBox("请输入密码：", "对数据库进行加密", "", databasePassword)) {
            ui::setBool(kMain, "选择框_加密", "checked", false);
            return;
        }
        if (databasePassword.empty()) {
            ui::showMessageBox("密码为空，数据库不会被加密", ui::kMbIconInfo, "信息！");
            ui::setBool(kMain, "选择框_加密", "checked", false);
            return;
        }
        ui::setText(kMain, "标签_加密状态", "已加密");
        // The letter groups' plain copies of the contacts must not outlive the protection.
        contacts::deleteLetterGroupTables();
        setPasswordOnAllTables();
    } else if (!checked && label == "已加密") {
        if (ui::showMessageBox("确定取消数据库加密？", ui::kMbOkCancel, "询问？") != ui::kIdOk) {
            ui::setBool(kMain, "选择框_加密", "checked", true);
            return;
        }
        // The results are not looked at: every provider is told the stores are open now.
        for (const StoreProvider& s : kStores) {
            setStorePassword(s, std::string());
            setProviderPassword(s, std::string());
        }
        ui::showMessageBox("数据库已经取消加密！", ui::kMbIconInfo, "信息！");
        ui::setText(kMain, "标签_加密状态", "未加密");
    }
}

}  // namespace shell
