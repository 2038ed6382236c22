// searchAll on the real MainWindow over the century dataset and over a tenth and a hundredth of
// it, for a rare keyword (a day in a thousand) and a common one (almost every day). Beside it,
// in the same run, the baseline: a plain byte search over the same texts in memory, one after
// each search. The three sizes take turns: each round starts the program on each of them, one
// search of each keyword warms its caches, then kSearches of each keyword are timed. The times
// are the medians of all rounds' searches; the growth is the median of the rounds' own growths
// (the ratio of the two sizes' medians in one round), as the machine's load drifts between
// rounds.
// Goals: median at most 50 ms for either keyword on the century; from a tenth to the whole
// (ten times the data) the time grows at most ten times.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "bench/century.h"
#include "bench/program.h"
#include "bench/report.h"
#include "core/search_results.h"

namespace {

namespace ui = runtime::ui;
using bench::Clock;
using bench::msSince;

constexpr const char* kBench = "search";
constexpr int kRounds = 9;
constexpr int kSearches = 5;

struct Expected {
    int diary = 0, items = 0, contacts = 0;
};

// What the lists must hold, counted straight from the data (the keywords have no letters, so
// letter case plays no part).
Expected count(const bench::Century& c, const std::string& word) {
    auto holds = [&word](const runtime::store::Value& v) {
        return runtime::store::valueText(v).find(word) != std::string::npos;
    };
    Expected e;
    for (const auto& row : c.diary) e.diary += holds(row[1]);
    for (const auto& row : c.items) e.items += holds(row[3]);
    for (const auto& row : c.contacts) e.contacts += holds(row[0]) || holds(row[1]) || holds(row[2]);
    return e;
}

int listCount(core::ResultKind kind) { return static_cast<int>(core::searchResults(kind).size()); }

volatile int sink = 0;  // keeps the baseline's search from being optimised away

double baseline(const bench::Century& c, const std::string& word) {
    const auto t0 = Clock::now();
    int hits = 0;
    for (const auto& rows : {&c.diary, &c.items, &c.contacts}) {
        for (const auto& row : *rows) {
            for (const auto& value : row) {
                if (const auto* text = std::get_if<std::string>(&value)) {
                    hits += ::memmem(text->data(), text->size(), word.data(), word.size()) != nullptr;
                }
            }
        }
    }
    hits += ::memmem(c.memo.data(), c.memo.size(), word.data(), word.size()) != nullptr;
    sink = hits;
    return msSince(t0);
}

struct Scale {
    Scale(double s, const char* n, std::string f) : scale(s), name(n), folder(std::move(f)) {}
    double scale;
    const char* name;
    std::string folder;
    bench::Century century;
    Expected want[2];
    std::vector<double> times[2], base[2];
    std::vector<double> roundTimes[2], roundBase[2];  // each round's median
};

// The median over the rounds of a's round median divided by b's.
double growth(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t r = 0; r < a.size() && r < b.size(); ++r) ratios.push_back(a[r] / b[r]);
    return bench::percentile(ratios, 0.5);
}

}  // namespace

int main() {
    const std::string root = (std::filesystem::current_path() / "qb_search_bench").string();
    Scale scales[] = {{0.01, "a hundredth (365 days)", root + "-hundredth"},
                      {0.1, "a tenth (3,650 days)", root + "-tenth"},
                      {1.0, "the century", root + "-century"}};
    const std::string words[2] = {bench::kRareKeyword, bench::kCommonKeyword};
    for (Scale& s : scales) {
        s.century = bench::makeCentury(bench::benchToday(), s.scale);
        for (int k = 0; k < 2; ++k) s.want[k] = count(s.century, words[k]);
        if (!bench::writeProgramFolder(s.folder, s.century)) {
            bench::fail(kBench, "writing the datasets");
            return 1;
        }
    }
    std::printf("search_bench: searchAll on MainWindow, %d rounds of %d searches each\n", kRounds, kSearches);
    for (int round = 0; round < kRounds; ++round) {
        for (Scale& s : scales) {
            if (!bench::startProgramIn(s.folder, static_cast<int>(s.century.diary.size()))) {
                bench::fail(kBench, "starting the program");
                return 1;
            }
            for (int k = 0; k < 2; ++k) {
                ui::setText("MainWindow", "编辑框关键词", words[k]);
                search::searchAll();
                if (listCount(core::ResultKind::Diary) != s.want[k].diary ||
                    listCount(core::ResultKind::PeriodicItem) != s.want[k].items ||
                    listCount(core::ResultKind::Contact) != s.want[k].contacts) {
                    bench::fail(kBench, "the lists do not hold every hit of " + words[k]);
                    return 1;
                }
                std::vector<double> times, base;
                for (int i = 0; i < kSearches; ++i) {
                    const auto t0 = Clock::now();
                    search::searchAll();
                    times.push_back(msSince(t0));
                    base.push_back(baseline(s.century, words[k]));
                }
                s.times[k].insert(s.times[k].end(), times.begin(), times.end());
                s.base[k].insert(s.base[k].end(), base.begin(), base.end());
                s.roundTimes[k].push_back(bench::percentile(times, 0.5));
                s.roundBase[k].push_back(bench::percentile(base, 0.5));
            }
            bench::endProgram();
        }
    }
    for (const Scale& s : scales) {
        for (int k = 0; k < 2; ++k) {
            const std::string what = std::string(k == 0 ? "rare" : "common") + " keyword, " + s.name + ", " +
                                     std::to_string(s.want[k].diary) + " days hit: median";
            const double median = bench::percentile(s.times[k], 0.5);
            if (s.scale == 1.0) {
                bench::figure(kBench, what, median, "ms", 50);
            } else {
                bench::note(kBench, what, median, "ms", "");
            }
            bench::note(kBench, "  baseline: memmem over the same texts in memory",
                        bench::percentile(s.base[k], 0.5), "ms", "baseline");
        }
    }
    for (int k = 0; k < 2; ++k) {
        const std::string word = k == 0 ? "rare keyword" : "common keyword";
        const Scale& tenth = scales[1];
        const Scale& whole = scales[2];
        bench::figure(kBench, word + ": growth from a tenth to the century",
                      growth(whole.roundTimes[k], tenth.roundTimes[k]), "x", 10);
        // A tenth of the texts fits in the processor's caches, the century does not: the plain
        // search grows by more than the data too.
        bench::note(kBench, "  baseline's growth from a tenth to the century",
                    growth(whole.roundBase[k], tenth.roundBase[k]), "x", "baseline");
    }
    for (const Scale& s : scales) std::filesystem::remove_all(s.folder);
    return 0;
}
