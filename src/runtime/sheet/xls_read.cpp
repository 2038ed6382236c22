// Reading an .xls file (BIFF5/BIFF8 inside a compound document) through freexl. freexl hands
// out texts as UTF-8 and dates as ISO texts; both become cells of the model here. A compound
// document that carries an encrypted .xlsx package, or a BIFF stream with a password, is told
// apart from a damaged file so the user learns what to do about it.
//
// freexl can crash on a crafted or badly damaged file, so it never runs in the program's own
// process: a forked child parses the file and sends the cells back through a pipe. A child that
// dies, answers garbage or takes longer than kChildSeconds makes the file Damaged, and the
// program carries on with its data untouched.
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
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
// the stream "EncryptedPackage" (in UTF-16). The file is read whole for the search, so only up
// to a size.
constexpr std::uintmax_t kMaxScannedBytes = 256ULL * 1024 * 1024;

bool holdsEncryptedPackage(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxScannedBytes) return false;
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

ReadResult readInProcess(const std::string& path, std::vector<Worksheet>& sheets) {
    FreexlHandle xls;
    const int opened = freexl_open(path.c_str(), &xls.handle);
    if (opened != FREEXL_OK) {
        if (holdsEncryptedPackage(path)) return failure(ReadStatus::Encrypted);
        return failure(statusOf(opened));
    }
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        return failure(ReadStatus::Encrypted);
    }
    unsigned int count = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        return failure(ReadStatus::Damaged);

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
        if (freexl_worksheet_dimensions(xls.handle, &rows, &columns) != FREEXL_OK)
            return failure(ReadStatus::Damaged);
        if (rows > static_cast<unsigned>(kMaxRows) || columns > kMaxColumns)
            return failure(ReadStatus::Damaged);
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

// ---- The child's answer: status, then each sheet's name and cells ----

constexpr int kChildSeconds = 30;

void put(std::string& out, const void* p, std::size_t n) { out.append(static_cast<const char*>(p), n); }
void putU32(std::string& out, std::uint32_t v) { put(out, &v, sizeof v); }
void putText(std::string& out, const std::string& t) {
    putU32(out, static_cast<std::uint32_t>(t.size()));
    out += t;
}

class Reader {
public:
    explicit Reader(const std::string& data) : data_(data) {}
    bool get(void* p, std::size_t n) {
        if (data_.size() - pos_ < n) return false;
        std::memcpy(p, data_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    bool getU32(std::uint32_t& v) { return get(&v, sizeof v); }
    bool getText(std::string& t) {
        std::uint32_t n = 0;
        if (!getU32(n) || data_.size() - pos_ < n) return false;
        t.assign(data_, pos_, n);
        pos_ += n;
        return true;
    }
    bool atEnd() const { return pos_ == data_.size(); }

private:
    const std::string& data_;
    std::size_t pos_ = 0;
};

std::string encode(const ReadResult& result, const std::vector<Worksheet>& sheets) {
    std::string out;
    putU32(out, static_cast<std::uint32_t>(result.status));
    if (!result.ok()) return out;
    putU32(out, static_cast<std::uint32_t>(sheets.size()));
    for (const Worksheet& s : sheets) {
        putText(out, s.name());
        putU32(out, static_cast<std::uint32_t>(s.cellCount()));
        for (const auto& [at, cell] : s.cells()) {
            putU32(out, static_cast<std::uint32_t>(at.first));
            putU32(out, static_cast<std::uint32_t>(at.second));
            putU32(out, static_cast<std::uint32_t>(cell.kind));
            put(out, &cell.number, sizeof cell.number);
            putText(out, cell.text);
        }
    }
    return out;
}

ReadStatus decode(const std::string& data, std::vector<Worksheet>& sheets) {
    Reader in(data);
    std::uint32_t status = 0, count = 0;
    if (!in.getU32(status) || status > static_cast<std::uint32_t>(ReadStatus::TooLarge))
        return ReadStatus::Damaged;
    if (status != static_cast<std::uint32_t>(ReadStatus::Ok)) return static_cast<ReadStatus>(status);
    if (!in.getU32(count)) return ReadStatus::Damaged;
    std::vector<Worksheet> read;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string name;
        std::uint32_t cells = 0;
        if (!in.getText(name) || !in.getU32(cells)) return ReadStatus::Damaged;
        read.emplace_back(name);
        for (std::uint32_t k = 0; k < cells; ++k) {
            std::uint32_t row = 0, column = 0, kind = 0;
            Cell cell;
            if (!in.getU32(row) || !in.getU32(column) || !in.getU32(kind) ||
                !in.get(&cell.number, sizeof cell.number) || !in.getText(cell.text) ||
                kind > static_cast<std::uint32_t>(Cell::Kind::Error)) {
                return ReadStatus::Damaged;
            }
            cell.kind = static_cast<Cell::Kind>(kind);
            if (!read.back().setCell(static_cast<int>(row), static_cast<int>(column), std::move(cell))) {
                return ReadStatus::Damaged;
            }
        }
    }
    if (!in.atEnd()) return ReadStatus::Damaged;
    sheets = std::move(read);
    return ReadStatus::Ok;
}

bool writeAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

ReadResult readXls(const std::string& path, std::vector<Worksheet>& sheets) {
    int fds[2];
    if (::pipe(fds) != 0) return failure(ReadStatus::TooLarge);
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return failure(ReadStatus::TooLarge);
    }
    if (child == 0) {
        ::close(fds[0]);
        std::vector<Worksheet> read;
        const ReadResult result = readInProcess(path, read);
        ::_exit(writeAll(fds[1], encode(result, read)) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string answer;
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kChildSeconds);
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;  // the deadline check above ends the wait
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (timedOut) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return failure(ReadStatus::Damaged);
    std::vector<Worksheet> read;
    const ReadStatus decoded = decode(answer, read);
    if (decoded != ReadStatus::Ok) return failure(decoded);
    sheets = std::move(read);
    return {};
}

}  // namespace runtime::sheet::detail
