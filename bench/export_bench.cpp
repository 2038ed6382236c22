// The two exports through the real handlers on MainWindow, on the same stores, side by side:
// "导出结果" after a search for the common keyword (almost every day) and for the rare one, and
// "导出全部数据", the baseline. Each round starts the program on a tenth of the century and on the
// century and times the three exports on each in turn; the figures are medians over the rounds
// (as many as fit in kRoundsSeconds, at least one and at most kMaxRounds), and the growth is
// the median of the rounds' own growths. The first round checks every workbook against the data.
// Goals: "导出结果" takes no longer than "导出全部数据" of the same stores, and grows at most twelve
// times from the tenth to the century (ten times the data).
//
// Then, in a process of its own (this program run again with --memory, so the memory the
// dataset's generation took is not counted), the peak memory of "导出全部数据" of the century
// beside the memory the same process took to start. Goal: at most 150 MB.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/century.h"
#include "bench/program.h"
#include "bench/report.h"
#include "exchange/export.h"
#include "runtime/sheet/sheet.h"

namespace {

namespace st = runtime::store;
namespace ui = runtime::ui;
namespace sheet = runtime::sheet;

constexpr const char* kBench = "export";
constexpr int kMaxRounds = 5;
constexpr double kRoundsSeconds = 60;

// The kernel's count of this process, "VmRSS" now or "VmHWM" at its peak, in MB.
double statusMb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    }
    return 0;
}

// The milliseconds of one export (its handler builds and saves the workbook), or a negative
// number when no workbook was written; the workbook is left at `path`.
template <typename Handler>
double timeExport(Handler handler, const std::string& path) {
    std::remove(path.c_str());
    ui::pushSaveFileDialogAnswer(true, path);
    const auto t0 = bench::Clock::now();
    handler();
    const double ms = bench::msSince(t0);
    ui::clearDialogScript();
    return std::filesystem::exists(path) ? ms : -1;
}

bool holds(const st::Value& value, const std::string& word) {
    return st::valueText(value).find(word) != std::string::npos;
}

// Whether the workbook at `path` holds, on its diary sheet, each diary day of `century` whose
// text holds `word` (every day when `word` is empty) with its whole text, in store order, and as
// many periodic items and contacts.
bool holdsExport(const std::string& path, const bench::Century& century, const std::string& word) {
    sheet::Workbook book;
    if (!sheet::openWorkbook(path, book).ok() || book.sheetCount() != 4) return false;
    const sheet::Worksheet& diary = *book.sheet(1);
    int row = 1;
    for (const auto& day : century.diary) {
        if (!word.empty() && !holds(day[1], word)) continue;
        ++row;
        if (diary.cell(row, 1).asText() != runtime::dateTimeToText(st::valueDate(day[0])) ||
            diary.cell(row, 2).asText() != st::valueText(day[1])) {
            return false;
        }
    }
    int items = 0, contacts = 0;
    for (const auto& item : century.items) items += word.empty() || holds(item[3], word);
    for (const auto& c : century.contacts) {
        contacts += word.empty() || holds(c[0], word) || holds(c[1], word) || holds(c[2], word);
    }
    return diary.usedSize().rows == row && book.sheet(2)->usedSize().rows == items + 1 &&
           book.sheet(4)->usedSize().rows == contacts + 1;
}

int peakMemoryIn(const std::string& folder) {
    if (!bench::startProgramIn(folder, bench::kCenturyDays)) {
        bench::fail(kBench, "starting the program");
        return 1;
    }
    const double started = statusMb("VmHWM");
    const double ms = timeExport(exchange::onExportAllButton, folder + "/export.xlsx");
    const double peak = statusMb("VmHWM");
    if (ms < 0) {
        bench::fail(kBench, "导出全部数据 wrote no workbook");
        return 1;
    }
    bench::note(kBench, "peak memory after start, before the export", started, "MB", "");
    bench::figure(kBench, "peak memory after 导出全部数据 of the century", peak, "MB", 150);
    return 0;
}

struct Scale {
    Scale(double s, const char* n, std::string f) : scale(s), name(n), folder(std::move(f)) {}
    double scale;
    const char* name;
    std::string folder;
    bench::Century century;
    // By export (the common keyword's results, the rare keyword's, every record), by round.
    std::vector<double> times[3];
};

constexpr const char* kExports[3] = {"导出结果, common keyword", "导出结果, rare keyword", "导出全部数据"};

// One round of the three exports on `s`; false when one failed or, in the first round, wrote
// a workbook that does not hold what it should.
bool exportRound(Scale& s, bool check) {
    if (!bench::startProgramIn(s.folder, static_cast<int>(s.century.diary.size()))) {
        bench::fail(kBench, std::string("starting the program on ") + s.name);
        return false;
    }
    const std::string path = s.folder + "/export.xlsx";
    const std::string words[3] = {bench::kCommonKeyword, bench::kRareKeyword, ""};
    bool ok = true;
    for (int e = 0; e < 3 && ok; ++e) {
        double ms = 0;
        if (words[e].empty()) {
            ms = timeExport(exchange::onExportAllButton, path);
        } else {
            ui::setText("MainWindow", "编辑框关键词", words[e]);
            search::searchAll();
            ms = timeExport(exchange::onExportResultsButton, path);
        }
        ok = ms >= 0 && (!check || holdsExport(path, s.century, words[e]));
        if (!ok) {
            bench::fail(kBench,
                        std::string(kExports[e]) + ", " + s.name + ": the workbook is not what it should be");
        } else {
            s.times[e].push_back(ms);
        }
    }
    std::remove(path.c_str());
    bench::endProgram();
    return ok;
}

// The median over the rounds of a's time divided by b's in the same round.
double growth(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> ratios;
    for (std::size_t r = 0; r < a.size() && r < b.size(); ++r) ratios.push_back(a[r] / b[r]);
    return bench::percentile(ratios, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--memory") return peakMemoryIn(argv[2]);

    const std::string root = (std::filesystem::current_path() / "qb_export_bench").string();
    Scale scales[] = {{0.1, "a tenth", root + "-tenth"}, {1.0, "the century", root + "-century"}};
    for (Scale& s : scales) {
        s.century = bench::makeCentury(bench::benchToday(), s.scale);
        if (!bench::writeProgramFolder(s.folder, s.century)) {
            bench::fail(kBench, "writing the datasets");
            return 1;
        }
    }
    // No spreadsheet application is shown a workbook: each is saved where the bench says.
    bench::hideDesktopApplications(root);

    std::printf("export_bench: the two exports on MainWindow, at most %d rounds in %.0f s\n", kMaxRounds,
                kRoundsSeconds);
    std::fflush(stdout);
    const auto t0 = bench::Clock::now();
    int rounds = 0;
    while (rounds < kMaxRounds && (rounds == 0 || bench::msSince(t0) < kRoundsSeconds * 1000)) {
        for (Scale& s : scales) {
            if (!exportRound(s, rounds == 0)) return 1;
        }
        ++rounds;
    }
    const Scale& tenth = scales[0];
    const Scale& whole = scales[1];
    for (const Scale& s : scales) {
        const double all = bench::percentile(s.times[2], 0.5);
        for (int e = 0; e < 2; ++e) {
            const std::string what = std::string(kExports[e]) + ", " + s.name + ": median";
            if (&s == &whole) {
                bench::figure(kBench, what, bench::percentile(s.times[e], 0.5), "ms", all);
            } else {
                bench::note(kBench, what, bench::percentile(s.times[e], 0.5), "ms", "");
            }
        }
        bench::note(kBench, std::string("  baseline: 导出全部数据, ") + s.name + ": median", all, "ms",
                    "baseline");
    }
    for (int e = 0; e < 2; ++e) {
        bench::figure(kBench, std::string(kExports[e]) + ": growth from a tenth to the century",
                      growth(whole.times[e], tenth.times[e]), "x", 12);
    }
    bench::note(kBench, "  baseline: 导出全部数据's growth from a tenth to the century",
                growth(whole.times[2], tenth.times[2]), "x", "baseline");
    bench::note(kBench, "rounds", rounds, "", "");
    std::filesystem::remove_all(tenth.folder);

    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", argv[0], "--memory", whole.folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(whole.folder);
    std::filesystem::remove_all(root + "/no-applications");
    std::filesystem::remove_all(root);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
