// "导出全部数据" of the century dataset through the real handler on MainWindow: the time it takes
// and the peak memory of the process, beside the memory the same process took to start. The
// export runs in a process of its own (this program run again with --export), so the memory
// the dataset's generation took is not counted. Goal: peak memory at most 150 MB.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "bench/century.h"
#include "bench/program.h"
#include "bench/report.h"
#include "exchange/export.h"
#include "runtime/sheet/sheet.h"

namespace {

constexpr const char* kBench = "export";

// The kernel's count of this process, "VmRSS" now or "VmHWM" at its peak, in MB.
double statusMb(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    }
    return 0;
}

int exportIn(const std::string& folder) {
    if (!bench::startProgramIn(folder, bench::kCenturyDays)) {
        bench::fail(kBench, "starting the program");
        return 1;
    }
    // No spreadsheet application is shown the workbook: it is saved where the bench says.
    bench::hideDesktopApplications(folder);
    runtime::ui::pushSaveFileDialogAnswer(true, folder + "/export.xlsx");
    const double started = statusMb("VmHWM");
    const auto t0 = bench::Clock::now();
    exchange::onExportAllButton();
    const double ms = bench::msSince(t0);
    const double peak = statusMb("VmHWM");
    const std::string path = exchange::lastExportPath();
    runtime::sheet::Workbook back;
    if (path.empty() || !runtime::sheet::openWorkbook(path, back).ok() || back.sheetCount() != 4 ||
        back.sheet(1)->usedSize().rows != bench::kCenturyDays + 1 ||
        back.sheet(4)->usedSize().rows != bench::kCenturyContacts + 1) {
        bench::fail(kBench, "the workbook does not hold every record");
        return 1;
    }
    bench::note(kBench, "peak memory after start, before the export", started, "MB", "");
    bench::figure(kBench, "peak memory after exporting every record", peak, "MB", 150);
    bench::note(kBench, "export of every record (build and save the workbook)", ms, "ms", "");
    std::remove(path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = (std::filesystem::current_path() / "qb_export_bench").string();
    if (argc == 3 && std::string(argv[1]) == "--export") return exportIn(argv[2]);

    std::printf("export_bench: 导出全部数据 of the century dataset on MainWindow\n");
    if (!bench::writeProgramFolder(folder, bench::makeCentury(bench::benchToday()))) {
        bench::fail(kBench, "writing the dataset");
        return 1;
    }
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", argv[0], "--export", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::filesystem::remove_all(folder);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
