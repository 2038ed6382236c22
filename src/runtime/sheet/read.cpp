// Opening a workbook file: the kind is told by the file's first bytes (a zip archive is Office
// Open XML, a compound document is BIFF), never by its name, so a renamed file still opens and a
// file of another kind is refused with a sentence that says so.
#include <fstream>

#include "runtime/sheet/sheet.h"
#include "runtime/sheet/sheet_internal.h"

namespace runtime::sheet {

namespace detail {

ReadResult failure(ReadStatus status) {
    switch (status) {
        case ReadStatus::Ok: return {};
        case ReadStatus::NotFound: return {status, "找不到这个文件，或者没有读取它的权限。"};
        case ReadStatus::NotSpreadsheet: return {status, "这个文件不是Excel工作簿（.xls或.xlsx文件）。"};
        case ReadStatus::Encrypted:
            return {status, "这个Excel工作簿设有打开密码，无法读取。请在Excel中取消密码后再试。"};
        case ReadStatus::Damaged: return {status, "这个Excel工作簿已损坏或格式不受支持，无法读取。"};
        case ReadStatus::TooLarge:
            return {status,
                    "这个Excel工作簿太大（解压后超过64 MB、单元格过多，或者大部分是空白），无法读取。"};
    }
    return {status, {}};
}

}  // namespace detail

ReadResult openWorkbook(const std::string& path, Workbook& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return detail::failure(ReadStatus::NotFound);
    char head[8] = {};
    in.read(head, sizeof head);
    const std::string_view magic(head, static_cast<std::size_t>(in.gcount()));
    in.close();

    std::vector<Worksheet> sheets;
    ReadResult result;
    if (magic.substr(0, 4) == std::string_view("PK\x03\x04", 4)) {
        result = detail::readXlsx(path, sheets);
    } else if (magic == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        result = detail::readXls(path, sheets);
    } else {
        return detail::failure(ReadStatus::NotSpreadsheet);
    }
    if (!result.ok()) return result;
    if (sheets.empty()) return detail::failure(ReadStatus::Damaged);
    detail::WorkbookAccess::replaceSheets(out, std::move(sheets));
    return {};
}

}  // namespace runtime::sheet
