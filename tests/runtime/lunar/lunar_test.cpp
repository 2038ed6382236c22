// The lunar layer against known dates and its name rules; the full 1901-2049 sweep runs on the
// calendar's cells in month_calendar_test.
#include <gtest/gtest.h>

#include "runtime/lunar/lunar.h"

using runtime::lunar::cellText;
using runtime::lunar::dayName;
using runtime::lunar::fromSolar;
using runtime::lunar::monthName;

TEST(LunarConversion, KnownNewYearsAndLeapMonths) {
    auto spring2024 = fromSolar(2024, 2, 10);
    ASSERT_TRUE(spring2024);
    EXPECT_EQ(spring2024->year, 2024);
    EXPECT_EQ(spring2024->month, 1);
    EXPECT_EQ(spring2024->day, 1);
    EXPECT_FALSE(spring2024->leap);

    auto leap2023 = fromSolar(2023, 3, 22);  // first day of the leap second month
    ASSERT_TRUE(leap2023);
    EXPECT_EQ(leap2023->month, 2);
    EXPECT_TRUE(leap2023->leap);
    EXPECT_EQ(leap2023->day, 1);

    // 2033 has its leap month after the eleventh month.
    auto leap2033 = fromSolar(2033, 12, 22);
    ASSERT_TRUE(leap2033);
    EXPECT_EQ(leap2033->month, 11);
    EXPECT_TRUE(leap2033->leap);
}

TEST(LunarConversion, DaysInJanuaryBelongToThePreviousLunarYear) {
    auto d = fromSolar(1901, 1, 1);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->year, 1900);
    EXPECT_EQ(d->month, 11);
    EXPECT_EQ(d->day, 11);
}

TEST(LunarConversion, ImpossibleOrOutOfRangeDatesGiveNothing) {
    EXPECT_FALSE(fromSolar(2023, 2, 29));
    EXPECT_FALSE(fromSolar(2023, 13, 1));
    EXPECT_FALSE(fromSolar(1899, 12, 31));
    EXPECT_FALSE(fromSolar(2101, 1, 1));
    EXPECT_EQ(cellText(1899, 12, 31), "");
}

TEST(LunarNames, MonthsWithTraditionalNamesAndLeapPrefix) {
    EXPECT_EQ(monthName(1, false), "正月");
    EXPECT_EQ(monthName(10, false), "十月");
    EXPECT_EQ(monthName(11, false), "冬月");
    EXPECT_EQ(monthName(12, false), "腊月");
    EXPECT_EQ(monthName(4, true), "闰四月");
    EXPECT_EQ(monthName(0, false), "");
    EXPECT_EQ(monthName(13, true), "");
}

TEST(LunarNames, DaysOneToThirty) {
    EXPECT_EQ(dayName(1), "初一");
    EXPECT_EQ(dayName(9), "初九");
    EXPECT_EQ(dayName(10), "初十");
    EXPECT_EQ(dayName(11), "十一");
    EXPECT_EQ(dayName(19), "十九");
    EXPECT_EQ(dayName(20), "二十");
    EXPECT_EQ(dayName(21), "廿一");
    EXPECT_EQ(dayName(29), "廿九");
    EXPECT_EQ(dayName(30), "三十");
    EXPECT_EQ(dayName(0), "");
    EXPECT_EQ(dayName(31), "");
}

TEST(LunarNames, CellShowsMonthOnItsFirstDayElseTheDay) {
    EXPECT_EQ(cellText(2024, 2, 10), "正月");
    EXPECT_EQ(cellText(2024, 2, 11), "初二");
    EXPECT_EQ(cellText(2023, 3, 22), "闰二月");
    EXPECT_EQ(cellText(2023, 3, 21), "三十");
    EXPECT_EQ(cellText(2020, 5, 23), "闰四月");
}
