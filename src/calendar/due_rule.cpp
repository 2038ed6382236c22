// The periodic due rule; see due_rule.h for the rule as a whole.
//
// Year and month branches take year, month and day from one civil reading of each value, so a
// time of day just before midnight that rounds into the next second-exact day is read the same way
// for all three parts. The day and week branches measure in instants, so a start carrying a time
// of day gives a fractional distance and never falls due.
#include "calendar/due_rule.h"

#include <cmath>

namespace calendar {

namespace {

// Byte-for-byte unit texts, in the order the rule tests them.
constexpr const char* kUnitYear = "年";
constexpr const char* kUnitMonth = "月";
constexpr const char* kUnitDay = "日";
constexpr const char* kUnitWeek = "周";

// The rule's own range: the last valid value is 9999-12-31 at 00:00:00, so a start beyond it
// counts as that midnight and is still due on its start day under every unit.
runtime::DateTime clampToRange(runtime::DateTime t) {
    const double instant = runtime::instantOf(t);
    if (std::isnan(instant) || instant <= runtime::kMinDateTime)
        return runtime::DateTime{runtime::kMinDateTime};
    if (instant >= runtime::kMaxDateTime) return runtime::DateTime{runtime::kMaxDateTime};
    return t;
}

bool remainderIsZero(double distance, double period) {
    if (period == 0.0) {
        // No remainder exists: the item happens once, where the distance is zero.
        return std::fabs(distance) <= kDueTolerance;
    }
    return std::fabs(runtime::floatRemainder(distance, period)) <= kDueTolerance;
}

}  // namespace

bool isPeriodicItemDue(const PeriodicItem& item, runtime::DateTime t) {
    const runtime::DateTime start = clampToRange(item.startDate);
    const runtime::DateTime when = clampToRange(t);
    if (runtime::instantOf(when) < runtime::instantOf(start)) return false;

    const double period = static_cast<double>(item.period);
    if (item.unit == kUnitYear) {
        const runtime::CivilTime s = runtime::toCivil(start);
        const runtime::CivilTime w = runtime::toCivil(when);
        if (s.month != w.month || s.day != w.day) return false;
        return remainderIsZero(static_cast<double>(w.year - s.year), period);
    }
    if (item.unit == kUnitMonth) {
        const runtime::CivilTime s = runtime::toCivil(start);
        const runtime::CivilTime w = runtime::toCivil(when);
        if (s.day != w.day) return false;
        const double months = 12.0 * (w.year - s.year) + (w.month - s.month);
        return remainderIsZero(months, period);
    }
    const bool days = item.unit == kUnitDay;
    if (!days && item.unit != kUnitWeek) return false;
    const double distance = runtime::instantOf(runtime::dayOf(when)) - runtime::instantOf(start);
    return remainderIsZero(distance, days ? period : 7.0 * period);
}

std::string weekdayNumberToText(int weekday) {
    static constexpr const char* kLetters[] = {"日", "一", "二", "三", "四", "五", "六"};
    if (weekday < 1 || weekday > 7) return {};
    return kLetters[weekday - 1];
}

std::string weekdayToText(runtime::DateTime t) { return weekdayNumberToText(runtime::getWeekday(t)); }

}  // namespace calendar
