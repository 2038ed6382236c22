// The one rule that decides on which dates a periodic item falls due, and the weekday letters of
// the week view. Pure functions over plain values: no store, no window, no clock, so the rule can
// be checked against an independent reference without a screen.
//
// An item recurs every `period` units from its start date-time; a date-time T is a due date when
//   1. T is not earlier than the start (both clamped into the DateTime range, compared as instants);
//   2. the unit is exactly "年", "月", "日" or "周" (tested in that order, byte for byte);
//   3. years:  start's month and day equal T's; distance = year difference;
//      months: start's day equals T's; distance = calendar-month difference;
//      days:   distance = (T's day at 00:00) - start, in days, possibly fractional;
//      weeks:  as days, with the period taken as 7 x period;
//   4. the truncated floating remainder of distance / period is within 1e-7 of zero.
// A negative period acts as its absolute value. A period of 0 has no remainder: such an item is a
// one-off, due only where the distance is 0 (its start day), never before and never after.
#pragma once

#include <string>

#include "core/periodic_items.h"
#include "runtime/base/datetime.h"

namespace calendar {

using core::PeriodicItem;

inline constexpr double kDueTolerance = 1e-7;

bool isPeriodicItemDue(const PeriodicItem& item, runtime::DateTime t);

// 1 Sunday .. 7 Saturday as "日", "一" .. "六"; any other weekday number gives "".
std::string weekdayToText(runtime::DateTime t);
std::string weekdayNumberToText(int weekday);

}  // namespace calendar
