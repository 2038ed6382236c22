// Texts are UTF-8 in memory, but the program measures them the way its users' data was always
// measured: in GB18030 bytes (ASCII 1, a Chinese character 2, anything else 4). Every position
// and length below is such a byte count, 1-based where it is a position. No function here ever
// splits a character: a cut or a match always lands on a character boundary, so no character a
// user typed can turn into garbage.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace runtime {

// GB18030 length of one Unicode code point.
int gbkCharLength(char32_t codePoint);

// GB18030 length of a whole UTF-8 text. Invalid UTF-8 bytes count one each.
int getTextLength(std::string_view text);

// The longest prefix of at most `bytes` GB18030 bytes; the whole text when shorter.
std::string getLeftText(std::string_view text, int bytes);

// The longest suffix of at most `bytes` GB18030 bytes; the whole text when shorter.
std::string getRightText(std::string_view text, int bytes);

// 1-based GB18030 position of the first occurrence of `needle` at or after `start`, -1 when
// there is none or the needle is empty. A start inside a character moves to the next one.
// `ignoreCase` folds ASCII letters only, as the program's searches always have.
int findText(std::string_view text, std::string_view needle, int start = 1, bool ignoreCase = false);
// Whether findText would find `needle` from the first byte, without counting where.
bool containsText(std::string_view text, std::string_view needle, bool ignoreCase = false);

// 1-based GB18030 position of the last occurrence of `needle`, -1 when none.
int findTextReverse(std::string_view text, std::string_view needle, bool ignoreCase = false);

// Cut to a field width in GB18030 bytes (same as getLeftText; named for what stores do with it).
inline std::string cutToWidth(std::string_view text, int width) { return getLeftText(text, width); }

// Conversions for files and cells written in the old code page. Characters GB18030 cannot hold
// do not exist (it covers all of Unicode); invalid input bytes become U+FFFD on decode.
std::string utf8ToGb18030(std::string_view utf8);
std::string gb18030ToUtf8(std::string_view gb);

// Edit boxes count in UTF-16 units; the program counts GB18030 bytes. A byte offset inside a
// character maps to that character's start.
int gbkOffsetToUtf16Index(std::string_view text, int gbkOffset);
int utf16IndexToGbkOffset(std::string_view text, int utf16Index);

// Decodes one code point at `pos`, advancing it; malformed bytes decode as themselves (0x80..0xFF)
// and advance by one, so every byte sequence can be walked.
char32_t nextCodePoint(std::string_view text, std::size_t& pos);

bool isValidUtf8(std::string_view text);

}  // namespace runtime
