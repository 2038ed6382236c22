// The date order of the search's dated results and the keyword test, on plain values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/base/datetime.h"
#include "search/search_lines.h"

namespace {

using core::SearchResult;
using runtime::DateTime;
using runtime::makeDate;
using search::detail::containsKeyword;
using search::detail::sortByDate;

SearchResult dated(DateTime date, int record) {
    return SearchResult{record, date, runtime::dateTimeToText(date)};
}

std::vector<int> records(const std::vector<SearchResult>& results) {
    std::vector<int> out;
    for (const SearchResult& result : results) out.push_back(result.record);
    return out;
}

TEST(ResultSort, ComparesDatesNotTheirTexts) {
    std::vector<SearchResult> results = {dated(makeDate(2024, 12, 1), 1), dated(makeDate(2023, 5, 2), 2),
                                         dated(makeDate(2024, 3, 5), 3)};
    sortByDate(results);
    EXPECT_EQ(records(results), (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(results[2].text, "2024年12月1日");
}

TEST(ResultSort, EqualDatesKeepTheirOrder) {
    std::vector<SearchResult> results = {dated(makeDate(2024, 3, 5), 7), dated(makeDate(2020, 1, 1), 3),
                                         dated(makeDate(2024, 3, 5), 2), dated(makeDate(2024, 3, 5), 9),
                                         dated(makeDate(2021, 6, 30), 1)};
    sortByDate(results);
    EXPECT_EQ(records(results), (std::vector<int>{3, 1, 7, 2, 9}));
}

TEST(ResultSort, DatesBeforeEighteenNinetyNineTimesOfDayAndValuesOutOfRangeOrderByInstant) {
    // Raw day counts before 30 December 1899 do not order by time; the sort must not rely on them.
    std::vector<SearchResult> results = {dated(DateTime{-1.75}, 1), dated(DateTime{-1.25}, 2),
                                         dated(makeDate(1800, 1, 1), 3), dated(makeDate(1900, 1, 1), 4),
                                         dated(DateTime{std::nan("")}, 5)};
    sortByDate(results);
    EXPECT_EQ(records(results), (std::vector<int>{5, 3, 2, 1, 4}));
}

TEST(ResultSort, ShortListsStayAsTheyAre) {
    std::vector<SearchResult> none;
    sortByDate(none);
    EXPECT_TRUE(none.empty());
    std::vector<SearchResult> one = {dated(makeDate(2024, 1, 1), 4)};
    sortByDate(one);
    EXPECT_EQ(records(one), std::vector<int>{4});
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
