// Crashes at any moment: a child process writes records and memos in a loop and reports each
// completed operation through a pipe; we kill it with SIGKILL at random moments, reopen, and
// check that every reported operation is there and nothing is half-written.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

// Operation k on the model; the same on the store in runOp. Pure functions of k and the state.
void applyModel(std::vector<Rec>& model, int k) {
    const int kind = k % 10;
    const int count = static_cast<int>(model.size());
    if (kind <= 5) {
        model.push_back({k, "t" + std::to_string(k), memoOf(k), false});
    } else if (kind <= 7) {
        if (count == 0) return;
        Rec& r = model[victim(k, count) - 1];
        r.t = "u" + std::to_string(k);
        r.m = memoOf(k);
    } else if (kind == 8) {
        if (count > 0) model[victim(k, count) - 1].deleted = true;
    } else {
        std::erase_if(model, [](const Rec& r) { return r.deleted; });
    }
}

bool runOp(int k) {
    const int kind = k % 10;
    const int count = st::getRecordCount();
    if (kind <= 5) {
        return st::addRecord({st::Value{int32_t{k}}, st::Value{"t" + std::to_string(k)}, st::Value{memoOf(k)}});
    }
    if (kind <= 7) {
        if (count == 0) return true;
        return st::goToRecord(victim(k, count)) &&
               st::modifyRecord({std::nullopt, st::Value{"u" + std::to_string(k)}, st::Value{memoOf(k)}});
    }
    if (kind == 8) return count == 0 || (st::goToRecord(victim(k, count)) && st::deleteRecords());
    return st::packDatabase();
}

class CrashTest : public StoreTest {
protected:
    static std::vector<st::FieldDef> fields() {
        return {{"n", st::FieldType::Integer}, {"t", st::FieldType::Text, 20}, {"m", st::FieldType::Memo}};
    }

    [[noreturn]] void child(int start, int fd, std::string_view password) {
        if (!st::openDatabase(path("crash.edb"), password.empty() ? std::nullopt
                                                                   : std::optional<std::string_view>(password))) {
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
        EXPECT_TRUE(st::openDatabase(path("crash.edb"), password.empty() ? std::nullopt
                                                                          : std::optional<std::string_view>(password)))
            << st::lastError();
        st::Table* t = st::currentTable();
        if (!t) return out;
        for (int n = 1; n <= t->recordCount(); ++n) {
            out.push_back({st::valueInt(t->read(n, 1)), st::valueText(t->read(n, 2)), st::valueText(t->read(n, 3)),
                           t->isDeleted(n)});
        }
        st::closeAllDatabases();
        return out;
    }

    void run(int kills, std::string_view password, unsigned seed) {
        ASSERT_TRUE(st::createTable(path("crash.edb"), fields(), password));
        std::mt19937 rng(seed);
        std::vector<Rec> model;
        int applied = 0, reportedTotal = 0, minimumReports = 0;
        for (int round = 0; round < kills; ++round) {
            int fds[2];
            ASSERT_EQ(::pipe(fds), 0);
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(fds[0]);
                child(applied, fds[1], password);
            }
            ::close(fds[1]);
            // Mostly kill while the child writes, after a few reported operations and a random
            // pause; now and then while it is still opening.
            std::vector<int> reports;
            int k = 0;
            if (rng() % 8 == 0) {
                ::usleep(static_cast<useconds_t>(rng() % 3000));
            } else {
                const int wanted = static_cast<int>(rng() % 4);
                minimumReports += wanted;
                while (static_cast<int>(reports.size()) < wanted && ::read(fds[0], &k, sizeof k) == sizeof k) {
                    if (k != -1) reports.push_back(k);  // -1: the child's "opened" marker
                }
                ::usleep(static_cast<useconds_t>(rng() % 5000));
            }
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status)) << "child ended by itself with " << WEXITSTATUS(status);
            while (::read(fds[0], &k, sizeof k) == sizeof k) {
                if (k != -1) reports.push_back(k);
            }
            ::close(fds[0]);
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
    }
};

TEST_F(CrashTest, KilledWritersLoseNothingCompletedAndTearNothing) { run(110, {}, 2024); }

TEST_F(CrashTest, KilledWritersOfAProtectedTable) { run(40, "pw", 77); }

}  // namespace
}  // namespace store_test
