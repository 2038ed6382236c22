// The contact import of 10,000 rows (the century dataset's contacts) from an .xlsx and from an
// .xls workbook, through the real handlers of ImportContactsWindow: choosing the file (reading
// it and listing its columns) and the import of the three ticked columns. The designed pause of
// the import's closing steps (ten times 200 ms) is not counted: this program's sleeps return at
// once, and what they would have slept is printed. No goal is set for the import; the figures
// are there to watch.
#include <QListWidget>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

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

bool writeXlsx(const bench::Rows& contacts, const std::string& path) {
    sheet::Workbook book;
    auto put = [&book](int row, int column, const std::string& text) {
        const std::string at = sheet::cellAddress(row, column);
        return book.setStartCell(at) && book.setEndCell(at) && book.setValue(text);
    };
    bool ok = put(1, 1, "姓名") && put(1, 2, "电话") && put(1, 3, "备注");
    for (std::size_t r = 0; r < contacts.size(); ++r) {
        for (int c = 0; c < 3; ++c) ok = ok && put(static_cast<int>(r) + 2, c + 1, st::valueText(contacts[r][c]));
    }
    return ok && sheet::saveWorkbook(book, path).ok;
}

bool writeXls(const bench::Rows& contacts, const std::string& path) {
    const std::string tsv = path + ".tsv";
    {
        std::ofstream out(tsv);
        out << "姓名\t电话\t备注\n";
        for (const auto& row : contacts) {
            out << st::valueText(row[0]) << '\t' << st::valueText(row[1]) << '\t' << st::valueText(row[2]) << '\n';
        }
    }
    const std::string command = "/usr/bin/python3 '" QB_BENCH_SOURCE_DIR "/contacts_to_xls.py' '" + tsv + "' '" + path + "'";
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

}  // namespace

int main() {
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
        bench::note(kBench, std::to_string(rows) + " rows of " + name + ": choose the file and import", ms, "ms", "(no goal)");
        bench::note(kBench, std::string("  the designed pause, not counted"), skippedMs, "ms", "");
    }
    bench::endProgramIn(folder);
    return 0;
}
