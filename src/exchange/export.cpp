// The export to a spreadsheet workbook. MainWindow's spreadsheet pair is modelled here: the
// application `Excel程序` (its caption) and the workbook `Excel工作簿` (the workbook
// model with its current sheet and range). Every cell is written the one way the workbook
// control knows: start cell := address, end cell := the same address, value := text.
//
// The finished workbook is shown at once for the user to decide what to keep: it is written
// under the application's caption (a dated name) into the user's documents folder, readable by
// the user alone, and opened there with the desktop's spreadsheet application, whose "save"
// then writes into that file. A temporary folder would not do: the session empties it, and the
// user's saved edits would go with it. Where the desktop has no application for spreadsheets,
// the user is asked where to save it, the documents folder or the folder chosen last proposed.
// Either way the user is told where the file is. The program never deletes an exported
// workbook, and its own folder gets none. The stores are only read.
#include "exchange/export.h"

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

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
    std::string folder = runtime::getSpecialFolderPath(runtime::kSpecialFolderDocuments);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

namespace {

// `folder`/`name`.xlsx, or with "(2)", "(3)", ... before the extension, whichever no file bears
// yet; empty when all of them are taken.
std::string unusedPath(const std::string& folder, const std::string& name) {
    std::string path = folder + "/" + name + ".xlsx";
    for (int n = 2; std::filesystem::exists(path) && n < 1000; ++n) {
        path = folder + "/" + name + "(" + runtime::toText(n) + ").xlsx";
    }
    return std::filesystem::exists(path) ? std::string() : path;
}

}  // namespace

void rescueTemporaryExportWorkbooks() {
    namespace fs = std::filesystem;
    const std::string temporary = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    if (temporary.empty()) return;
    std::error_code error;
    std::vector<fs::path> found;
    for (fs::directory_iterator it(fs::path(temporary), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code fileError;
        if (name.rfind(kWorkbookPrefix, 0) == 0 && it->path().extension() == ".xlsx" &&
            it->is_regular_file(fileError)) {
            found.push_back(it->path());
        }
    }
    if (found.empty()) return;
    const std::string folder = exportFolder();
    for (const fs::path& from : found) {
        const std::string to = unusedPath(folder, from.stem().string());
        if (to.empty()) continue;
        // Across file systems a rename cannot move it: a copy first, and the original goes only
        // once the copy is whole and on disk.
        std::error_code moveError;
        fs::rename(from, to, moveError);
        if (moveError) {
            const std::string bytes = runtime::readFile(from.string());
            if (bytes.empty() || !runtime::writeFile(to, bytes)) continue;
            fs::remove(from, moveError);
        }
        runtime::makeFilePrivate(to);
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
                case 3: writeCell(row("a", r), text("bw")); break;
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
           "个单元格的内容超过了Excel单元格的上限（32767个字符），工作簿中只保存了前面的部分；数据库中的内容"
           "完整无缺。";
}

// The folder of the workbook the user saved last through the save dialog, proposed next time.
std::string& lastChosenFolder() {
    static std::string folder;
    return folder;
}

// Saves the workbook at `path` (empty: no free name was left), readable by the user alone; a
// failure is told with its reason.
bool saveWorkbookAt(const ExportSpreadsheet& s, const std::string& path, int& cutCells) {
    const sheet::SaveResult saved = path.empty() ? sheet::SaveResult{false, "文件夹中同名的工作簿太多。", 0}
                                                 : sheet::saveWorkbook(*s.book, path);
    if (!saved.ok) {
        ui::showMessageBox("导出失败，数据库中的数据没有任何改动。\n" + saved.message, ui::kMbIconError,
                           "错误！");
        return false;
    }
    runtime::makeFilePrivate(path);
    lastPath() = path;
    cutCells = saved.cutCells;
    return true;
}

void tellWhere(const std::string& path, int cutCells, const std::string& note) {
    std::string message = "数据已导出到Excel工作簿：\n" + path + note;
    if (cutCells > 0) message += "\n" + cutCellsNote(cutCells);
    ui::showMessageBox(message, ui::kMbIconInfo, "信息！");
}

}  // namespace

void saveExportWorkbook() {
    ExportSpreadsheet& s = spreadsheet();
    if (!s.book) return;
    int cutCells = 0;
    if (ui::hasDesktopApplication(kWorkbookType)) {
        const std::string path = unusedPath(exportFolder(), s.caption);
        if (!saveWorkbookAt(s, path, cutCells)) return;
        const bool shown = ui::openWithDesktopApplication(path, kWorkbookType);
        tellWhere(path, cutCells, shown ? "" : "\n电子表格程序没有启动，请到该文件夹中打开它。");
        return;
    }
    std::string path;
    const std::string proposed = lastChosenFolder().empty() ? exportFolder() : lastChosenFolder();
    if (!ui::showSaveFileDialog("保存导出的数据", proposed, s.caption + ".xlsx",
                                "Excel工作簿（*.xlsx）|*.xlsx", path)) {
        return;
    }
    lastChosenFolder() = std::filesystem::path(path).parent_path().string();
    if (saveWorkbookAt(s, path, cutCells)) tellWhere(path, cutCells, {});
}

}  // namespace exchange
