#include "core/opening.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <optional>
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
constexpr const char* kDataFiles[] = {"rz35.edb", "rz35.edt", "tx35.edb",
                                      "bw35.edb", "bw35.edt", "lxr35.edb"};

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

// What a data file holds for the user, and what it means when a blank one takes its place.
struct DataFile {
    const char* file;
    const char* what;
    const char* blankMeans;
};
constexpr DataFile kMeanings[] = {
    {"rz35.edb", "日志数据库", "以前写的日志在本程序中看不到了"},
    {"rz35.edt", "日志的文字文件", "各天的日志仍然列出，但都没有文字"},
    {"tx35.edb", "周期事项数据库", "以前的周期事项看不到了"},
    {"bw35.edb", "备忘数据库", "备忘便签是空的"},
    {"bw35.edt", "备忘的文字文件", "备忘便签的文字看不到了"},
    {"lxr35.edb", "联系人数据库", "以前的联系人看不到了"},
};

const DataFile& meaningOf(std::string_view file) {
    for (const DataFile& d : kMeanings) {
        if (d.file == file) return d;
    }
    return kMeanings[0];
}

// The start so far, in the order of kProviders: what each store file answered when asked whether
// it is protected, and which stores got a blank table file at this start (missing, or put in
// place of a damaged one). A blank store has no protection of its own: it takes the others'.
struct Start {
    bool answered[4] = {};
    bool protectedFile[4] = {};
    bool blank[4] = {};
    // One line per file made anew or moved aside, for the one warning at the end of opening.
    std::vector<std::string> notes;
};
Start start;

std::size_t indexOf(std::string_view store) {
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        if (kProviders[i].store == store) return i;
    }
    return 0;
}

// "日志（rz35.edb）" for a store of kProviders.
std::string storeLabel(const Provider& p) { return std::string(p.title) + "（" + p.store + ".edb）"; }

std::string fileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Anything under that name, a link included; -1 for nothing, else its size.
long long sizeAt(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
bool pathExists(const std::string& path) { return sizeAt(path) >= 0; }

// A name nothing bears yet: "<path>.<why>-<date>-<time>", then "-2", "-3" ... within the second.
// Its journal's name must be free too, so that the two stay a pair.
std::string asideName(const std::string& path, const char* why) {
    const runtime::CivilTime now = runtime::toCivil(runtime::getCurrentDateTime());
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "-%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    const std::string base = path + "." + why + stamp;
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
// into it). It is moved aside and the move noted.
void moveOrphanJournal(const std::string& path, const Provider& store) {
    if (pathExists(path)) return;
    for (const char* side : kSideFiles) {
        const std::string journal = path + side;
        if (sizeAt(journal) <= 0) continue;
        const std::string aside = asideName(journal, "orphan");
        if (aside.empty() || !runtime::moveFileNoReplace(journal, aside)) continue;
        start.notes.push_back(storeLabel(store) + "：" + fileName(path) + " 留下的未写完的改动（" +
                              fileName(journal) + "）已改名保存为：" + aside + "。");
    }
}

// Moves the file aside under a dated name, never deleting it, with its journal or log when that
// holds a write (renamed with it, it stays its own); answers the new name, empty when it stayed.
// An empty journal holds nothing and serves the file that takes the name.
std::string moveAside(const std::string& path, const char* why) {
    const std::string aside = asideName(path, why);
    if (aside.empty()) return {};
    // The journal first: should the move stop between the two, the file is still found where it
    // was at the next start, and its journal no longer lies in a new file's way.
    for (const char* side : kSideFiles) {
        if (sizeAt(path + side) > 0) runtime::moveFileNoReplace(path + side, aside + side);
    }
    return runtime::moveFileNoReplace(path, aside) ? aside : std::string();
}

// The companion of a missing table no longer matches any table: a new table beside it could
// never open. It is moved aside and the move noted.
void moveCompanionAside(const std::string& tablePath, const Provider& store) {
    const std::string edt = tablePath.substr(0, tablePath.size() - 4) + ".edt";
    if (!runtime::fileExists(edt)) return;
    const std::string aside = moveAside(edt, "orphan");
    if (aside.empty()) return;
    start.notes.push_back(storeLabel(store) + "：原来的" + meaningOf(fileName(edt)).what +
                          "与新建的数据库不配套，已改名保存为：" + aside + "。");
}

bool isDataFile(std::string_view file) {
    return std::find(std::begin(kDataFiles), std::end(kDataFiles), file) != std::end(kDataFiles);
}

// Writes the file's template where it is missing; a table file's companion that lost its table
// goes aside first. Answers whether the file was written.
bool writeMissing(std::string_view file) {
    const std::string path = programPath("/data/") + std::string(file);
    if (runtime::fileExists(path)) return false;
    const Provider& store = kProviders[indexOf(file.substr(0, file.size() - 4))];
    if (file.ends_with(".edb")) {
        moveCompanionAside(path, store);
        start.blank[indexOf(store.store)] = true;
    }
    moveOrphanJournal(path, store);
    return writeTemplate(file, path);
}

// Why a store did not open: the failure, the file it was about, the reason in words.
struct Failure {
    st::OpenFailure why = st::OpenFailure::None;
    std::string file, reason;
};

[[noreturn]] void endAfter(const std::string& text, int flags, const char* title) {
    ui::showMessageBox(text, flags, title);
    ui::endProgram(0);
}

// The damaged file of a store goes aside with its side files, a blank one from the template
// takes its place (and a blank companion, when the table file went), and the store is opened
// again. Each move is noted with what it means.
void replaceDamaged(std::size_t i, const Failure& failure, std::optional<std::string_view> password) {
    const Provider& store = kProviders[i];
    const std::string file = fileName(failure.file);
    const std::string aside = moveAside(failure.file, "damaged");
    if (aside.empty()) endAfter("数据库打开失败！\n" + failure.reason, ui::kMbIconError, "错误！");
    const DataFile& meaning = meaningOf(file);
    start.notes.push_back(storeLabel(store) + "：已损坏的" + meaning.what + " " + file + " 已改名保存为：" +
                          aside + "；换上了新建的空白文件：" + meaning.blankMeans + "。");
    // A new table file makes the old companion useless: writeMissing moves it aside first.
    writeMissing(std::string(store.store) + ".edb");
    if (isDataFile(std::string(store.store) + ".edt")) writeMissing(std::string(store.store) + ".edt");
    if (!st::openDatabase(storeFile(store.store), password)) {
        endAfter("数据库打开失败！\n" + st::lastError(), ui::kMbIconError, "错误！");
    }
}

// Opens the four stores, each as its file requires (a password given for an unprotected file is
// ignored), and settles every failure:
//
//   failure                                    outcome
//   wrong or no password, and no store         "密码错误！", the end
//     passed its key check with it
//   wrong password where another store         damaged: the key check of this file fails where
//     passed its key check with it             the right password passes the others'
//   damaged file                               named with the reason; the user goes on without
//                                              it (replaceDamaged) or ends
//   missing file, or anything else             "数据库打开失败！" with the reason, the end
//
// Then the blank stores take the others' protection, a pack that a crash interrupted is completed
// (no record marked deleted is ever shown, searched or exported), and the one warning names every
// file made anew or moved aside.
void openStores(std::optional<std::string_view> password) {
    Failure failures[4];
    bool keyPassed = false;
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        if (st::openDatabase(storeFile(kProviders[i].store), password)) {
            keyPassed = keyPassed || st::isDatabaseEncrypted(storeFile(kProviders[i].store));
            continue;
        }
        failures[i] = {st::lastOpenFailure(), st::lastOpenFailureFile(), st::lastError()};
    }
    std::string damagedList;
    for (Failure& f : failures) {
        const bool passwordFailed =
            f.why == st::OpenFailure::WrongPassword || f.why == st::OpenFailure::PasswordNeeded;
        if (passwordFailed && !keyPassed) endAfter("密码错误！", ui::kMbIconInfo, "信息！");
        if (passwordFailed) {
            f.why = st::OpenFailure::Damaged;
            f.reason = "用能打开其他数据库的密码也打不开，文件可能已损坏：" + f.file;
        }
    }
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        const Failure& f = failures[i];
        if (f.why == st::OpenFailure::None) continue;
        if (f.why != st::OpenFailure::Damaged)
            endAfter("数据库打开失败！\n" + f.reason, ui::kMbIconError, "错误！");
        damagedList += "\n" + storeLabel(kProviders[i]) + "：" + f.reason;
    }
    if (!damagedList.empty()) {
        const std::string question =
            "数据库打开失败！" + damagedList +
            "\n\n选择“确定”：不用损坏的文件，继续启动。损坏的文件改名保存（不会删除），换上新建的空白文件，"
            "其他数据库照常打开。\n选择“取消”：退出程序。";
        if (ui::showMessageBox(question, ui::kMbIconError | ui::kMbOkCancel, "错误！") != ui::kIdOk) {
            ui::endProgram(0);
        }
        for (std::size_t i = 0; i < std::size(kProviders); ++i) {
            if (failures[i].why != st::OpenFailure::None) replaceDamaged(i, failures[i], password);
        }
    }
    std::vector<std::string> blank;
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        if (start.blank[i]) blank.emplace_back(kProviders[i].store);
    }
    if (encryptedFlag && password && !blank.empty() && !st::setDatabasePasswordOnTables(blank, *password)) {
        start.notes.push_back("新建的空数据库未能加密：" + st::lastError());
    }
    for (const Provider& p : kProviders) {
        st::selectDatabase(p.store);
        st::packDatabase();
        if (*p.provider && password && st::isDatabaseEncrypted(storeFile(p.store))) {
            ui::setProperty("MainWindow", p.provider, "password", std::string(*password));
        }
    }
    if (start.notes.empty()) return;
    std::string text = "数据文件有缺失或损坏，程序已作如下处理：";
    for (const std::string& note : start.notes) text += "\n" + note;
    ui::showMessageBox(text + "\n原来的文件都没有删除。", ui::kMbIconWarning, "警告！");
}

}  // namespace

void closeAllTables() {
    for (const char* name : kStoreNames) {
        if (st::selectDatabase(name)) st::closeDatabase();
    }
}

void createMissingDataFiles() {
    start = {};
    // The folder and every file in it are the user's alone, whatever an older build left.
    const std::string data = programPath("/data");
    runtime::makeFolderPrivate(data);
    runtime::makeFilesPrivate(data);
    // On the first start every file is missing, and that needs no word.
    bool firstStart = true;
    for (const char* file : kDataFiles) firstStart = firstStart && !runtime::fileExists(data + "/" + file);
    for (const char* file : kDataFiles) {
        const std::string_view name = file;
        const std::size_t store = indexOf(name.substr(0, name.size() - 4));
        // A companion written next to a new table file is part of that table's news.
        const bool newTable = name.ends_with(".edt") && start.blank[store];
        if (!writeMissing(name) || firstStart || newTable) continue;
        const DataFile& meaning = meaningOf(name);
        start.notes.push_back(storeLabel(kProviders[store]) + "：找不到" + meaning.what + " " + file +
                              "，已新建空白文件：" + meaning.blankMeans + "。");
    }
}

void detectEncryption() {
    // The stores with files of their own decide; a blank one, or one that cannot tell, takes their
    // state. Only when they disagree among themselves is the state mixed.
    bool anyProtected = false, anyOpen = false;
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        if (start.blank[i]) continue;
        const bool answer = st::isDatabaseEncrypted(storeFile(kProviders[i].store));
        start.answered[i] = st::lastOpenFailure() == st::OpenFailure::None;
        start.protectedFile[i] = answer;
        if (start.answered[i]) (answer ? anyProtected : anyOpen) = true;
    }
    encryptedFlag = anyProtected && !anyOpen;
}

bool storesDisagreeOnProtection() {
    bool anyProtected = false, anyOpen = false;
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        if (start.answered[i]) (start.protectedFile[i] ? anyProtected : anyOpen) = true;
    }
    return anyProtected && anyOpen;
}

void openTablesOfMixedProtection() {
    ui::showInputBox("数据库已加密，请输入密码：", "打开数据库", "", startupPassword, 4);
    openStores(std::string_view(startupPassword));
    std::string sealed, open;
    for (std::size_t i = 0; i < std::size(kProviders); ++i) {
        if (!start.answered[i]) continue;
        std::string& list = start.protectedFile[i] ? sealed : open;
        list += (list.empty() ? "" : "、") + storeLabel(kProviders[i]);
    }
    ui::showMessageBox(
        "各数据库的加密状态不一致：\n已加密：" + sealed + "\n未加密：" + open +
            "\n这通常是更改密码时程序被中断所致。数据已全部打开；请在设置页勾选“为数据库加密”，"
            "为全部数据库重新设置密码。",
        ui::kMbIconWarning, "警告！");
}

void openTablesWithPassword() {
    // The answer is not looked at: after Cancel the password stays empty and the open fails.
    ui::showInputBox("数据库已加密，请输入密码：", "打开数据库", "", startupPassword, 4);
    openStores(std::string_view(startupPassword));
}

void openTables() { openStores(std::nullopt); }

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
