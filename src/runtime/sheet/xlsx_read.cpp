// Reading an .xlsx file: a zip archive (minizip) of XML parts (expat). The parts read are the
// package relationships, the workbook with its relationships, the shared strings, the styles
// (only to tell dates from numbers) and each worksheet. Element names are matched without their
// namespace prefix, so files from other producers and the strict variant read the same. Parts
// are parsed while they inflate, within the limits below, and the cells and their text are
// counted, so a crafted archive can take neither the program's memory nor a long wait.
#include <expat.h>
#include <unzip.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "runtime/base/datetime.h"
#include "runtime/base/text.h"
#include "runtime/sheet/sheet.h"
#include "runtime/sheet/sheet_internal.h"

namespace runtime::sheet::detail {

namespace {

// ---- Inflating and parsing ----

// A part is inflated straight into its parser, a chunk at a time, and never held whole, so what
// a workbook costs is what its cells hold. Four limits keep a small file from inflating into a
// long wait (a few hundred kilobytes of deflated blanks make hundreds of megabytes):
//   - the parts of one workbook inflate to at most kMaxInflatedBytes together;
//   - a part is mostly markup and text: its blank bytes (white space between elements, comments)
//     stay within kBlankSlack plus kBlankPerMarkup times its tags and text;
//   - no single token (a tag, a comment) is longer than kMaxTokenBytes, since the parser holds a
//     token whole and scans it again with every chunk that does not complete it;
//   - each part is inflated once: a part named twice is a damaged package.
constexpr std::int64_t kBlankSlack = 1 << 20;
constexpr std::int64_t kBlankPerMarkup = 4;
constexpr std::int64_t kMaxTokenBytes = 1 << 20;
constexpr int kFeedBytes = 256 * 1024;

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

// One part's parse, and where in the part's bytes its events lie.
class XmlParse {
public:
    explicit XmlParse(XmlHandler& handler) : parser_(XML_ParserCreate(nullptr)), handler_(handler) {
        if (!parser_) return;
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(
            parser_,
            [](void* user, const XML_Char* name, const XML_Char** attrs) {
                auto* p = static_cast<XmlParse*>(user);
                p->saw(true);
                p->handler_.start(localName(name), attrs);
                p->stopIfAsked();
            },
            [](void* user, const XML_Char* name) {
                auto* p = static_cast<XmlParse*>(user);
                p->saw(true);
                p->handler_.end(localName(name));
                p->stopIfAsked();
            });
        XML_SetCharacterDataHandler(parser_, [](void* user, const XML_Char* text, int length) {
            auto* p = static_cast<XmlParse*>(user);
            const std::string_view t(text, static_cast<std::size_t>(length));
            p->saw(t.find_first_not_of(" \t\r\n") != std::string_view::npos);
            p->handler_.text(t);
        });
    }
    ~XmlParse() {
        if (parser_) XML_ParserFree(parser_);
    }
    XmlParse(const XmlParse&) = delete;
    XmlParse& operator=(const XmlParse&) = delete;

    bool isReady() const { return parser_ != nullptr; }
    // The parser's own buffer, room for `bytes` more.
    void* buffer(int bytes) { return XML_GetBuffer(parser_, bytes); }

    // Parses the `bytes` just put into the buffer (none: the part has ended).
    ReadStatus parse(int bytes) {
        fed_ += bytes;
        if (XML_ParseBuffer(parser_, bytes, bytes == 0) != XML_STATUS_OK) {
            return handler_.stop != ReadStatus::Ok ? handler_.stop : ReadStatus::Damaged;
        }
        const std::int64_t blank = fed_ - markup_;
        if (blank > kBlankSlack + kBlankPerMarkup * markup_ || fed_ - eventEnd_ > kMaxTokenBytes) {
            return ReadStatus::TooLarge;
        }
        return ReadStatus::Ok;
    }

private:
    // An event's bytes count as markup when they are a tag or text with more than blanks in it.
    void saw(bool markup) {
        const int count = XML_GetCurrentByteCount(parser_);
        eventEnd_ = static_cast<std::int64_t>(XML_GetCurrentByteIndex(parser_)) + count;
        if (markup) markup_ += count;
    }
    void stopIfAsked() {
        if (handler_.stop != ReadStatus::Ok) XML_StopParser(parser_, XML_FALSE);
    }

    XML_Parser parser_;
    XmlHandler& handler_;
    std::int64_t fed_ = 0, markup_ = 0, eventEnd_ = 0;
};

class ZipArchive {
public:
    explicit ZipArchive(const std::string& path) : zip_(unzOpen64(path.c_str())) {}
    ~ZipArchive() {
        if (zip_) unzClose(zip_);
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool isOpen() const { return zip_ != nullptr; }

    // Inflates the part into `handler`'s parse; NotFound when there is no such part.
    ReadStatus parse(const std::string& name, XmlHandler& handler) {
        if (unzLocateFile(zip_, name.c_str(), 2) != UNZ_OK) return ReadStatus::NotFound;
        if (!inflatedParts_.insert(unzGetOffset64(zip_)).second) return ReadStatus::Damaged;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            return ReadStatus::Damaged;
        }
        if (info.flag & 1) return ReadStatus::Encrypted;
        // minizip inflates no more than the size the archive states (a part that would inflate
        // further fails its check), so the stated sizes are what the limit is kept on.
        if (info.uncompressed_size > static_cast<ZPOS64_T>(kMaxInflatedBytes - inflated_)) {
            return ReadStatus::TooLarge;
        }
        inflated_ += static_cast<std::int64_t>(info.uncompressed_size);
        XmlParse xml(handler);
        if (!xml.isReady()) return ReadStatus::TooLarge;
        if (unzOpenCurrentFile(zip_) != UNZ_OK) return ReadStatus::Damaged;
        ReadStatus status = ReadStatus::Ok;
        for (int n = -1; n != 0 && status == ReadStatus::Ok;) {
            void* buffer = xml.buffer(kFeedBytes);
            if (!buffer) {
                status = ReadStatus::TooLarge;
                break;
            }
            n = unzReadCurrentFile(zip_, buffer, kFeedBytes);
            status = n < 0 ? ReadStatus::Damaged : xml.parse(n);
        }
        const int closed = unzCloseCurrentFile(zip_);  // reports a CRC mismatch
        if (status == ReadStatus::Ok && closed != UNZ_OK) status = ReadStatus::Damaged;
        return status;
    }

private:
    unzFile zip_;
    std::int64_t inflated_ = 0;         // stated sizes of the parts inflated so far
    std::set<ZPOS64_T> inflatedParts_;  // by the part's place in the archive's directory
};

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
            // No sheet can use more strings than it may hold cells.
            if (strings.size() == kMaxCells) stop = ReadStatus::TooLarge;
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
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58);
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

// What the cells of the sheets read so far hold: a shared string costs its bytes in every cell
// that uses it, so a few short parts could otherwise fill the memory.
struct Held {
    std::size_t cells = 0;
    std::int64_t textBytes = 0;
};

class SheetHandler : public XmlHandler {
public:
    SheetHandler(Worksheet& sheet, const std::vector<std::string>& strings,
                 const std::vector<bool>& dateStyle, bool date1904, Held& held)
        : sheet_(sheet), strings_(strings), dateStyle_(dateStyle), date1904_(date1904), held_(held) {}

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
        if (inValue_)
            value_.append(t);
        else if (inText_ && phonetic_ == 0)
            inline_.append(t);
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
            for (char& c : iso)
                if (c == 'T') c = ' ';
            if (const std::size_t dot = iso.find_first_of(".Z+"); dot != std::string::npos && dot > 10)
                iso.resize(dot);
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
        held_.textBytes += static_cast<std::int64_t>(cell.text.size());
        if (++held_.cells > kMaxCells || held_.textBytes > kMaxCellTextBytes) {
            stop = ReadStatus::TooLarge;
            return;
        }
        sheet_.setCell(row_, column_, std::move(cell));
    }

    Worksheet& sheet_;
    const std::vector<std::string>& strings_;
    const std::vector<bool>& dateStyle_;
    bool date1904_;
    Held& held_;
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

    // The package relationships may be missing or unreadable: the workbook is then where every
    // producer puts it. Only a part too large stops the read here.
    std::string workbookPart = "xl/workbook.xml";
    RelationshipsHandler package;
    ReadStatus s = zip.parse("_rels/.rels", package);
    if (s == ReadStatus::TooLarge) return fail(s);
    if (s == ReadStatus::Ok) {
        for (const auto& [id, rel] : package.byId) {
            if (endsWith(rel.type, "/officeDocument")) workbookPart = resolvePart("", rel.target);
        }
    }

    WorkbookHandler workbook;
    s = zip.parse(workbookPart, workbook);
    if (s != ReadStatus::Ok) return fail(s == ReadStatus::NotFound ? ReadStatus::NotSpreadsheet : s);

    RelationshipsHandler rels;
    if ((s = zip.parse(relsOf(workbookPart), rels)) != ReadStatus::Ok) return fail(required(s));

    const std::string folder = folderOf(workbookPart);
    SharedStringsHandler strings;
    StylesHandler styles;
    for (const auto& [id, rel] : rels.byId) {
        XmlHandler* handler = nullptr;
        if (endsWith(rel.type, "/sharedStrings"))
            handler = &strings;
        else if (endsWith(rel.type, "/styles"))
            handler = &styles;
        if (!handler) continue;
        s = zip.parse(resolvePart(folder, rel.target), *handler);
        if (s == ReadStatus::NotFound) continue;  // named but absent: read as if not named
        if (s != ReadStatus::Ok) return fail(s);
    }

    Held held;
    std::vector<Worksheet> read;
    for (const SheetEntry& entry : workbook.sheets) {
        auto rel = rels.byId.find(entry.relId);
        if (rel == rels.byId.end()) return fail(ReadStatus::Damaged);
        if (!endsWith(rel->second.type, "/worksheet")) continue;  // chart and dialog sheets
        read.emplace_back(entry.name);
        SheetHandler handler(read.back(), strings.strings, styles.dateStyle, workbook.date1904, held);
        if ((s = zip.parse(resolvePart(folder, rel->second.target), handler)) != ReadStatus::Ok) {
            return fail(required(s));
        }
    }
    if (read.empty()) return fail(ReadStatus::Damaged);
    sheets = std::move(read);
    return {};
}

}  // namespace runtime::sheet::detail
