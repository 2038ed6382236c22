// The date order of the search's result lines and the keyword test, on plain values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/search_lines.h"

namespace {

using search::detail::containsKeyword;
using search::detail::ResultLine;
using search::detail::sortLinesByDate;

std::vector<std::string> texts(const std::vector<ResultLine>& lines) {
    std::vector<std::string> out;
    for (const ResultLine& line : lines) out.push_back(line.text);
    return out;
}

TEST(ResultLineSort, ComparesDatesAsValuesNotAsTexts) {
    std::vector<ResultLine> lines = {{"2024年12月1日", 0}, {"2023年5月2日", 0}, {"2024年3月5日", 0}};
    sortLinesByDate(lines);
    EXPECT_EQ(texts(lines), (std::vector<std::string>{"2023年5月2日", "2024年3月5日", "2024年12月1日"}));
}

TEST(ResultLineSort, EqualDatesKeepTheirOrderAndEveryLineItsData) {
    std::vector<ResultLine> lines = {{"2024年3月5日", 7}, {"2020年1月1日", 3}, {"2024年3月5日", 2}, {"2024年3月5日", 9},
                                     {"2021年6月30日", 1}};
    sortLinesByDate(lines);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, "2020年1月1日");
    EXPECT_EQ(lines[0].data, 3);
    EXPECT_EQ(lines[1].text, "2021年6月30日");
    EXPECT_EQ(lines[1].data, 1);
    EXPECT_EQ(lines[2].data, 7);
    EXPECT_EQ(lines[3].data, 2);
    EXPECT_EQ(lines[4].data, 9);
}

TEST(ResultLineSort, DatesBeforeEighteenNinetyNineAndTimesOfDayOrderByInstant) {
    // Raw day counts before 30 December 1899 do not order by time; the sort must not rely on them.
    std::vector<ResultLine> lines = {{"1899年12月29日18时", 1}, {"1899年12月29日6时", 2}, {"1800年1月1日", 3},
                                     {"1900年1月1日", 4}};
    sortLinesByDate(lines);
    std::vector<int64_t> order;
    for (const ResultLine& line : lines) order.push_back(line.data);
    EXPECT_EQ(order, (std::vector<int64_t>{3, 2, 1, 4}));
}

TEST(ResultLineSort, ShortListsStayAsTheyAre) {
    std::vector<ResultLine> none;
    sortLinesByDate(none);
    EXPECT_TRUE(none.empty());
    std::vector<ResultLine> one = {{"未找到！", 0}};
    sortLinesByDate(one);
    EXPECT_EQ(texts(one), std::vector<std::string>{"未找到！"});
}

TEST(KeywordTest, IgnoresLetterCaseAndFindsAnywhere) {
    EXPECT_TRUE(containsKeyword("ABC", "abc"));
    EXPECT_TRUE(containsKeyword("去Beijing开会", "BEIJING"));
    EXPECT_TRUE(containsKeyword("电话 13800138000", "0013"));
    EXPECT_TRUE(containsKeyword("a  b", "  "));
    EXPECT_FALSE(containsKeyword("a b", "  "));
    EXPECT_FALSE(containsKeyword("", "a"));
    EXPECT_FALSE(containsKeyword("abc", ""));
}

TEST(KeywordTest, NeverMatchesAcrossCharacterBoundaries) {
    // In GBK bytes 中文 is D6D0 CEC4, and D0CE, straddling the two, is 形.
    EXPECT_TRUE(containsKeyword("中文", "文"));
    EXPECT_FALSE(containsKeyword("中文", "形"));
    EXPECT_FALSE(containsKeyword("张三", "李"));
}

}  // namespace
