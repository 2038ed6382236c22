// Spreadsheet workbooks as the program drives them: a workbook of named worksheets, one current
// sheet and one active (front) sheet, a current range between a start and an end cell address
// ("a1", "d12"), cells written and read as text, the used range's size, column widths fitted to
// their text, saving as an .xlsx file, and opening an .xlsx or .xls file into the same model.
// Plain C++; no window system here. Every operation answers yes or no and never throws on bad
// input; opening a file reports why it could not be read in a sentence for the user.
//
// A workbook's states, and what moves between them:
//
// | from            | to              | by                         |
// |-----------------|-----------------|----------------------------|
// | (none)          | new, N sheets   | Workbook(N)                |
// | (none)          | opened          | openWorkbook (a file)      |
// | new / opened    | same, changed   | addWorksheet, setValue ... |
// | new / opened    | written to disk | saveWorkbook (stays usable)|
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace runtime::sheet {

namespace detail {
struct WorkbookAccess;
}

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
// The most characters (UTF-16 units) one cell of an .xlsx file holds.
inline constexpr int kMaxCellChars = 32767;
// The widest column, in character widths.
inline constexpr double kMaxColumnWidth = 255.0;
inline constexpr double kDefaultColumnWidth = 8.43;

// Lower-case column letters: 1 "a", 26 "z", 27 "aa", 16384 "xfd"; empty outside 1..16384.
std::string columnLetters(int column);
// "a1", "B12", "$C$3" (either case, optional "$") into a 1-based row and column; false for
// anything else or a cell outside the sheet.
bool parseCellAddress(std::string_view address, int& row, int& column);
std::string cellAddress(int row, int column);

struct Cell {
    enum class Kind { Empty, Text, Number, Boolean, Date, Error };
    Kind kind = Kind::Empty;
    std::string text;   // Text and Error: the text; Date: unused
    double number = 0;  // Number, Boolean (0/1), Date (days since 1899-12-30)

    bool operator==(const Cell&) const = default;
    static Cell ofText(std::string t) { return {Kind::Text, std::move(t), 0}; }
    static Cell ofNumber(double v) { return {Kind::Number, {}, v}; }
    static Cell ofDate(double days) { return {Kind::Date, {}, days}; }
    // The value as the program shows it: texts as they are, whole numbers without a fraction
    // ("13800138000"), dates as "2024年3月5日" (with the time of day when there is one),
    // booleans "TRUE"/"FALSE", errors as their code ("#N/A").
    std::string asText() const;
};

// The rectangle of cells in use, counted from A1 (so `columns` is the last used column's
// number); 0 x 0 for an empty sheet.
struct UsedSize {
    int rows = 0;
    int columns = 0;
};

class Worksheet {
public:
    explicit Worksheet(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    // The cell at (row, column), 1-based; an Empty cell where nothing was written.
    Cell cell(int row, int column) const;
    // False outside the sheet. Writing an Empty cell clears it.
    bool setCell(int row, int column, Cell value);
    UsedSize usedSize() const;
    std::size_t cellCount() const;
    // 0 means the default width.
    double columnWidth(int column) const;
    void setColumnWidth(int column, double width);
    const std::map<int, double>& columnWidths() const { return widths_; }
    // Visits every non-empty cell in row order, then column order. False when a spooled sheet's
    // file could not be written or read back (the visit is then incomplete).
    bool forEachCell(const std::function<void(int row, int column, const Cell& cell)>& visit) const;
    // The cells held in memory, in row order, then column order: every cell of a sheet kept in
    // memory; only the last row written of a spooled one.
    const std::map<std::pair<int, int>, Cell>& cells() const { return cells_; }

private:
    friend class Workbook;
    struct Spool;
    void flushHeldRows();
    std::string name_;
    std::map<std::pair<int, int>, Cell> cells_;
    std::map<int, double> widths_;
    // A spooled sheet: rows up to spool_'s last spooled row are in its file, not in cells_.
    std::shared_ptr<Spool> spool_;
};

class Workbook {
public:
    // Where the cells of a workbook live. A spooled workbook is for writing large sheets row by
    // row in bounded memory: each sheet keeps the row last written in memory and appends the rows
    // before it to an anonymous temporary file. It answers every question a workbook in memory
    // does, but reading back a cell of an earlier row, or writing to one, reads the whole file
    // (and a sheet written out of row order is sorted in memory when it is saved).
    enum class Storage { Memory, Spooled };

    // A new workbook with `sheets` empty sheets named "Sheet1".."SheetN" (at least one), the
    // first current and active.
    explicit Workbook(int sheets = 1, Storage storage = Storage::Memory);

    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    // Position 1-based; nullptr outside.
    Worksheet* sheet(int position);
    const Worksheet* sheet(int position) const;
    // The first sheet whose name equals `name`, ASCII letters compared without case, as
    // sheet names are; nullptr when there is none.
    const Worksheet* findSheet(std::string_view name) const;

    // Adds an empty sheet after the last one, named "SheetN" with the first unused N. Neither
    // the current nor the active sheet changes.
    void addWorksheet();

    // The current sheet is the one the cell, range and name operations work on.
    bool setCurrentSheet(int position);
    int currentSheetIndex() const { return current_; }
    Worksheet& currentSheet() { return sheets_[current_ - 1]; }
    const Worksheet& currentSheet() const { return sheets_[current_ - 1]; }
    // Renames the current sheet. Refused (false, name unchanged) for an empty name, one longer
    // than 31 characters, one holding any of : \ / ? * [ ], or one another sheet already bears
    // (case aside).
    bool setSheetName(std::string_view name);
    // The active sheet is the one in front when the saved file is opened.
    void activateCurrentSheet() { active_ = current_; }
    int activeSheetIndex() const { return active_; }

    // The current range runs from the start cell to the end cell of the current sheet. Setting
    // the end cell makes the range; a bad address is refused and leaves the range as it was.
    bool setStartCell(std::string_view address);
    bool setEndCell(std::string_view address);
    // Writes the text into every cell of the current range. Texts are kept whole here; saving
    // cuts a cell to kMaxCellChars.
    bool setValue(std::string_view text);
    // The start cell's value as text (empty when the cell is empty or no range is set).
    std::string value() const;
    // Fits the width of each column of the current range to the widest line of text among the
    // range's cells in that column, counted in GB18030 bytes (a Chinese character is two
    // widths), within the default width and kMaxColumnWidth.
    bool autoFitCurrentRange();

private:
    friend struct detail::WorkbookAccess;
    Worksheet makeSheet(std::string name) const;
    std::vector<Worksheet> sheets_;
    Storage storage_ = Storage::Memory;
    int current_ = 1;
    int active_ = 1;
    int startRow_ = 0, startColumn_ = 0;
    int endRow_ = 0, endColumn_ = 0;
    bool rangeSet_ = false;
};

// ---- Files ----

enum class ReadStatus { Ok, NotFound, NotSpreadsheet, Encrypted, Damaged, TooLarge };

struct ReadResult {
    ReadStatus status = ReadStatus::Ok;
    std::string message;  // a sentence for the user; empty when Ok
    bool ok() const { return status == ReadStatus::Ok; }
};

// Reads an .xlsx (Office Open XML) or .xls (BIFF, Excel 97-2003 and older) file, told apart by
// its content, not its name, into `out` (replaced). Cells keep their type; formulas give their
// stored result. Worksheets only: chart sheets are left out. A file beyond the reader's limits
// (see below) is refused as TooLarge, early and in bounded memory.
ReadResult openWorkbook(const std::string& path, Workbook& out);

struct SaveResult {
    bool ok = false;
    std::string message;  // why it failed, for the user
    int cutCells = 0;     // cells whose text was cut to kMaxCellChars
};

// Writes the workbook as an .xlsx file, replacing `path` only once the new file is complete.
// Every cell is written as text; invalid UTF-8 is written as U+FFFD.
SaveResult saveWorkbook(const Workbook& book, const std::string& path);

// Limits of the readers, for tests. An .xlsx file's parts inflate to at most kMaxInflatedBytes
// together, none of them mostly blank. The cells of one workbook are at most kMaxCells holding
// at most kMaxCellTextBytes of text together (a shared string counts once per cell): a cell
// held takes about 70 bytes besides its text, so an opened workbook stays within about 250 MB.
inline constexpr std::int64_t kMaxInflatedBytes = 64LL * 1024 * 1024;
inline constexpr std::size_t kMaxCells = 2'000'000;
inline constexpr std::int64_t kMaxCellTextBytes = 64LL * 1024 * 1024;

}  // namespace runtime::sheet
