#include "runtime/base/text.h"

#include <gtest/gtest.h>

using namespace runtime;

TEST(TextLength, CountsGb18030Bytes) {
    EXPECT_EQ(getTextLength(""), 0);
    EXPECT_EQ(getTextLength("abc"), 3);
    EXPECT_EQ(getTextLength("日志"), 4);
    EXPECT_EQ(getTextLength("a日b"), 4);
    EXPECT_EQ(getTextLength("€"), 2);           // in GBK's two-byte region
    EXPECT_EQ(getTextLength("😀"), 4);          // outside the BMP
    EXPECT_EQ(getTextLength("\xE2\x82"), 2);    // a torn sequence counts byte by byte
    EXPECT_EQ(getTextLength(utf8ToGb18030("ignored")), 7);
}

TEST(TextLength, AgreesWithTheEncoderOnMixedText) {
    const std::string text = "Quillarbor 澄岚手记本 № ½ ü ǖ ㄅ 𠀀 é";
    EXPECT_EQ(getTextLength(text), static_cast<int>(utf8ToGb18030(text).size()));
    EXPECT_EQ(gb18030ToUtf8(utf8ToGb18030(text)), text);
    EXPECT_EQ(gb18030ToUtf8("a\xFF" "b"), "a\uFFFDb");  // an undecodable byte
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
