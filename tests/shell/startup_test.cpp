// Start-up and end on the real main window, and the single-instance guard between real processes.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include <sqlite3.h>

#include "core/stores.h"
#include "runtime/base/ini.h"
#include "runtime/store/store.h"
#include "support/flush_counter.h"
#include "support/shell_fixture.h"

namespace shelltest {
namespace {

const char* const kSixFiles[] = {"rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"};

using Startup = ShellTest;

TEST_F(Startup, FirstStartCreatesSixFilesAndFourEmptyStores) {
    ASSERT_TRUE(start());
    for (const char* f : kSixFiles) EXPECT_TRUE(runtime::fileExists(path("/data/") + f)) << f;
    for (const char* store : {"rz35", "tx35", "bw35", "lxr35"}) {
        ASSERT_TRUE(st::selectDatabase(store)) << store;
        EXPECT_EQ(st::getRecordCount(), 0) << store;
    }
    EXPECT_FALSE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
    EXPECT_TRUE(messages().empty());
    // The providers point at the store files.
    EXPECT_EQ(std::get<std::string>(ui::getProperty(kMain, "数据库提供者_联系人", "file")),
              path("/data/lxr35.edb"));
}

// The data folder and its files are the user's alone, and so become those an older build left open.
TEST_F(Startup, TheDataFolderAndItsFilesAreTheUsersAlone) {
    const auto mode = [](const std::string& file) {
        struct stat st {};
        return ::lstat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    const auto expectPrivate = [&] {
        EXPECT_EQ(mode(path("/data")), 0700u);
        for (const auto& entry : std::filesystem::directory_iterator(path("/data"))) {
            EXPECT_EQ(mode(entry.path().string()), 0600u) << entry.path();
        }
    };
    const mode_t umask = ::umask(022);
    ASSERT_TRUE(start());
    ASSERT_TRUE(runtime::fileExists(path("/data/rz35.edt")));
    expectPrivate();

    ui::resetForTesting();
    st::closeAllDatabases();
    ASSERT_EQ(::chmod(path("/data").c_str(), 0755), 0);
    for (const auto& entry : std::filesystem::directory_iterator(path("/data"))) {
        ASSERT_EQ(::chmod(entry.path().c_str(), 0644), 0);
    }
    ASSERT_TRUE(runtime::writeFile(path("/data/notes.txt"), "kept, but closed"));
    // A new process, in effect: this process holds the lock of the first start for its life.
    const std::string secondRun = runFolder_ + "/second";
    ASSERT_TRUE(runtime::createDirectory(secondRun));
    ::chmod(secondRun.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", secondRun.c_str(), 1);
    ASSERT_TRUE(start());
    ::umask(umask);
    expectPrivate();
    EXPECT_EQ(runtime::readFile(path("/data/notes.txt")), "kept, but closed");
}

// Without a runtime folder the guard lies in the data folder, where no other user can put it first.
TEST_F(Startup, WithoutARuntimeFolderTheGuardLiesInTheDataFolder) {
    unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(start());
    EXPECT_TRUE(runtime::fileExists(path("/data/quillarborv35.lock")));
    ui::resetForTesting();
    ui::setEndProgramHook([this](int code) { programEnded(code); });
    st::closeAllDatabases();
    EXPECT_FALSE(start());  // the first start's lock is still held
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "不要重复运行本程序，否则可能损坏数据库!");
}

// A place for the guard that another user could hold for us is refused, with the reason, before
// any file is touched: a folder others may write into, or (where the test may make one) a folder
// of another user's.
TEST_F(Startup, AGuardPlaceThatIsNotTheUsersOwnIsRefused) {
    const std::string shared = runFolder_ + "/shared";
    ASSERT_TRUE(runtime::createDirectory(shared));
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    std::vector<std::string> places = {shared};
    const std::string foreign = runFolder_ + "/foreign";
    if (::geteuid() == 0) {
        ASSERT_TRUE(runtime::createDirectory(foreign));
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        places.push_back(foreign);
    }
    for (const std::string& place : places) {
        ui::resetForTesting();
        ui::setEndProgramHook([this](int code) { programEnded(code); });
        exitCode_.reset();
        setenv("XDG_RUNTIME_DIR", place.c_str(), 1);
        EXPECT_FALSE(start()) << place;
        EXPECT_EQ(exitCode_, 0);
        ASSERT_EQ(messages().size(), 1u) << place;
        EXPECT_EQ(messages()[0].title, "警告！");
        EXPECT_NE(messages()[0].text.find(place), std::string::npos) << messages()[0].text;
        EXPECT_FALSE(std::filesystem::exists(path("/data")));
    }
}

TEST_F(Startup, WithoutSettingsShowsTodayAndWritesOnlyZoomAndRowHeight) {
    ASSERT_TRUE(start());
    EXPECT_EQ(ui::getDate(kMain, "月历"), runtime::makeDate(2024, 3, 8));
    EXPECT_EQ(ui::getInt(kMain, "选择夹_左侧", "page"), 0);
    EXPECT_EQ(ui::getInt(kMain, "选择夹_视图", "page"), 1);  // week view by default
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);   // 联系人 by default
    EXPECT_TRUE(ui::getBool(kMain, "单选框_联系人", "checked"));
    EXPECT_TRUE(ui::getBool(kMain, "单选框_托盘图标", "checked"));
    EXPECT_EQ(core::minimiseMode, "0");
    EXPECT_EQ(runtime::readFile(path("/config.ini")), "[表格缩放]\n缩放比=100\n[周历行高]\n行高=33\n");
    for (const char* pic : {"jr.jpg", "zl.jpg", "bq.jpg", "lxr.jpg"}) {
        EXPECT_GT(runtime::readFile(path("/pic/") + pic).size(), 1000u) << pic;
    }
}

TEST_F(Startup, ACompanionWithoutItsTableIsMovedAsideOnceAndTheStartGoesOn) {
    ASSERT_TRUE(start());
    addDiary(runtime::makeDate(2024, 3, 1), "旧的日记");
    setMemo("旧的备忘");
    // A new process, in effect: this process holds the lock of the previous start for its life.
    int run = 0;
    const auto startAgain = [&] {
        ui::resetForTesting();
        ui::setEndProgramHook([this](int code) { programEnded(code); });
        st::closeAllDatabases();
        const std::string folder = runFolder_ + "/again" + std::to_string(++run);
        EXPECT_TRUE(runtime::createDirectory(folder));
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        return start();
    };
    // The diary's companion as a killed program leaves it: its last write still in its log.
    ASSERT_TRUE(st::selectDatabase("rz35") && st::goToRecord(1));
    ASSERT_TRUE(st::modifyRecord({std::nullopt, st::Value{std::string("旧的日记，又改过")}}));
    const std::string diaryMemos = runtime::readFile(path("/data/rz35.edt"));
    const std::string diaryLog = runtime::readFile(path("/data/rz35.edt-wal"));
    ASSERT_FALSE(diaryLog.empty());
    ui::resetForTesting();
    st::closeAllDatabases();
    ASSERT_TRUE(runtime::writeFile(path("/data/rz35.edt"), diaryMemos));
    ASSERT_TRUE(runtime::writeFile(path("/data/rz35.edt-wal"), diaryLog));
    const std::string memoMemos = runtime::readFile(path("/data/bw35.edt"));
    const std::string contacts = runtime::readFile(path("/data/lxr35.edb"));
    ASSERT_TRUE(runtime::deleteFile(path("/data/rz35.edb")));
    ASSERT_TRUE(runtime::deleteFile(path("/data/bw35.edb")));

    ASSERT_TRUE(startAgain());
    for (const char* store : {"rz35", "bw35"}) {
        ASSERT_TRUE(st::selectDatabase(store)) << store;
        EXPECT_EQ(st::getRecordCount(), 0) << store;
    }
    const std::string diaryAside = path("/data/rz35.edt.orphan-20240308-000000");
    const std::string memoAside = path("/data/bw35.edt.orphan-20240308-000000");
    EXPECT_EQ(runtime::readFile(diaryAside), diaryMemos);
    EXPECT_EQ(runtime::readFile(diaryAside + "-wal"), diaryLog);
    EXPECT_EQ(runtime::readFile(memoAside), memoMemos);
    EXPECT_EQ(runtime::readFile(path("/data/lxr35.edb")), contacts);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].title, "警告！");
    const std::string told = messages()[0].text;
    EXPECT_NE(told.find("日志（rz35.edb）：找不到日志数据库 rz35.edb"), std::string::npos) << told;
    EXPECT_NE(
        told.find("日志（rz35.edb）：原来的日志的文字文件与新建的数据库不配套，已改名保存为：" + diaryAside),
        std::string::npos)
        << told;
    EXPECT_NE(
        told.find("备忘（bw35.edb）：原来的备忘的文字文件与新建的数据库不配套，已改名保存为：" + memoAside),
        std::string::npos)
        << told;

    // Told once: the next start finds every file in its place and has nothing to say.
    ASSERT_TRUE(startAgain());
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(runtime::readFile(diaryAside), diaryMemos);
}

TEST_F(Startup, LeftOverWriteTemporariesOfOursGoAtStart) {
    ASSERT_TRUE(runtime::createDirectory(path("/data")));
    ASSERT_TRUE(runtime::createDirectory(path("/pic")));
    const std::string temp = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    ASSERT_FALSE(temp.empty());
    const std::vector<std::string> stale = {path("/config.ini.tmp-Ab12Cd"), path("/data/rz35.edb.tmp-Ef34Gh"),
                                            path("/pic/jr.jpg.tmp-Ij56Kl"), temp + "人脉.xlsx.tmp-Mn78Op"};
    // The program folder may be any folder of the user's: there only the settings file's go.
    const std::vector<std::string> kept = {path("/notes.txt.tmp-Qr90St"), path("/config.ini.tmp-Qr90")};
    for (const std::string& f : stale) ASSERT_TRUE(runtime::writeFile(f, "half")) << f;
    for (const std::string& f : kept) ASSERT_TRUE(runtime::writeFile(f, "mine")) << f;
    ASSERT_TRUE(start());
    for (const std::string& f : stale) EXPECT_FALSE(std::filesystem::exists(f)) << f;
    for (const std::string& f : kept) EXPECT_EQ(runtime::readFile(f), "mine") << f;
}

class ProtectedStartup : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        // Protect the four stores as the settings page would, then end that run.
        ASSERT_TRUE(runtime::createDirectory(path("/data")));
        for (const char* f : kSixFiles) ASSERT_TRUE(core::writeTemplate(f, path("/data/") + f));
        for (const char* s : {"rz35", "tx35", "bw35", "lxr35"}) {
            ASSERT_TRUE(st::openDatabase(path("/data/") + s + ".edb"));
            ASSERT_TRUE(st::setDatabasePassword("秘密pw"));
        }
        st::selectDatabase("rz35");
        ASSERT_TRUE(
            st::addRecord({st::Value{runtime::makeDate(2024, 3, 1)}, st::Value{std::string("加密的日记")}}));
        st::closeAllDatabases();
    }
};

TEST_F(ProtectedStartup, RightPasswordOpensAllFourAndProvidersCarryIt) {
    ui::pushInputBoxAnswer(true, "秘密pw");
    ASSERT_TRUE(start());
    std::vector<ui::ShownDialog> shown = ui::shownDialogs();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].kind, ui::DialogKind::InputBox);
    EXPECT_EQ(shown[0].text, "数据库已加密，请输入密码：");
    EXPECT_EQ(shown[0].title, "打开数据库");
    EXPECT_EQ(shown[0].flags, 4);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "已加密");
    for (const char* provider : {"数据库提供者_日志", "数据库提供者_事项", "数据库提供者_联系人"}) {
        EXPECT_EQ(std::get<std::string>(ui::getProperty(kMain, provider, "password")), "秘密pw") << provider;
    }
    ASSERT_TRUE(st::selectDatabase("rz35"));
    ASSERT_TRUE(st::goToFirstRecord());
    EXPECT_EQ(st::valueText(st::readField("日志")), "加密的日记");
}

TEST_F(ProtectedStartup, WrongPasswordEndsAfterOneAttempt) {
    ui::pushInputBoxAnswer(true, "guess");
    ui::pushInputBoxAnswer(true, "秘密pw");  // never asked for
    EXPECT_FALSE(start());
    EXPECT_EQ(exitCode_, 0);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "密码错误！");
    EXPECT_EQ(messages()[0].title, "信息！");
    EXPECT_EQ(messages()[0].flags, 64);
    int inputBoxes = 0;
    for (const ui::ShownDialog& d : ui::shownDialogs()) inputBoxes += d.kind == ui::DialogKind::InputBox;
    EXPECT_EQ(inputBoxes, 1);
}

TEST_F(ProtectedStartup, CancelEndsTheStart) {
    ui::pushInputBoxAnswer(false, "");
    EXPECT_FALSE(start());
    EXPECT_EQ(exitCode_, 0);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "密码错误！");
}

// An interrupted change of an older build: the diary no longer protected, the three others still.
// The diary alone does not decide: the password is asked, every store opens, and the user is told.
TEST_F(ProtectedStartup, StoresThatDisagreeAreNamedAndEachOpensAsItsFileRequires) {
    ASSERT_TRUE(st::openDatabase(path("/data/rz35.edb"), std::string_view("秘密pw")));
    ASSERT_TRUE(st::setDatabasePassword(""));
    st::closeAllDatabases();
    ui::pushInputBoxAnswer(true, "秘密pw");
    ASSERT_TRUE(start());
    ASSERT_EQ(ui::shownDialogs()[0].text, "数据库已加密，请输入密码：");
    ASSERT_EQ(messages().size(), 1u);
    const std::string text = messages()[0].text;
    EXPECT_NE(text.find("已加密：周期事项（tx35.edb）、备忘（bw35.edb）、联系人（lxr35.edb）\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("未加密：日志（rz35.edb）\n"), std::string::npos) << text;
    EXPECT_EQ(messages()[0].title, "警告！");
    EXPECT_EQ(messages()[0].flags, 48);
    // Not all four are protected: one tick of the box protects them all.
    EXPECT_FALSE(ui::getBool(kMain, "选择框_加密", "checked"));
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
    EXPECT_EQ(std::get<std::string>(ui::getProperty(kMain, "数据库提供者_联系人", "password")), "秘密pw");
    for (const char* store : {"tx35", "bw35", "lxr35"}) EXPECT_TRUE(st::selectDatabase(store)) << store;
    ASSERT_TRUE(st::selectDatabase("rz35"));
    ASSERT_TRUE(st::goToFirstRecord());
    EXPECT_EQ(st::valueText(st::readField("日志")), "加密的日记");
}

// The other way round, which opened before and showed "已加密" over a contacts file in plain bytes.
TEST_F(ProtectedStartup, AStoreLeftUnprotectedBehindAProtectedDiaryIsNamed) {
    ASSERT_TRUE(st::openDatabase(path("/data/lxr35.edb"), std::string_view("秘密pw")));
    ASSERT_TRUE(st::setDatabasePassword(""));
    st::closeAllDatabases();
    ui::pushInputBoxAnswer(true, "秘密pw");
    ASSERT_TRUE(start());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("未加密：联系人（lxr35.edb）\n"), std::string::npos)
        << messages()[0].text;
    EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), "未加密");
}

// Files lost, damaged or left half-made between two runs. Each run is a new process in effect:
// the stores are closed and the runtime folder is a fresh one, so the last run's guard is not met.
class Runs : public ShellTest {
protected:
    // Ends the run: its windows gone and its stores closed.
    static void end() {
        ui::resetForTesting();
        st::closeAllDatabases();
    }
    // Sets up the next run: nothing of the last one left but its files.
    void nextRun() {
        end();
        ui::setEndProgramHook([this](int code) { programEnded(code); });
        exitCode_.reset();
        const std::string folder = runFolder_ + "/run" + std::to_string(++runs_);
        ASSERT_TRUE(runtime::createDirectory(folder));
        ::chmod(folder.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
    // The next run, its password box (if it comes) answered with `password` and its first
    // message box with `answer`.
    bool restart(const std::string& password = {}, std::optional<int> answer = std::nullopt) {
        nextRun();
        if (!password.empty()) ui::pushInputBoxAnswer(true, password);
        if (answer) ui::pushMessageBoxAnswer(*answer);
        return start();
    }
    // A fresh data folder with something in every store, protected with `password` unless empty.
    void fill(const std::string& password) {
        std::filesystem::remove_all(path("/data"));
        ASSERT_TRUE(restart());
        addDiary(runtime::makeDate(2024, 3, 1), "三月一日的日记");
        addDiary(runtime::makeDate(2024, 3, 2), "三月二日的日记");
        addItem(runtime::makeDate(2024, 1, 1), 1, "月", "交房租");
        setMemo("备忘的文字");
        addContact("白云", "111", "同学");
        if (!password.empty()) {
            ASSERT_TRUE(st::setDatabasePasswordOnTables({"rz35", "tx35", "bw35", "lxr35"}, password));
        }
        end();
    }
    // Every value of the open store, record by record.
    static std::vector<std::string> valuesOf(const char* store) {
        std::vector<std::string> values;
        st::Table* t = st::findOpenTable(store);
        for (int n = 1; t && n <= t->recordCount(); ++n) {
            for (int f = 1; f <= static_cast<int>(t->fields().size()); ++f)
                values.push_back(st::valueText(t->read(n, f)));
        }
        return values;
    }
    // What fill() put into each store, as valuesOf reads it.
    static std::vector<std::string> filled(const char* store) {
        const std::string day1 = runtime::dateTimeToText(runtime::makeDate(2024, 3, 1));
        const std::string day2 = runtime::dateTimeToText(runtime::makeDate(2024, 3, 2));
        const std::string jan = runtime::dateTimeToText(runtime::makeDate(2024, 1, 1));
        if (std::string_view(store) == "rz35") return {day1, "三月一日的日记", day2, "三月二日的日记"};
        if (std::string_view(store) == "tx35") return {jan, "1", "月", "交房租"};
        if (std::string_view(store) == "bw35") return {"备忘的文字"};
        return {"白云", "111", "同学"};
    }
    bool protectedFile(const char* store) const {
        return st::isDatabaseEncrypted(path("/data/") + store + ".edb");
    }
    // The files of the data folder whose names begin with `prefix`.
    std::vector<std::string> namesStartingWith(const std::string& prefix) const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path("/data"))) {
            if (e.path().filename().string().starts_with(prefix)) names.push_back(e.path().string());
        }
        return names;
    }

    int runs_ = 0;
};

// A lost file is written anew from its template and named, with what it means, in one warning;
// the other stores are whole. With protection the blank store takes the others' password, and
// nothing is blamed on a password change.
TEST_F(Runs, ALostFileIsWrittenAnewAndNamedInOneWarning) {
    struct Lost {
        const char* file;
        const char* store;
        std::vector<std::string> left;  // what the store holds afterwards
        const char* means;
    };
    const std::string day1 = runtime::dateTimeToText(runtime::makeDate(2024, 3, 1));
    const std::string day2 = runtime::dateTimeToText(runtime::makeDate(2024, 3, 2));
    const Lost cases[] = {
        {"rz35.edt", "rz35", {day1, "", day2, ""}, "各天的日志仍然列出，但都没有文字"},
        {"bw35.edt", "bw35", {""}, "备忘便签的文字看不到了"},
        {"lxr35.edb", "lxr35", {}, "以前的联系人看不到了"},
        {"tx35.edb", "tx35", {}, "以前的周期事项看不到了"},
    };
    for (const std::string password : {"", "秘密pw"}) {
        for (const Lost& lost : cases) {
            SCOPED_TRACE(std::string(lost.file) + (password.empty() ? "" : ", protected"));
            fill(password);
            ASSERT_TRUE(runtime::deleteFile(path("/data/") + lost.file));
            ASSERT_TRUE(restart(password));
            ASSERT_EQ(messages().size(), 1u);
            EXPECT_EQ(messages()[0].title, "警告！");
            EXPECT_EQ(messages()[0].flags, 48);
            EXPECT_NE(messages()[0].text.find(std::string("找不到")), std::string::npos)
                << messages()[0].text;
            EXPECT_NE(messages()[0].text.find(lost.file), std::string::npos) << messages()[0].text;
            EXPECT_NE(messages()[0].text.find(lost.means), std::string::npos) << messages()[0].text;
            for (const char* store : {"rz35", "tx35", "bw35", "lxr35"}) {
                EXPECT_EQ(valuesOf(store), store == std::string_view(lost.store) ? lost.left : filled(store))
                    << store;
                EXPECT_EQ(protectedFile(store), !password.empty()) << store;
            }
            EXPECT_EQ(ui::getText(kMain, "标签_加密状态"), password.empty() ? "未加密" : "已加密");
        }
    }
}

// A damaged store is named with its reason, never as a wrong password when the password is right,
// and the user chooses: to end, with every file as it was, or to go on without it, the damaged
// file kept under a new name and a blank one in its place, the other three whole.
TEST_F(Runs, ADamagedStoreIsNamedWithItsReasonAndTheUserGoesOnWithoutItOrEnds) {
    enum Damage { kEmpty, kHeader, kTruncated, kKeyCheck };
    struct Case {
        const char* file;
        const char* password;
        Damage damage;
        const char* store;
    };
    const Case cases[] = {
        {"rz35.edb", "", kEmpty, "rz35"},       {"rz35.edt", "", kHeader, "rz35"},
        {"lxr35.edb", "", kTruncated, "lxr35"}, {"rz35.edb", "秘密pw", kHeader, "rz35"},
        {"rz35.edt", "秘密pw", kEmpty, "rz35"}, {"lxr35.edb", "秘密pw", kKeyCheck, "lxr35"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.damage) +
                     (*c.password ? ", protected" : ""));
        fill(c.password);
        const std::string file = path("/data/") + c.file;
        std::string bytes = runtime::readFile(file);
        if (c.damage == kEmpty) bytes.clear();
        if (c.damage == kHeader) {
            for (int i = 16; i < 32; ++i)
                bytes[static_cast<std::size_t>(i)] = static_cast<char>(~bytes[static_cast<std::size_t>(i)]);
        }
        if (c.damage == kTruncated) bytes.resize(4096);
        if (c.damage == kKeyCheck) {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
            EXPECT_EQ(sqlite3_exec(db, "UPDATE qb_table SET key_check=zeroblob(length(key_check))", nullptr,
                                   nullptr, nullptr),
                      SQLITE_OK);
            sqlite3_close(db);
            bytes = runtime::readFile(file);
        } else {
            ASSERT_TRUE(runtime::writeFile(file, bytes));
        }

        EXPECT_FALSE(restart(c.password, ui::kIdCancel));
        EXPECT_EQ(exitCode_, 0);
        ASSERT_EQ(messages().size(), 1u);
        const ui::ShownDialog question = messages()[0];
        EXPECT_EQ(question.title, "错误！");
        EXPECT_EQ(question.flags, 16 | 1);
        EXPECT_TRUE(question.text.starts_with("数据库打开失败！")) << question.text;
        EXPECT_NE(question.text.find(file), std::string::npos) << question.text;
        EXPECT_EQ(runtime::readFile(file), bytes);
        EXPECT_TRUE(namesStartingWith(std::string(c.file) + ".damaged").empty());

        ASSERT_TRUE(restart(c.password, ui::kIdOk));
        ASSERT_EQ(messages().size(), 2u);
        EXPECT_EQ(messages()[0].text, question.text);
        EXPECT_EQ(messages()[1].title, "警告！");
        const std::vector<std::string> aside = namesStartingWith(std::string(c.file) + ".damaged-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(runtime::readFile(aside[0]), bytes);
        EXPECT_NE(messages()[1].text.find(aside[0]), std::string::npos) << messages()[1].text;
        for (const char* store : {"rz35", "tx35", "bw35", "lxr35"}) {
            std::vector<std::string> expected = filled(store);
            if (store == std::string_view(c.store)) {
                expected = std::string(c.file).ends_with(".edt")
                               ? std::vector<std::string>{expected[0], "", expected[2], ""}
                               : std::vector<std::string>{};
            }
            EXPECT_EQ(valuesOf(store), expected) << store;
            EXPECT_EQ(protectedFile(store), *c.password != 0) << store;
        }
        for (const ui::ShownDialog& d : messages()) EXPECT_EQ(d.text.find("密码错误"), std::string::npos);
    }
}

// What interrupted operations of the store leave goes at the next start, in the data folder and
// the temporary folder: journals of a commit over several files that no journal names any more,
// half-made table files and their journals. A file not proved to be such stays.
TEST_F(Runs, LeftOversOfInterruptedOperationsGoAtTheNextStartAndNothingElse) {
    fill("");
    nextRun();
    const std::string data = path("/data/");
    const std::string temp = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    ASSERT_FALSE(temp.empty());
    const std::string magic = "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7";
    // A journal naming the super-journal `super`, as SQLite ends one.
    const auto journalNaming = [&](const std::string& super) {
        std::string tail = super;
        uint32_t sum = 0;
        for (char ch : super) sum += static_cast<uint32_t>(ch);
        for (uint32_t v : {static_cast<uint32_t>(super.size()), sum}) {
            for (int shift = 24; shift >= 0; shift -= 8)
                tail.push_back(static_cast<char>((v >> shift) & 0xFF));
        }
        return magic + std::string(504, '\0') + "\0\0\0\0" + tail + magic;
    };
    const std::vector<std::pair<std::string, std::string>> gone = {
        {data + "rz35.edb-mj1A2B3C94D",
         data + "rz35.edb-journal" + std::string(1, '\0') + data + "rz35.edt-journal"},
        {data + "tx35.edb-mjFFFFFF900", ""},
        {data + "tx35.edb.new-0123456789ab-journal", magic + std::string(100, 'x')},
        {temp + "ad.edb.new-abcdef012345", ""},
        {temp + "ad.edb.new-abcdef012345-journal", std::string(28, '\0')},
        {temp + "eh.edb.new-fedcba987654-journal", ""},
    };
    const std::vector<std::pair<std::string, std::string>> kept = {
        {data + "notes.edb.new-0123456789ab", "my own notes"},
        {data + "rz35.edb-mj1A2B3C", "not a super-journal's name"},
        {data + "other.edb-mjAAAAAA9BB", data + "other.edb-journal" + std::string(1, '\0')},
        {data + "other.edb-journal", journalNaming(data + "other.edb-mjAAAAAA9BB")},
    };
    ASSERT_TRUE(core::writeTemplate("tx35.edb", data + "tx35.edb.new-0123456789ab"));
    for (const auto& [file, bytes] : gone) ASSERT_TRUE(runtime::writeFile(file, bytes)) << file;
    for (const auto& [file, bytes] : kept) ASSERT_TRUE(runtime::writeFile(file, bytes)) << file;
    ASSERT_TRUE(start());
    for (const auto& [file, bytes] : gone) EXPECT_FALSE(std::filesystem::exists(file)) << file;
    EXPECT_FALSE(std::filesystem::exists(data + "tx35.edb.new-0123456789ab"));
    for (const auto& [file, bytes] : kept) EXPECT_EQ(runtime::readFile(file), bytes) << file;
    EXPECT_TRUE(messages().empty());
}

// Start-up shows today's page twice, and the text it shows goes back into the store unchanged,
// which costs no flush: a start with text on today's page costs no more than one without.
TEST_F(Runs, TodaysTextCostsTheStartNoFlush) {
    fill("");
    int before = qbtest::flushes();
    ASSERT_TRUE(restart());
    const int without = qbtest::flushes() - before;
    addDiary(runtime::makeDate(2024, 3, 8), "今天的日记");
    end();
    before = qbtest::flushes();
    ASSERT_TRUE(restart());
    const int with = qbtest::flushes() - before;
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "今天的日记");
    EXPECT_LE(with, without);
}

using Ending = ShellTest;

TEST_F(Ending, CloseAskedAndCancelKeepsRunning) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    QWidget* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QString::fromUtf8(kMain)) window = w;
    ASSERT_NE(window, nullptr);
    window->close();
    QApplication::processEvents();
    EXPECT_FALSE(exitCode_.has_value());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "确认要退出程序？");
    EXPECT_EQ(messages()[0].title, "询问：");
    EXPECT_EQ(messages()[0].flags, 1);

    ui::pushMessageBoxAnswer(ui::kIdOk);
    window->close();
    QApplication::processEvents();
    EXPECT_EQ(exitCode_, 0);
}

TEST_F(Ending, TrayExitRemovesTheIconFirst) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    try {
        shell::onTrayMenuExit();
    } catch (const ui::ProgramEnded&) {
    }
    EXPECT_FALSE(exitCode_.has_value());
    ui::pushMessageBoxAnswer(ui::kIdOk);
    try {
        shell::onTrayMenuExit();
    } catch (const ui::ProgramEnded&) {
    }
    EXPECT_EQ(exitCode_, 0);
}

TEST_F(Ending, DestroyWritesTheZoomAndClosesTables) {
    ASSERT_TRUE(start());
    ui::setText(kMain, "编辑框2", "120");
    runtime::deleteFile(path("/config.ini"));
    shell::onMainWindowDestroy();
    EXPECT_EQ(runtime::readIniText(path("/config.ini"), "表格缩放", "缩放比"), "120");
    EXPECT_FALSE(st::selectDatabase("rz35"));
}

// ---- The real executable, as separate processes ----

class Processes : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = makeTempFolder("qb_proc");
        runFolder_ = makeTempFolder("qb_proc_run");
        chmod(runFolder_.c_str(), 0700);
        std::filesystem::copy_file(QB_EXECUTABLE, folder_ + "/quillarbor");
        std::filesystem::permissions(folder_ + "/quillarbor", std::filesystem::perms::owner_all);
    }
    void TearDown() override {
        for (pid_t pid : children_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(folder_);
        std::filesystem::remove_all(runFolder_);
    }

    // Starts the program with scripted dialogs: the runtime records each dialog in `log` and
    // answers Cancel to message boxes.
    pid_t launch(const std::string& log) {
        pid_t pid = fork();
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("XDG_RUNTIME_DIR", runFolder_.c_str(), 1);
            setenv("QUILLARBOR_DIALOG_LOG", log.c_str(), 1);
            std::string exe = folder_ + "/quillarbor";
            execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        children_.push_back(pid);
        return pid;
    }

    // Waits for the program to create its last store file, the sign it is past the guard.
    bool waitUntilStarted() {
        for (int i = 0; i < 300; ++i) {
            if (runtime::fileExists(folder_ + "/config.ini")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static int waitExit(pid_t pid, int timeoutMs = 15000) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -2;
    }

    std::string folder_, runFolder_;
    std::vector<pid_t> children_;
};

TEST_F(Processes, SecondInstanceWarnsAndEndsWithoutTouchingFiles) {
    launch(folder_ + "/first.log");
    ASSERT_TRUE(waitUntilStarted());
    // A second program folder: the guard is per user, not per folder, and a second instance
    // must not even create its data folder.
    std::string other = makeTempFolder("qb_proc_other");
    std::filesystem::copy_file(folder_ + "/quillarbor", other + "/quillarbor");
    pid_t second = fork();
    if (second == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_RUNTIME_DIR", runFolder_.c_str(), 1);
        setenv("QUILLARBOR_DIALOG_LOG", (runFolder_ + "/second.log").c_str(), 1);
        std::string exe = other + "/quillarbor";
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    children_.push_back(second);
    EXPECT_EQ(waitExit(second), 0);
    std::string log = runtime::readFile(runFolder_ + "/second.log");
    EXPECT_NE(log.find("不要重复运行本程序，否则可能损坏数据库!"), std::string::npos) << log;
    EXPECT_NE(log.find("警告！"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(other + "/data"));
    EXPECT_FALSE(std::filesystem::exists(other + "/config.ini"));
    std::filesystem::remove_all(other);
}

TEST_F(Processes, StartAfterAKilledInstanceIsNotBlocked) {
    pid_t first = launch(folder_ + "/first.log");
    ASSERT_TRUE(waitUntilStarted());
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    children_.clear();
    runtime::deleteFile(folder_ + "/config.ini");
    launch(folder_ + "/second.log");
    ASSERT_TRUE(waitUntilStarted());
    EXPECT_EQ(runtime::readFile(folder_ + "/second.log").find("不要重复运行"), std::string::npos);
}

// Kills during the start that moves a companion without its table aside: every file of the data
// folder is kept in its old or its new state, the old companion is found under exactly one name,
// and the next start goes through. QB_ORPHAN_KILLS raises the bounded count of CI.
TEST_F(Processes, KilledWhileMovingACompanionAsideNothingIsLostAndTheNextStartGoesOn) {
    const std::string data = folder_ + "/data", lock = runFolder_ + "/quillarborv35.lock";
    launch(folder_ + "/first.log");
    ASSERT_TRUE(waitUntilStarted());
    kill(children_.back(), SIGKILL);
    waitpid(children_.back(), nullptr, 0);
    children_.clear();
    // The killed start left its last writes in the files' logs; an open and a close copies them
    // in, so each file alone holds its state (the bound companion differs from a fresh blank one).
    for (const char* table : {"rz35.edb", "bw35.edb"}) {
        ASSERT_TRUE(runtime::store::openDatabase(data + "/" + table)) << runtime::store::lastError();
        runtime::store::closeDatabase();
    }
    std::map<std::string, std::string> saved;
    for (const char* f : kSixFiles) saved[f] = runtime::readFile(data + "/" + f);
    ASSERT_FALSE(saved["rz35.edt"].empty());
    const auto lose = [&] {
        std::filesystem::remove_all(data);
        std::filesystem::create_directory(data);
        for (const auto& [name, bytes] : saved) {
            if (name == "rz35.edb") continue;
            ASSERT_TRUE(runtime::writeFile(data + "/" + name, bytes));
        }
        runtime::deleteFile(folder_ + "/config.ini");
        runtime::deleteFile(lock);
    };
    // Where the old companion is now: exactly one name holds its bytes.
    const auto companionNames = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(data)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("rz35.edt") &&
                runtime::readFile(entry.path().string()) == saved["rz35.edt"]) {
                names.push_back(name);
            }
        }
        return names;
    };
    const auto untilExists = [](const std::string& file) {
        for (int i = 0; i < 200000 && !std::filesystem::exists(file); ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    };

    // The window to aim at: from the guard taken (its lock file appears) to the warning shown.
    lose();
    const std::string told = folder_ + "/told.log";
    launch(told);
    untilExists(lock);
    const auto guardTaken = std::chrono::steady_clock::now();
    untilExists(told);
    const auto window =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - guardTaken);
    ASSERT_TRUE(waitUntilStarted());
    kill(children_.back(), SIGKILL);
    waitpid(children_.back(), nullptr, 0);
    children_.clear();
    EXPECT_EQ(companionNames().size(), 1u);

    const char* wanted = std::getenv("QB_ORPHAN_KILLS");
    const int kills = wanted ? std::max(1, std::atoi(wanted)) : 8;
    std::mt19937 rng(12);
    for (int round = 0; round < kills; ++round) {
        lose();
        const pid_t pid = launch(folder_ + "/killed.log");
        untilExists(lock);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % (window.count() * 5 / 4 + 1)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        children_.clear();
        for (const char* f : kSixFiles) {
            if (std::string(f) == "rz35.edb" || std::string(f) == "rz35.edt") continue;
            EXPECT_EQ(runtime::readFile(data + "/" + f), saved[f]) << f << " after kill " << round;
        }
        EXPECT_EQ(companionNames().size(), 1u) << "after kill " << round;

        runtime::deleteFile(lock);
        const std::string next = folder_ + "/next.log";
        runtime::deleteFile(next);
        launch(next);
        ASSERT_TRUE(waitUntilStarted()) << "after kill " << round;
        kill(children_.back(), SIGKILL);
        waitpid(children_.back(), nullptr, 0);
        children_.clear();
        EXPECT_EQ(runtime::readFile(next).find("数据库打开失败"), std::string::npos)
            << runtime::readFile(next);
        const std::vector<std::string> names = companionNames();
        ASSERT_EQ(names.size(), 1u) << "after kill " << round;
        EXPECT_TRUE(names[0].starts_with("rz35.edt.orphan-")) << names[0];
    }
}

}  // namespace
}  // namespace shelltest
