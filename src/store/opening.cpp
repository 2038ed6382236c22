#include "store/opening.h"

#include <string>

#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"
#include "shell/globals.h"
#include "store/schemas.h"

namespace stores {

namespace ui = runtime::ui;
namespace st = runtime::store;

namespace {

constexpr const char* kStoreNames[] = {"rz35", "tx35", "bw35", "lxr35"};

// The six files in the order they are written; a missing companion is written next to an
// existing table file, and an existing file is never touched, whatever its content.
constexpr const char* kDataFiles[] = {"rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"};

struct Provider {
    const char* store;
    const char* provider;  // empty: the store has no table view
};
constexpr Provider kProviders[] = {
    {"rz35", "数据库提供者_日志"}, {"tx35", "数据库提供者_事项"}, {"bw35", ""}, {"lxr35", "数据库提供者_联系人"}};

std::string storeFile(std::string_view store) { return shell::programPath("/data/" + std::string(store) + ".edb"); }

}  // namespace

void closeAllTables() {
    for (const char* name : kStoreNames) {
        if (st::selectDatabase(name)) st::closeDatabase();
    }
}

void createMissingDataFiles() {
    runtime::createDirectory(shell::programPath("/data"));
    for (const char* file : kDataFiles) {
        std::string path = shell::programPath("/data/") + file;
        if (!runtime::fileExists(path)) writeTemplate(file, path);
    }
}

void detectEncryption() { shell::encryptedFlag = st::isDatabaseEncrypted(storeFile("rz35")); }

void openTablesWithPassword() {
    // The answer is not looked at: after Cancel the password stays empty and the open fails.
    ui::showInputBox("数据库已加密，请输入密码：", "打开数据库", "", shell::startupPassword, 4);
    for (const Provider& p : kProviders) {
        if (!st::openDatabase(storeFile(p.store), std::string_view(shell::startupPassword))) {
            ui::showMessageBox("密码错误！", ui::kMbIconInfo, "信息！");
            ui::endProgram(0);
        }
        if (*p.provider) ui::setProperty("MainWindow", p.provider, "password", shell::startupPassword);
    }
}

void openTables() {
    for (const char* name : kStoreNames) {
        if (!st::openDatabase(storeFile(name))) {
            ui::showMessageBox("数据库打开失败！", ui::kMbIconError, "错误！");
            ui::endProgram(0);
        }
    }
}

void bindDataProviders() {
    struct Binding {
        const char* provider;
        const char* source;
        const char* view;
        const char* store;
    };
    static constexpr Binding kBindings[] = {
        {"数据库提供者_日志", "数据源_日志", "表格_日志一览", "rz35"},
        {"数据库提供者_事项", "数据源_事项", "表格_周期事项一览", "tx35"},
        {"数据库提供者_联系人", "数据源_联系人", "表格_人脉", "lxr35"},
    };
    for (const Binding& b : kBindings) {
        ui::setProperty("MainWindow", b.provider, "file", storeFile(b.store));
        ui::setProperty("MainWindow", b.source, "provider", std::string(b.provider));
        ui::setProperty("MainWindow", b.view, "dataSource", std::string(b.source));
    }
}

}  // namespace stores
