// Crashes at any moment: a child process writes records and memos in a loop and reports each
// completed operation through a pipe; we kill it with SIGKILL at random moments, reopen, and
// check that every reported operation is there and nothing is half-written. The same for
// protection changes over four stores: after every kill all four open under one password, the
// one the last reported change set or the one of the change in flight.
// QB_CRASH_KILLS raises the kills of the typing and protection runs (CI keeps the default).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "store_fixture.h"

namespace store_test {
namespace {

struct Rec {
    int32_t n = 0;
    std::string t, m;
    bool deleted = false;
    bool operator==(const Rec&) const = default;
};

std::string memoOf(int k) {
    std::string s;
    const std::size_t len = 200 + static_cast<std::size_t>(k) * 37 % 3000;
    while (s.size() < len) s += "日志" + std::to_string(k) + ";";
    return s;
}

int victim(int k, int count) { return static_cast<int>((static_cast<int64_t>(k) * 7919) % count) + 1; }

// What operation k is: the mixed workload, or typing, where most operations rewrite one memo
// (one file, on the log) between the two-file ones that add a day, rewrite both files, or pack.
enum class Kind { Add, Modify, Delete, Pack, Keystroke };
bool typing = false;

Kind kindOf(int k) {
    const int kind = k % 10;
    if (!typing)
        return kind <= 5 ? Kind::Add : kind <= 7 ? Kind::Modify : kind == 8 ? Kind::Delete : Kind::Pack;
    if (kind <= 1) return Kind::Add;
    if (kind <= 5) return Kind::Keystroke;
    return kind == 6 ? Kind::Modify : kind == 7 ? Kind::Delete : Kind::Pack;
}

int killsFromEnvironment(int fallback) {
    const char* n = std::getenv("QB_CRASH_KILLS");
    return n && std::atoi(n) > 0 ? std::atoi(n) : fallback;
}

// Operation k on the model; the same on the store in runOp. Pure functions of k and the state.
void applyModel(std::vector<Rec>& model, int k) {
    const Kind kind = kindOf(k);
    const int count = static_cast<int>(model.size());
    if (kind == Kind::Add) {
        model.push_back({k, "t" + std::to_string(k), memoOf(k), false});
    } else if (kind == Kind::Modify || kind == Kind::Keystroke) {
        if (count == 0) return;
        Rec& r = model[victim(k, count) - 1];
        if (kind == Kind::Modify) r.t = "u" + std::to_string(k);
        r.m = memoOf(k);
    } else if (kind == Kind::Delete) {
        if (count > 0) model[victim(k, count) - 1].deleted = true;
    } else {
        std::erase_if(model, [](const Rec& r) { return r.deleted; });
    }
}

bool runOp(int k) {
    const Kind kind = kindOf(k);
    const int count = st::getRecordCount();
    if (kind == Kind::Add) {
        return st::addRecord(
            {st::Value{int32_t{k}}, st::Value{"t" + std::to_string(k)}, st::Value{memoOf(k)}});
    }
    if (kind == Kind::Keystroke) {
        return count == 0 || (st::goToRecord(victim(k, count)) && st::writeField("m", st::Value{memoOf(k)}));
    }
    if (kind == Kind::Modify) {
        if (count == 0) return true;
        return st::goToRecord(victim(k, count)) &&
               st::modifyRecord({std::nullopt, st::Value{"u" + std::to_string(k)}, st::Value{memoOf(k)}});
    }
    if (kind == Kind::Delete) return count == 0 || (st::goToRecord(victim(k, count)) && st::deleteRecords());
    return st::packDatabase();
}

// Forks a child that runs `child` with the write end of a pipe for its reports (it ends the
// child itself) and answers the child's pid, -1 when none could be made; `reports` gets the read end.
template <typename Child>
pid_t forkReporting(int& reports, Child child) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        child(fds[1]);
    }
    ::close(fds[1]);
    reports = fds[0];
    return pid;
}

// What a start and an end of the store leave in `folder` besides the files named: nothing, once
// the leftovers of interrupted operations are cleaned, the tables opened and closed again.
std::vector<std::string> leftOversAfterAStartAndEnd(const std::string& folder,
                                                    const std::vector<std::string>& tables,
                                                    const std::string& password) {
    st::removeInterruptedLeftovers(folder);
    for (const std::string& table : tables) {
        EXPECT_TRUE(st::openDatabase(folder + "/" + table, password.empty()
                                                               ? std::nullopt
                                                               : std::optional<std::string_view>(password)))
            << st::lastError();
    }
    st::closeAllDatabases();
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        const std::string table = name.substr(0, name.size() - 4) + ".edb";
        if (std::find(tables.begin(), tables.end(), table) == tables.end()) left.push_back(name);
    }
    return left;
}

class CrashTest : public StoreTest {
protected:
    static std::vector<st::FieldDef> fields() {
        return {{"n", st::FieldType::Integer}, {"t", st::FieldType::Text, 20}, {"m", st::FieldType::Memo}};
    }

    [[noreturn]] void child(int start, int fd, std::string_view password) {
        if (!st::openDatabase(path("crash.edb"),
                              password.empty() ? std::nullopt : std::optional<std::string_view>(password))) {
            _exit(3);
        }
        const int ready = -1;
        if (::write(fd, &ready, sizeof ready) != sizeof ready) _exit(5);
        for (int k = start;; ++k) {
            if (!runOp(k)) _exit(4);
            if (::write(fd, &k, sizeof k) != sizeof k) _exit(5);
        }
    }

    std::vector<Rec> stored(std::string_view password) {
        std::vector<Rec> out;
        EXPECT_TRUE(st::openDatabase(
            path("crash.edb"), password.empty() ? std::nullopt : std::optional<std::string_view>(password)))
            << st::lastError();
        st::Table* t = st::currentTable();
        if (!t) return out;
        for (int n = 1; n <= t->recordCount(); ++n) {
            out.push_back({st::valueInt(t->read(n, 1)), st::valueText(t->read(n, 2)),
                           st::valueText(t->read(n, 3)), t->isDeleted(n)});
        }
        st::closeAllDatabases();
        return out;
    }

    // `pauseMicros`: the longest pause before the kill once the child has reported; the typing
    // run spreads its kills over the two-file operations, which take far longer than a key.
    void run(int kills, std::string_view password, unsigned seed, unsigned pauseMicros = 5000) {
        ASSERT_TRUE(st::createTable(path("crash.edb"), fields(), password));
        std::mt19937 rng(seed);
        std::vector<Rec> model;
        int applied = 0, reportedTotal = 0, minimumReports = 0;
        for (int round = 0; round < kills; ++round) {
            int readEnd = -1;
            const pid_t pid = forkReporting(readEnd, [&](int out) { child(applied, out, password); });
            ASSERT_GE(pid, 0);
            // Mostly kill while the child writes, after a few reported operations and a random
            // pause; now and then while it is still opening.
            std::vector<int> reports;
            int k = 0;
            if (rng() % 8 == 0) {
                ::usleep(static_cast<useconds_t>(rng() % 3000));
            } else {
                const int wanted = static_cast<int>(rng() % 4);
                minimumReports += wanted;
                while (static_cast<int>(reports.size()) < wanted &&
                       ::read(readEnd, &k, sizeof k) == sizeof k) {
                    if (k != -1) reports.push_back(k);  // -1: the child's "opened" marker
                }
                ::usleep(static_cast<useconds_t>(rng() % pauseMicros));
            }
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself with " << WEXITSTATUS(status);
            while (::read(readEnd, &k, sizeof k) == sizeof k) {
                if (k != -1) reports.push_back(k);
            }
            ::close(readEnd);
            int last = applied - 1;
            for (int r : reports) {
                ASSERT_EQ(r, last + 1);
                last = r;
            }
            reportedTotal += last + 1 - applied;
            for (int op = applied; op <= last; ++op) applyModel(model, op);
            const std::vector<Rec> actual = stored(password);
            if (actual == model) {
                applied = last + 1;
                continue;
            }
            // The operation in flight may have committed without being reported.
            applyModel(model, last + 1);
            ASSERT_EQ(actual, model) << "round " << round << ": after op " << last
                                     << " the table is neither before nor after op " << last + 1;
            applied = last + 2;
        }
        EXPECT_GE(reportedTotal, minimumReports);
        EXPECT_EQ(leftOversAfterAStartAndEnd(dir_, {"crash.edb"}, std::string(password)),
                  std::vector<std::string>());
    }
};

TEST_F(CrashTest, KilledWritersLoseNothingCompletedAndTearNothing) { run(110, {}, 2024); }

TEST_F(CrashTest, KilledWritersOfAProtectedTable) { run(40, "pw", 77); }

TEST_F(CrashTest, KilledTypistLosesNoKeystrokeAndTearsNoDay) {
    typing = true;
    struct Back {
        ~Back() { typing = false; }
    } back;
    run(killsFromEnvironment(30), "pw", 4242, 150000);
}

// The four stores with their own fields and a few records each; change c sets, changes or
// removes the password of all four at once.
class ProtectionCrashTest : public StoreTest {
protected:
    struct Store {
        const char* name;
        std::vector<st::FieldDef> fields;
    };
    const std::vector<Store> stores = {
        {"rz35", {{"日期", st::FieldType::DateTime}, {"日志", st::FieldType::Memo}}},
        {"tx35", {{"事项", st::FieldType::Text, 60}, {"内容", st::FieldType::Memo}}},
        {"bw35", {{"备忘", st::FieldType::Memo}}},
        {"lxr35", {{"姓名", st::FieldType::Text, 10}, {"电话", st::FieldType::Text, 100}}},
    };
    static std::string passwordAfter(int change) {
        if (change < 0 || change % 3 == 2) return {};
        return (change % 3 == 0 ? "设" : "改") + std::to_string(change);
    }
    static std::string valueOf(int store, int record) {
        return "值" + std::to_string(store) + "-" + std::to_string(record) + std::string(record * 5, 'x');
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Store& s : stores) out.push_back(s.name);
        return out;
    }
    // All four open with the password, and are protected exactly when it is not empty.
    bool openAll(const std::string& password) {
        for (const Store& s : stores) {
            if (st::isDatabaseEncrypted(path(std::string(s.name) + ".edb")) == password.empty()) return false;
        }
        for (const Store& s : stores) {
            if (!st::openDatabase(
                    path(std::string(s.name) + ".edb"),
                    password.empty() ? std::nullopt : std::optional<std::string_view>(password))) {
                st::closeAllDatabases();
                return false;
            }
        }
        return true;
    }
    // Every store holds its records in full, whatever key they are sealed under.
    void expectContents() {
        for (std::size_t i = 0; i < stores.size(); ++i) {
            st::Table* t = st::findOpenTable(stores[i].name);
            ASSERT_NE(t, nullptr);
            ASSERT_EQ(t->recordCount(), 12) << stores[i].name;
            for (int n = 1; n <= 12; ++n) {
                ASSERT_EQ(st::valueText(t->read(n, static_cast<int>(stores[i].fields.size()))),
                          valueOf(static_cast<int>(i), n));
            }
        }
    }
    [[noreturn]] void child(int next, int fd) {
        if (!openAll(passwordAfter(next - 1))) _exit(3);
        const int ready = -1;
        if (::write(fd, &ready, sizeof ready) != sizeof ready) _exit(5);
        for (int c = next;; ++c) {
            if (!st::setDatabasePasswordOnTables(names(), passwordAfter(c))) _exit(4);
            if (::write(fd, &c, sizeof c) != sizeof c) _exit(5);
        }
    }
};

TEST_F(ProtectionCrashTest, KilledProtectionChangesLeaveAllFourUnderOnePassword) {
    for (std::size_t i = 0; i < stores.size(); ++i) {
        const std::string file = path(std::string(stores[i].name) + ".edb");
        ASSERT_TRUE(st::createTable(file, stores[i].fields));
        ASSERT_TRUE(st::openDatabase(file));
        for (int n = 1; n <= 12; ++n) {
            std::vector<st::Value> values(stores[i].fields.size(), st::Value{std::string("v")});
            values.back() = st::Value{valueOf(static_cast<int>(i), n)};
            if (stores[i].fields[0].type == st::FieldType::DateTime) values[0] = date(45000 + n);
            ASSERT_TRUE(st::addRecord(values));
        }
    }
    st::closeAllDatabases();
    std::mt19937 rng(1106);
    const int kills = killsFromEnvironment(30);
    int done = -1, landedInFlight = 0;  // the last change known on disk
    long changeMicros = 200000;
    const auto micros = [](auto d) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(d).count());
    };
    for (int round = 0; round < kills; ++round) {
        int readEnd = -1;
        const pid_t pid = forkReporting(readEnd, [&](int out) { child(done + 1, out); });
        ASSERT_GE(pid, 0);
        // The kill lands anywhere in a change: the pause spans the time a change has been taking.
        int k = 0, last = done;
        const int wanted = 1 + static_cast<int>(rng() % 2);
        auto reported = std::chrono::steady_clock::now();
        for (int got = 0; got < wanted && ::read(readEnd, &k, sizeof k) == sizeof k;) {
            const auto now = std::chrono::steady_clock::now();
            if (k != -1) {
                if (got > 0) changeMicros = (3 * changeMicros + micros(now - reported)) / 4;
                last = k, ++got;
            }
            reported = now;
        }
        ::usleep(static_cast<useconds_t>(rng() % (changeMicros + 1)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself with " << WEXITSTATUS(status);
        while (::read(readEnd, &k, sizeof k) == sizeof k) {
            if (k != -1) last = k;
        }
        ::close(readEnd);
        // Each store alone first: all four agree on being protected or not.
        int protectedCount = 0;
        for (const Store& s : stores)
            protectedCount += st::isDatabaseEncrypted(path(std::string(s.name) + ".edb"));
        ASSERT_TRUE(protectedCount == 0 || protectedCount == 4) << "round " << round << ": mixed protection";
        if (openAll(passwordAfter(last))) {
            done = last;
        } else {
            ASSERT_TRUE(openAll(passwordAfter(last + 1)))
                << "round " << round << ": the stores open neither as change " << last << " nor " << last + 1
                << " left them (" << st::lastError() << ")";
            done = last + 1;
            ++landedInFlight;
        }
        expectContents();
        st::closeAllDatabases();
    }
    std::vector<std::string> tables;
    for (const Store& s : stores) tables.push_back(std::string(s.name) + ".edb");
    EXPECT_EQ(leftOversAfterAStartAndEnd(dir_, tables, passwordAfter(done)), std::vector<std::string>());
    RecordProperty("kills", kills);
    RecordProperty("changes", done + 1);
    RecordProperty("inFlightCommitted", landedInFlight);
}

}  // namespace
}  // namespace store_test
