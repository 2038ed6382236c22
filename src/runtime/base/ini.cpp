// The settings file, kept line by line so that a write changes exactly one line (or adds one)
// and leaves comments, order and unknown keys as the user left them. A file copied from
// elsewhere may begin with a byte-order mark or be in the old GB18030 code page; both read as
// the same lines, and a write puts the whole file back as plain UTF-8.
#include "runtime/base/ini.h"

#include <string>
#include <vector>

#include "runtime/base/files.h"
#include "runtime/base/text.h"

namespace runtime {
namespace {

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

std::vector<std::string> splitLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The section name of a "[name]" line, or nothing.
bool sectionOf(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    std::size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(line.substr(1, close - 1));
    return true;
}

// The key of a "key=value" line and its raw value.
bool keyOf(std::string_view line, std::string_view& key, std::string_view& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(line.substr(0, eq));
    value = line.substr(eq + 1);
    return true;
}

// The file's text as UTF-8 without a byte-order mark: a file that is not valid UTF-8 is taken
// to be GB18030 (a settings file kept on a Chinese Windows).
std::string readSettingsText(const std::string& file) {
    std::string content = readFile(file);
    if (content.starts_with("\xEF\xBB\xBF")) content.erase(0, 3);
    if (!isValidUtf8(content)) content = gb18030ToUtf8(content);
    return content;
}

std::string cleanValue(std::string_view raw) {
    std::string_view v = trim(raw);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return getLeftText(v, kIniValueMaxBytes);
}

}  // namespace

std::string readIniText(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view defaultValue) {
    std::vector<std::string> lines = splitLines(readSettingsText(file));
    bool inSection = false;
    std::string_view wantedSection = trim(section), wantedKey = trim(key);
    for (const std::string& line : lines) {
        std::string_view name;
        if (sectionOf(line, name)) {
            inSection = equalsNoCase(name, wantedSection);
            continue;
        }
        std::string_view k, v;
        if (inSection && keyOf(line, k, v) && equalsNoCase(k, wantedKey)) return cleanValue(v);
    }
    return cleanValue(defaultValue);
}

bool writeIniText(const std::string& file, std::string_view section, std::string_view key,
                  std::string_view value) {
    std::vector<std::string> lines = splitLines(readSettingsText(file));
    std::string_view wantedSection = trim(section), wantedKey = trim(key);
    std::string newLine = std::string(wantedKey) + "=" + std::string(value);
    // A value must stay on its line: line breaks inside it would spill into other keys.
    for (char& c : newLine) {
        if (c == '\n' || c == '\r') c = ' ';
    }

    bool inSection = false, sectionFound = false;
    std::size_t lastLineOfSection = 0;
    bool written = false;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        std::string_view name;
        if (sectionOf(lines[i], name)) {
            if (inSection) break;  // the key is not in its section: insert after the last line
            inSection = equalsNoCase(name, wantedSection);
            if (inSection) {
                sectionFound = true;
                lastLineOfSection = i;
            }
            continue;
        }
        if (!inSection) continue;
        std::string_view k, v;
        if (keyOf(lines[i], k, v) && equalsNoCase(k, wantedKey)) {
            lines[i] = newLine;
            written = true;
        } else if (!trim(lines[i]).empty()) {
            lastLineOfSection = i;
        }
    }
    if (!written) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastLineOfSection) + 1, newLine);
        } else {
            lines.push_back("[" + std::string(wantedSection) + "]");
            lines.push_back(newLine);
        }
    }
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return writeFile(file, out);
}

}  // namespace runtime
