// Table store timings on the century dataset's diary (36,500 days, ~1 KB of text each) and its
// 10,000 contacts, unprotected and protected: open, the diary keystroke path (find the day, write
// its memo), a full findRecord scan and pack; each open the median of five. Each keystroke is followed by a
// bare 4 KB write+fdatasync in the store's folder, the baseline its write is judged against: the ratio of the
// two medians. Protected stores are held to the same goals as plain ones: the user waits the same.
//
// Usage: store_bench [folder]   (default: ./store-bench-data, removed afterwards)
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

namespace {

using bench::Clock;
using bench::msSince;

constexpr int kDays = 36500;
constexpr int kContacts = 10000;
constexpr double kFirstDay = 36526;  // 2000-01-01
constexpr int kKeystrokes = 300;
constexpr int kOpens = 5;

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

struct Figures {
    double fill = 0, openDiary = 0, openContacts = 0, openCached = 0, scan = 0, pack = 0, reseal = 0;
    Stats write, keystroke, bare;
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
        if (!check(st::openDatabase(rz, pw), "open rz35 to fill") ||
            !check(st::addRecords(diary), "fill rz35") ||
            !check(st::openDatabase(lxr, pw), "open lxr35 to fill") ||
            !check(st::addRecords(contacts), "fill lxr35")) {
            return false;
        }
        f.fill = msSince(t0);
        st::closeAllDatabases();
    }
    std::vector<double> opensDiary, opensContacts, opensCached;
    for (int i = 0; i < kOpens; ++i) {
        st::closeAllDatabases();
        st::testing::forgetDerivedKeys();  // as at a new start
        auto t0 = Clock::now();
        if (!check(st::openDatabase(rz, pw), "open rz35")) return false;
        opensDiary.push_back(msSince(t0));
        t0 = Clock::now();
        if (!check(st::openDatabase(lxr, pw), "open lxr35")) return false;
        opensContacts.push_back(msSince(t0));
        if (!check(st::getRecordCount() == kContacts, "contacts count")) return false;
        st::selectDatabase("rz35");
        st::closeDatabase();
        t0 = Clock::now();
        if (!check(st::openDatabase(rz, pw), "reopen rz35")) return false;
        opensCached.push_back(msSince(t0));
        if (!check(st::getRecordCount() == kDays, "diary count")) return false;
    }
    f.openDiary = stats(opensDiary).median;
    f.openContacts = stats(opensContacts).median;
    f.openCached = stats(opensCached).median;

    // The keystroke path: find the chosen day from the first record (as the day page does, through
    // the index of days), write its whole text; then the bare flush.
    std::mt19937 rng(42);
    bench::BareFlush flush(folder);
    std::vector<double> writes, keystrokes, bare;
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
        bare.push_back(flush.once());
        if (!check(bare.back() >= 0, "bare 4 KB write+fdatasync")) return false;
    }
    f.write = stats(writes);
    f.keystroke = stats(keystrokes);
    f.bare = stats(bare);

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
    auto t0 = Clock::now();
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
    std::printf("store_bench: %d diary records (~1 KB memo each) + %d contacts, folder %s, %d keystrokes\n",
                kDays, kContacts, folder.c_str(), kKeystrokes);
    constexpr const char* kBench = "store";
    for (const char* mode : {"unprotected", "protected"}) {
        const bool prot = std::string(mode) == "protected";
        Figures f;
        if (!runOnce(folder, prot ? "基准测试密码" : "", f)) return 1;
        const std::string m = std::string(mode) + ": ";
        bench::note(kBench, m + "fill (one transaction per table)", f.fill, "ms", "");
        bench::figure(kBench,
                      m + (prot ? "open rz35 (incl. one key derivation): median" : "open rz35: median"),
                      f.openDiary, "ms", 150);
        bench::figure(kBench, m + "open lxr35: median", f.openContacts, "ms", 150);
        bench::figure(kBench, m + "reopen rz35 (key cached): median", f.openCached, "ms", 150);
        bench::note(kBench, m + "bare 4 KB write+fdatasync between keys: median", f.bare.median, "ms",
                    "baseline");
        bench::note(kBench, m + "bare 4 KB write+fdatasync between keys: p99", f.bare.p99, "ms", "baseline");
        bench::note(kBench, m + "memo write median", f.write.median, "ms", "");
        bench::figure(kBench, m + "memo write median / bare flush median", f.write.median / f.bare.median,
                      "x", 5);
        bench::note(kBench, m + "memo write p99", f.write.p99, "ms", "");
        bench::note(kBench, m + "memo write p99 / bare flush p99", f.write.p99 / f.bare.p99, "x", "");
        bench::note(kBench, m + "keystroke (find day + write) median", f.keystroke.median, "ms", "");
        bench::note(kBench, m + "keystroke median / bare flush median", f.keystroke.median / f.bare.median,
                    "x", "");
        bench::figure(kBench, m + "findRecord scan of all records", f.scan, "ms", 5);
        bench::note(kBench, m + "pack after one deletion", f.pack, "ms", "");
        bench::note(kBench,
                    m + (prot ? "remove the password (re-seal rz35)" : "set a password (derive + re-seal)"),
                    f.reseal, "ms", "");
    }
    std::filesystem::remove_all(folder);
    return 0;
}
