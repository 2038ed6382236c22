// A DateTime is a count of days since 30 December 1899 with the time of day as the fraction,
// valid from 100-01-01 (-657434) to 9999-12-31 (2958465). Before the epoch the whole part counts
// days back while the fraction still counts the time of day forward: -1.25 is 29 December 1899,
// 06:00. Raw values therefore do not order by time; compare with instantOf().
//
// The clock is a seam: tests fix "now" with setClockForTesting.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace runtime {

struct DateTime {
    double days = 0.0;
    friend bool operator==(DateTime a, DateTime b) { return a.days == b.days; }
};

inline constexpr double kMinDateTime = -657434.0;  // 100-01-01
inline constexpr double kMaxDateTime = 2958465.0;  // 9999-12-31 00:00:00

enum class DatePart { Year, Month, Day, Hour, Minute, Second };
enum class DateUnit { Years, Months, Weeks, Days, Hours, Minutes, Seconds };

struct CivilTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

// Days from 1899-12-30 to the given proleptic Gregorian date.
long long daysFromCivil(int year, int month, int day);
void civilFromDays(long long days, int& year, int& month, int& day);
int daysInMonth(int year, int month);
bool isValidDate(int year, int month, int day);

// The point in time a value denotes, as a plain linear day count.
double instantOf(DateTime t);
DateTime fromInstant(double instant);
DateTime clampDateTime(DateTime t);

// Fails (false) for a date outside 100..9999 or an impossible date or time.
bool makeDateTime(const CivilTime& c, DateTime& out);
DateTime makeDate(int year, int month, int day);  // assumes a valid date
// Rounded to the nearest second, which may carry into the next day.
CivilTime toCivil(DateTime t);
int getDateTimePart(DateTime t, DatePart part);
// 1 Sunday .. 7 Saturday.
int getWeekday(DateTime t);
// The same day at 00:00:00.
DateTime dayOf(DateTime t);

DateTime getCurrentDateTime();
void setClockForTesting(std::function<DateTime()> clock);  // empty function restores the real clock

// Calendar arithmetic; months and years clamp the day to the target month's length; the time of
// day is kept. A result outside the valid range is clamped to it.
DateTime addToDateTime(DateTime t, DateUnit unit, double amount);

enum class DateTextForm { Default, DateOnly };
// "%d年%d月%d日", in the default form followed by "%d时%d分%d秒", "%d时%d分" or "%d时" up to the last
// non-zero field, nothing at midnight.
std::string dateTimeToText(DateTime t, DateTextForm form = DateTextForm::Default);
// Reads the texts dateTimeToText writes, and "2024-3-5" or "2024/3/5" with an optional
// "12:30:05" time. A text that is no date gives the minimum DateTime, year 100.
DateTime toDateTime(std::string_view text);

// The truncated floating remainder: the sign of `a`, magnitude below |b|, computed exactly.
double floatRemainder(double a, double b);

}  // namespace runtime
