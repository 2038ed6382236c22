// The workbook model: sheets, the current and the active sheet, the current range, cell texts
// and the fitting of column widths. Files are read and written elsewhere (xlsx_*.cpp, xls_read.cpp).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "runtime/base/datetime.h"
#include "runtime/base/number.h"
#include "runtime/base/text.h"
#include "runtime/sheet/sheet.h"
#include "runtime/sheet/sheet_internal.h"

namespace runtime::sheet {

namespace {

const Cell kEmptyCell{};

// A range written cell by cell may not exceed this many cells (a whole-sheet range would
// otherwise take the program's memory).
constexpr long long kMaxRangeWrite = 1'000'000;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

int utf16Length(std::string_view text) {
    int n = 0;
    std::size_t pos = 0;
    while (pos < text.size()) n += nextCodePoint(text, pos) > 0xFFFF ? 2 : 1;
    return n;
}

}  // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string columnLetters(int column) {
    if (column < 1 || column > kMaxColumns) return {};
    std::string letters;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        letters.insert(letters.begin(), char('a' + digit));
        column = (column - 1) / 26;
    }
    return letters;
}

bool parseCellAddress(std::string_view address, int& row, int& column) {
    std::size_t i = 0;
    if (i < address.size() && address[i] == '$') ++i;
    long long col = 0;
    std::size_t letters = 0;
    while (i < address.size()) {
        const char c = lowerAscii(address[i]);
        if (c < 'a' || c > 'z') break;
        col = col * 26 + (c - 'a' + 1);
        if (++letters > 3) return false;
        ++i;
    }
    if (letters == 0) return false;
    if (i < address.size() && address[i] == '$') ++i;
    long long r = 0;
    std::size_t digits = 0;
    while (i < address.size() && address[i] >= '0' && address[i] <= '9') {
        r = r * 10 + (address[i] - '0');
        if (++digits > 7) return false;
        ++i;
    }
    if (digits == 0 || i != address.size()) return false;
    if (r < 1 || r > kMaxRows || col < 1 || col > kMaxColumns) return false;
    row = static_cast<int>(r);
    column = static_cast<int>(col);
    return true;
}

std::string cellAddress(int row, int column) {
    if (row < 1 || row > kMaxRows) return {};
    const std::string letters = columnLetters(column);
    return letters.empty() ? std::string() : letters + std::to_string(row);
}

std::string Cell::asText() const {
    switch (kind) {
        case Kind::Empty: return {};
        case Kind::Text:
        case Kind::Error: return text;
        case Kind::Boolean: return number != 0 ? "TRUE" : "FALSE";
        case Kind::Number:
            if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 1e15) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.0f", number == 0 ? 0.0 : number);
                return buf;
            }
            return toText(number);
        case Kind::Date:
            if (!std::isfinite(number) || number < kMinDateTime || number >= kMaxDateTime + 1) {
                return ofNumber(number).asText();
            }
            return dateTimeToText(DateTime{number});
    }
    return {};
}

// ---- Worksheet ----

// A spooled sheet's file: one record per cell written, in the order the rows left memory. While
// `ordered` holds, the records run in row, then column order with each cell once, so the file is
// the sheet's cells as they are; a write to a row already in the file appends a record that
// overrides the earlier ones (an Empty record clears) and ends that order.
struct Worksheet::Spool {
    std::FILE* file = nullptr;
    int through = 0;  // the last row in the file
    bool ordered = true;
    bool failed = false;
    Spool() : file(std::tmpfile()) { failed = file == nullptr; }
    ~Spool() {
        if (file) std::fclose(file);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void append(int row, int column, const Cell& cell) {
        if (failed) return;
        const std::int32_t at[2] = {row, column};
        const auto kind = static_cast<unsigned char>(cell.kind);
        const auto length = static_cast<std::uint32_t>(cell.text.size());
        failed = std::fwrite(at, sizeof at, 1, file) != 1 || std::fwrite(&kind, 1, 1, file) != 1 ||
                 std::fwrite(&cell.number, sizeof cell.number, 1, file) != 1 ||
                 std::fwrite(&length, sizeof length, 1, file) != 1 ||
                 (length > 0 && std::fwrite(cell.text.data(), length, 1, file) != 1);
    }

    // Every record from the first, then back to appending at the end.
    bool replay(const std::function<void(int, int, const Cell&)>& visit) {
        if (failed || std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) {
            failed = true;
            return false;
        }
        std::int32_t at[2];
        unsigned char kind = 0;
        Cell cell;
        std::uint32_t length = 0;
        while (std::fread(at, sizeof at, 1, file) == 1) {
            if (std::fread(&kind, 1, 1, file) != 1 ||
                std::fread(&cell.number, sizeof cell.number, 1, file) != 1 ||
                std::fread(&length, sizeof length, 1, file) != 1) {
                failed = true;
                break;
            }
            cell.kind = static_cast<Cell::Kind>(kind);
            cell.text.resize(length);
            if (length > 0 && std::fread(cell.text.data(), length, 1, file) != 1) {
                failed = true;
                break;
            }
            visit(at[0], at[1], cell);
        }
        if (std::ferror(file) || std::fseek(file, 0, SEEK_END) != 0) failed = true;
        return !failed;
    }
};

Cell Worksheet::cell(int row, int column) const {
    if (spool_ && row <= spool_->through) {
        Cell found;
        spool_->replay([&](int r, int c, const Cell& cell) {
            if (r == row && c == column) found = cell;
        });
        return found;
    }
    auto it = cells_.find({row, column});
    return it == cells_.end() ? kEmptyCell : it->second;
}

void Worksheet::flushHeldRows() {
    for (const auto& [at, cell] : cells_) spool_->append(at.first, at.second, cell);
    if (!cells_.empty()) spool_->through = std::max(spool_->through, cells_.rbegin()->first.first);
    cells_.clear();
}

bool Worksheet::setCell(int row, int column, Cell value) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) return false;
    const bool empty =
        value.kind == Cell::Kind::Empty || (value.kind == Cell::Kind::Text && value.text.empty());
    if (spool_ && row <= spool_->through) {
        spool_->ordered = false;
        spool_->append(row, column, empty ? Cell{} : value);
        return true;
    }
    // A spooled sheet holds one row: a later row sends the held one to the file.
    if (spool_ && !cells_.empty() && row > cells_.rbegin()->first.first) flushHeldRows();
    if (empty) {
        cells_.erase({row, column});
    } else {
        cells_[{row, column}] = std::move(value);
    }
    return true;
}

bool Worksheet::forEachCell(const std::function<void(int, int, const Cell&)>& visit) const {
    bool ok = true;
    if (spool_ && spool_->through > 0) {
        if (spool_->ordered) {
            ok = spool_->replay(visit);
        } else {
            std::map<std::pair<int, int>, Cell> sorted;
            ok = spool_->replay([&sorted](int row, int column, const Cell& cell) {
                if (cell.kind == Cell::Kind::Empty) {
                    sorted.erase({row, column});
                } else {
                    sorted[{row, column}] = cell;
                }
            });
            for (const auto& [at, cell] : sorted) visit(at.first, at.second, cell);
        }
    }
    if (spool_ && spool_->failed) ok = false;
    for (const auto& [at, cell] : cells_) visit(at.first, at.second, cell);
    return ok;
}

UsedSize Worksheet::usedSize() const {
    UsedSize size;
    forEachCell([&size](int row, int column, const Cell&) {
        size.rows = std::max(size.rows, row);
        size.columns = std::max(size.columns, column);
    });
    return size;
}

std::size_t Worksheet::cellCount() const {
    if (!spool_) return cells_.size();
    std::size_t count = 0;
    forEachCell([&count](int, int, const Cell&) { ++count; });
    return count;
}

double Worksheet::columnWidth(int column) const {
    auto it = widths_.find(column);
    return it == widths_.end() ? 0.0 : it->second;
}

void Worksheet::setColumnWidth(int column, double width) {
    if (column < 1 || column > kMaxColumns) return;
    if (width <= 0) {
        widths_.erase(column);
    } else {
        widths_[column] = std::min(width, kMaxColumnWidth);
    }
}

// ---- Workbook ----

Workbook::Workbook(int sheets, Storage storage) : storage_(storage) {
    sheets = std::max(1, sheets);
    for (int i = 1; i <= sheets; ++i) sheets_.push_back(makeSheet("Sheet" + std::to_string(i)));
}

Worksheet Workbook::makeSheet(std::string name) const {
    Worksheet sheet(std::move(name));
    if (storage_ == Storage::Spooled) {
        // Without a temporary file the sheet stays in memory: slower to grow, never wrong.
        auto spool = std::make_shared<Worksheet::Spool>();
        if (!spool->failed) sheet.spool_ = std::move(spool);
    }
    return sheet;
}

Worksheet* Workbook::sheet(int position) {
    if (position < 1 || position > sheetCount()) return nullptr;
    return &sheets_[position - 1];
}

const Worksheet* Workbook::sheet(int position) const {
    if (position < 1 || position > sheetCount()) return nullptr;
    return &sheets_[position - 1];
}

const Worksheet* Workbook::findSheet(std::string_view name) const {
    for (const Worksheet& s : sheets_) {
        if (equalsIgnoringAsciiCase(s.name(), name)) return &s;
    }
    return nullptr;
}

void Workbook::addWorksheet() {
    for (int n = 1;; ++n) {
        const std::string name = "Sheet" + std::to_string(n);
        if (!findSheet(name)) {
            sheets_.push_back(makeSheet(name));
            return;
        }
    }
}

bool Workbook::setCurrentSheet(int position) {
    if (position < 1 || position > sheetCount()) return false;
    if (position != current_) rangeSet_ = false;
    current_ = position;
    return true;
}

bool isValidSheetName(std::string_view name) {
    if (name.empty() || utf16Length(name) > 31 || !isValidUtf8(name)) return false;
    if (name.front() == '\'' || name.back() == '\'') return false;
    return name.find_first_of(":\\/?*[]") == std::string_view::npos;
}

bool Workbook::setSheetName(std::string_view name) {
    if (!isValidSheetName(name)) return false;
    for (int i = 1; i <= sheetCount(); ++i) {
        if (i != current_ && equalsIgnoringAsciiCase(sheets_[i - 1].name(), name)) return false;
    }
    sheets_[current_ - 1].name_ = std::string(name);
    return true;
}

bool Workbook::setStartCell(std::string_view address) {
    int row = 0, column = 0;
    if (!parseCellAddress(address, row, column)) return false;
    startRow_ = row;
    startColumn_ = column;
    return true;
}

bool Workbook::setEndCell(std::string_view address) {
    int row = 0, column = 0;
    if (startRow_ == 0 || !parseCellAddress(address, row, column)) return false;
    endRow_ = row;
    endColumn_ = column;
    rangeSet_ = true;
    return true;
}

bool Workbook::setValue(std::string_view text) {
    if (!rangeSet_) return false;
    const int r0 = std::min(startRow_, endRow_), r1 = std::max(startRow_, endRow_);
    const int c0 = std::min(startColumn_, endColumn_), c1 = std::max(startColumn_, endColumn_);
    if (static_cast<long long>(r1 - r0 + 1) * (c1 - c0 + 1) > kMaxRangeWrite) return false;
    Worksheet& s = currentSheet();
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) s.setCell(r, c, Cell::ofText(std::string(text)));
    }
    return true;
}

std::string Workbook::value() const {
    if (startRow_ == 0) return {};
    return currentSheet().cell(startRow_, startColumn_).asText();
}

bool Workbook::autoFitCurrentRange() {
    if (!rangeSet_) return false;
    const int r0 = std::min(startRow_, endRow_), r1 = std::max(startRow_, endRow_);
    const int c0 = std::min(startColumn_, endColumn_), c1 = std::max(startColumn_, endColumn_);
    Worksheet& s = currentSheet();
    std::map<int, int> widest;  // column -> widest line, GB18030 bytes
    s.forEachCell([&](int row, int column, const Cell& cell) {
        if (row < r0 || row > r1 || column < c0 || column > c1) return;
        const std::string text = cell.asText();
        std::size_t lineStart = 0;
        int best = 0;
        while (lineStart <= text.size()) {
            std::size_t lineEnd = text.find('\n', lineStart);
            if (lineEnd == std::string::npos) lineEnd = text.size();
            best =
                std::max(best, getTextLength(std::string_view(text).substr(lineStart, lineEnd - lineStart)));
            lineStart = lineEnd + 1;
        }
        int& w = widest[column];
        w = std::max(w, best);
    });
    for (int c = c0; c <= c1; ++c) {
        auto it = widest.find(c);
        if (it == widest.end() || it->second == 0) continue;
        // One width of padding, as the fitted text needs a little room beside the grid line.
        s.setColumnWidth(c, std::clamp(it->second + 1.0, kDefaultColumnWidth, kMaxColumnWidth));
    }
    return true;
}

}  // namespace runtime::sheet
