// The pinyin initials behind the letter filters: the GB2312 byte-range contract, the initials and
// bare finals of common surnames, reading numbers, and a sweep over the whole table.
#include "runtime/pinyin/pinyin.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "runtime/base/text.h"

namespace {

using runtime::getPinyinInitial;

TEST(PinyinInitial, InitialConsonantsOfCommonSurnames) {
    EXPECT_EQ(getPinyinInitial("白"), "b");
    EXPECT_EQ(getPinyinInitial("蔡"), "c");
    EXPECT_EQ(getPinyinInitial("陈"), "ch");
    EXPECT_EQ(getPinyinInitial("邓"), "d");
    EXPECT_EQ(getPinyinInitial("沈"), "sh");
    EXPECT_EQ(getPinyinInitial("张"), "zh");
    EXPECT_EQ(getPinyinInitial("周"), "zh");
    EXPECT_EQ(getPinyinInitial("王"), "w");
    EXPECT_EQ(getPinyinInitial("杨"), "y");
    EXPECT_EQ(getPinyinInitial("李"), "l");
    EXPECT_EQ(getPinyinInitial("孙"), "s");
    EXPECT_EQ(getPinyinInitial("赵"), "zh");
    EXPECT_EQ(getPinyinInitial("吕"), "l");
}

// The modern simplified reading first, and for a surname with a reading of its own that reading.
TEST(PinyinInitial, CommonCharactersAndSurnamesTakeTheReadingAChineseReaderFilesThemUnder) {
    const std::pair<const char*, const char*> expected[] = {
        {"庄", "zh"}, {"宁", "n"},  {"汉", "h"}, {"广", "g"},  {"芦", "l"},  {"厂", "ch"}, {"义", "y"},
        {"亲", "q"},  {"备", "b"},  {"杂", "z"}, {"听", "t"},  {"腊", "l"},  {"纤", "x"},  {"么", "m"},
        {"叶", "y"},  {"开", "k"},  {"权", "q"}, {"坏", "h"},  {"怀", "h"},  {"唇", "ch"}, {"曾", "z"},
        {"单", "sh"}, {"解", "x"},  {"仇", "q"}, {"区", "ou"}, {"查", "zh"}, {"朴", "p"},  {"盖", "g"},
        {"尉", "y"},  {"翟", "zh"}, {"乐", "y"}, {"缪", "m"},  {"折", "sh"}, {"种", "ch"}, {"繁", "p"},
        {"句", "g"},  {"召", "sh"}, {"覃", "q"}, {"秘", "b"},  {"长", "ch"}, {"重", "ch"}, {"员", "y"},
    };
    for (const auto& [character, initial] : expected)
        EXPECT_EQ(getPinyinInitial(character), initial) << character;
}

TEST(PinyinInitial, ReadingWithoutInitialGivesTheWholeFinal) {
    EXPECT_EQ(getPinyinInitial("阿"), "a");
    EXPECT_EQ(getPinyinInitial("额"), "e");
    EXPECT_EQ(getPinyinInitial("哦"), "o");
    EXPECT_EQ(getPinyinInitial("安"), "an");
    EXPECT_EQ(getPinyinInitial("艾"), "ai");
    EXPECT_EQ(getPinyinInitial("欧"), "ou");
    EXPECT_EQ(getPinyinInitial("二"), "er");
    EXPECT_EQ(getPinyinInitial("敖"), "ao");
    EXPECT_EQ(getPinyinInitial("昂"), "ang");
}

TEST(PinyinInitial, OnlyTheFirstCharacterCounts) {
    EXPECT_EQ(getPinyinInitial("张三"), "zh");
    EXPECT_EQ(getPinyinInitial("陈a1"), "ch");
    EXPECT_EQ(getPinyinInitial(runtime::getLeftText("沈从文", 2)), "sh");
}

TEST(PinyinInitial, AnythingButAGb2312HanziGivesTheEmptyText) {
    EXPECT_EQ(getPinyinInitial(""), "");
    EXPECT_EQ(getPinyinInitial("a"), "");
    EXPECT_EQ(getPinyinInitial("Zhang"), "");
    EXPECT_EQ(getPinyinInitial("9张"), "");
    EXPECT_EQ(getPinyinInitial(" 张"), "");
    EXPECT_EQ(getPinyinInitial("，"), "");  // A3AC: a symbol row below 0xB0
    EXPECT_EQ(getPinyinInitial("丂"), "");  // GBK only, outside GB2312
    EXPECT_EQ(getPinyinInitial("龘"), "");  // GBK only
    EXPECT_EQ(getPinyinInitial("𠀀"), "");  // four bytes in GB18030
    EXPECT_EQ(getPinyinInitial("é"), "");
    EXPECT_EQ(getPinyinInitial("\xff\xfe"), "");  // not UTF-8 at all
}

TEST(PinyinInitial, EmptyCodePositionsOfRowD7HaveNoCharacter) {
    // D7F9 is the last hanzi of row D7; D7FA..D7FE hold nothing in GB2312.
    EXPECT_EQ(getPinyinInitial(runtime::gb18030ToUtf8("\xD7\xF9")), "z");
    for (int cell = 0xFA; cell <= 0xFE; ++cell) {
        std::string gb{'\xD7', static_cast<char>(cell)};
        EXPECT_EQ(getPinyinInitial(runtime::gb18030ToUtf8(gb)), "") << std::hex << cell;
    }
}

TEST(PinyinInitial, ReadingNumbersTakeTheReadingsInOrder) {
    EXPECT_EQ(getPinyinInitial("沈", 1), "sh");
    EXPECT_EQ(getPinyinInitial("沈", 2), "ch");
    EXPECT_EQ(getPinyinInitial("沈", 3), "");
    EXPECT_EQ(getPinyinInitial("长", 1), "ch");
    EXPECT_EQ(getPinyinInitial("长", 2), "zh");
    EXPECT_EQ(getPinyinInitial("张", 0), "");
    EXPECT_EQ(getPinyinInitial("张", -1), "");
    EXPECT_EQ(runtime::getPinyinReadingCount("沈"), 2);
    EXPECT_EQ(runtime::getPinyinReadingCount("张"), 1);
    EXPECT_EQ(runtime::getPinyinReadingCount("a"), 0);
    // Several readings with one initial stay apart, so reading n is the n-th.
    int count = runtime::getPinyinReadingCount("和");
    ASSERT_GE(count, 2);
    for (int n = 1; n <= count; ++n) EXPECT_EQ(getPinyinInitial("和", n), "h") << n;
}

TEST(PinyinInitial, EveryGb2312HanziHasAReadingWithinTheKnownSet) {
    const std::set<std::string> known = {"b", "p", "m",  "f",  "d",  "t",   "n",  "l",  "g",  "k", "h", "j",
                                         "q", "x", "zh", "ch", "sh", "r",   "z",  "c",  "s",  "y", "w", "a",
                                         "o", "e", "ai", "ao", "an", "ang", "ei", "en", "er", "ou"};
    int characters = 0;
    for (int row = 0xB0; row <= 0xF7; ++row) {
        for (int cell = 0xA1; cell <= 0xFE; ++cell) {
            if (row == 0xD7 && cell >= 0xFA) continue;
            std::string gb{static_cast<char>(row), static_cast<char>(cell)};
            std::string text = runtime::gb18030ToUtf8(gb);
            int count = runtime::getPinyinReadingCount(text);
            ASSERT_GE(count, 1) << std::hex << row << cell;
            for (int n = 1; n <= count; ++n) {
                std::string initial = getPinyinInitial(text, n);
                EXPECT_TRUE(known.count(initial))
                    << std::hex << row << cell << " reading " << n << ": " << initial;
            }
            ++characters;
        }
    }
    EXPECT_EQ(characters, 6763);
}

}  // namespace
