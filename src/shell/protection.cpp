#include "shell/protection.h"

#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace shell {

namespace ui = runtime::ui;
namespace st = runtime::store;

namespace {

constexpr const char* kMain = "MainWindow";

struct StoreProvider {
    const char* store;
    const char* provider;  // empty: the memo store has no table view
};
constexpr StoreProvider kStores[] = {{"rz35", "数据库提供者_日志"},
                                     {"tx35", "数据库提供者_事项"},
                                     {"bw35", ""},
                                     {"lxr35", "数据库提供者_联系人"}};

// The stores change their password in one all-or-nothing step: the next start asks the diary
// file alone, so stores left some protected and some not would lock the user out.
std::vector<std::string> storeNames() {
    std::vector<std::string> names;
    for (const StoreProvider& s : kStores) names.emplace_back(s.store);
    return names;
}

void setProviderPassword(const StoreProvider& s, const std::string& password) {
    if (*s.provider) ui::setProperty(kMain, s.provider, "password", password);
}

void showState(bool protectedNow) {
    ui::setBool(kMain, "选择框_加密", "checked", protectedNow);
    ui::setText(kMain, "标签_加密状态", protectedNow ? "已加密" : "未加密");
}

std::function<void()>& beforeProtecting() {
    static std::function<void()> step;
    return step;
}

}  // namespace

void registerBeforeProtecting(std::function<void()> step) { beforeProtecting() = std::move(step); }

void setPasswordOnAllTables() {
    // A store that is not open refuses, and then none of the four takes the password.
    const bool taken = st::setDatabasePasswordOnTables(storeNames(), core::databasePassword);
    st::selectDatabase("lxr35");
    if (taken) {
        for (const StoreProvider& s : kStores) setProviderPassword(s, core::databasePassword);
        ui::showMessageBox("数据库加密成功", ui::kMbIconInfo, "信息！");
        return;
    }
    showState(false);
    ui::showMessageBox("数据库加密失败！", ui::kMbIconInfo, "信息！");
}

void onEncryptCheckClicked() {
    bool checked = ui::getBool(kMain, "选择框_加密", "checked");
    std::string label = ui::getText(kMain, "标签_加密状态");
    if (checked && label == "未加密") {
        if (!ui::showInputBox("请输入密码：", "对数据库进行加密", "", core::databasePassword)) {
            ui::setBool(kMain, "选择框_加密", "checked", false);
            return;
        }
        if (core::databasePassword.empty()) {
            ui::showMessageBox("密码为空，数据库不会被加密", ui::kMbIconInfo, "信息！");
            ui::setBool(kMain, "选择框_加密", "checked", false);
            return;
        }
        ui::setText(kMain, "标签_加密状态", "已加密");
        if (beforeProtecting()) beforeProtecting()();
        setPasswordOnAllTables();
    } else if (!checked && label == "已加密") {
        if (ui::showMessageBox("确定取消数据库加密？", ui::kMbOkCancel, "询问？") != ui::kIdOk) {
            ui::setBool(kMain, "选择框_加密", "checked", true);
            return;
        }
        // The results are not looked at: the stores that are open give up the password together,
        // and every provider is told the stores are open now.
        std::vector<std::string> open;
        for (const std::string& name : storeNames()) {
            if (st::findOpenTable(name)) open.push_back(name);
        }
        st::setDatabasePasswordOnTables(open, std::string());
        st::selectDatabase("lxr35");
        for (const StoreProvider& s : kStores) setProviderPassword(s, std::string());
        ui::showMessageBox("数据库已经取消加密！", ui::kMbIconInfo, "信息！");
        ui::setText(kMain, "标签_加密状态", "未加密");
    }
}

}  // namespace shell
