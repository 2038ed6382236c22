// Saving a workbook as an .xlsx file through libxlsxwriter. The file is built beside its target
// under a temporary name and renamed over it only when complete, so a failed save never damages
// a file the user already had. Rows stream through in order, so saving takes memory for one row,
// not for the sheet.
#include <xlsxwriter.h>

#include <cstdio>

#include "runtime/base/text.h"
#include "runtime/sheet/sheet.h"
#include "runtime/sheet/sheet_internal.h"

namespace runtime::sheet {

namespace {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// The file format reads "_xHHHH_" as an escaped character; a text that holds such a sequence
// itself gets its underscore escaped ("_x005F_") so it reads back unchanged.
std::string protectEscapes(const std::string& text) {
    if (text.find("_x") == std::string::npos) return text;
    auto isHex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    };
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && isHex(text[i + 2]) &&
            isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]) && text[i + 6] == '_') {
            out += "_x005F";
        }
        out += text[i];
    }
    return out;
}

// Valid UTF-8 of at most kMaxCellChars UTF-16 units, cut at a character boundary. Malformed
// bytes become U+FFFD; so do the characters XML cannot carry at all (surrogates, U+FFFE/FFFF).
std::string cellText(std::string_view text, bool& cut) {
    std::string clean;
    clean.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t before = pos;
        char32_t cp = nextCodePoint(text, pos);
        const bool malformed = pos - before == 1 && static_cast<unsigned char>(text[before]) >= 0x80;
        if (malformed || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF || cp > 0x10FFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(clean, cp);
    }
    clean = protectEscapes(clean);
    cut = false;
    int units = 0;
    pos = 0;
    while (pos < clean.size()) {
        const std::size_t before = pos;
        const int w = nextCodePoint(clean, pos) > 0xFFFF ? 2 : 1;
        if (units + w > kMaxCellChars) {
            cut = true;
            clean.resize(before);
            break;
        }
        units += w;
    }
    return clean;
}

// The reasons a save can meet, in the program's language; the library's own English text is
// kept only for the unforeseen ones.
std::string errorText(lxw_error e) {
    const char* why = nullptr;
    switch (e) {
        case LXW_ERROR_CREATING_XLSX_FILE: why = "无法创建文件，文件夹不存在或没有写入权限。"; break;
        case LXW_ERROR_CREATING_TMPFILE:
        case LXW_ERROR_READING_TMPFILE: why = "无法使用临时文件。"; break;
        case LXW_ERROR_MEMORY_MALLOC_FAILED: why = "内存不足。"; break;
        case LXW_ERROR_ZIP_FILE_OPERATION:
        case LXW_ERROR_ZIP_FILE_ADD:
        case LXW_ERROR_ZIP_CLOSE:
        case LXW_ERROR_ZIP_INTERNAL_ERROR: why = "写入文件时出错，磁盘可能已满。"; break;
        default: break;
    }
    return std::string("保存Excel工作簿失败：") + (why ? why : lxw_strerror(e));
}

}  // namespace

SaveResult saveWorkbook(const Workbook& book, const std::string& path) {
    SaveResult result;
    const std::string temporary = path + ".part";
    std::remove(temporary.c_str());
    lxw_workbook_options options = {};
    // Cells arrive in row order (forEachCell's promise), so each row goes to the file as it is
    // written and the workbook never holds a sheet's texts in memory.
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(temporary.c_str(), &options);
    if (!wb) {
        result.message = "保存Excel工作簿失败：无法创建文件。";
        return result;
    }
    lxw_format* wrap = workbook_add_format(wb);
    format_set_text_wrap(wrap);
    format_set_align(wrap, LXW_ALIGN_VERTICAL_TOP);

    lxw_error failed = LXW_NO_ERROR;
    for (int i = 1; i <= book.sheetCount() && failed == LXW_NO_ERROR; ++i) {
        const Worksheet& s = *book.sheet(i);
        lxw_worksheet* ws = workbook_add_worksheet(wb, s.name().c_str());
        if (!ws) {
            failed = LXW_ERROR_SHEETNAME_ALREADY_USED;
            break;
        }
        if (i == book.activeSheetIndex()) worksheet_activate(ws);
        for (const auto& [column, width] : s.columnWidths()) {
            worksheet_set_column(ws, static_cast<lxw_col_t>(column - 1), static_cast<lxw_col_t>(column - 1),
                                 width, nullptr);
        }
        const bool read = s.forEachCell([&](int row, int column, const Cell& cell) {
            if (failed != LXW_NO_ERROR) return;
            bool cut = false;
            const std::string text = cellText(cell.asText(), cut);
            if (cut) ++result.cutCells;
            const bool multiLine = text.find('\n') != std::string::npos;
            failed = worksheet_write_string(ws, static_cast<lxw_row_t>(row - 1),
                                            static_cast<lxw_col_t>(column - 1), text.c_str(),
                                            multiLine ? wrap : nullptr);
        });
        if (!read && failed == LXW_NO_ERROR) failed = LXW_ERROR_READING_TMPFILE;
    }
    const lxw_error closed = workbook_close(wb);  // frees the workbook whatever it answers
    if (failed == LXW_NO_ERROR) failed = closed;
    if (failed != LXW_NO_ERROR) {
        std::remove(temporary.c_str());
        result.message = errorText(failed);
        return result;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        result.message = "保存Excel工作簿失败：无法写入“" + path + "”。";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace runtime::sheet
