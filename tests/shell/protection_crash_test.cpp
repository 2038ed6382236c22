// Protection changes killed at every step of their commit, then the next start: after each kill
// the four stores open under one password, whole, and when they are protected no diary, memo or
// contact text is left in plain bytes (UTF-8 or GB18030) in any file of the data folder, the
// temporary folder or the runtime folder.
//
// Each session is a forked process running the program's real start-up, and ends as the program
// does, with its tables open. A file layer over the system's counts every change to a file
// (creation, write, truncation, flush, deletion) once armed, and kills the process before the
// n-th: round n of a change kills it at its n-th step, until a round completes the change.
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>

#include "runtime/base/text.h"
#include "runtime/store/store_testing.h"
#include "shell/protection.h"
#include "support/shell_fixture.h"

namespace shelltest {
namespace {

// ---- The counting file layer ----

sqlite3_vfs* systemVfs = nullptr;
int killAtStep = 0;  // 0: not armed
int stepsTaken = 0;

void step() {
    if (killAtStep > 0 && ++stepsTaken >= killAtStep) ::raise(SIGKILL);
}

struct CountedFile {
    sqlite3_file base;
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};
sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<CountedFile*>(f)->real(); }
const sqlite3_io_methods* methodsOf(sqlite3_file* f) { return real(f)->pMethods; }

int countedClose(sqlite3_file* f) { return methodsOf(f)->xClose(real(f)); }
int countedRead(sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
    return methodsOf(f)->xRead(real(f), b, n, at);
}
int countedWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
    step();
    return methodsOf(f)->xWrite(real(f), b, n, at);
}
int countedTruncate(sqlite3_file* f, sqlite3_int64 size) {
    step();
    return methodsOf(f)->xTruncate(real(f), size);
}
int countedSync(sqlite3_file* f, int flags) {
    step();
    return methodsOf(f)->xSync(real(f), flags);
}
int countedFileSize(sqlite3_file* f, sqlite3_int64* size) { return methodsOf(f)->xFileSize(real(f), size); }
int countedLock(sqlite3_file* f, int level) { return methodsOf(f)->xLock(real(f), level); }
int countedUnlock(sqlite3_file* f, int level) { return methodsOf(f)->xUnlock(real(f), level); }
int countedCheckReservedLock(sqlite3_file* f, int* out) {
    return methodsOf(f)->xCheckReservedLock(real(f), out);
}
int countedFileControl(sqlite3_file* f, int op, void* arg) {
    return methodsOf(f)->xFileControl(real(f), op, arg);
}
int countedSectorSize(sqlite3_file* f) { return methodsOf(f)->xSectorSize(real(f)); }
int countedDeviceCharacteristics(sqlite3_file* f) { return methodsOf(f)->xDeviceCharacteristics(real(f)); }
int countedShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return methodsOf(f)->xShmMap(real(f), region, size, extend, out);
}
int countedShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return methodsOf(f)->xShmLock(real(f), offset, n, flags);
}
void countedShmBarrier(sqlite3_file* f) { methodsOf(f)->xShmBarrier(real(f)); }
int countedShmUnmap(sqlite3_file* f, int remove) { return methodsOf(f)->xShmUnmap(real(f), remove); }
int countedFetch(sqlite3_file* f, sqlite3_int64 at, int n, void** out) {
    return methodsOf(f)->xFetch(real(f), at, n, out);
}
int countedUnfetch(sqlite3_file* f, sqlite3_int64 at, void* p) {
    return methodsOf(f)->xUnfetch(real(f), at, p);
}

const sqlite3_io_methods countedMethods = {
    3,
    countedClose,
    countedRead,
    countedWrite,
    countedTruncate,
    countedSync,
    countedFileSize,
    countedLock,
    countedUnlock,
    countedCheckReservedLock,
    countedFileControl,
    countedSectorSize,
    countedDeviceCharacteristics,
    countedShmMap,
    countedShmLock,
    countedShmBarrier,
    countedShmUnmap,
    countedFetch,
    countedUnfetch,
};

int countedOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    if (flags & SQLITE_OPEN_CREATE) step();
    auto* counted = reinterpret_cast<CountedFile*>(f);
    counted->base.pMethods = nullptr;
    const int rc = systemVfs->xOpen(systemVfs, name, counted->real(), flags, outFlags);
    if (counted->real()->pMethods) counted->base.pMethods = &countedMethods;
    return rc;
}
int countedDelete(sqlite3_vfs*, const char* name, int syncDir) {
    step();
    return systemVfs->xDelete(systemVfs, name, syncDir);
}

// Registered as the default before main, so that the store's own file layer stands on it.
const bool countedVfsRegistered = [] {
    static sqlite3_vfs vfs;
    systemVfs = sqlite3_vfs_find(nullptr);
    vfs = *systemVfs;
    vfs.szOsFile = static_cast<int>(sizeof(CountedFile)) + systemVfs->szOsFile;
    vfs.zName = "quillarbor-test-counted";
    vfs.pAppData = nullptr;
    vfs.pNext = nullptr;
    vfs.xOpen = countedOpen;
    vfs.xDelete = countedDelete;
    vfs.xAccess = [](sqlite3_vfs*, const char* n, int fl, int* out) {
        return systemVfs->xAccess(systemVfs, n, fl, out);
    };
    vfs.xFullPathname = [](sqlite3_vfs*, const char* n, int size, char* out) {
        return systemVfs->xFullPathname(systemVfs, n, size, out);
    };
    vfs.xDlOpen = nullptr;
    vfs.xDlError = nullptr;
    vfs.xDlSym = nullptr;
    vfs.xDlClose = nullptr;
    vfs.xRandomness = [](sqlite3_vfs*, int n, char* out) {
        return systemVfs->xRandomness(systemVfs, n, out);
    };
    vfs.xSleep = [](sqlite3_vfs*, int us) { return systemVfs->xSleep(systemVfs, us); };
    vfs.xCurrentTime = [](sqlite3_vfs*, double* out) { return systemVfs->xCurrentTime(systemVfs, out); };
    vfs.xGetLastError = [](sqlite3_vfs*, int n, char* out) {
        return systemVfs->xGetLastError(systemVfs, n, out);
    };
    vfs.xCurrentTimeInt64 = [](sqlite3_vfs*, sqlite3_int64* out) {
        return systemVfs->xCurrentTimeInt64(systemVfs, out);
    };
    vfs.iVersion = 2;
    return sqlite3_vfs_register(&vfs, 1) == SQLITE_OK;
}();

// ---- Sessions ----

const std::string kDiary = "金丝雀日记：今天去了植物园";
const std::string kMemo = "金丝雀备忘：记得还书";
// The memo as stored: long enough to take pages of its own, which the file's free pages serve.
std::string memoText(const std::string& line) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += line + "\n";
    return text;
}
const std::string kName = "阿金丝";
const std::string kRemark = "金丝雀的联系人备注";
const std::string kFirst = "pw一", kSecond = "pw二";

// What a session that starts again found; its exit code.
enum Found { kProtected = 10, kUnprotected = 11, kWrongPassword = 12, kNotWhole = 13 };

class ProtectionKills : public ShellTest {
protected:
    // Cheap keys: every session derives one. Each test runs in a process of its own.
    void SetUp() override {
        ShellTest::SetUp();
        st::testing::setKeyDerivationCost(1, 8192);
    }

    // Runs `body` in a forked session; answers its exit code, or -signal when it was killed.
    int session(const std::function<int()>& body) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int code = 1;
            try {
                code = body();
            } catch (...) {
            }
            ::_exit(code);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }

    // A start answering the password box, if it comes, with `password`: whether the program runs on.
    bool startWith(const std::string& password) {
        if (!password.empty()) ui::pushInputBoxAnswer(true, password);
        return start();
    }

    // The session that comes first: the three kinds of text, a letter group pressed and a cell
    // of it edited, protected with `password` when it is not empty.
    int prepare(const std::string& password) {
        if (!start()) return 1;
        ui::setText(kMain, "编辑框_本日志", kDiary);
        // Typed twice, so that the first text's pages are free when a change comes.
        ui::setText(kMain, "编辑框备忘便签", memoText("草稿"));
        ui::setText(kMain, "编辑框备忘便签", memoText(kMemo));
        addContact(kName, "13800001111", "");
        addContact("白云", "222", "");
        if (!password.empty()) {
            ui::pushInputBoxAnswer(true, password);
            ui::setBool(kMain, "选择框_加密", "checked", true);
            shell::onEncryptCheckClicked();
        }
        contacts::filterContactsAD();
        st::Table* group =
            st::findOpenTable(runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp) + "ad.edb");
        return group && group->recordCount() == 2 && group->write(1, 3, std::string(kRemark)) ? 0 : 2;
    }

    // The next start: which password the stores open under, and whether they hold everything.
    int startAgain(const std::string& password) {
        if (!startWith(password)) {
            const std::vector<ui::ShownDialog> shown = messages();
            return !shown.empty() && shown.back().text == "密码错误！" ? kWrongPassword : kNotWhole;
        }
        if (!messages().empty()) return kNotWhole;
        const auto text = [](const char* store, int record, int field) {
            st::Table* t = st::findOpenTable(store);
            return t && t->recordCount() >= record ? st::valueText(t->read(record, field)) : std::string();
        };
        if (text("rz35", 1, 2) != kDiary || text("bw35", 1, 1) != memoText(kMemo) ||
            text("lxr35", 1, 1) != kName || text("lxr35", 1, 3) != kRemark) {
            return kNotWhole;
        }
        return ui::getText(kMain, "标签_加密状态") == "已加密" ? kProtected : kUnprotected;
    }

    // Every file the program keeps: the data folder, the temporary folder, the runtime folder.
    std::vector<std::string> folders() const { return {path("/data"), tmp_, runFolder_}; }

    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const std::string& folder : folders()) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
                if (e.is_regular_file()) files[e.path().string()] = runtime::readFile(e.path().string());
            }
        }
        return files;
    }
    void restore(const std::map<std::string, std::string>& files) const {
        for (const std::string& folder : folders()) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
                if (e.is_regular_file() && !files.count(e.path().string())) std::filesystem::remove(e.path());
            }
        }
        for (const auto& [file, bytes] : files) ASSERT_TRUE(runtime::writeFile(file, bytes)) << file;
    }

    // The files holding a text of the canaries in plain bytes.
    std::vector<std::string> plainCopies() const {
        std::vector<std::string> found;
        for (const auto& [file, bytes] : snapshot()) {
            for (const std::string& text : {kDiary, kMemo, kName, kRemark}) {
                if (bytes.find(text) != std::string::npos ||
                    bytes.find(runtime::utf8ToGb18030(text)) != std::string::npos) {
                    found.push_back(file + " (" + text + ")");
                }
            }
        }
        return found;
    }

    // Files of the data folder and the temporary folder other than the stores, the letter groups'
    // tables and the logs of tables left open.
    std::vector<std::string> leftOvers() const {
        static const std::regex ours(R"((rz35\.edb|rz35\.edt|tx35\.edb|bw35\.edb|bw35\.edt|lxr35\.edb|)"
                                     R"((ad|eh|il|mp|qt|uz)\.edb)(-wal)?)");
        std::vector<std::string> found;
        for (const std::string& folder :
             {path("/data"), runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp)}) {
            for (const auto& e : std::filesystem::directory_iterator(folder)) {
                if (!std::regex_match(e.path().filename().string(), ours)) found.push_back(e.path().string());
            }
        }
        return found;
    }

    // Kills `change` at each of its steps in turn, from the state `before` leaves, until a round
    // completes it; after every kill the next start must find the stores whole under `before`'s
    // password or `after`'s. Answers the number of kills.
    int killEveryStep(const std::string& before, const std::string& after,
                      const std::function<void()>& change) {
        if (session([&] { return prepare(before); }) != 0) {
            ADD_FAILURE() << "the first session failed";
            return 0;
        }
        const std::map<std::string, std::string> prepared = snapshot();
        int kills = 0;
        for (int at = 1;; ++at) {
            restore(prepared);
            const int ended = session([&] {
                if (!startWith(before)) return 1;
                killAtStep = at;
                change();
                return 0;
            });
            if (ended == 0) break;
            EXPECT_EQ(ended, -SIGKILL) << "step " << at;
            if (ended != -SIGKILL) break;
            ++kills;
            int found = session([&] { return startAgain(after.empty() ? before : after); });
            if (found == kWrongPassword) found = session([&] { return startAgain(before); });
            EXPECT_TRUE(found == kProtected || found == kUnprotected) << "step " << at << ": " << found;
            if (found == kProtected) {
                EXPECT_EQ(plainCopies(), std::vector<std::string>()) << "step " << at;
            }
        }
        // One more start and end after the last kill leaves nothing but what the program keeps.
        EXPECT_EQ(session([&] { return startAgain(after.empty() ? before : after); }),
                  after.empty() ? kUnprotected : kProtected);
        EXPECT_EQ(leftOvers(), std::vector<std::string>());
        return kills;
    }

    static void tick(bool on) {
        ui::setBool(kMain, "选择框_加密", "checked", on);
        shell::onEncryptCheckClicked();
    }
};

// The letter group left open by the last session, with its log, is no plain copy either.
TEST_F(ProtectionKills, ANormalProtectLeavesNoPlainCopy) {
    ASSERT_EQ(session([&] { return prepare({}); }), 0);
    ASSERT_FALSE(plainCopies().empty());
    ASSERT_EQ(session([&] {
                  if (!start()) return 1;
                  ui::pushInputBoxAnswer(true, kFirst);
                  tick(true);
                  return messages().back().text == "数据库加密成功" ? 0 : 2;
              }),
              0);
    EXPECT_EQ(plainCopies(), std::vector<std::string>());
    EXPECT_EQ(session([&] { return startAgain(kFirst); }), kProtected);
    EXPECT_EQ(plainCopies(), std::vector<std::string>());
}

TEST_F(ProtectionKills, SettingThePassword) {
    ASSERT_TRUE(countedVfsRegistered);
    const int kills = killEveryStep({}, kFirst, [] {
        ui::pushInputBoxAnswer(true, kFirst);
        tick(true);
    });
    RecordProperty("kills", kills);
    EXPECT_GE(kills, 60);
}

TEST_F(ProtectionKills, ChangingThePassword) {
    const int kills = killEveryStep(kFirst, kSecond, [] {
        st::setDatabasePasswordOnTables({"rz35", "tx35", "bw35", "lxr35"}, kSecond);
    });
    RecordProperty("kills", kills);
    EXPECT_GE(kills, 60);
}

TEST_F(ProtectionKills, RemovingThePassword) {
    const int kills = killEveryStep(kFirst, {}, [] {
        ui::pushMessageBoxAnswer(ui::kIdOk);
        tick(false);
    });
    RecordProperty("kills", kills);
    EXPECT_GE(kills, 60);
}

}  // namespace
}  // namespace shelltest
