// The workbook model: sheets, the current and the active sheet, the current range, cell texts
// and the fitting of column widths. Files are read and written elsewhere (xlsx_*.cpp, xls_read.cpp).
#include <algorithm>
#include <cmath>
#include <cstdio>

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

const Cell& Worksheet::cell(int row, int column) const {
    auto it = cells_.find({row, column});
    return it == cells_.end() ? kEmptyCell : it->second;
}

bool Worksheet::setCell(int row, int column, Cell value) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) return false;
    if (value.kind == Cell::Kind::Empty || (value.kind == Cell::Kind::Text && value.text.empty())) {
        cells_.erase({row, column});
    } else {
        cells_[{row, column}] = std::move(value);
    }
    return true;
}

UsedSize Worksheet::usedSize() const {
    UsedSize size;
    for (const auto& [at, cell] : cells_) {
        size.rows = std::max(size.rows, at.first);
        size.columns = std::max(size.columns, at.second);
    }
    return size;
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

Workbook::Workbook(int sheets) {
    sheets = std::max(1, sheets);
    for (int i = 1; i <= sheets; ++i) sheets_.emplace_back("Sheet" + std::to_string(i));
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
            sheets_.emplace_back(name);
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
    for (const auto& [at, cell] : s.cells_) {
        if (at.first < r0 || at.first > r1 || at.second < c0 || at.second > c1) continue;
        const std::string text = cell.asText();
        std::size_t lineStart = 0;
        int best = 0;
        while (lineStart <= text.size()) {
            std::size_t lineEnd = text.find('\n', lineStart);
            if (lineEnd == std::string::npos) lineEnd = text.size();
            best = std::max(best, getTextLength(std::string_view(text).substr(lineStart, lineEnd - lineStart)));
            lineStart = lineEnd + 1;
        }
        int& w = widest[at.second];
        w = std::max(w, best);
    }
    for (int c = c0; c <= c1; ++c) {
        auto it = widest.find(c);
        if (it == widest.end() || it->second == 0) continue;
        // One width of padding, as the fitted text needs a little room beside the grid line.
        s.setColumnWidth(c, std::clamp(it->second + 1.0, kDefaultColumnWidth, kMaxColumnWidth));
    }
    return true;
}

}  // namespace runtime::sheet
