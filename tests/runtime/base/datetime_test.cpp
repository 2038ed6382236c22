#include "runtime/base/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace runtime;

TEST(DateTimeEncoding, KnownAnchors) {
    EXPECT_EQ(makeDate(1899, 12, 30).days, 0);
    EXPECT_EQ(makeDate(1900, 1, 1).days, 2);
    EXPECT_EQ(makeDate(1900, 2, 28).days, 60);
    EXPECT_EQ(makeDate(1900, 3, 1).days, 61);  // 1900 is no leap year
    EXPECT_EQ(makeDate(100, 1, 1).days, kMinDateTime);
    EXPECT_EQ(makeDate(9999, 12, 31).days, kMaxDateTime);
    EXPECT_EQ(makeDate(2024, 3, 5).days, 45356);
}

TEST(DateTimeEncoding, NegativeValuesCountTheTimeForward) {
    CivilTime c = toCivil(DateTime{-1.25});
    EXPECT_EQ(c.year, 1899);
    EXPECT_EQ(c.month, 12);
    EXPECT_EQ(c.day, 29);
    EXPECT_EQ(c.hour, 6);
    DateTime t;
    ASSERT_TRUE(makeDateTime({1899, 12, 29, 18, 0, 0}, t));
    EXPECT_DOUBLE_EQ(t.days, -1.75);
    ASSERT_TRUE(makeDateTime({1899, 12, 30, 6, 0, 0}, t));
    EXPECT_DOUBLE_EQ(t.days, 0.25);
    // -1.25 (29th 06:00) is earlier than -1.75 (29th 18:00) though its raw value is larger.
    EXPECT_LT(instantOf(DateTime{-1.25}), instantOf(DateTime{-1.75}));
    EXPECT_LT(instantOf(DateTime{-1.75}), instantOf(DateTime{0}));
}

TEST(DateTimeEncoding, RoundTripsOverTheWholeRange) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<long long> day(static_cast<long long>(kMinDateTime),
                                                 static_cast<long long>(kMaxDateTime));
    std::uniform_int_distribution<int> sec(0, 86399);
    for (int i = 0; i < 20000; ++i) {
        long long d = day(rng);
        int s = sec(rng);
        int y, m, dd;
        civilFromDays(d, y, m, dd);
        ASSERT_TRUE(isValidDate(y, m, dd));
        ASSERT_EQ(daysFromCivil(y, m, dd), d);
        DateTime t;
        ASSERT_TRUE(makeDateTime({y, m, dd, s / 3600, s / 60 % 60, s % 60}, t));
        CivilTime back = toCivil(t);
        ASSERT_EQ(back.year, y);
        ASSERT_EQ(back.month, m);
        ASSERT_EQ(back.day, dd);
        ASSERT_EQ(back.hour * 3600 + back.minute * 60 + back.second, s);
        ASSERT_EQ(toDateTime(dateTimeToText(t)), t) << dateTimeToText(t);
    }
}

TEST(DateTimeParts, WeekdaysAndLeapDays) {
    EXPECT_EQ(getWeekday(makeDate(1899, 12, 30)), 7);  // Saturday
    EXPECT_EQ(getWeekday(makeDate(2024, 3, 4)), 2);    // Monday
    EXPECT_EQ(getWeekday(makeDate(1899, 12, 24)), 1);  // Sunday, before the epoch
    EXPECT_EQ(getWeekday(DateTime{-5.9}), 2);          // time of day does not move the day
    EXPECT_FALSE(isValidDate(2023, 2, 29));
    EXPECT_TRUE(isValidDate(2000, 2, 29));
    EXPECT_FALSE(isValidDate(2100, 2, 29));
    EXPECT_TRUE(isValidDate(100, 1, 1));
    EXPECT_TRUE(isValidDate(9999, 12, 31));
    EXPECT_FALSE(isValidDate(99, 12, 31));
    EXPECT_FALSE(isValidDate(10000, 1, 1));
    EXPECT_FALSE(isValidDate(2024, 3, 0));
    DateTime t;
    EXPECT_FALSE(makeDateTime({2024, 3, 5, -1, 0, 0}, t));
    EXPECT_FALSE(makeDateTime({2024, 3, 5, 24, 0, 0}, t));
    EXPECT_EQ(dayOf(DateTime{-1.25}).days, -1);
}

TEST(DateTimeArithmetic, MonthsClampTheDay) {
    EXPECT_EQ(addToDateTime(makeDate(2024, 1, 31), DateUnit::Months, 1), makeDate(2024, 2, 29));
    EXPECT_EQ(addToDateTime(makeDate(2023, 1, 31), DateUnit::Months, 1), makeDate(2023, 2, 28));
    EXPECT_EQ(addToDateTime(makeDate(2024, 3, 31), DateUnit::Months, -1), makeDate(2024, 2, 29));
    EXPECT_EQ(addToDateTime(makeDate(2024, 12, 15), DateUnit::Months, 1), makeDate(2025, 1, 15));
    EXPECT_EQ(addToDateTime(makeDate(2024, 2, 29), DateUnit::Years, 1), makeDate(2025, 2, 28));
    EXPECT_EQ(addToDateTime(makeDate(2024, 1, 1), DateUnit::Months, -13), makeDate(2022, 12, 1));
}

TEST(DateTimeArithmetic, KeepsTheTimeOfDayAcrossTheEpoch) {
    DateTime t;
    ASSERT_TRUE(makeDateTime({1900, 1, 1, 6, 0, 0}, t));
    DateTime back = addToDateTime(t, DateUnit::Days, -3);
    CivilTime c = toCivil(back);
    EXPECT_EQ(c.day, 29);
    EXPECT_EQ(c.month, 12);
    EXPECT_EQ(c.hour, 6);
    EXPECT_DOUBLE_EQ(back.days, -1.25);
    EXPECT_EQ(toCivil(addToDateTime(back, DateUnit::Weeks, 1)).day, 5);
    EXPECT_EQ(toCivil(addToDateTime(t, DateUnit::Hours, 20)).hour, 2);
    EXPECT_EQ(toCivil(addToDateTime(t, DateUnit::Seconds, 61)).minute, 1);
}

TEST(DateTimeArithmetic, ClampsToTheValidRange) {
    EXPECT_EQ(addToDateTime(makeDate(100, 1, 5), DateUnit::Days, -100).days, kMinDateTime);
    EXPECT_EQ(addToDateTime(makeDate(9999, 12, 1), DateUnit::Months, 5).days, kMaxDateTime + 86399.0 / 86400);
    EXPECT_EQ(addToDateTime(makeDate(9999, 12, 31), DateUnit::Days, 1).days, kMaxDateTime + 86399.0 / 86400);
    EXPECT_EQ(addToDateTime(makeDate(101, 1, 15), DateUnit::Years, -1), makeDate(100, 1, 15));
    EXPECT_EQ(addToDateTime(makeDate(9998, 5, 1), DateUnit::Years, 1), makeDate(9999, 5, 1));
    EXPECT_EQ(toCivil(DateTime{std::nan("")}).year, 100);
}

TEST(DateTimeText, DefaultFormStopsAtTheLastNonZeroField) {
    DateTime t;
    ASSERT_TRUE(makeDateTime({2024, 3, 5, 0, 0, 0}, t));
    EXPECT_EQ(dateTimeToText(t), "2024年3月5日");
    ASSERT_TRUE(makeDateTime({2024, 3, 5, 8, 0, 0}, t));
    EXPECT_EQ(dateTimeToText(t), "2024年3月5日8时");
    ASSERT_TRUE(makeDateTime({2024, 3, 5, 8, 5, 0}, t));
    EXPECT_EQ(dateTimeToText(t), "2024年3月5日8时5分");
    ASSERT_TRUE(makeDateTime({2024, 3, 5, 1, 0, 0}, t));
    EXPECT_EQ(dateTimeToText(t), "2024年3月5日1时");
    ASSERT_TRUE(makeDateTime({2024, 3, 5, 8, 1, 0}, t));
    EXPECT_EQ(dateTimeToText(t), "2024年3月5日8时1分");
    // Within half a second of midnight is the next day's midnight, never "24时".
    EXPECT_EQ(dateTimeToText(DateTime{makeDate(2024, 3, 5).days + 86399.6 / 86400}), "2024年3月6日");
    ASSERT_TRUE(makeDateTime({2024, 3, 5, 0, 0, 9}, t));
    EXPECT_EQ(dateTimeToText(t), "2024年3月5日0时0分9秒");
    EXPECT_EQ(dateTimeToText(t, DateTextForm::DateOnly), "2024年3月5日");
}

TEST(DateTimeText, ParsesItsOwnFormsAndRejectsTheRest) {
    EXPECT_EQ(toDateTime("2024年3月5日"), makeDate(2024, 3, 5));
    EXPECT_EQ(toDateTime("2024-3-5"), makeDate(2024, 3, 5));
    EXPECT_EQ(toDateTime("2024/03/05 12:30"), addToDateTime(makeDate(2024, 3, 5), DateUnit::Minutes, 750));
    EXPECT_EQ(toDateTime("2024年3月5日8时5分"), addToDateTime(makeDate(2024, 3, 5), DateUnit::Minutes, 485));
    EXPECT_EQ(toDateTime("").days, kMinDateTime);
    EXPECT_EQ(toDateTime("日期").days, kMinDateTime);
    EXPECT_EQ(toDateTime("2023年2月29日").days, kMinDateTime);
    EXPECT_EQ(toDateTime("2024年3月5日xyz").days, kMinDateTime);
    EXPECT_EQ(toDateTime("99年1月1日").days, kMinDateTime);
    EXPECT_EQ(toDateTime("2024-3-5\t12:30"), toDateTime("2024/03/05 12:30"));
    for (const char* typed : {"2024年3月5日10时60分", "2024-3-5 10:60", "2024-3-5 24:00", "2024-3-5 10:30:60",
                              "2024-3/5", "2024-3-5 10:30:", "2024年3月5日8时5分9", "0000002024-3-5"}) {
        EXPECT_EQ(toDateTime(typed).days, kMinDateTime) << typed;
    }
    EXPECT_EQ(toCivil(toDateTime("")).year, 100);
}

TEST(DateTimeRemainder, IsTheTruncatedRemainder) {
    EXPECT_DOUBLE_EQ(floatRemainder(7, 3), 1);
    EXPECT_DOUBLE_EQ(floatRemainder(-7, 3), -1);
    EXPECT_DOUBLE_EQ(floatRemainder(7, -3), 1);
    EXPECT_DOUBLE_EQ(floatRemainder(14, 7), 0);
    EXPECT_DOUBLE_EQ(floatRemainder(0.5, 7), 0.5);
}

TEST(DateTimeClock, CanBeFixedForTests) {
    setClockForTesting([] { return makeDate(2030, 1, 31); });
    EXPECT_EQ(getCurrentDateTime(), makeDate(2030, 1, 31));
    setClockForTesting({});
    EXPECT_GT(getCurrentDateTime().days, makeDate(2026, 1, 1).days);
}
