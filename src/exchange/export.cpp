// The export to a spreadsheet workbook. MainWindow's spreadsheet pair is modelled here: the
// application `Excel程序` (started, visible, caption) and the workbook `Excel工作簿` (the workbook
// model with its current sheet and range). Every cell is written the one way the workbook
// control knows: start cell := address, end cell := the same address, value := text.
//
// The finished workbook is shown at once for the user to decide whether to save it: it is
// written under the application's caption into the program's private temporary folder and
// opened with the desktop's spreadsheet application, where the user saves it or not. Where the
// desktop has no application for spreadsheets (or it does not start), the user is asked where
// to save it instead and told where it went. The program's own folder gets nothing; temporary
// workbooks older than a week go at the next start. The stores are only read.
#include "exchange/export.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "core/contacts.h"
#include "core/diary.h"
#include "core/periodic_items.h"
#include "core/search_results.h"
#include "core/stores.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/base/number.h"
#include "runtime/sheet/sheet.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace exchange {

namespace {

namespace ui = runtime::ui;
namespace st = runtime::store;
namespace sheet = runtime::sheet;

constexpr const char* kWorkbookType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
constexpr const char* kWorkbookPrefix = "Quillarbor导出数据-";
constexpr auto kTemporaryWorkbookLife = std::chrono::hours(24 * 7);

// A new workbook starts with one sheet, as current spreadsheet programs make them; the export
// brings it to four.
constexpr int kNewWorkbookSheets = 1;
constexpr int kExportSheets = 4;
// Rows are written in order, so the workbook keeps one row per sheet in memory and the rest in
// temporary files: the export of every record takes memory for a row, not for the data.
constexpr sheet::Workbook::Storage kStorage = sheet::Workbook::Storage::Spooled;

// MainWindow's `Excel程序` and `Excel工作簿`.
struct ExportSpreadsheet {
    std::string caption;
    std::unique_ptr<sheet::Workbook> book;
};

ExportSpreadsheet& spreadsheet() {
    static ExportSpreadsheet s;
    return s;
}

std::string& lastPath() {
    static std::string path;
    return path;
}

// The spreadsheet layer is part of the program, so the application always starts; a new start
// drops what the control held, as a restarted application would.
void startExcelApplication() { spreadsheet() = ExportSpreadsheet{}; }

sheet::Workbook& book() {
    ExportSpreadsheet& s = spreadsheet();
    if (!s.book) s.book = std::make_unique<sheet::Workbook>(kNewWorkbookSheets, kStorage);
    return *s.book;
}

void writeCell(const std::string& address, const std::string& text) {
    sheet::Workbook& b = book();
    b.setStartCell(address);
    b.setEndCell(address);
    b.setValue(text);
}

void autoFit(const std::string& endAddress) {
    sheet::Workbook& b = book();
    b.setStartCell("a1");
    b.setEndCell(endAddress);
    b.autoFitCurrentRange();
}

std::string row(const char* column, int k) { return column + runtime::toText(k); }

bool holdsResult(core::ResultKind kind) { return !core::searchResults(kind).empty(); }

std::string text(const char* field) { return st::valueText(st::readField(field)); }

}  // namespace

std::string exportFolder() {
    std::string folder = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

void removeOldExportWorkbooks() {
    namespace fs = std::filesystem;
    const std::string folder = exportFolder();
    if (folder.empty()) return;
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(fs::path(folder), error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kWorkbookPrefix, 0) != 0 || name.size() < 5 || name.compare(name.size() - 5, 5, ".xlsx") != 0) {
            continue;
        }
        std::error_code fileError;
        if (!it->is_regular_file(fileError)) continue;
        const auto written = fs::last_write_time(it->path(), fileError);
        if (!fileError && now - written > kTemporaryWorkbookLife) fs::remove(it->path(), fileError);
    }
}

std::string lastExportPath() { return lastPath(); }

void onExportResultsButton() {
    if (!holdsResult(core::ResultKind::Diary) && !holdsResult(core::ResultKind::PeriodicItem) &&
        !holdsResult(core::ResultKind::Memo) && !holdsResult(core::ResultKind::Contact)) {
        ui::showMessageBox("没有任何搜索结果，无需导出！", ui::kMbIconInfo, "信息！");
        return;
    }
    createExportWorkbook();
    exportSearchResults();
    saveExportWorkbook();
}

void onExportAllButton() {
    createExportWorkbook();
    exportAllTables();
    saveExportWorkbook();
}

void createExportWorkbook() {
    startExcelApplication();
    ExportSpreadsheet& s = spreadsheet();
    s.caption = "Quillarbor导出数据-" + runtime::dateTimeToText(runtime::getCurrentDateTime());
    s.book = std::make_unique<sheet::Workbook>(kNewWorkbookSheets, kStorage);
    sheet::Workbook& b = *s.book;

    for (int count = b.sheetCount(); count < kExportSheets; ++count) b.addWorksheet();

    struct SheetHead {
        const char* name;
        std::initializer_list<const char*> headers;
    };
    const SheetHead heads[] = {
        {"日志", {"日期", "日志"}},
        {"提醒", {"初始提醒日期", "循环周期", "循环单位", "提醒内容"}},
        {"备忘", {"备忘内容"}},
        {"人脉", {"姓名", "电话", "备注"}},
    };
    for (int position = 1; position <= 4; ++position) {
        const SheetHead& head = heads[position - 1];
        b.setCurrentSheet(position);
        b.setSheetName(head.name);
        b.activateCurrentSheet();
        int column = 1;
        for (const char* header : head.headers) writeCell(sheet::cellAddress(1, column++), header);
    }
}

void exportSearchResults() {
    sheet::Workbook& b = book();

    // Each section reads its held results; its rows hold the records as they are now.
    if (const auto& diary = core::searchResults(core::ResultKind::Diary); !diary.empty()) {
        const int n = static_cast<int>(diary.size());
        b.setCurrentSheet(1);
        for (int k = 1; k <= n; ++k) {
            const core::SearchResult& result = diary[static_cast<std::size_t>(k - 1)];
            writeCell(row("a", k + 1), result.text);
            // The first record of the result's date and time, through the index of days; a day
            // deleted since the search finds none, and its row keeps the date alone.
            if (core::findDiaryRecordAt(result.date))
                writeCell(row("b", k + 1), core::readDiaryRecord().text);
        }
        autoFit(row("b", n + 2));
    }

    if (const auto& items = core::searchResults(core::ResultKind::PeriodicItem); !items.empty()) {
        const int n = static_cast<int>(items.size());
        b.setCurrentSheet(2);
        st::selectDatabase(core::kPeriodicStore);
        for (int k = 1; k <= n; ++k) {
            const core::SearchResult& result = items[static_cast<std::size_t>(k - 1)];
            writeCell(row("a", k + 1), result.text);
            // When the result's record number no longer holds an item of its date (deleted or
            // changed since the search), the row keeps the date alone rather than show another
            // item's data.
            if (result.record < 1 || result.record > st::getRecordCount() || !st::goToRecord(result.record))
                continue;
            const core::PeriodicItem item = core::readPeriodicItem();
            if (item.startDate != result.date) continue;
            writeCell(row("b", k + 1), runtime::toText(item.period));
            writeCell(row("c", k + 1), item.unit);
            writeCell(row("d", k + 1), item.text);
        }
        autoFit(row("d", n + 2));
    }

    if (holdsResult(core::ResultKind::Memo)) {
        b.setCurrentSheet(3);
        st::selectDatabase(core::kMemoStore);
        st::goToFirstRecord();
        writeCell("a2", text("bw"));
        autoFit("a2");
    }

    if (const auto& contacts = core::searchResults(core::ResultKind::Contact); !contacts.empty()) {
        const int n = static_cast<int>(contacts.size());
        b.setCurrentSheet(4);
        st::selectDatabase(core::kContactStore);
        for (int k = 1; k <= n; ++k) {
            const core::SearchResult& result = contacts[static_cast<std::size_t>(k - 1)];
            writeCell(row("a", k + 1), result.text);
            // Each result names its own record: contacts of one name each keep their own data.
            // When that record no longer holds a contact of the result's name (renamed or deleted
            // since the search), the row keeps the name alone rather than show another's data.
            if (result.record < 1 || result.record > st::getRecordCount() || !st::goToRecord(result.record))
                continue;
            const core::Contact contact = core::readContact();
            if (contact.name != result.text) continue;
            writeCell(row("b", k + 1), contact.phone);
            writeCell(row("c", k + 1), contact.remark);
        }
        autoFit(row("c", n + 2));
    }
}

void exportAllTables() {
    sheet::Workbook& b = book();
    struct Section {
        int sheet;
        const char* store;
        const char* lastColumn;
    };
    const Section sections[] = {{1, "rz35", "b"}, {2, "tx35", "d"}, {3, "bw35", "a"}, {4, "lxr35", "c"}};
    for (const Section& section : sections) {
        b.setCurrentSheet(section.sheet);
        st::selectDatabase(section.store);
        st::goToFirstRecord();
        const int n = st::getRecordCount();
        for (int k = 1; k <= n; ++k) {
            const int r = k + 1;
            switch (section.sheet) {
            case 1:
                writeCell(row("a", r), runtime::dateTimeToText(st::valueDate(st::readField("日期"))));
                writeCell(row("b", r), text("日志"));
                break;
            case 2:
                writeCell(row("a", r), runtime::dateTimeToText(st::valueDate(st::readField("初始日期"))));
                writeCell(row("b", r), runtime::toText(st::valueInt(st::readField("循环周期"))));
                writeCell(row("c", r), text("循环单位"));
                writeCell(row("d", r), text("提醒内容"));
                break;
            case 3:
                writeCell(row("a", r), text("bw"));
                break;
            default:
                writeCell(row("a", r), text("姓名"));
                writeCell(row("b", r), text("电话"));
                writeCell(row("c", r), text("备注"));
                break;
            }
            st::skipRecords();
        }
        autoFit(row(section.lastColumn, n + 2));
    }
}

namespace {

std::string cutCellsNote(int cutCells) {
    return "其中" + runtime::toText(cutCells) +
           "个单元格的内容超过了Excel单元格的上限（32767个字符），工作簿中只保存了前面的部分；数据库中的内容完整无缺。";
}

// The temporary workbook, opened by the desktop's spreadsheet application; false when nothing
// shows it (then no file is left behind).
bool showInSpreadsheetApplication(const ExportSpreadsheet& s) {
    const std::string folder = exportFolder();
    if (folder.empty()) return false;
    std::string path = folder + "/" + s.caption + ".xlsx";
    for (int n = 2; runtime::fileExists(path) && n < 1000; ++n) {
        path = folder + "/" + s.caption + "(" + runtime::toText(n) + ").xlsx";
    }
    if (runtime::fileExists(path)) return false;
    const sheet::SaveResult saved = sheet::saveWorkbook(*s.book, path);
    if (!saved.ok) return false;
    if (!ui::openWithDesktopApplication(path, kWorkbookType)) {
        runtime::deleteFile(path);
        return false;
    }
    lastPath() = path;
    if (saved.cutCells > 0) ui::showMessageBox(cutCellsNote(saved.cutCells), ui::kMbIconInfo, "信息！");
    return true;
}

}  // namespace

void saveExportWorkbook() {
    ExportSpreadsheet& s = spreadsheet();
    if (!s.book) return;
    if (showInSpreadsheetApplication(s)) return;
    std::string path;
    if (!ui::showSaveFileDialog("保存导出的数据", {}, s.caption + ".xlsx", "Excel工作簿（*.xlsx）|*.xlsx", path)) return;
    const sheet::SaveResult saved = sheet::saveWorkbook(*s.book, path);
    if (!saved.ok) {
        ui::showMessageBox("导出失败，数据库中的数据没有任何改动。\n" + saved.message, ui::kMbIconError, "错误！");
        return;
    }
    lastPath() = path;
    std::string message = "数据已导出到Excel工作簿：\n" + path;
    if (saved.cutCells > 0) message += "\n" + cutCellsNote(saved.cutCells);
    ui::showMessageBox(message, ui::kMbIconInfo, "信息！");
}

}  // namespace exchange
