// The pinyin initial of a text's first Chinese character, as the contacts page's letter filters
// use it. The test is made on the character's GB2312 code: only the 6763 hanzi of GB2312 have
// readings here, so a rarer character, a Latin letter, a digit or a symbol has none.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

// The initial of reading `readingNumber` (1 = the most common) of the first character of the
// UTF-8 `text`, in lower-case Latin letters: one of b p m f d t n l g k h j q x zh ch sh r z c s
// y w, or for a reading without an initial consonant its whole final (a o e ai ao an ang ei en
// er ou). The empty text when the first character is not a GB2312 hanzi (its code's first byte
// outside 0xB0-0xF7 or second outside 0xA1-0xFE, or a position without a character), or the
// character has no reading of that number.
std::string getPinyinInitial(std::string_view text, int readingNumber = 1);

// How many readings the first character of `text` has (0 where getPinyinInitial answers empty).
int getPinyinReadingCount(std::string_view text);

}  // namespace runtime
