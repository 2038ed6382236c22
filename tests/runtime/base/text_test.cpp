#include "runtime/base/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace runtime;

TEST(TextLength, CountsGb18030Bytes) {
    EXPECT_EQ(getTextLength(""), 0);
    EXPECT_EQ(getTextLength("abc"), 3);
    EXPECT_EQ(getTextLength("日志"), 4);
    EXPECT_EQ(getTextLength("a日b"), 4);
    EXPECT_EQ(getTextLength("€"), 2);         // in GBK's two-byte region
    EXPECT_EQ(getTextLength("😀"), 4);         // outside the BMP
    EXPECT_EQ(getTextLength("\xE2\x82"), 2);  // a torn sequence counts byte by byte
    EXPECT_EQ(getTextLength(utf8ToGb18030("ignored")), 7);
}

TEST(TextLength, AgreesWithTheEncoderOnMixedText) {
    const std::string text = "Quillarbor 澄岚手记本 № ½ ü ǖ ㄅ 𠀀 é";
    EXPECT_EQ(getTextLength(text), static_cast<int>(utf8ToGb18030(text).size()));
    EXPECT_EQ(gb18030ToUtf8(utf8ToGb18030(text)), text);
    EXPECT_EQ(gb18030ToUtf8("a\xFF"
                            "b"),
              "a\uFFFDb");  // an undecodable byte
}

TEST(TextCut, LeftNeverSplitsACharacter) {
    EXPECT_EQ(getLeftText("日志abc", 0), "");
    EXPECT_EQ(getLeftText("日志abc", 1), "");
    EXPECT_EQ(getLeftText("日志abc", 2), "日");
    EXPECT_EQ(getLeftText("日志abc", 3), "日");
    EXPECT_EQ(getLeftText("日志abc", 5), "日志a");
    EXPECT_EQ(getLeftText("日志abc", 100), "日志abc");
    EXPECT_EQ(getLeftText("a😀b", 4), "a");
    EXPECT_EQ(getLeftText("a😀b", 5), "a😀");
    EXPECT_EQ(cutToWidth("张三丰同学", 5), "张三");
}

TEST(TextCut, RightNeverSplitsACharacter) {
    EXPECT_EQ(getRightText("abc日志", 2), "志");
    EXPECT_EQ(getRightText("abc日志", 3), "志");
    EXPECT_EQ(getRightText("abc日志", 5), "c日志");
    EXPECT_EQ(getRightText("abc日志", 50), "abc日志");
    EXPECT_EQ(getRightText("abc", 0), "");
}

TEST(TextFind, ReturnsOneBasedBytePositions) {
    EXPECT_EQ(findText("今天天气好", "天气"), 5);
    EXPECT_EQ(findText("abcabc", "c"), 3);
    EXPECT_EQ(findText("abcabc", "c", 4), 6);
    EXPECT_EQ(findText("abcabc", "x"), -1);
    EXPECT_EQ(findText("abc", ""), -1);
    EXPECT_EQ(findText("", "a"), -1);
    // A start inside a character moves on to the next character.
    EXPECT_EQ(findText("日日", "日", 2), 3);
}

TEST(TextFind, IgnoresAsciiCaseOnlyWhenAsked) {
    EXPECT_EQ(findText("Hello World", "world"), -1);
    EXPECT_EQ(findText("Hello World", "world", 1, true), 7);
    EXPECT_EQ(findText("电话ABC", "abc", 1, true), 5);
    // Both ends of the alphabet, and a match that reaches the end of the text.
    EXPECT_EQ(findText("张三 Zhang Anna", "zhang aNNA", 1, true), 6);
    EXPECT_EQ(findText("张三 zhang", "Z", 1, true), 6);
}

TEST(TextFind, NeverMatchesInsideACharacter) {
    // In GB18030 "陆" is C2BD and "禄" is C2BB; a byte-wise search over the old encoding could
    // match the tail of one character and the head of the next. Over characters it cannot.
    const std::string gb = utf8ToGb18030("陆陆");
    const std::string middle = gb.substr(1, 2);
    EXPECT_EQ(findText("陆陆", gb18030ToUtf8(middle)), -1);
    EXPECT_EQ(findTextReverse("abab", "ab"), 3);
    EXPECT_EQ(findTextReverse("日志日志", "志"), 7);
    EXPECT_EQ(findTextReverse("abc", "x"), -1);
}

namespace {

// The character-by-character search findText replaced: at every character of the walk, compare
// the needle's bytes. findText must answer exactly as this does.
int referenceFind(std::string_view text, std::string_view needle, int start, bool ignoreCase) {
    auto fold = [ignoreCase](unsigned char c) { return ignoreCase && c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (needle.empty()) return -1;
    int offset = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        bool match = text.size() - pos >= needle.size();
        for (std::size_t i = 0; match && i < needle.size(); ++i) {
            match = fold(static_cast<unsigned char>(text[pos + i])) ==
                    fold(static_cast<unsigned char>(needle[i]));
        }
        if (offset + 1 >= start && match) return offset + 1;
        const std::size_t before = pos;
        const char32_t cp = nextCodePoint(text, pos);
        offset += (pos - before == 1 && cp >= 0x80) ? 1 : gbkCharLength(cp);
    }
    return -1;
}

}  // namespace

TEST(TextFind, AnswersAsTheCharacterWalkOnRandomMixedTexts) {
    // Letters of both cases, two- and four-byte characters, and bytes that are no UTF-8: lone
    // continuation bytes, torn sequences, overlong forms, surrogates.
    const std::vector<std::string> pieces = {
        "a",    "B",    "b",       "x",    "日",       "志",           "€",        "ǖ",
        "😀",    "𠀀",   "\x80",    "\xBF", "\xE6\x97", "\xF0\x9F\x98", "\xC0\x80", "\xED\xA0\x80",
        "\xFF", "\xE6", "\x97\xA5"};
    std::mt19937 rng(2024);
    auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        for (std::size_t n = pick(24); n > 0; --n) text += pieces[pick(pieces.size())];
        std::string needle;
        if (!text.empty() && round % 2 == 0) {
            const std::size_t at = pick(text.size());
            needle = text.substr(at, 1 + pick(6));  // any byte range, torn characters included
        } else {
            for (std::size_t n = 1 + pick(3); n > 0; --n) needle += pieces[pick(pieces.size())];
        }
        const int start = static_cast<int>(pick(text.size() + 3));
        for (bool ignoreCase : {false, true}) {
            const int expected = referenceFind(text, needle, std::max(start, 1), ignoreCase);
            ASSERT_EQ(findText(text, needle, start, ignoreCase), expected) << round;
            ASSERT_EQ(containsText(text, needle, ignoreCase),
                      referenceFind(text, needle, 1, ignoreCase) != -1)
                << round;
            found += expected != -1;
        }
    }
    EXPECT_GT(found, 1000);  // the rounds do find things, not only miss
}

TEST(TextOffsets, MapBetweenBytesAndUtf16Units) {
    const std::string text = "a日😀b";
    EXPECT_EQ(gbkOffsetToUtf16Index(text, 0), 0);
    EXPECT_EQ(gbkOffsetToUtf16Index(text, 1), 1);
    EXPECT_EQ(gbkOffsetToUtf16Index(text, 2), 1);  // inside 日: its start
    EXPECT_EQ(gbkOffsetToUtf16Index(text, 3), 2);
    EXPECT_EQ(gbkOffsetToUtf16Index(text, 7), 4);
    EXPECT_EQ(gbkOffsetToUtf16Index(text, 8), 5);
    EXPECT_EQ(utf16IndexToGbkOffset(text, 2), 3);
    EXPECT_EQ(utf16IndexToGbkOffset(text, 3), 3);  // inside the surrogate pair
    EXPECT_EQ(utf16IndexToGbkOffset(text, 4), 7);
    EXPECT_EQ(utf16IndexToGbkOffset(text, 99), 8);
}

TEST(TextUtf8, WalksMalformedBytesWithoutLosingAny) {
    const std::string bad = "a\xC0\xAF\xED\xA0\x80z";  // overlong and surrogate forms
    EXPECT_FALSE(isValidUtf8(bad));
    EXPECT_TRUE(isValidUtf8("日志"));
    EXPECT_EQ(getTextLength(bad), 7);
    EXPECT_EQ(getLeftText(bad, 3), "a\xC0\xAF");
    // The edges of each form: lone continuation byte, first two-byte character, a three-byte
    // overlong form and the first three-byte character, the last surrogate, the first and last
    // four-byte characters and one beyond, a sequence torn by the end of the text.
    EXPECT_FALSE(isValidUtf8("\x80"));
    EXPECT_EQ(getTextLength("\x80"), 1);
    EXPECT_TRUE(isValidUtf8("\xC2\x80"));
    EXPECT_EQ(getTextLength("\xC2\x80"), 4);
    EXPECT_FALSE(isValidUtf8("\xE0\x9F\xBF"));
    EXPECT_TRUE(isValidUtf8("\xE0\xA0\x80"));
    EXPECT_EQ(getTextLength("！"), 2);  // U+FF01, lead byte EF
    EXPECT_FALSE(isValidUtf8("\xED\xBF\xBF"));
    EXPECT_TRUE(isValidUtf8("\xF0\x90\x80\x80"));
    EXPECT_EQ(gbkOffsetToUtf16Index("\xF0\x90\x80\x80", 4), 2);
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));
    EXPECT_FALSE(isValidUtf8(std::string_view("中").substr(0, 2)));
}
