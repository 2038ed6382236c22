// liblunar-date behind a plain interface. The library's own texts depend on the process locale
// (they come through gettext), so only its numeric formats are read and the names are ours.
// Where the library's tables start a month on the wrong day, a short correction table below
// moves that month's first day; every other answer is the library's.
#include "runtime/lunar/lunar.h"

#include <lunar-date/lunar-date.h>

#include <cstdio>
#include <cstdlib>

namespace runtime::lunar {
namespace {

// One LunarDate object for the process: creating one loads the library's holiday data, which
// is far dearer than a conversion. The UI thread is the only caller.
::LunarDate* converter() {
    static ::LunarDate* instance = lunar_date_new();
    return instance;
}

// Lunar months whose first day the library's tables put one day late. A lunar month begins on
// the day (Beijing time, UTC+8) of its new moon; for these two the new moon fell in the evening
// of the day before the library's first day (1954-11-25 20:30 and 1956-12-02 16:12), so the
// month begins a day earlier and the month before it, a 30-day month in the tables, has 29 days.
// Months whose new moon lies within minutes of midnight (1933's 6th, 1978's 8th), where
// published almanacs themselves differ, are left as the library has them.
struct MonthCorrection {
    int lunarYear, lunarMonth;
    bool leap;
    int year, month, day;                       // the month's true first day
    int libraryYear, libraryMonth, libraryDay;  // the first day in the library's tables
};
constexpr MonthCorrection kMonthCorrections[] = {
    {1954, 11, false, 1954, 11, 25, 1954, 11, 26},
    {1956, 11, false, 1956, 12, 2, 1956, 12, 3},
};

guint32 julianDay(int year, int month, int day) {
    GDate date;
    g_date_clear(&date, 1);
    g_date_set_dmy(&date, static_cast<GDateDay>(day), static_cast<GDateMonth>(month),
                   static_cast<GDateYear>(year));
    return g_date_get_julian(&date);
}

// The library's answer, read through its numeric format.
std::optional<LunarDate> libraryFromSolar(int year, int month, int day) {
    ::LunarDate* d = converter();
    GError* error = nullptr;
    lunar_date_set_solar_date(d, static_cast<GDateYear>(year), static_cast<GDateMonth>(month),
                              static_cast<GDateDay>(day), 0, &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    // "%(nian)" is the lunar year, "%(yue)" the lunar month with "*" in front of a leap month,
    // "%(ri)" the lunar day, all as decimal numbers.
    gchar* text = lunar_date_strftime(d, "%(nian) %(yue) %(ri)");
    if (!text) return std::nullopt;
    LunarDate out;
    char monthText[8] = {};
    int read = std::sscanf(text, "%d %7s %d", &out.year, monthText, &out.day);
    g_free(text);
    if (read != 3) return std::nullopt;
    const char* m = monthText;
    if (*m == '*') {
        out.leap = true;
        ++m;
    }
    out.month = std::atoi(m);
    if (out.month < 1 || out.month > 12 || out.day < 1 || out.day > 30) return std::nullopt;
    return out;
}

}  // namespace

std::optional<LunarDate> fromSolar(int year, int month, int day) {
    if (year < 1900 || year > 2100 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    if (!g_date_valid_dmy(static_cast<GDateDay>(day), static_cast<GDateMonth>(month),
                          static_cast<GDateYear>(year)))
        return std::nullopt;
    std::optional<LunarDate> out = libraryFromSolar(year, month, day);
    if (!out) return out;
    const guint32 today = julianDay(year, month, day);
    for (const MonthCorrection& c : kMonthCorrections) {
        const guint32 first = julianDay(c.year, c.month, c.day);
        const guint32 libraryFirst = julianDay(c.libraryYear, c.libraryMonth, c.libraryDay);
        const bool inCorrectedMonth =
            out->year == c.lunarYear && out->month == c.lunarMonth && out->leap == c.leap;
        if ((today >= first && today < libraryFirst) || inCorrectedMonth) {
            *out = LunarDate{c.lunarYear, c.lunarMonth, static_cast<int>(today - first) + 1, c.leap};
            break;
        }
    }
    return out;
}

std::string monthName(int month, bool leap) {
    static const char* const names[12] = {"正月", "二月", "三月", "四月", "五月", "六月",
                                          "七月", "八月", "九月", "十月", "冬月", "腊月"};
    if (month < 1 || month > 12) return {};
    return (leap ? std::string("闰") : std::string()) + names[month - 1];
}

std::string dayName(int day) {
    static const char* const digits[10] = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    if (day < 1 || day > 30) return {};
    if (day == 10) return "初十";
    if (day == 20) return "二十";
    if (day == 30) return "三十";
    static const char* const tens[3] = {"初", "十", "廿"};
    return std::string(tens[day / 10]) + digits[day % 10];
}

std::string cellText(int year, int month, int day) {
    auto lunar = fromSolar(year, month, day);
    if (!lunar) return {};
    return lunar->day == 1 ? monthName(lunar->month, lunar->leap) : dayName(lunar->day);
}

}  // namespace runtime::lunar
