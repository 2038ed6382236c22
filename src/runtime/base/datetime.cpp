// DateTime arithmetic on the proleptic Gregorian calendar. Every operation goes through the
// (day number, second of day) pair so that values before the epoch, whose fraction counts the
// time of day forward from a day counted backwards, never get their time flipped.
#include "runtime/base/datetime.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

namespace runtime {
namespace {

constexpr int kSecondsPerDay = 86400;
// 1970-01-01 minus 1899-12-30.
constexpr long long kUnixEpochDays = 25569;

std::function<DateTime()>& clockOverride() {
    static std::function<DateTime()> clock;
    return clock;
}

// The day number and the rounded second of that day, carrying a rounded 86400 into the next day.
void split(DateTime t, long long& day, int& second) {
    double v = t.days;
    double whole = std::trunc(v);
    double frac = std::fabs(v - whole);
    day = static_cast<long long>(whole);
    // -0.25 is 30 December 1899, 06:00, the same day as 0.25.
    long long s = std::llround(frac * kSecondsPerDay);
    if (s >= kSecondsPerDay) {
        s -= kSecondsPerDay;
        ++day;
    }
    second = static_cast<int>(s);
}

DateTime join(long long day, double secondOfDay) {
    double frac = secondOfDay / kSecondsPerDay;
    return DateTime{day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac};
}

}  // namespace

long long daysFromCivil(int y, int m, int d) {
    // Howard Hinnant's days_from_civil, shifted to the 1899-12-30 epoch.
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468 + kUnixEpochDays;
}

void civilFromDays(long long days, int& year, int& month, int& day) {
    long long z = days - kUnixEpochDays + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool isValidDate(int year, int month, int day) {
    return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month);
}

double instantOf(DateTime t) {
    double whole = std::trunc(t.days);
    return whole + std::fabs(t.days - whole);
}

DateTime fromInstant(double instant) {
    double day = std::floor(instant);
    return join(static_cast<long long>(day), (instant - day) * kSecondsPerDay);
}

DateTime clampDateTime(DateTime t) {
    double i = instantOf(t);
    if (std::isnan(i) || i < kMinDateTime) return DateTime{kMinDateTime};
    if (i >= kMaxDateTime + 1) return fromInstant(kMaxDateTime + 86399.0 / kSecondsPerDay);
    return t;
}

bool makeDateTime(const CivilTime& c, DateTime& out) {
    if (!isValidDate(c.year, c.month, c.day)) return false;
    if (c.hour < 0 || c.hour > 23 || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59)
        return false;
    out = join(daysFromCivil(c.year, c.month, c.day), c.hour * 3600.0 + c.minute * 60.0 + c.second);
    return true;
}

DateTime makeDate(int year, int month, int day) {
    return DateTime{static_cast<double>(daysFromCivil(year, month, day))};
}

CivilTime toCivil(DateTime t) {
    t = clampDateTime(t);
    long long day;
    int second;
    split(t, day, second);
    CivilTime c;
    civilFromDays(day, c.year, c.month, c.day);
    c.hour = second / 3600;
    c.minute = second / 60 % 60;
    c.second = second % 60;
    return c;
}

int getDateTimePart(DateTime t, DatePart part) {
    CivilTime c = toCivil(t);
    switch (part) {
        case DatePart::Year: return c.year;
        case DatePart::Month: return c.month;
        case DatePart::Day: return c.day;
        case DatePart::Hour: return c.hour;
        case DatePart::Minute: return c.minute;
        case DatePart::Second: return c.second;
    }
    return 0;
}

int getWeekday(DateTime t) {
    long long day;
    int second;
    split(clampDateTime(t), day, second);
    // 1899-12-30 was a Saturday (7).
    long long w = ((day + 6) % 7 + 7) % 7;  // 0 Sunday
    return static_cast<int>(w) + 1;
}

DateTime dayOf(DateTime t) {
    long long day;
    int second;
    split(clampDateTime(t), day, second);
    return DateTime{static_cast<double>(day)};
}

DateTime getCurrentDateTime() {
    if (clockOverride()) return clockOverride()();
    auto now = std::chrono::system_clock::now();
    std::time_t secs = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&secs, &local);
    CivilTime c{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59)};
    DateTime out;
    makeDateTime(c, out);
    return out;
}

void setClockForTesting(std::function<DateTime()> clock) { clockOverride() = std::move(clock); }

DateTime addToDateTime(DateTime t, DateUnit unit, double amount) {
    t = clampDateTime(t);
    long long day;
    int second;
    split(t, day, second);
    double secondOfDay = std::fabs(t.days - std::trunc(t.days)) * kSecondsPerDay;
    auto amountInt = static_cast<long long>(std::trunc(amount));
    switch (unit) {
        case DateUnit::Years:
        case DateUnit::Months: {
            int y, m, d;
            civilFromDays(static_cast<long long>(std::trunc(t.days)), y, m, d);
            long long months = static_cast<long long>(y) * 12 + (m - 1) +
                               (unit == DateUnit::Years ? amountInt * 12 : amountInt);
            long long ny = months >= 0 ? months / 12 : (months - 11) / 12;
            int nm = static_cast<int>(months - ny * 12) + 1;
            if (ny < 100) return DateTime{kMinDateTime};
            if (ny > 9999) return clampDateTime(DateTime{kMaxDateTime + 1});
            int nd = std::min(d, daysInMonth(static_cast<int>(ny), nm));
            return join(daysFromCivil(static_cast<int>(ny), nm, nd), secondOfDay);
        }
        case DateUnit::Weeks: return clampDateTime(fromInstant(instantOf(t) + amount * 7));
        case DateUnit::Days: return clampDateTime(fromInstant(instantOf(t) + amount));
        case DateUnit::Hours: return clampDateTime(fromInstant(instantOf(t) + amount / 24));
        case DateUnit::Minutes: return clampDateTime(fromInstant(instantOf(t) + amount / 1440));
        case DateUnit::Seconds: return clampDateTime(fromInstant(instantOf(t) + amount / kSecondsPerDay));
    }
    return t;
}

std::string dateTimeToText(DateTime t, DateTextForm form) {
    CivilTime c = toCivil(t);
    char buf[96];
    int n = std::snprintf(buf, sizeof buf, "%d年%d月%d日", c.year, c.month, c.day);
    std::string out(buf, static_cast<std::size_t>(n));
    if (form == DateTextForm::DateOnly) return out;
    if (c.second != 0) {
        n = std::snprintf(buf, sizeof buf, "%d时%d分%d秒", c.hour, c.minute, c.second);
    } else if (c.minute != 0) {
        n = std::snprintf(buf, sizeof buf, "%d时%d分", c.hour, c.minute);
    } else if (c.hour != 0) {
        n = std::snprintf(buf, sizeof buf, "%d时", c.hour);
    } else {
        n = 0;
    }
    return out + std::string(buf, static_cast<std::size_t>(n));
}

namespace {

// Reads an unsigned decimal number at `pos`; false when there is none.
bool readNumber(std::string_view s, std::size_t& pos, int& value) {
    std::size_t start = pos;
    long long v = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 9) v = v * 10 + (s[pos++] - '0');
    value = static_cast<int>(v);
    return pos > start;
}

bool consume(std::string_view s, std::size_t& pos, std::string_view token) {
    if (s.substr(pos, token.size()) != token) return false;
    pos += token.size();
    return true;
}

void skipBlanks(std::string_view s, std::size_t& pos) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
}

}  // namespace

DateTime toDateTime(std::string_view text) {
    const DateTime invalid{kMinDateTime};
    std::size_t pos = 0;
    skipBlanks(text, pos);
    CivilTime c{};
    c.hour = c.minute = c.second = 0;
    if (!readNumber(text, pos, c.year)) return invalid;
    bool chinese = false;
    if (consume(text, pos, "年")) {
        chinese = true;
        if (!readNumber(text, pos, c.month) || !consume(text, pos, "月") || !readNumber(text, pos, c.day) ||
            !consume(text, pos, "日")) {
            return invalid;
        }
    } else {
        char sep = pos < text.size() ? text[pos] : '\0';
        if (sep != '-' && sep != '/') return invalid;
        ++pos;
        if (!readNumber(text, pos, c.month) || pos >= text.size() || text[pos] != sep) return invalid;
        ++pos;
        if (!readNumber(text, pos, c.day)) return invalid;
    }
    skipBlanks(text, pos);
    if (pos < text.size()) {
        std::size_t save = pos;
        if (chinese) {
            // "%d时", "%d时%d分", "%d时%d分%d秒"
            if (readNumber(text, pos, c.hour) && consume(text, pos, "时")) {
                std::size_t p2 = pos;
                if (readNumber(text, p2, c.minute) && consume(text, p2, "分")) {
                    pos = p2;
                    std::size_t p3 = pos;
                    if (readNumber(text, p3, c.second) && consume(text, p3, "秒")) pos = p3;
                } else {
                    c.minute = 0;
                }
            } else {
                pos = save;
                c.hour = 0;
            }
        }
        if (pos == save) {
            if (readNumber(text, pos, c.hour) && consume(text, pos, ":") && readNumber(text, pos, c.minute)) {
                if (consume(text, pos, ":") && !readNumber(text, pos, c.second)) return invalid;
            } else {
                return invalid;
            }
        }
        skipBlanks(text, pos);
        if (pos != text.size()) return invalid;
    }
    DateTime out;
    if (!makeDateTime(c, out)) return invalid;
    return out;
}

double floatRemainder(double a, double b) { return std::fmod(a, b); }

}  // namespace runtime
