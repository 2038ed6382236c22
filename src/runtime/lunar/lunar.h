// Chinese lunar dates for Gregorian days, as the month calendar draws them. The conversion itself
// is liblunar-date's, except for the few months whose first day its tables have wrong (a short
// correction table in lunar.cpp); this layer turns its answer into plain numbers and the
// traditional names (正月 .. 腊月 with 闰 for a leap month, 初一 .. 三十). No Qt, no GLib in this
// header, so any layer may use it.
#pragma once

#include <optional>
#include <string>

namespace runtime::lunar {

struct LunarDate {
    int year = 0;       // the lunar year the day belongs to (a day in January may belong to the year before)
    int month = 0;      // 1 .. 12
    int day = 0;        // 1 .. 30
    bool leap = false;  // the day lies in the leap month that follows `month`
};

// Gregorian day -> lunar date; nullopt outside the library's range (1900 .. 2100) or for an
// impossible date.
std::optional<LunarDate> fromSolar(int year, int month, int day);

// "正月", "二月", .. "十月", "冬月", "腊月"; a leap month gets "闰" in front. Empty for a month
// outside 1 .. 12.
std::string monthName(int month, bool leap);
// "初一" .. "初十", "十一" .. "十九", "二十", "廿一" .. "廿九", "三十". Empty outside 1 .. 30.
std::string dayName(int day);
// What a calendar cell shows under the Gregorian day: the month's name on the first day of a
// lunar month, the day's name on every other day. Empty outside the library's range.
std::string cellText(int year, int month, int day);

}  // namespace runtime::lunar
