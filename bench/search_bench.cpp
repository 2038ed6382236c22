// searchAll on the real MainWindow over the century dataset and over a tenth and a hundredth of
// it, for a rare keyword (a day in a thousand) and a common one (almost every day). Beside it,
// in the same run, the baseline: a plain byte search over the same texts in memory.
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
constexpr int kRuns = 9;

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
    std::vector<double> times;
    for (int r = 0; r < kRuns; ++r) {
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
        times.push_back(msSince(t0));
        sink = hits;
    }
    return bench::percentile(times, 0.5);
}

}  // namespace

int main() {
    const std::string folder = (std::filesystem::current_path() / "qb_search_bench").string();
    const struct {
        double scale;
        const char* name;
    } scales[] = {{0.01, "a hundredth (365 days)"}, {0.1, "a tenth (3,650 days)"}, {1.0, "the century"}};
    double median[3][2] = {}, base[3][2] = {};
    std::printf("search_bench: searchAll on MainWindow, %d runs each\n", kRuns);
    for (int s = 0; s < 3; ++s) {
        const bench::Century century = bench::makeCentury(bench::benchToday(), scales[s].scale);
        if (!bench::startProgramOn(folder, century)) {
            bench::fail(kBench, "starting the program");
            return 1;
        }
        for (int k = 0; k < 2; ++k) {
            const std::string word = k == 0 ? bench::kRareKeyword : bench::kCommonKeyword;
            const Expected want = count(century, word);
            ui::setText("MainWindow", "编辑框关键词", word);
            std::vector<double> times;
            for (int r = 0; r < kRuns; ++r) {
                const auto t0 = Clock::now();
                search::searchAll();
                times.push_back(msSince(t0));
            }
            if (listCount(core::ResultKind::Diary) != want.diary ||
                listCount(core::ResultKind::PeriodicItem) != want.items ||
                listCount(core::ResultKind::Contact) != want.contacts) {
                bench::fail(kBench, std::string("the lists do not hold every hit of ") + word);
                return 1;
            }
            median[s][k] = bench::percentile(times, 0.5);
            const std::string what = std::string(k == 0 ? "rare" : "common") + " keyword, " + scales[s].name + ", " +
                                     std::to_string(want.diary) + " days hit";
            if (s == 2) {
                bench::figure(kBench, what + ": median", median[s][k], "ms", 50);
            } else {
                bench::note(kBench, what + ": median", median[s][k], "ms", "");
            }
            base[s][k] = baseline(century, word);
            bench::note(kBench, std::string("  baseline: memmem over the same texts in memory"), base[s][k], "ms",
                        "baseline");
        }
        bench::endProgramIn(folder);
    }
    for (int k = 0; k < 2; ++k) {
        const std::string word = k == 0 ? "rare keyword" : "common keyword";
        bench::figure(kBench, word + ": growth from a tenth to the century", median[2][k] / median[1][k], "x", 10);
        // A tenth of the texts fits in the processor's caches, the century does not: the plain
        // search grows by more than the data too.
        bench::note(kBench, "  baseline's growth from a tenth to the century", base[2][k] / base[1][k], "x", "baseline");
    }
    return 0;
}
