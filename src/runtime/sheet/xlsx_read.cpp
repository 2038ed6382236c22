// Reading an .xlsx file: a zip archive (minizip) of XML parts (expat). The parts read are the
// package relationships, the workbook with its relationships, the shared strings, the styles
// (only to tell dates from numbers) and each worksheet. Element names are matched without their
// namespace prefix, so files from other producers and the strict variant read the same. Every
// part is size-checked while it is unpacked and the cells are counted, so a crafted archive
// cannot take the program's memory.
#include <expat.h>
#include <unzip.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>

#include "runtime/base/datetime.h"
#include "runtime/base/text.h"
#include "runtime/sheet/sheet.h"
#include "runtime/sheet/sheet_internal.h"

namespace runtime::sheet::detail {

namespace {

// ---- Zip ----

class ZipArchive {
public:
    explicit ZipArchive(const std::string& path) : zip_(unzOpen64(path.c_str())) {}
    ~ZipArchive() {
        if (zip_) unzClose(zip_);
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isOpen() const { return zip_ != nullptr; }

    // Ok with the part's bytes; NotFound when there is no such part.
    ReadStatus read(const std::string& name, std::string& out) {
        out.clear();
        if (unzLocateFile(zip_, name.c_str(), 2) != UNZ_OK) return ReadStatus::NotFound;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            return ReadStatus::Damaged;
        }
        if (info.flag & 1) return ReadStatus::Encrypted;
        if (info.uncompressed_size > static_cast<ZPOS64_T>(kMaxPartBytes)) return ReadStatus::TooLarge;
        if (unzOpenCurrentFile(zip_) != UNZ_OK) return ReadStatus::Damaged;
        char buffer[65536];
        ReadStatus status = ReadStatus::Ok;
        for (;;) {
            const int n = unzReadCurrentFile(zip_, buffer, sizeof buffer);
            if (n < 0) {
                status = ReadStatus::Damaged;
                break;
            }
            if (n == 0) break;
            if (static_cast<std::int64_t>(out.size()) + n > kMaxPartBytes) {
                status = ReadStatus::TooLarge;
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
        }
        const int closed = unzCloseCurrentFile(zip_);  // reports a CRC mismatch
        if (status == ReadStatus::Ok && closed != UNZ_OK) status = ReadStatus::Damaged;
        if (status != ReadStatus::Ok) out.clear();
        return status;
    }

private:
    unzFile zip_;
};

// ---- XML ----

std::string_view localName(const char* name) {
    std::string_view n(name);
    const std::size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

// The value of the attribute whose local name is `name`; nullptr when absent.
const char* attribute(const char** attrs, std::string_view name) {
    for (int i = 0; attrs[i]; i += 2) {
        if (localName(attrs[i]) == name) return attrs[i + 1];
    }
    return nullptr;
}

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view, const char**) {}
    virtual void end(std::string_view) {}
    virtual void text(std::string_view) {}
    // A handler sets this to stop the parse (a limit was passed, or the content is wrong).
    ReadStatus stop = ReadStatus::Ok;
};

struct ParseState {
    XML_Parser parser;
    XmlHandler* handler;
};

ReadStatus parseXml(const std::string& data, XmlHandler& handler) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) return ReadStatus::TooLarge;
    ParseState state{parser, &handler};
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(
        parser,
        [](void* user, const XML_Char* name, const XML_Char** attrs) {
            auto* s = static_cast<ParseState*>(user);
            s->handler->start(localName(name), attrs);
            if (s->handler->stop != ReadStatus::Ok) XML_StopParser(s->parser, XML_FALSE);
        },
        [](void* user, const XML_Char* name) {
            auto* s = static_cast<ParseState*>(user);
            s->handler->end(localName(name));
            if (s->handler->stop != ReadStatus::Ok) XML_StopParser(s->parser, XML_FALSE);
        });
    XML_SetCharacterDataHandler(parser, [](void* user, const XML_Char* text, int length) {
        auto* s = static_cast<ParseState*>(user);
        s->handler->text(std::string_view(text, static_cast<std::size_t>(length)));
    });
    ReadStatus status = ReadStatus::Ok;
    // Parts are below kMaxPartBytes, which fits an int.
    if (XML_Parse(parser, data.data(), static_cast<int>(data.size()), XML_TRUE) != XML_STATUS_OK) {
        status = handler.stop != ReadStatus::Ok ? handler.stop : ReadStatus::Damaged;
    }
    XML_ParserFree(parser);
    return status;
}

// "_xHHHH_" stands for a character XML cannot carry (a control character) or for itself.
std::string decodeEscapes(std::string_view s) {
    if (s.find("_x") == std::string_view::npos) return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '_' && i + 6 < s.size() && s[i + 1] == 'x' && s[i + 6] == '_') {
            unsigned value = 0;
            const auto [p, ec] = std::from_chars(s.data() + i + 2, s.data() + i + 6, value, 16);
            if (ec == std::errc() && p == s.data() + i + 6) {
                char32_t cp = value;
                if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
                if (cp < 0x80) {
                    out += char(cp);
                } else if (cp < 0x800) {
                    out += char(0xC0 | (cp >> 6));
                    out += char(0x80 | (cp & 0x3F));
                } else {
                    out += char(0xE0 | (cp >> 12));
                    out += char(0x80 | ((cp >> 6) & 0x3F));
                    out += char(0x80 | (cp & 0x3F));
                }
                i += 7;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

// ---- Parts ----

struct Relationship {
    std::string type;
    std::string target;
};

class RelationshipsHandler : public XmlHandler {
public:
    std::map<std::string, Relationship> byId;
    void start(std::string_view name, const char** attrs) override {
        if (name != "Relationship") return;
        const char* id = attribute(attrs, "Id");
        const char* type = attribute(attrs, "Type");
        const char* target = attribute(attrs, "Target");
        if (id && target) byId[id] = {type ? type : "", target};
    }
};

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// A relationship target relative to the folder of the part that names it, as a part name.
std::string resolvePart(const std::string& folder, const std::string& target) {
    std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        const std::string segment = path.substr(start, slash - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = slash + 1;
    }
    std::string joined;
    for (const std::string& s : segments) joined += (joined.empty() ? "" : "/") + s;
    return joined;
}

std::string folderOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string relsOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return folderOf(part) + "_rels/" + file + ".rels";
}

struct SheetEntry {
    std::string name;
    std::string relId;
};

class WorkbookHandler : public XmlHandler {
public:
    std::vector<SheetEntry> sheets;
    bool date1904 = false;
    void start(std::string_view name, const char** attrs) override {
        if (name == "sheet") {
            const char* n = attribute(attrs, "name");
            const char* id = attribute(attrs, "id");
            if (n && id) sheets.push_back({n, id});
        } else if (name == "workbookPr") {
            const char* d = attribute(attrs, "date1904");
            date1904 = d && (std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0);
        }
    }
};

class SharedStringsHandler : public XmlHandler {
public:
    std::vector<std::string> strings;
    void start(std::string_view name, const char**) override {
        if (name == "si") {
            inItem_ = true;
            current_.clear();
        } else if (name == "rPh") {
            ++phonetic_;
        } else if (name == "t") {
            inText_ = true;
        }
    }
    void end(std::string_view name) override {
        if (name == "si") {
            strings.push_back(decodeEscapes(current_));
            inItem_ = false;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "t") {
            inText_ = false;
        }
    }
    void text(std::string_view t) override {
        if (inItem_ && inText_ && phonetic_ == 0) current_.append(t);
    }

private:
    bool inItem_ = false, inText_ = false;
    int phonetic_ = 0;
    std::string current_;
};

// Whether a number format shows a date or a time: any of y, m, d, h, s outside quoted text,
// escaped characters and bracketed codes (colours, locales), or an elapsed-time code.
bool isDateFormatCode(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == ';') break;  // the first section decides
        if (c == '"') {
            const std::size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const std::size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos) return false;
            const std::string_view inner = code.substr(i + 1, close - i - 1);
            if (!inner.empty() && inner.find_first_not_of("hHmMsS") == std::string_view::npos) return true;
            i = close;
        } else {
            const char l = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
            if (l == 'y' || l == 'm' || l == 'd' || l == 'h' || l == 's') return true;
        }
    }
    return false;
}

bool isBuiltinDateFormat(int id) {
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

class StylesHandler : public XmlHandler {
public:
    std::vector<bool> dateStyle;  // by cell style index
    void start(std::string_view name, const char** attrs) override {
        if (name == "numFmt") {
            const char* id = attribute(attrs, "numFmtId");
            const char* code = attribute(attrs, "formatCode");
            if (id && code) customDate_[std::atoi(id)] = isDateFormatCode(code);
        } else if (name == "cellXfs") {
            inCellXfs_ = true;
        } else if (name == "xf" && inCellXfs_) {
            const char* id = attribute(attrs, "numFmtId");
            const int fmt = id ? std::atoi(id) : 0;
            auto custom = customDate_.find(fmt);
            dateStyle.push_back(custom != customDate_.end() ? custom->second : isBuiltinDateFormat(fmt));
        }
    }
    void end(std::string_view name) override {
        if (name == "cellXfs") inCellXfs_ = false;
    }

private:
    std::map<int, bool> customDate_;
    bool inCellXfs_ = false;
};

class SheetHandler : public XmlHandler {
public:
    SheetHandler(Worksheet& sheet, const std::vector<std::string>& strings, const std::vector<bool>& dateStyle,
                 bool date1904, std::size_t& cellsSoFar)
        : sheet_(sheet), strings_(strings), dateStyle_(dateStyle), date1904_(date1904), cells_(cellsSoFar) {}

    void start(std::string_view name, const char** attrs) override {
        if (name == "row") {
            const char* r = attribute(attrs, "r");
            row_ = r ? std::atoi(r) : row_ + 1;
            column_ = 0;
            if (row_ < 1 || row_ > kMaxRows) stop = ReadStatus::Damaged;
        } else if (name == "c") {
            inCell_ = true;
            value_.clear();
            inline_.clear();
            const char* r = attribute(attrs, "r");
            int row = 0, column = 0;
            if (r) {
                if (!parseCellAddress(r, row, column)) {
                    stop = ReadStatus::Damaged;
                    return;
                }
                row_ = row;
                column_ = column;
            } else {
                column_ += 1;
                if (row_ < 1) row_ = 1;
            }
            if (column_ > kMaxColumns) stop = ReadStatus::Damaged;
            const char* t = attribute(attrs, "t");
            type_ = t ? t : "n";
            const char* s = attribute(attrs, "s");
            style_ = s ? std::atoi(s) : 0;
        } else if (inCell_ && name == "v") {
            inValue_ = true;
        } else if (inCell_ && name == "rPh") {
            ++phonetic_;
        } else if (inCell_ && name == "t") {
            inText_ = true;
        }
    }

    void end(std::string_view name) override {
        if (name == "v") {
            inValue_ = false;
        } else if (name == "t") {
            inText_ = false;
        } else if (name == "rPh") {
            --phonetic_;
        } else if (name == "c" && inCell_) {
            inCell_ = false;
            store();
        }
    }

    void text(std::string_view t) override {
        if (inValue_) value_.append(t);
        else if (inText_ && phonetic_ == 0) inline_.append(t);
    }

private:
    void store() {
        Cell cell;
        if (type_ == "s") {
            int index = -1;
            std::from_chars(value_.data(), value_.data() + value_.size(), index);
            if (index < 0 || static_cast<std::size_t>(index) >= strings_.size()) return;
            cell = Cell::ofText(strings_[static_cast<std::size_t>(index)]);
        } else if (type_ == "inlineStr") {
            cell = Cell::ofText(decodeEscapes(inline_));
        } else if (type_ == "str") {
            cell = Cell::ofText(decodeEscapes(value_));
        } else if (type_ == "b") {
            cell = {Cell::Kind::Boolean, {}, value_ == "1" || value_ == "true" ? 1.0 : 0.0};
        } else if (type_ == "e") {
            cell = {Cell::Kind::Error, value_, 0};
        } else if (type_ == "d") {
            std::string iso = value_;
            for (char& c : iso) if (c == 'T') c = ' ';
            if (const std::size_t dot = iso.find_first_of(".Z+"); dot != std::string::npos && dot > 10) iso.resize(dot);
            const DateTime d = toDateTime(iso);
            cell = d.days == kMinDateTime ? Cell::ofText(value_) : Cell::ofDate(d.days);
        } else {
            if (value_.empty()) return;  // a formatted cell with nothing in it
            double v = 0;
            const char* first = value_.data();
            while (first < value_.data() + value_.size() && *first == ' ') ++first;
            const auto [p, ec] = std::from_chars(first, value_.data() + value_.size(), v);
            if (ec != std::errc()) {
                cell = Cell::ofText(value_);
            } else if (style_ >= 0 && static_cast<std::size_t>(style_) < dateStyle_.size() &&
                       dateStyle_[static_cast<std::size_t>(style_)]) {
                cell = Cell::ofDate(date1904_ ? v + 1462 : v);
            } else {
                cell = Cell::ofNumber(v);
            }
        }
        if (++cells_ > kMaxCells) {
            stop = ReadStatus::TooLarge;
            return;
        }
        sheet_.setCell(row_, column_, std::move(cell));
    }

    Worksheet& sheet_;
    const std::vector<std::string>& strings_;
    const std::vector<bool>& dateStyle_;
    bool date1904_;
    std::size_t& cells_;
    int row_ = 0, column_ = 0, style_ = 0, phonetic_ = 0;
    bool inCell_ = false, inValue_ = false, inText_ = false;
    std::string type_, value_, inline_;
};

ReadResult fail(ReadStatus status) { return failure(status); }

// A missing part is a damaged package; any other status stands.
ReadStatus required(ReadStatus s) { return s == ReadStatus::NotFound ? ReadStatus::Damaged : s; }

}  // namespace

ReadResult readXlsx(const std::string& path, std::vector<Worksheet>& sheets) {
    ZipArchive zip(path);
    if (!zip.isOpen()) return fail(ReadStatus::Damaged);

    std::string data;
    std::string workbookPart = "xl/workbook.xml";
    if (zip.read("_rels/.rels", data) == ReadStatus::Ok) {
        RelationshipsHandler rels;
        if (parseXml(data, rels) == ReadStatus::Ok) {
            for (const auto& [id, rel] : rels.byId) {
                if (endsWith(rel.type, "/officeDocument")) workbookPart = resolvePart("", rel.target);
            }
        }
    }

    ReadStatus s = zip.read(workbookPart, data);
    if (s != ReadStatus::Ok) return fail(s == ReadStatus::NotFound ? ReadStatus::NotSpreadsheet : s);
    WorkbookHandler workbook;
    if ((s = parseXml(data, workbook)) != ReadStatus::Ok) return fail(s);

    if ((s = zip.read(relsOf(workbookPart), data)) != ReadStatus::Ok) return fail(required(s));
    RelationshipsHandler rels;
    if ((s = parseXml(data, rels)) != ReadStatus::Ok) return fail(s);

    const std::string folder = folderOf(workbookPart);
    SharedStringsHandler strings;
    StylesHandler styles;
    for (const auto& [id, rel] : rels.byId) {
        XmlHandler* handler = nullptr;
        if (endsWith(rel.type, "/sharedStrings")) handler = &strings;
        else if (endsWith(rel.type, "/styles")) handler = &styles;
        if (!handler) continue;
        s = zip.read(resolvePart(folder, rel.target), data);
        if (s == ReadStatus::NotFound) continue;  // named but absent: read as if not named
        if (s != ReadStatus::Ok || (s = parseXml(data, *handler)) != ReadStatus::Ok) return fail(s);
    }

    std::size_t cells = 0;
    std::vector<Worksheet> read;
    for (const SheetEntry& entry : workbook.sheets) {
        auto rel = rels.byId.find(entry.relId);
        if (rel == rels.byId.end()) return fail(ReadStatus::Damaged);
        if (!endsWith(rel->second.type, "/worksheet")) continue;  // chart and dialog sheets
        if ((s = zip.read(resolvePart(folder, rel->second.target), data)) != ReadStatus::Ok) {
            return fail(required(s));
        }
        read.emplace_back(entry.name);
        SheetHandler handler(read.back(), strings.strings, styles.dateStyle, workbook.date1904, cells);
        if ((s = parseXml(data, handler)) != ReadStatus::Ok) return fail(s);
    }
    if (read.empty()) return fail(ReadStatus::Damaged);
    sheets = std::move(read);
    return {};
}

}  // namespace runtime::sheet::detail
