// Reading an .xls file (BIFF5/BIFF8 inside a compound document) through freexl. freexl hands
// out texts as UTF-8 and dates as ISO texts; both become cells of the model here. A compound
// document that carries an encrypted .xlsx package, or a BIFF stream with a password, is told
// apart from a damaged file so the user learns what to do about it.
#include <freexl.h>

#include <fstream>
#include <iterator>

#include "runtime/base/datetime.h"
#include "runtime/sheet/sheet.h"
#include "runtime/sheet/sheet_internal.h"

namespace runtime::sheet::detail {

namespace {

class FreexlHandle {
public:
    ~FreexlHandle() {
        if (handle) freexl_close(handle);
    }
    const void* handle = nullptr;
};

// An encrypted Office Open XML package is stored in a compound document whose directory names
// the stream "EncryptedPackage" (in UTF-16).
bool holdsEncryptedPackage(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string name;
    for (char c : std::string_view("EncryptedPackage")) {
        name += c;
        name += '\0';
    }
    return bytes.find(name) != std::string::npos;
}

ReadStatus statusOf(int code) {
    switch (code) {
    case FREEXL_FILE_NOT_FOUND: return ReadStatus::NotFound;
    case FREEXL_INSUFFICIENT_MEMORY: return ReadStatus::TooLarge;
    default: return ReadStatus::Damaged;
    }
}

Cell cellOf(const FreeXL_CellValue& v) {
    switch (v.type) {
    case FREEXL_CELL_INT: return Cell::ofNumber(v.value.int_value);
    case FREEXL_CELL_DOUBLE: return Cell::ofNumber(v.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: return Cell::ofText(v.value.text_value ? v.value.text_value : "");
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME: {
        const std::string text = v.value.text_value ? v.value.text_value : "";
        const DateTime d = toDateTime(text);
        return d.days == kMinDateTime ? Cell::ofText(text) : Cell::ofDate(d.days);
    }
    case FREEXL_CELL_TIME: return Cell::ofText(v.value.text_value ? v.value.text_value : "");
    default: return {};
    }
}

}  // namespace

ReadResult readXls(const std::string& path, std::vector<Worksheet>& sheets) {
    FreexlHandle xls;
    const int opened = freexl_open(path.c_str(), &xls.handle);
    if (opened != FREEXL_OK) {
        if (holdsEncryptedPackage(path)) return failure(ReadStatus::Encrypted);
        return failure(statusOf(opened));
    }
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        return failure(ReadStatus::Encrypted);
    }
    unsigned int count = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) return failure(ReadStatus::Damaged);

    std::size_t cells = 0;
    std::vector<Worksheet> read;
    for (unsigned int i = 0; i < count && i < 65536; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(xls.handle, static_cast<unsigned short>(i), &name) != FREEXL_OK ||
            freexl_select_active_worksheet(xls.handle, static_cast<unsigned short>(i)) != FREEXL_OK) {
            return failure(ReadStatus::Damaged);
        }
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_worksheet_dimensions(xls.handle, &rows, &columns) != FREEXL_OK) return failure(ReadStatus::Damaged);
        if (rows > static_cast<unsigned>(kMaxRows) || columns > kMaxColumns) return failure(ReadStatus::Damaged);
        if (static_cast<std::size_t>(rows) * columns > kMaxCells * 4) return failure(ReadStatus::TooLarge);
        read.emplace_back(name ? name : "");
        Worksheet& sheet = read.back();
        for (unsigned int r = 0; r < rows; ++r) {
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue value{};
                if (freexl_get_cell_value(xls.handle, r, c, &value) != FREEXL_OK) continue;
                Cell cell = cellOf(value);
                if (cell.kind == Cell::Kind::Empty) continue;
                if (++cells > kMaxCells) return failure(ReadStatus::TooLarge);
                sheet.setCell(static_cast<int>(r) + 1, c + 1, std::move(cell));
            }
        }
    }
    if (read.empty()) return failure(ReadStatus::Damaged);
    sheets = std::move(read);
    return {};
}

}  // namespace runtime::sheet::detail
