// The periodic due rule: the listed edge cases, then agreement with a slow reference that walks the
// occurrences one by one on civil dates of its own, over many random items and dates.
#include "calendar/due_rule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using calendar::isPeriodicItemDue;
using calendar::PeriodicItem;
using runtime::DateTime;

DateTime at(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
    DateTime out;
    EXPECT_TRUE(runtime::makeDateTime({y, m, d, hh, mm, ss}, out)) << y << "-" << m << "-" << d;
    return out;
}

PeriodicItem item(DateTime start, int period, std::string unit) {
    return PeriodicItem{start, period, std::move(unit), "事项"};
}

const char* const kUnits[] = {"年", "月", "日", "周"};

// ---- Edge cases ----

TEST(DueRuleStart, StartDayIsDueForEveryUnitAndNonZeroPeriod) {
    for (const char* unit : kUnits) {
        for (int period : {1, 2, 7, 12, -3, 1000}) {
            EXPECT_TRUE(isPeriodicItemDue(item(at(2024, 3, 1), period, unit), at(2024, 3, 1)))
                << unit << " " << period;
        }
    }
}

TEST(DueRuleStart, DayBeforeStartIsNeverDue) {
    for (const char* unit : kUnits) {
        for (int period : {1, 2, -1, 0}) {
            EXPECT_FALSE(isPeriodicItemDue(item(at(2024, 3, 1), period, unit), at(2024, 2, 29)))
                << unit << " " << period;
            EXPECT_FALSE(isPeriodicItemDue(item(at(2024, 3, 1), period, unit), at(2024, 2, 29, 23, 59, 59)))
                << unit << " " << period;
        }
    }
}

TEST(DueRuleStart, YearBeforeStartOnTheSameDateIsNotDue) {
    EXPECT_FALSE(isPeriodicItemDue(item(at(2024, 3, 1), 1, "年"), at(2023, 3, 1)));
    EXPECT_FALSE(isPeriodicItemDue(item(at(2024, 3, 1), 1, "月"), at(2024, 2, 1)));
}

TEST(DueRuleStart, InstantsBeforeTheEpochOrderByTimeNotByRawValue) {
    // Raw -1.25 is 29 Dec 1899 06:00; raw -1.5 is the same day at 12:00, later although smaller.
    const DateTime start{-1.25};
    EXPECT_TRUE(isPeriodicItemDue(item(start, 1, "年"), DateTime{-1.5}));
    // Raw -1.125 is 03:00 that day: larger raw value, earlier instant.
    EXPECT_FALSE(isPeriodicItemDue(item(start, 1, "年"), DateTime{-1.125}));
    EXPECT_TRUE(isPeriodicItemDue(item(start, 1, "年"), at(1900, 12, 29)));
}

TEST(DueRuleStart, ValuesOutsideTheRangeAreClampedFirst) {
    // A start beyond 9999-12-31 counts as that day, so the last day is its start day.
    EXPECT_TRUE(isPeriodicItemDue(item(DateTime{5e6}, 1, "日"), DateTime{runtime::kMaxDateTime}));
    EXPECT_TRUE(isPeriodicItemDue(item(DateTime{5e6}, 1, "日"), DateTime{9e6}));
    // A tested date before year 100 counts as 100-01-01.
    EXPECT_TRUE(isPeriodicItemDue(item(at(100, 1, 1), 1, "年"), DateTime{-1e7}));
    EXPECT_FALSE(isPeriodicItemDue(item(at(100, 1, 2), 1, "日"), DateTime{-1e7}));
    // A start later on the last day counts as its midnight; a start that is no number, as the first day.
    EXPECT_TRUE(isPeriodicItemDue(item(at(9999, 12, 31, 12, 0, 0), 1, "日"), at(9999, 12, 31)));
    EXPECT_TRUE(isPeriodicItemDue(item(DateTime{std::nan("")}, 1, "日"), at(2024, 3, 1)));
}

TEST(DueRuleWeeks, EveryOtherWeekFromMondayFirstOfMarch) {
    const PeriodicItem biweekly = item(at(2021, 3, 1), 2, "周");  // a Monday
    ASSERT_EQ(runtime::getWeekday(at(2021, 3, 1)), 2);
    for (int day : {1, 15, 29}) EXPECT_TRUE(isPeriodicItemDue(biweekly, at(2021, 3, day))) << day;
    for (int day : {2, 8, 14, 22, 28, 30}) EXPECT_FALSE(isPeriodicItemDue(biweekly, at(2021, 3, day))) << day;
    EXPECT_TRUE(isPeriodicItemDue(biweekly, at(2021, 4, 12)));
}

TEST(DueRuleDays, EveryThirdDay) {
    const PeriodicItem every3 = item(at(2024, 2, 27), 3, "日");
    for (int offset = 0; offset < 40; ++offset) {
        const DateTime t = runtime::addToDateTime(at(2024, 2, 27), runtime::DateUnit::Days, offset);
        EXPECT_EQ(isPeriodicItemDue(every3, t), offset % 3 == 0) << offset;
    }
}

TEST(DueRuleDays, TimeOfDayOfTheTestedDateIsDropped) {
    const PeriodicItem every3 = item(at(2024, 3, 1), 3, "日");
    EXPECT_TRUE(isPeriodicItemDue(every3, at(2024, 3, 4, 15, 30, 0)));
    EXPECT_TRUE(isPeriodicItemDue(every3, at(2024, 3, 1, 23, 59, 59)));
    EXPECT_FALSE(isPeriodicItemDue(every3, at(2024, 3, 5, 0, 0, 1)));
}

TEST(DueRuleMonths, StartOnThe31stFallsOnlyInMonthsWithA31st) {
    const PeriodicItem monthly = item(at(2023, 1, 31), 1, "月");
    for (int month : {1, 3, 5, 7, 8, 10, 12})
        EXPECT_TRUE(isPeriodicItemDue(monthly, at(2023, month, 31))) << month;
    for (int month : {2, 4, 6, 9, 11}) {
        const int last = runtime::daysInMonth(2023, month);
        EXPECT_FALSE(isPeriodicItemDue(monthly, at(2023, month, last))) << month;
        EXPECT_FALSE(isPeriodicItemDue(
            monthly, runtime::addToDateTime(at(2023, month, last), runtime::DateUnit::Days, 1)))
            << month;
    }
}

TEST(DueRuleMonths, EveryOtherMonthCountsCalendarMonthsAcrossYears) {
    const PeriodicItem bimonthly = item(at(2024, 1, 15), 2, "月");
    EXPECT_TRUE(isPeriodicItemDue(bimonthly, at(2024, 3, 15)));
    EXPECT_TRUE(isPeriodicItemDue(bimonthly, at(2024, 5, 15)));
    EXPECT_TRUE(isPeriodicItemDue(bimonthly, at(2025, 1, 15)));
    EXPECT_FALSE(isPeriodicItemDue(bimonthly, at(2024, 2, 15)));
    EXPECT_FALSE(isPeriodicItemDue(bimonthly, at(2024, 12, 15)));
    EXPECT_FALSE(isPeriodicItemDue(bimonthly, at(2024, 3, 14)));
    // November to the next February is 3 months.
    const PeriodicItem quarterly = item(at(2023, 11, 30), 3, "月");
    EXPECT_FALSE(isPeriodicItemDue(quarterly, at(2024, 2, 29)));
    EXPECT_TRUE(isPeriodicItemDue(quarterly, at(2024, 5, 30)));
}

TEST(DueRuleYears, TwentyNinthOfFebruaryFallsOnlyInLeapYears) {
    const PeriodicItem yearly = item(at(2024, 2, 29), 1, "年");
    EXPECT_TRUE(isPeriodicItemDue(yearly, at(2028, 2, 29)));
    EXPECT_TRUE(isPeriodicItemDue(yearly, at(2400, 2, 29)));
    for (int year : {2025, 2026, 2027, 2100}) {
        EXPECT_FALSE(isPeriodicItemDue(yearly, at(year, 2, 28))) << year;
        EXPECT_FALSE(isPeriodicItemDue(yearly, at(year, 3, 1))) << year;
    }
}

TEST(DueRuleYears, EveryFourthYear) {
    const PeriodicItem quadrennial = item(at(2000, 6, 10), 4, "年");
    EXPECT_TRUE(isPeriodicItemDue(quadrennial, at(2004, 6, 10)));
    EXPECT_TRUE(isPeriodicItemDue(quadrennial, at(2008, 6, 10)));
    EXPECT_FALSE(isPeriodicItemDue(quadrennial, at(2005, 6, 10)));
    EXPECT_FALSE(isPeriodicItemDue(quadrennial, at(2006, 6, 10)));
    EXPECT_FALSE(isPeriodicItemDue(quadrennial, at(2004, 6, 11)));
    EXPECT_FALSE(isPeriodicItemDue(quadrennial, at(2004, 7, 10)));
}

TEST(DueRulePeriod, NegativePeriodActsAsItsAbsoluteValue) {
    for (const char* unit : kUnits) {
        const PeriodicItem negative = item(at(2020, 1, 10), -3, unit);
        const PeriodicItem positive = item(at(2020, 1, 10), 3, unit);
        for (int offset = -5; offset < 2000; ++offset) {
            const DateTime t = runtime::addToDateTime(at(2020, 1, 10), runtime::DateUnit::Days, offset);
            ASSERT_EQ(isPeriodicItemDue(negative, t), isPeriodicItemDue(positive, t))
                << unit << " " << offset;
        }
    }
    EXPECT_TRUE(isPeriodicItemDue(item(at(2020, 1, 10), -3, "日"), at(2020, 1, 13)));
    EXPECT_TRUE(isPeriodicItemDue(item(at(2020, 1, 10), -3, "年"), at(2023, 1, 10)));
}

TEST(DueRulePeriod, ZeroPeriodIsDueOnlyOnItsStartDay) {
    for (const char* unit : kUnits) {
        const PeriodicItem once = item(at(2024, 3, 1), 0, unit);
        EXPECT_TRUE(isPeriodicItemDue(once, at(2024, 3, 1))) << unit;
        EXPECT_TRUE(isPeriodicItemDue(once, at(2024, 3, 1, 18, 0, 0))) << unit;
        for (DateTime t : {at(2024, 2, 29), at(2024, 3, 2), at(2024, 3, 8), at(2024, 4, 1), at(2025, 3, 1)}) {
            EXPECT_FALSE(isPeriodicItemDue(once, t)) << unit << " " << t.days;
        }
    }
}

TEST(DueRuleUnit, OtherUnitTextsAreNeverDueNotEvenOnTheStartDay) {
    for (const char* unit : {"", "天", "Y", "年年", "y", "\xC4\xEA" /* 年 in GBK bytes */, " 年"}) {
        EXPECT_FALSE(isPeriodicItemDue(item(at(2024, 3, 1), 1, unit), at(2024, 3, 1))) << unit;
        EXPECT_FALSE(isPeriodicItemDue(item(at(2024, 3, 1), 1, unit), at(2025, 3, 1))) << unit;
    }
}

TEST(DueRuleTimeOfStart, DaysAndWeeksNeverFallDueYearsAndMonthsIgnoreTheTime) {
    const DateTime start = at(2024, 3, 1, 8, 0, 0);
    for (const char* unit : {"日", "周"}) {
        const PeriodicItem timed = item(start, 1, unit);
        for (int offset = 0; offset < 60; ++offset) {
            const DateTime day = runtime::addToDateTime(at(2024, 3, 1), runtime::DateUnit::Days, offset);
            EXPECT_FALSE(isPeriodicItemDue(timed, day)) << unit << offset;
            EXPECT_FALSE(isPeriodicItemDue(timed, runtime::addToDateTime(day, runtime::DateUnit::Hours, 9)))
                << unit << offset;
        }
    }
    EXPECT_TRUE(isPeriodicItemDue(item(start, 1, "年"), at(2025, 3, 1)));
    EXPECT_TRUE(isPeriodicItemDue(item(start, 1, "月"), at(2024, 4, 1)));
    // On the start day itself the start test still compares the time of day.
    EXPECT_FALSE(isPeriodicItemDue(item(start, 1, "年"), at(2024, 3, 1, 7, 59, 59)));
    EXPECT_TRUE(isPeriodicItemDue(item(start, 1, "年"), at(2024, 3, 1, 8, 0, 0)));
    EXPECT_TRUE(isPeriodicItemDue(item(start, 1, "月"), at(2024, 3, 1, 9, 0, 0)));
    // A start a hair before midnight, as a computed value may carry, is within the tolerance.
    const DateTime hair{at(2024, 3, 1).days - 5e-8};
    EXPECT_TRUE(isPeriodicItemDue(item(hair, 1, "日"), at(2024, 3, 3)));
    EXPECT_TRUE(isPeriodicItemDue(item(hair, 0, "日"), at(2024, 3, 1)));
}

TEST(DueRulePeriod, ExtremePeriodsDoNotMisbehave) {
    const PeriodicItem huge = item(at(2000, 1, 1), INT32_MAX, "周");
    EXPECT_TRUE(isPeriodicItemDue(huge, at(2000, 1, 1)));
    EXPECT_FALSE(isPeriodicItemDue(huge, at(2000, 1, 8)));
    const PeriodicItem hugeNegative = item(at(2000, 1, 1), INT32_MIN, "年");
    EXPECT_TRUE(isPeriodicItemDue(hugeNegative, at(2000, 1, 1)));
    EXPECT_FALSE(isPeriodicItemDue(hugeNegative, at(2001, 1, 1)));
    EXPECT_TRUE(isPeriodicItemDue(item(at(100, 1, 1), 1, "日"), at(9999, 12, 31)));
    EXPECT_TRUE(isPeriodicItemDue(item(at(100, 1, 1), 1, "月"), at(9999, 12, 1)));
}

// ---- Reference: walk the occurrences on civil dates ----

// Proleptic Gregorian day number, independent of the runtime's own conversion.
int64_t dayNumber(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

void civilOfDayNumber(int64_t z, int& y, int& m, int& d) {
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

struct Civil {
    int y, m, d, seconds;  // seconds since midnight
    int64_t day() const { return dayNumber(y, m, d); }
};

bool referenceDue(const Civil& s, const Civil& w, int period, const std::string& unit) {
    if (w.day() < s.day() || (w.day() == s.day() && w.seconds < s.seconds)) return false;
    const int64_t step = std::llabs(static_cast<int64_t>(period));
    if (unit == "年" || unit == "月") {
        if (s.d != w.d || (unit == "年" && s.m != w.m)) return false;
        const int64_t perUnit = unit == "年" ? 12 : 1;
        const int64_t target = int64_t{w.y} * 12 + w.m;
        for (int64_t month = int64_t{s.y} * 12 + s.m; month <= target; month += step * perUnit) {
            if (month == target) return true;
            if (step == 0) break;
        }
        return false;
    }
    if (unit == "日" || unit == "周") {
        const int64_t stride = unit == "周" ? 7 * step : step;
        // Occurrence k is the start moved by k strides, time of day kept; due when one is D at 00:00.
        for (int64_t day = s.day(); day <= w.day(); day += stride) {
            if (day == w.day() && s.seconds == 0) return true;
            if (stride == 0) break;
        }
        return false;
    }
    return false;
}

DateTime toDateTime(const Civil& c) {
    return at(c.y, c.m, c.d, c.seconds / 3600, c.seconds / 60 % 60, c.seconds % 60);
}

TEST(DueRuleReference, AgreesWithWalkingTheOccurrences) {
    std::mt19937 rng(20240301);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const std::string units[] = {"年", "月", "日", "周", "年", "月", "日", "周", "", "天"};
    int dueCount = 0, cases = 0;
    for (int i = 0; i < 20000; ++i) {
        Civil s{pick(100, 9979), pick(1, 12), 1, 0};
        s.d = pick(1, runtime::daysInMonth(s.y, s.m));
        if (pick(0, 3) == 0) s.seconds = pick(1, 86399);
        const std::string& unit = units[pick(0, 9)];
        int period = pick(-12, 12);
        if (pick(0, 9) == 0) period = pick(-400, 400);

        Civil w{};
        const int shape = pick(0, 2);
        const int64_t magnitude = std::llabs(static_cast<int64_t>(period)) + (period == 0 ? 1 : 0);
        if (shape == 0) {
            // Any day from a little before the start to about twenty years after it.
            civilOfDayNumber(s.day() + pick(-40, 7300), w.y, w.m, w.d);
        } else if (shape == 1 && (unit == "年" || unit == "月")) {
            // Close to an occurrence by whole months or years, day kept when the month has it.
            const int64_t months =
                int64_t{pick(-1, 15)} * magnitude * (unit == "年" ? 12 : 1) + pick(-1, 1) * (pick(0, 3) == 0);
            const int64_t index = int64_t{s.y} * 12 + (s.m - 1) + months;
            if (index < 100 * 12 || index >= 10000 * 12) continue;
            w.y = static_cast<int>(index / 12);
            w.m = static_cast<int>(index % 12) + 1;
            w.d = std::min(s.d, runtime::daysInMonth(w.y, w.m));
        } else {
            // Close to an occurrence by whole days or weeks.
            const int64_t stride = unit == "周" ? 7 * magnitude : magnitude;
            civilOfDayNumber(s.day() + pick(-1, 60) * stride + pick(-1, 1) * (pick(0, 2) == 0), w.y, w.m,
                             w.d);
        }
        if (w.y < 100 || w.y > 9999) continue;
        if (pick(0, 2) == 0) w.seconds = pick(0, 86399);

        const bool expected = referenceDue(s, w, period, unit);
        const bool actual = isPeriodicItemDue(item(toDateTime(s), period, unit), toDateTime(w));
        ASSERT_EQ(actual, expected) << "start " << s.y << "-" << s.m << "-" << s.d << " +" << s.seconds
                                    << "s, tested " << w.y << "-" << w.m << "-" << w.d << " +" << w.seconds
                                    << "s, period " << period << " unit '" << unit << "'";
        dueCount += expected;
        ++cases;
    }
    // The sample must exercise both answers in earnest.
    EXPECT_GT(cases, 15000);
    EXPECT_GT(dueCount, cases / 10);
    EXPECT_LT(dueCount, cases * 9 / 10);
}

// ---- Weekday letters ----

TEST(WeekdayText, MapsSundayToSaturday) {
    EXPECT_EQ(calendar::weekdayToText(at(2024, 3, 3)), "日");
    EXPECT_EQ(calendar::weekdayToText(at(2024, 3, 4)), "一");
    EXPECT_EQ(calendar::weekdayToText(at(2024, 3, 6, 12, 0, 0)), "三");
    EXPECT_EQ(calendar::weekdayToText(at(2024, 3, 8)), "五");
    EXPECT_EQ(calendar::weekdayToText(at(2024, 3, 9)), "六");
    EXPECT_EQ(calendar::weekdayToText(DateTime{-1.25}), "五");  // 29 Dec 1899, 06:00
    EXPECT_EQ(calendar::weekdayToText(at(100, 1, 1)), "五");
}

TEST(WeekdayText, NumbersOutsideOneToSevenGiveEmptyText) {
    EXPECT_EQ(calendar::weekdayNumberToText(1), "日");
    EXPECT_EQ(calendar::weekdayNumberToText(7), "六");
    EXPECT_EQ(calendar::weekdayNumberToText(0), "");
    EXPECT_EQ(calendar::weekdayNumberToText(8), "");
    EXPECT_EQ(calendar::weekdayNumberToText(-1), "");
}

}  // namespace
