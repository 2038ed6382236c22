// GB18030 byte semantics over UTF-8 texts. The two-byte region of GB18030 is looked up once in a
// bitmap built from glibc's own converter, so lengths match what the old code page would store.
#include "runtime/base/text.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>

namespace runtime {
namespace {

const std::bitset<0x10000>& twoByteTable() {
    static const std::unique_ptr<std::bitset<0x10000>> table = [] {
        auto bits = std::make_unique<std::bitset<0x10000>>();
        iconv_t cd = iconv_open("GB18030", "UTF-32LE");
        if (cd == reinterpret_cast<iconv_t>(-1)) return bits;
        for (char32_t cp = 0x80; cp < 0x10000; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            std::array<char, 4> in{static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF), 0, 0};
            std::array<char, 8> out{};
            char* inPtr = in.data();
            char* outPtr = out.data();
            size_t inLeft = in.size(), outLeft = out.size();
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
                out.size() - outLeft == 2) {
                bits->set(cp);
            }
        }
        iconv_close(cd);
        return bits;
    }();
    return *table;
}

unsigned char lowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool matchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
    if (text.size() - pos < needle.size()) return false;
    for (std::size_t i = 0; i < needle.size(); ++i) {
        auto a = static_cast<unsigned char>(text[pos + i]);
        auto b = static_cast<unsigned char>(needle[i]);
        if (ignoreCase ? lowerAscii(a) != lowerAscii(b) : a != b) return false;
    }
    return true;
}

std::string convert(const char* to, const char* from, std::string_view input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out;
    std::array<char, 4096> buf{};
    char* inPtr = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = buf.data();
        size_t outLeft = buf.size();
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf.data(), buf.size() - outLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // An undecodable byte: keep going past it with a replacement character.
            static const std::string_view kReplacement = "\xEF\xBF\xBD";
            std::string rep = std::string(to) == "UTF-8" ? std::string(kReplacement) : std::string("?");
            out += rep;
            ++inPtr;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    char* outPtr = buf.data();
    size_t outLeft = buf.size();
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buf.data(), buf.size() - outLeft);
    iconv_close(cd);
    return out;
}

}  // namespace

char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char c = byte(pos);
    int extra = 0;
    char32_t cp = 0;
    if (c < 0x80) {
        ++pos;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        extra = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3, cp = c & 0x07;
    } else {
        ++pos;
        return c;
    }
    for (int i = 1; i <= extra; ++i) {
        if (pos + i >= text.size() || (byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return c;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    // Overlong forms and surrogates are malformed: treat the lead byte as a lone byte.
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return c;
    }
    pos += extra + 1;
    return cp;
}

bool isValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t before = pos;
        char32_t cp = nextCodePoint(text, pos);
        if (pos - before == 1 && cp >= 0x80) return false;
    }
    return true;
}

int gbkCharLength(char32_t cp) {
    if (cp < 0x80) return 1;
    if (cp < 0x10000 && twoByteTable().test(cp)) return 2;
    return 4;
}

namespace {
// Length of the character at pos, in GB18030 bytes, advancing pos. A malformed byte counts 1.
int nextGbkLength(std::string_view text, std::size_t& pos) {
    std::size_t before = pos;
    char32_t cp = nextCodePoint(text, pos);
    if (pos - before == 1 && cp >= 0x80) return 1;
    return gbkCharLength(cp);
}
}  // namespace

int getTextLength(std::string_view text) {
    int total = 0;
    std::size_t pos = 0;
    while (pos < text.size()) total += nextGbkLength(text, pos);
    return total;
}

std::string getLeftText(std::string_view text, int bytes) {
    if (bytes <= 0) return {};
    int used = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t before = pos;
        int len = nextGbkLength(text, pos);
        if (used + len > bytes) return std::string(text.substr(0, before));
        used += len;
    }
    return std::string(text);
}

std::string getRightText(std::string_view text, int bytes) {
    if (bytes <= 0) return {};
    int total = getTextLength(text);
    if (total <= bytes) return std::string(text);
    // Skip characters from the start until what remains fits.
    int skipped = 0;
    std::size_t pos = 0;
    while (pos < text.size() && total - skipped > bytes) skipped += nextGbkLength(text, pos);
    return std::string(text.substr(pos));
}

namespace {

bool isContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

// Whether byte `pos` starts a character of the walk nextCodePoint makes from the text's first
// byte. Only a continuation byte can lie inside a character, and only inside the sequence of the
// nearest lead byte at most three bytes back; elsewhere continuation bytes walk one by one.
bool startsCharacter(std::string_view text, std::size_t pos) {
    if (pos == 0 || pos >= text.size() || !isContinuationByte(static_cast<unsigned char>(text[pos])))
        return true;
    std::size_t back = 1;
    while (back <= 3 && back <= pos && isContinuationByte(static_cast<unsigned char>(text[pos - back])))
        ++back;
    if (back > 3 || back > pos) return true;
    std::size_t end = pos - back;
    nextCodePoint(text, end);
    return end <= pos;
}

bool hasAsciiLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

struct FoldedHash {
    std::size_t operator()(char c) const { return lowerAscii(static_cast<unsigned char>(c)); }
};
struct FoldedEqual {
    bool operator()(char a, char b) const {
        return lowerAscii(static_cast<unsigned char>(a)) == lowerAscii(static_cast<unsigned char>(b));
    }
};

// The first of the hits `next` gives (each the first match at or after the byte it is handed)
// that starts a character; npos when none. A needle of whole characters that starts on a
// character boundary also ends on one, since the text's bytes there decode exactly as the
// needle's. Letter folding touches ASCII bytes only, so it never changes where characters begin.
template <typename Next>
std::size_t firstOnCharacter(std::string_view text, std::size_t from, Next next) {
    while (from < text.size()) {
        const std::size_t hit = next(from);
        if (hit == std::string_view::npos || startsCharacter(text, hit)) return hit;
        from = hit + 1;
    }
    return std::string_view::npos;
}

// Byte position of the first match of `needle` at or after byte `from` that starts a character;
// npos when none. The folding searcher is made only where it is used: held in an optional, its
// table reads to GCC 12 as possibly uninitialised.
std::size_t findBytes(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    if (ignoreCase && hasAsciiLetter(needle)) {
        const std::boyer_moore_horspool_searcher<std::string_view::const_iterator, FoldedHash, FoldedEqual>
            searcher(needle.begin(), needle.end());
        return firstOnCharacter(text, from, [&](std::size_t at) {
            const auto found =
                std::search(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), searcher);
            return found == text.end() ? std::string_view::npos
                                       : static_cast<std::size_t>(found - text.begin());
        });
    }
    // memmem looks at pairs of bytes; a search led by the needle's first byte alone stops at
    // nearly every character of Chinese text, whose lead bytes are few.
    return firstOnCharacter(text, from, [&](std::size_t at) {
        const void* found = ::memmem(text.data() + at, text.size() - at, needle.data(), needle.size());
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                     : std::string_view::npos;
    });
}

}  // namespace

int findText(std::string_view text, std::string_view needle, int start, bool ignoreCase) {
    if (needle.empty()) return -1;
    if (start < 1) start = 1;
    int offset = 0;  // GB18030 offset of pos
    std::size_t pos = 0;
    while (pos < text.size() && offset + 1 < start) offset += nextGbkLength(text, pos);
    const std::size_t hit = findBytes(text, needle, pos, ignoreCase);
    if (hit == std::string_view::npos) return -1;
    while (pos < hit) offset += nextGbkLength(text, pos);
    return offset + 1;
}

bool containsText(std::string_view text, std::string_view needle, bool ignoreCase) {
    return !needle.empty() && findBytes(text, needle, 0, ignoreCase) != std::string_view::npos;
}

int findTextReverse(std::string_view text, std::string_view needle, bool ignoreCase) {
    if (needle.empty()) return -1;
    int offset = 0, found = -1;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (matchesAt(text, pos, needle, ignoreCase)) found = offset + 1;
        offset += nextGbkLength(text, pos);
    }
    return found;
}

std::string utf8ToGb18030(std::string_view utf8) { return convert("GB18030", "UTF-8", utf8); }
std::string gb18030ToUtf8(std::string_view gb) { return convert("UTF-8", "GB18030", gb); }

namespace {
// Walks whole characters while `fits(gbkOffsetAfter, utf16IndexAfter)` holds and answers where
// the walk stopped, in both units. A malformed byte counts one of each.
template <typename Fits>
std::pair<int, int> walkWhile(std::string_view text, Fits fits) {
    int offset = 0, index = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t before = pos;
        char32_t cp = nextCodePoint(text, pos);
        bool lone = pos - before == 1 && cp >= 0x80;
        int len = lone ? 1 : gbkCharLength(cp);
        int units = (!lone && cp >= 0x10000) ? 2 : 1;
        if (!fits(offset + len, index + units)) break;
        offset += len;
        index += units;
    }
    return {offset, index};
}
}  // namespace

int gbkOffsetToUtf16Index(std::string_view text, int gbkOffset) {
    return walkWhile(text, [gbkOffset](int offset, int) { return offset <= gbkOffset; }).second;
}

int utf16IndexToGbkOffset(std::string_view text, int utf16Index) {
    return walkWhile(text, [utf16Index](int, int index) { return index <= utf16Index; }).first;
}

}  // namespace runtime
