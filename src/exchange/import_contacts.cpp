// The contact import window. Its spreadsheet pair (`Excel程序1`, `Excel工作簿1`) lists the columns
// of the chosen workbook's first worksheet; its external database (`外部数据库1`) reads the rows
// of the worksheet named sheet1 as a table whose first row is the header. Both are the workbook
// reader of the spreadsheet layer here, so the header list and the rows come from the same
// parse: line i of the column list is column i of every row. A file is read once: "开始" takes
// the workbook "选择" read while the file is unchanged (same path, size and time of its last
// change), and reads it again only when it changed or went.
//
// The rows are read from row 2 down to the last used row, columns from A; a row with no cell
// in use is not a contact and is passed over. Every other row appends one contact, ticked
// columns written into the field named by their header, in one store transaction at the end.
#include "exchange/import_contacts.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

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

constexpr const char* kWindow = "ImportContactsWindow";
constexpr const char* kPathBox = "编辑框1";
constexpr const char* kColumnList = "选择列表框1";
constexpr const char* kFieldList = "列表框1";
constexpr const char* kFileDialog = "通用对话框1";
constexpr const char* kStartButton = "按钮_开始导入联系人";
constexpr const char* kProgress = "进度条1";

// A file as it was when it was read.
struct FileState {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type changed;
    bool operator==(const FileState&) const = default;
};

std::optional<FileState> fileState(const std::string& path) {
    std::error_code error;
    FileState state{std::filesystem::file_size(path, error), {}};
    if (!error) state.changed = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    return state;
}

// The window's `Excel工作簿1`, held only while the column list is being read; what that read gave
// is kept as the rows "开始" imports, until the window goes. Its application `Excel程序1` is the
// spreadsheet layer, part of the program: it is always there.
struct ImportSpreadsheet {
    std::unique_ptr<sheet::Workbook> book;
    std::string keptPath;
    std::optional<FileState> keptState;
    std::unique_ptr<sheet::Workbook> kept;
};

ImportSpreadsheet& spreadsheet() {
    static ImportSpreadsheet s;
    return s;
}

}  // namespace

std::string getExcelColumnName(int column) {
    if (column < 1 || column > 60) return {};
    return sheet::columnLetters(column);
}

void onImportContactsButton() {
    ui::loadWindow(kWindow, "MainWindow", true);
    ui::setBool(kWindow, "", "visible", true);
    ui::setInt("MainWindow", "选择夹右侧", "page", 0);
    ui::setInt("MainWindow", "选择夹右侧", "page", 3);
}

void onImportWindowCreated() {
    ui::clearList(kWindow, kFieldList);
    st::selectDatabase("lxr35");
    const int fields = st::getFieldCount();
    for (int i = 1; i <= fields; ++i) ui::addListItem(kWindow, kFieldList, st::getFieldName(i));
    // The reader takes .xlsx as well as .xls, told apart by content.
    ui::setProperty(kWindow, kFileDialog, "filter", std::string("Excel工作簿（*.xls;*.xlsx）|*.xls;*.xlsx"));
}

void onImportWindowDestroy() {
    ui::destroyUnit(kWindow, "Excel程序1");
    spreadsheet() = ImportSpreadsheet{};
}

void onChooseExcelFile() {
    if (ui::showCommonDialog(kWindow, kFileDialog)) {
        const ui::Value chosen = ui::getProperty(kWindow, kFileDialog, "fileName");
        if (const std::string* path = std::get_if<std::string>(&chosen))
            ui::setText(kWindow, kPathBox, *path);
    }
    ImportSpreadsheet& s = spreadsheet();
    s.book = std::make_unique<sheet::Workbook>(1);

    const std::string path = ui::getText(kWindow, kPathBox);
    s.kept.reset();
    bool opened = false;
    if (!path.empty()) {
        // Taken before the read: a file changed while it is read is read again by "开始".
        s.keptPath = path;
        s.keptState = fileState(path);
        auto book = std::make_unique<sheet::Workbook>(1);
        const sheet::ReadResult read = sheet::openWorkbook(path, *book);
        if (read.ok()) {
            s.book = std::move(book);
            opened = true;
        } else {
            ui::showMessageBox("无法读取这个Excel文件：\n" + path + "\n" + read.message, ui::kMbIconError,
                               "错误！");
        }
    }
    sheet::Workbook& b = *s.book;
    b.setCurrentSheet(1);

    ui::clearList(kWindow, kColumnList);
    const int columns = b.currentSheet().usedSize().columns;
    for (int n = 1; n <= columns; ++n) {
        // Columns after the 60th have no name in the program's table; they are listed by their
        // sheet letters all the same, as the import reads columns by number.
        std::string letters = getExcelColumnName(n);
        if (letters.empty()) letters = sheet::columnLetters(n);
        b.setStartCell(letters + "1");
        b.setEndCell(letters + "1");
        ui::addListItem(kWindow, kColumnList, b.value(), n);
    }
    if (opened) s.kept = std::move(s.book);
    s.book.reset();
}

void onStartImport() {
    if (ui::getInt(kWindow, kColumnList, "currentItem") < 0) {
        ui::showMessageBox("尚未选择任何一个字段！", ui::kMbIconInfo, "信息：");
        return;
    }
    ui::setBool(kWindow, kStartButton, "enabled", false);
    ui::setBool(kWindow, kProgress, "visible", true);

    // "Connect": read the workbook; "select * from [sheet1$]": find the sheet.
    enum class Outcome { ConnectFailed, NoSheet1, NoRows, StoreFailed, Imported };
    Outcome outcome = Outcome::Imported;
    std::string storeError;
    std::set<std::string> unknownHeaders;

    const std::string path = ui::getText(kWindow, kPathBox);
    ImportSpreadsheet& s = spreadsheet();
    sheet::Workbook read;
    const sheet::Workbook* book = nullptr;
    if (s.kept && s.keptPath == path && s.keptState && fileState(path) == s.keptState) {
        book = s.kept.get();
    } else if (sheet::openWorkbook(path, read).ok()) {
        book = &read;
    }
    const sheet::Worksheet* table = book ? book->findSheet("sheet1") : nullptr;
    if (!book) {
        // Said at once, before the closing steps; the success message is then left out.
        outcome = Outcome::ConnectFailed;
        ui::showMessageBox("连接失败");
    } else if (!table) {
        outcome = Outcome::NoSheet1;
    } else {
        st::selectDatabase("lxr35");
        const int fieldCount = st::getFieldCount();
        // Ticked line -> (column number, field position); a header naming no field is dropped.
        std::vector<std::pair<int, int>> mapping;
        const int lines = ui::getListItemCount(kWindow, kColumnList);
        for (int i = 0; i < lines; ++i) {
            if (!ui::isListItemChecked(kWindow, kColumnList, i)) continue;
            const std::string header = ui::getListItemText(kWindow, kColumnList, i);
            int position = 0;
            for (int f = 1; f <= fieldCount && position == 0; ++f) {
                if (st::getFieldName(f) == header) position = f;
            }
            if (position == 0) {
                unknownHeaders.insert(header);
                continue;
            }
            mapping.emplace_back(static_cast<int>(ui::getListItemData(kWindow, kColumnList, i)), position);
        }

        // The rows holding a cell, found from the cells themselves: a stray cell far down and
        // far right makes the used range huge, and walking it cell by cell would hold the
        // window for hours.
        std::vector<int> rows;
        for (const auto& entry : table->cells()) {
            const int r = entry.first.first;
            if (r >= 2 && (rows.empty() || rows.back() != r)) rows.push_back(r);
        }
        std::vector<std::vector<st::Value>> records;
        for (const int r : rows) {
            std::vector<st::Value> record(static_cast<std::size_t>(fieldCount));
            for (const auto& [column, position] : mapping) {
                record[static_cast<std::size_t>(position - 1)] = table->cell(r, column).asText();
            }
            records.push_back(std::move(record));
        }
        if (records.empty()) {
            outcome = Outcome::NoRows;
        } else if (!st::addRecords(records)) {
            outcome = Outcome::StoreFailed;
            storeError = st::lastError();
        }
    }

    // Closing steps.
    ui::setBool(kWindow, kStartButton, "enabled", true);
    ui::setText(kWindow, "分组框3", "正在导入数据，请稍等……");
    ui::setInt(kWindow, kProgress, "position", 10);
    for (int i = 0; i < 10; ++i) {
        ui::setInt(kWindow, kProgress, "position", ui::getInt(kWindow, kProgress, "position") + 10);
        runtime::sleepMilliseconds(200);
    }
    switch (outcome) {
        case Outcome::ConnectFailed: break;
        // Nothing came over from a workbook without a sheet1 or without data rows: the user is told
        // why, and no success is claimed.
        case Outcome::NoSheet1:
            ui::showMessageBox("这个Excel工作簿中没有名为sheet1的工作表，没有导入任何联系人。",
                               ui::kMbIconInfo);
            break;
        case Outcome::NoRows:
            ui::showMessageBox("sheet1工作表的标题行下面没有数据，没有导入任何联系人。", ui::kMbIconInfo);
            break;
        case Outcome::StoreFailed:
            ui::showMessageBox("导入失败，联系人数据库没有任何改动。\n" + storeError, ui::kMbIconError,
                               "错误！");
            break;
        case Outcome::Imported:
            if (!unknownHeaders.empty()) {
                std::string names;
                for (const std::string& h : unknownHeaders) names += (names.empty() ? "“" : "、“") + h + "”";
                ui::showMessageBox("勾选的列" + names + "没有同名的联系人字段，这些列的数据没有导入。",
                                   ui::kMbIconInfo);
            }
            ui::showMessageBox("导入成功！", ui::kMbOkCancel);
            break;
    }
    ui::destroyUnit(kWindow);
}

void onImportQuit() { ui::destroyUnit(kWindow); }

}  // namespace exchange
