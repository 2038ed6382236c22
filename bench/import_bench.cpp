// The contact import of 10,000 rows (the century dataset's contacts) from an .xlsx and from an
// .xls workbook, through the real handlers of ImportContactsWindow: choosing the file (reading
// it and listing its columns) and the import of the three ticked columns. The designed pause of
// the import's closing steps (ten times 200 ms) is not counted: this program's sleeps return at
// once, and what they would have slept is printed. No goal is set for the import; the figures
// are there to watch.
//
// Then a workbook of about 200 KB whose sheet inflates to 200 MB, chosen in the same window: it
// must be refused with a message, within 3 s (the median of kBombRounds, each in turn with the
// choice of the 10,000-row .xlsx, its baseline) and within 300 MB of peak memory. That part runs
// in a process of its own (this program run again with --bomb), so the memory the dataset's
// generation took is not counted; the memory the process took to start is printed beside it.
#include <QListWidget>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/century.h"
#include "bench/program.h"
#include "bench/report.h"
#include "exchange/import_contacts.h"
#include "runtime/sheet/sheet.h"
#include "runtime/ui/control_registry.h"

namespace {
double skippedMs = 0;
}

extern "C" {
int nanosleep(const struct timespec* request, struct timespec* remaining) {
    skippedMs += static_cast<double>(request->tv_sec) * 1000.0 + static_cast<double>(request->tv_nsec) / 1e6;
    if (remaining) *remaining = {};
    return 0;
}
int clock_nanosleep(clockid_t, int, const struct timespec* request, struct timespec* remaining) {
    return nanosleep(request, remaining);
}
}

namespace {

namespace st = runtime::store;
namespace ui = runtime::ui;
namespace sheet = runtime::sheet;

constexpr const char* kBench = "import";
constexpr const char* kWindow = "ImportContactsWindow";
constexpr int kBombRounds = 5;

bool writeXlsx(const bench::Rows& contacts, const std::string& path) {
    sheet::Workbook book;
    auto put = [&book](int row, int column, const std::string& text) {
        const std::string at = sheet::cellAddress(row, column);
        return book.setStartCell(at) && book.setEndCell(at) && book.setValue(text);
    };
    bool ok = put(1, 1, "姓名") && put(1, 2, "电话") && put(1, 3, "备注");
    for (std::size_t r = 0; r < contacts.size(); ++r) {
        for (int c = 0; c < 3; ++c)
            ok = ok && put(static_cast<int>(r) + 2, c + 1, st::valueText(contacts[r][c]));
    }
    return ok && sheet::saveWorkbook(book, path).ok;
}

bool writeXls(const bench::Rows& contacts, const std::string& path) {
    const std::string tsv = path + ".tsv";
    {
        std::ofstream out(tsv);
        out << "姓名\t电话\t备注\n";
        for (const auto& row : contacts) {
            out << st::valueText(row[0]) << '\t' << st::valueText(row[1]) << '\t' << st::valueText(row[2])
                << '\n';
        }
    }
    const std::string command =
        "/usr/bin/python3 '" QB_BENCH_SOURCE_DIR "/contacts_to_xls.py' '" + tsv + "' '" + path + "'";
    const bool ok = std::system(command.c_str()) == 0;
    std::remove(tsv.c_str());
    return ok;
}

// Chooses the file, ticks every listed column and imports; the milliseconds of both clicks, or
// a negative number when the rows did not all arrive.
double importOnce(const std::string& path, int rows) {
    st::selectDatabase("lxr35");
    const int before = st::getRecordCount();
    const auto t0 = bench::Clock::now();
    exchange::onImportContactsButton();
    ui::pushCommonDialogAnswer(true, path);
    exchange::onChooseExcelFile();
    auto* list = qobject_cast<QListWidget*>(ui::findControlWidget(kWindow, "选择列表框1"));
    if (!list || list->count() != 3) return -1;
    for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
    list->setCurrentRow(0);
    exchange::onStartImport();
    const double ms = bench::msSince(t0);
    ui::clearDialogScript();
    st::selectDatabase("lxr35");
    return st::getRecordCount() == before + rows ? ms : -1;
}

// A workbook whose sheet holds the contacts' header row and then 200 MB of blanks: about 200 KB
// on disk.
bool writeBomb(const std::string& path) {
    zipFile z = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!z) return false;
    const auto relationship = [](const char* type, const char* target) {
        return std::string(R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/)") + type +
               R"(" Target=")" + target + R"("/>)";
    };
    const std::string rels =
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    const std::pair<const char*, std::string> parts[] = {
        {"_rels/.rels",
         rels + relationship("officeDocument/2006/relationships/officeDocument", "xl/workbook.xml") +
             "</Relationships>"},
        {"xl/workbook.xml",
         R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
         R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
         R"(<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         rels + relationship("officeDocument/2006/relationships/worksheet", "worksheets/sheet1.xml") +
             "</Relationships>"},
    };
    bool ok = true;
    for (const auto& [name, data] : parts) {
        ok = ok &&
             zipOpenNewFileInZip64(z, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 0) ==
                 ZIP_OK &&
             zipWriteInFileInZip(z, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK &&
             zipCloseFileInZip(z) == ZIP_OK;
    }
    const std::string head =
        R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
        R"(<row r="1"><c r="A1" t="inlineStr"><is><t>姓名</t></is></c><c r="B1" t="inlineStr"><is><t>电话</t></is></c>)"
        R"(<c r="C1" t="inlineStr"><is><t>备注</t></is></c></row>)";
    const std::string tail = "</sheetData></worksheet>";
    const std::string blanks(1 << 20, ' ');
    ok = ok &&
         zipOpenNewFileInZip64(z, "xl/worksheets/sheet1.xml", nullptr, nullptr, 0, nullptr, 0, nullptr,
                               Z_DEFLATED, 9, 1) == ZIP_OK &&
         zipWriteInFileInZip(z, head.data(), static_cast<unsigned>(head.size())) == ZIP_OK;
    for (int i = 0; i < 200 && ok; ++i) {
        ok = zipWriteInFileInZip(z, blanks.data(), static_cast<unsigned>(blanks.size())) == ZIP_OK;
    }
    ok = ok && zipWriteInFileInZip(z, tail.data(), static_cast<unsigned>(tail.size())) == ZIP_OK &&
         zipCloseFileInZip(z) == ZIP_OK;
    return zipClose(z, nullptr) == ZIP_OK && ok;
}

// Chooses the file in a new import window and closes it; the milliseconds, and whether the
// column list was filled and no message shown (`listed`) or the list left empty and an error
// shown (not `listed`).
double chooseOnce(const std::string& path, bool listed) {
    exchange::onImportContactsButton();
    ui::clearDialogScript();
    ui::pushCommonDialogAnswer(true, path);
    const auto t0 = bench::Clock::now();
    exchange::onChooseExcelFile();
    const double ms = bench::msSince(t0);
    std::vector<ui::ShownDialog> messages;
    for (const ui::ShownDialog& d : ui::shownDialogs()) {
        if (d.kind == ui::DialogKind::MessageBox) messages.push_back(d);
    }
    const int lines = ui::getListItemCount(kWindow, "选择列表框1");
    exchange::onImportQuit();
    ui::clearDialogScript();
    const bool refused = messages.size() == 1 && messages[0].title == "错误！" &&
                         messages[0].text.find("太大") != std::string::npos;
    return (listed ? lines == 3 && messages.empty() : lines == 0 && refused) ? ms : -1;
}

// The kernel's count of this process's peak resident memory, in MB.
double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

int chooseBomb(const std::string& folder, const std::string& bomb, const std::string& contacts) {
    if (!bench::startProgramIn(folder, bench::kCenturyDays)) {
        bench::fail(kBench, "starting the program");
        return 1;
    }
    const double started = peakMb();
    std::vector<double> times{chooseOnce(bomb, false)};
    const double peak = peakMb();
    std::vector<double> base;
    for (int round = 1; round < kBombRounds && times.back() >= 0; ++round) {
        base.push_back(chooseOnce(contacts, true));
        times.push_back(chooseOnce(bomb, false));
    }
    if (*std::min_element(times.begin(), times.end()) < 0) {
        bench::fail(kBench, "the 200 MB workbook was not refused with a message");
        return 1;
    }
    if (!base.empty() && *std::min_element(base.begin(), base.end()) < 0) {
        bench::fail(kBench, "the 10,000-row .xlsx was not listed");
        return 1;
    }
    const std::string size = std::to_string(std::filesystem::file_size(bomb) / 1024) + " KB";
    bench::figure(kBench, "choose a " + size + " .xlsx of 200 MB inflated: refused, median",
                  bench::percentile(times, 0.5), "ms", 3000);
    bench::note(kBench, "  baseline: choose the 10,000-row .xlsx, median", bench::percentile(base, 0.5), "ms",
                "baseline");
    bench::note(kBench, "peak memory after start, before the choice", started, "MB", "");
    bench::figure(kBench, "peak memory after choosing the " + size + " .xlsx", peak, "MB", 300);
    bench::endProgram();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--bomb") return chooseBomb(argv[2], argv[3], argv[4]);
    const std::string folder = (std::filesystem::current_path() / "qb_import_bench").string();
    const bench::Century century = bench::makeCentury(bench::benchToday());
    if (!bench::startProgramOn(folder, century)) {
        bench::fail(kBench, "starting the program");
        return 1;
    }
    const std::string xlsx = folder + "/contacts.xlsx", xls = folder + "/contacts.xls";
    if (!writeXlsx(century.contacts, xlsx) || !writeXls(century.contacts, xls)) {
        bench::fail(kBench, "writing the workbooks (.xls needs python3-xlwt)");
        return 1;
    }
    const int rows = static_cast<int>(century.contacts.size());
    std::printf("import_bench: %d contact rows into a store of %d contacts\n", rows, rows);
    for (const auto& [name, path] : {std::pair{".xlsx", xlsx}, std::pair{".xls", xls}}) {
        skippedMs = 0;
        const double ms = importOnce(path, rows);
        if (ms < 0) {
            bench::fail(kBench, std::string("importing the ") + name + " workbook");
            return 1;
        }
        bench::note(kBench, std::to_string(rows) + " rows of " + name + ": choose the file and import", ms,
                    "ms", "(no goal)");
        bench::note(kBench, std::string("  the designed pause, not counted"), skippedMs, "ms", "");
    }
    bench::endProgram();

    const std::string bomb = folder + "/blanks.xlsx";
    if (!writeBomb(bomb)) {
        bench::fail(kBench, "writing the 200 MB workbook");
        return 1;
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", argv[0], "--bomb", folder.c_str(), bomb.c_str(), xlsx.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(folder);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
