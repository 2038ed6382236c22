#include "core/opening.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/stores.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace core {

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
    const char* title;     // how the user knows the store
};
constexpr Provider kProviders[] = {{"rz35", "数据库提供者_日志", "日志"},
                                   {"tx35", "数据库提供者_事项", "周期事项"},
                                   {"bw35", "", "备忘"},
                                   {"lxr35", "数据库提供者_联系人", "联系人"}};

std::string storeFile(std::string_view store) { return programPath("/data/" + std::string(store) + ".edb"); }

// What each store file answered when asked whether it is protected, in the order of kProviders.
// A missing or damaged file answers no; its open fails and says so.
bool storeProtected[4] = {};

// "日志（rz35.edb）" for a store of kProviders.
std::string storeLabel(const Provider& p) { return std::string(p.title) + "（" + p.store + ".edb）"; }

const Provider& providerOf(std::string_view store) {
    for (const Provider& p : kProviders) {
        if (p.store == store) return p;
    }
    return kProviders[0];
}

// Anything under that name, a link included; -1 for nothing, else its size.
long long sizeAt(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
bool pathExists(const std::string& path) { return sizeAt(path) >= 0; }

// A name nothing bears yet: "<path>.orphan-<date>-<time>", then "-2", "-3" ... within the second.
// Its journal's name must be free too, so that the two stay a pair.
std::string orphanName(const std::string& path) {
    const runtime::CivilTime now = runtime::toCivil(runtime::getCurrentDateTime());
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".orphan-%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    const std::string base = path + stamp;
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        if (!pathExists(name) && !pathExists(name + "-journal") && !pathExists(name + "-wal")) return name;
    }
    return {};
}

// What SQLite keeps beside a file: the undo of a write that never finished, or the log of
// committed writes not yet copied into the file. Either, when not empty, belongs to that file.
constexpr const char* kSideFiles[] = {"-journal", "-wal"};

// A file's journal or log that is not empty belongs to it alone; with the file gone it must not
// meet a new file of that name, which would take it for its own (a log would even be replayed
// into it).
void moveOrphanJournal(const std::string& path) {
    if (pathExists(path)) return;
    for (const char* side : kSideFiles) {
        const std::string journal = path + side;
        if (sizeAt(journal) <= 0) continue;
        const std::string aside = orphanName(journal);
        if (!aside.empty()) runtime::moveFileNoReplace(journal, aside);
    }
}

// The companion of a missing table no longer matches any table: a new table beside it could
// never open. It is moved aside, never deleted, with its journal or log when that holds a write
// (renamed with it, it stays its own), and its new name is answered; empty when there
// was none to move or it stayed. An empty journal holds nothing and serves the new companion.
std::string moveCompanionAside(const std::string& tablePath) {
    const std::string edt = tablePath.substr(0, tablePath.size() - 4) + ".edt";
    if (!runtime::fileExists(edt)) return {};
    const std::string aside = orphanName(edt);
    if (aside.empty()) return {};
    // The journal first: should the move stop between the two, the companion is still found
    // without a table at the next start, and its journal no longer lies in a new companion's way.
    for (const char* side : kSideFiles) {
        if (sizeAt(edt + side) > 0) runtime::moveFileNoReplace(edt + side, aside + side);
    }
    return runtime::moveFileNoReplace(edt, aside) ? aside : std::string();
}

}  // namespace

void closeAllTables() {
    for (const char* name : kStoreNames) {
        if (st::selectDatabase(name)) st::closeDatabase();
    }
}

void createMissingDataFiles() {
    runtime::createDirectory(programPath("/data"));
    std::string movedAside;  // one line per companion moved aside
    for (const char* file : kDataFiles) {
        const std::string_view name = file;
        std::string path = programPath("/data/") + file;
        if (runtime::fileExists(path)) continue;
        if (name.ends_with(".edb")) {
            const std::string aside = moveCompanionAside(path);
            const Provider& store = providerOf(name.substr(0, name.size() - 4));
            if (!aside.empty()) movedAside += "\n" + storeLabel(store) + "：" + aside;
        }
        moveOrphanJournal(path);
        writeTemplate(file, path);
    }
    if (movedAside.empty()) return;
    ui::showMessageBox("找不到数据库的表文件，原来的备注文件已无法使用。备注文件没有删除，已改名保存为：" + movedAside +
                           "\n程序已新建空的数据库，可以继续使用。",
                       ui::kMbIconWarning, "警告！");
}

void detectEncryption() {
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        storeProtected[i] = st::isDatabaseEncrypted(storeFile(kProviders[i].store));
    }
    encryptedFlag = storeProtected[0];
}

bool storesDisagreeOnProtection() {
    for (bool answer : storeProtected) {
        if (answer != storeProtected[0]) return true;
    }
    return false;
}

void openTablesOfMixedProtection() {
    ui::showInputBox("数据库已加密，请输入密码：", "打开数据库", "", startupPassword, 4);
    std::string sealed, open;
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        const Provider& p = kProviders[i];
        if (!storeProtected[i]) {
            if (!st::openDatabase(storeFile(p.store))) {
                ui::showMessageBox("数据库打开失败！\n" + st::lastError(), ui::kMbIconError, "错误！");
                ui::endProgram(0);
            }
            open += (open.empty() ? "" : "、") + storeLabel(p);
            continue;
        }
        if (!st::openDatabase(storeFile(p.store), std::string_view(startupPassword))) {
            ui::showMessageBox("密码错误！", ui::kMbIconInfo, "信息！");
            ui::endProgram(0);
        }
        if (*p.provider) ui::setProperty("MainWindow", p.provider, "password", startupPassword);
        sealed += (sealed.empty() ? "" : "、") + storeLabel(p);
    }
    ui::showMessageBox("各数据库的加密状态不一致：\n已加密：" + sealed + "\n未加密：" + open +
                           "\n这通常是更改密码时程序被中断所致。数据已全部打开；请在设置页勾选“为数据库加密”，"
                           "为全部数据库重新设置密码。",
                       ui::kMbIconWarning, "警告！");
}

void openTablesWithPassword() {
    // The answer is not looked at: after Cancel the password stays empty and the open fails.
    ui::showInputBox("数据库已加密，请输入密码：", "打开数据库", "", startupPassword, 4);
    for (const Provider& p : kProviders) {
        if (!st::openDatabase(storeFile(p.store), std::string_view(startupPassword))) {
            ui::showMessageBox("密码错误！", ui::kMbIconInfo, "信息！");
            ui::endProgram(0);
        }
        if (*p.provider) ui::setProperty("MainWindow", p.provider, "password", startupPassword);
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

}  // namespace core
