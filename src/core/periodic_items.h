// The periodic-item store tx35 as the modules read it: each record one item that recurs every
// 循环周期 units of 循环单位 from 初始日期 (the due rule itself is the calendar's).
#pragma once

#include <cstdint>
#include <string>

#include "runtime/base/datetime.h"

namespace core {

inline constexpr const char* kItemStartField = "初始日期";
inline constexpr const char* kItemPeriodField = "循环周期";
inline constexpr const char* kItemUnitField = "循环单位";
inline constexpr const char* kItemTextField = "提醒内容";

struct PeriodicItem {
    runtime::DateTime startDate;  // 初始日期
    int32_t period = 0;           // 循环周期
    std::string unit;             // 循环单位
    std::string text;             // 提醒内容
};

// The current record of the current store, read as a periodic item.
PeriodicItem readPeriodicItem();

}  // namespace core
