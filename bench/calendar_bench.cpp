// Calendar timings on the century dataset, on the real MainWindow under the offscreen platform:
//   - the diary keystroke end to end through onDiaryTextChanged (the box's content change, the
//     day's lookup and the durable write), typed into today's record at the end of the century,
//     each key followed by a bare 4 KB write+fdatasync in the stores' folder, the baseline it is
//     judged against; the flushes each keystroke costs are counted;
//   - rebuildWeekView: seven diary lookups and seven passes over the periodic items.
// Goals: 1 flush per keystroke on an existing record, keystroke median within 5 times the bare
// flush, p99 within 40 ms; rebuild within 10 ms.
//
// Flushes are counted by wrapping the C library's flush calls in this program: SQLite (and our
// own file writes) call fdatasync or fsync through the dynamic linker, which finds these first.
#include <dlfcn.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/century.h"
#include "bench/report.h"
#include "calendar/calendar.h"
#include "contacts/memo.h"
#include "core/opening.h"
#include "forms/forms.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"

namespace {

int flushes = 0;

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {
int fdatasync(int fd) {
    static const auto real = next<int (*)(int)>("fdatasync");
    ++flushes;
    return real(fd);
}
int fsync(int fd) {
    static const auto real = next<int (*)(int)>("fsync");
    ++flushes;
    return real(fd);
}
int msync(void* address, size_t length, int flags) {
    static const auto real = next<int (*)(void*, size_t, int)>("msync");
    if (flags & MS_SYNC) ++flushes;
    return real(address, length, flags);
}
}

namespace {

namespace st = runtime::store;
namespace ui = runtime::ui;
using bench::Clock;
using bench::msSince;
using bench::percentile;

constexpr const char* kBench = "calendar";
constexpr int kKeystrokes = 300;
constexpr int kRebuilds = 50;

int failed(const char* what) {
    bench::fail(kBench, std::string(what) + " (" + st::lastError() + ")");
    return 1;
}

}  // namespace

int main() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ui::startRuntime();
    ui::registerWindows(forms::allWindows());
    const std::string folder = (std::filesystem::current_path() / "qb_calendar_bench").string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    runtime::setRunDirectoryForTesting(folder);
    const runtime::DateTime today = runtime::makeDate(2024, 6, 15);
    runtime::setClockForTesting([today] { return runtime::DateTime{today.days + 10.0 / 24}; });
    ui::setEndProgramHook(
        [](int code) { std::fprintf(stderr, "calendar_bench: program ended (%d)\n", code); });
    ui::useScriptedDialogs();
    core::createMissingDataFiles();
    core::openTables();

    // The century ends the day before today, so today's record is appended last and every
    // keystroke's lookup walks the whole diary.
    const bench::Century century = bench::makeCentury(today);
    if (!bench::fillOpenStores(century)) return failed("filling the stores");

    calendar::bindCalendarHandlers();
    contacts::bindMemoHandlers();
    if (!ui::loadWindow("MainWindow")) return failed("loading MainWindow");
    core::bindDataProviders();
    ui::setDate("MainWindow", "月历", runtime::getCurrentDateTime());
    calendar::onCalendarDateChanged();

    bench::BareFlush flush(folder + "/data");
    std::vector<double> keystrokes, bare;
    std::vector<double> flushCounts;  // on the existing record: every key after the first
    int firstKeyFlushes = 0, bareFlushes = 0;
    std::string text;
    for (int k = 0; k < kKeystrokes; ++k) {
        text += static_cast<char>('a' + k % 26);
        flushes = 0;
        const auto t0 = Clock::now();
        ui::setText("MainWindow", "编辑框_本日志", text);
        const double ms = msSince(t0);
        if (k == 0) {
            firstKeyFlushes = flushes;
            continue;
        }
        keystrokes.push_back(ms);
        flushCounts.push_back(flushes);
        flushes = 0;
        bare.push_back(flush.once());
        bareFlushes += flushes;
        if (bare.back() < 0) return failed("the bare 4 KB write+fdatasync");
    }
    st::Table* rz = st::findOpenTable("rz35");
    if (!rz || rz->recordCount() != static_cast<int>(century.diary.size()) + 1 ||
        st::valueText(rz->read(rz->recordCount(), 2)) != text) {
        return failed("the diary does not hold the typed text");
    }

    std::vector<double> rebuilds;
    for (int r = 0; r < kRebuilds; ++r) {
        const auto t0 = Clock::now();
        calendar::rebuildWeekView();
        rebuilds.push_back(msSince(t0));
    }
    if (ui::getGridCellData("MainWindow", "高级表格_周历", 4, 1) != "今日" ||
        ui::getGridCellData("MainWindow", "高级表格_周历", 4, 3) != text.substr(0, 100)) {
        return failed("the week view does not show today");
    }

    const double bareMedian = percentile(bare, 0.5);
    const double keyMedian = percentile(keystrokes, 0.5);
    std::printf(
        "calendar_bench: %zu diary days (~1 KB each), %zu periodic items, %d keys typed into today's "
        "record\n",
        century.diary.size(), century.items.size(), kKeystrokes);
    bench::note(kBench, "bare 4 KB write+fdatasync between keys: median", bareMedian, "ms", "baseline");
    bench::note(kBench, "bare 4 KB write+fdatasync between keys: p99", percentile(bare, 0.99), "ms",
                "baseline");
    bench::note(kBench, "flushes per bare write (check of the counter)",
                bareFlushes / static_cast<double>(bare.size()), "", "must be 1");
    bench::figure(kBench, "keystroke on an existing record: median", keyMedian, "ms", 5 * bareMedian);
    bench::figure(kBench, "keystroke median / bare flush median", keyMedian / bareMedian, "x", 5);
    bench::figure(kBench, "keystroke on an existing record: p99", percentile(keystrokes, 0.99), "ms", 40);
    bench::note(kBench, "keystroke p99 / bare flush p99",
                percentile(keystrokes, 0.99) / percentile(bare, 0.99), "x", "");
    bench::figure(kBench, "flushes per keystroke on an existing record (median)",
                  percentile(flushCounts, 0.5), "", 1);
    bench::note(kBench, "flushes per keystroke on an existing record (max)", percentile(flushCounts, 1.0), "",
                "");
    bench::note(kBench, "flushes of the first keystroke (creates the record)", firstKeyFlushes, "", "");
    bench::figure(kBench, "rebuildWeekView median", percentile(rebuilds, 0.5), "ms", 10);
    bench::note(kBench, "rebuildWeekView max", percentile(rebuilds, 1.0), "ms", "");
    ui::resetForTesting();
    st::closeAllDatabases();
    std::filesystem::remove_all(folder);
    return 0;
}
