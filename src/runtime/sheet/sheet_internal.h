// Inside the spreadsheet layer: what the model, the readers and the writer share.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/sheet/sheet.h"

namespace runtime::sheet {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool isValidSheetName(std::string_view name);

namespace detail {

// The readers build an opened workbook sheet by sheet.
struct WorkbookAccess {
    static void replaceSheets(Workbook& book, std::vector<Worksheet> sheets) {
        book.sheets_ = std::move(sheets);
        if (book.sheets_.empty()) book.sheets_.emplace_back("Sheet1");
        book.current_ = 1;
        book.active_ = 1;
        book.startRow_ = book.startColumn_ = book.endRow_ = book.endColumn_ = 0;
        book.rangeSet_ = false;
    }
};

ReadResult readXlsx(const std::string& path, std::vector<Worksheet>& sheets);
ReadResult readXls(const std::string& path, std::vector<Worksheet>& sheets);

ReadResult failure(ReadStatus status);

}  // namespace detail

}  // namespace runtime::sheet
