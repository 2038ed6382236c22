// Table store timings on the century dataset's diary (36,500 days, ~1 KB of text each) and its
// 10,000 contacts, unprotected and protected: open, the diary keystroke path (find the day, write
// its memo), a full findRecord scan and pack. A bare 4 KB write+fsync on the same disk is measured
// in the same run as the baseline the keystroke write is judged against. Protected stores are
// held to the same goals as plain ones: the user waits the same.
//
// Usage: store_bench [folder]   (default: ./store-bench-data, removed afterwards)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/century.h"
#include "bench/report.h"
#include "core/stores.h"
#include "runtime/store/store.h"
#include "runtime/store/store_testing.h"

namespace st = runtime::store;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDays = 36500;
constexpr int kContacts = 10000;
constexpr double kFirstDay = 36526;  // 2000-01-01
constexpr int kKeystrokes = 300;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double median = 0, p99 = 0;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

bool check(bool ok, const char* what) {
    if (!ok) std::printf("CHECK FAILED: %s (%s)\n", what, st::lastError().c_str());
    return ok;
}

// Overwriting one 4 KB block in place (the cheapest durable write), or appending one (a write
// that also changes the file's size, as a journal does).
Stats bareWriteFsync(const std::string& folder, bool append) {
    const std::string file = folder + "/bare.bin";
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    std::string block(4096, 'b');
    std::vector<double> times;
    for (int i = 0; i < kKeystrokes; ++i) {
        const auto t0 = Clock::now();
        const off_t at = append ? static_cast<off_t>(i) * 4096 : 0;
        if (::pwrite(fd, block.data(), block.size(), at) != 4096 || ::fsync(fd) != 0) break;
        times.push_back(msSince(t0));
    }
    ::close(fd);
    ::unlink(file.c_str());
    return stats(times);
}

struct Figures {
    double fill = 0, openDiary = 0, openContacts = 0, openCached = 0, scan = 0, pack = 0, reseal = 0;
    Stats write, keystroke;
};

bool runOnce(const std::string& folder, const std::string& password, Figures& f) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string rz = folder + "/rz35.edb", lxr = folder + "/lxr35.edb";
    if (!check(st::createTable(rz, core::diarySchema(), password), "create rz35") ||
        !check(st::createTable(lxr, core::contactSchema(), password), "create lxr35")) {
        return false;
    }
    const std::optional<std::string_view> pw =
        password.empty() ? std::nullopt : std::optional<std::string_view>(password);
    {
        auto t0 = Clock::now();
        const bench::Century century = bench::makeCentury(runtime::DateTime{kFirstDay + kDays});
        const bench::Rows& diary = century.diary;
        const bench::Rows& contacts = century.contacts;
        if (!check(st::openDatabase(rz, pw), "open rz35 to fill") || !check(st::addRecords(diary), "fill rz35") ||
            !check(st::openDatabase(lxr, pw), "open lxr35 to fill") || !check(st::addRecords(contacts), "fill lxr35")) {
            return false;
        }
        f.fill = msSince(t0);
        st::closeAllDatabases();
    }
    st::testing::forgetDerivedKeys();  // as at a new start
    auto t0 = Clock::now();
    if (!check(st::openDatabase(rz, pw), "open rz35")) return false;
    f.openDiary = msSince(t0);
    t0 = Clock::now();
    if (!check(st::openDatabase(lxr, pw), "open lxr35")) return false;
    f.openContacts = msSince(t0);
    if (!check(st::getRecordCount() == kContacts, "contacts count")) return false;
    st::selectDatabase("rz35");
    st::closeDatabase();
    t0 = Clock::now();
    if (!check(st::openDatabase(rz, pw), "reopen rz35")) return false;
    f.openCached = msSince(t0);
    if (!check(st::getRecordCount() == kDays, "diary count")) return false;

    // The keystroke path: find the chosen day from the first record (as the day page does, through
    // the index of days), write its whole text.
    std::mt19937 rng(42);
    std::vector<double> writes, keystrokes;
    for (int i = 0; i < kKeystrokes; ++i) {
        const int day = static_cast<int>(rng() % kDays);
        const double wanted = kFirstDay + day;
        const auto k0 = Clock::now();
        st::selectDatabase("rz35");
        st::goToFirstRecord();
        const bool found = st::findRecordOnDay(1, runtime::DateTime{wanted});
        const auto w0 = Clock::now();
        const bool written = st::writeField("日志", st::Value{bench::diaryText(day, i + 1)});
        writes.push_back(msSince(w0));
        keystrokes.push_back(msSince(k0));
        if (!check(found && written && st::getRecordNumber() == day + 1, "keystroke")) return false;
    }
    f.write = stats(writes);
    f.keystroke = stats(keystrokes);

    std::vector<double> scans;
    for (int i = 0; i < 20; ++i) {
        const auto s0 = Clock::now();
        st::goToFirstRecord();
        const bool found = st::findRecord([] { return st::valueDate(st::readField("日期")).days < 0; });
        scans.push_back(msSince(s0));
        if (!check(!found && st::getRecordNumber() == kDays + 1, "scan")) return false;
    }
    f.scan = stats(scans).median;

    st::goToRecord(kDays / 2);
    st::deleteRecords();
    t0 = Clock::now();
    if (!check(st::packDatabase() && st::getRecordCount() == kDays - 1, "pack")) return false;
    f.pack = msSince(t0);
    t0 = Clock::now();
    if (!check(st::setDatabasePassword(password.empty() ? "新密码" : ""), "re-seal")) return false;
    f.reseal = msSince(t0);
    st::closeAllDatabases();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "store-bench-data";
    const std::string disk = std::filesystem::absolute(folder).parent_path().string();
    const Stats bare = bareWriteFsync(disk, false);
    const Stats bareAppend = bareWriteFsync(disk, true);
    std::printf("store_bench: %d diary records (~1 KB memo each) + %d contacts, folder %s\n", kDays, kContacts,
                folder.c_str());
    constexpr const char* kBench = "store";
    bench::note(kBench, "bare 4 KB pwrite+fsync in place: median (baseline)", bare.median, "ms", "baseline");
    bench::note(kBench, "bare 4 KB pwrite+fsync appended: median", bareAppend.median, "ms", "baseline");
    for (const char* mode : {"unprotected", "protected"}) {
        const bool prot = std::string(mode) == "protected";
        Figures f;
        if (!runOnce(folder, prot ? "基准测试密码" : "", f)) return 1;
        const std::string m = std::string(mode) + ": ";
        bench::note(kBench, m + "fill (one transaction per table)", f.fill, "ms", "");
        bench::figure(kBench, m + (prot ? "open rz35 (incl. one key derivation)" : "open rz35"), f.openDiary, "ms", 150);
        bench::figure(kBench, m + "open lxr35", f.openContacts, "ms", 150);
        bench::figure(kBench, m + "reopen rz35 (key cached)", f.openCached, "ms", 150);
        bench::figure(kBench, m + "memo write median", f.write.median, "ms", 5 * bare.median);
        bench::note(kBench, m + "memo write median / bare fsync in place", f.write.median / bare.median, "x", "");
        bench::note(kBench, m + "memo write p99", f.write.p99, "ms", "");
        bench::note(kBench, m + "keystroke (find day + write) median", f.keystroke.median, "ms", "");
        bench::figure(kBench, m + "findRecord scan of all records", f.scan, "ms", 5);
        bench::note(kBench, m + "pack after one deletion", f.pack, "ms", "");
        bench::note(kBench, m + (prot ? "remove the password (re-seal rz35)" : "set a password (derive + re-seal)"),
                    f.reseal, "ms", "");
    }
    std::filesystem::remove_all(folder);
    return 0;
}
