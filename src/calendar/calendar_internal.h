// Names and small helpers shared by the calendar module's files. Not for callers outside
// src/calendar/.
#pragma once

#include <string>

#include "runtime/base/datetime.h"

namespace calendar::detail {

// Windows and controls.
inline constexpr const char* kMainWindow = "MainWindow";
inline constexpr const char* kNewItemWindow = "NewPeriodicItemWindow";
inline constexpr const char* kEditItemWindow = "EditPeriodicItemWindow";
inline constexpr const char* kCalendar = "月历";
inline constexpr const char* kWeekGrid = "高级表格_周历";
inline constexpr const char* kRightTabs = "选择夹右侧";
inline constexpr const char* kDiaryGroup = "分组框_今日志";
inline constexpr const char* kDiaryBox = "编辑框_本日志";
inline constexpr const char* kItemsGroup = "分组框_事项";
inline constexpr const char* kItemList = "列表框_周期事项";
inline constexpr const char* kRowHeightBox = "编辑框3";
inline constexpr const char* kPeriodBox = "编辑框循环周期";
inline constexpr const char* kUnitBox = "组合框循环单位";
inline constexpr const char* kItemTextBox = "编辑框提醒内容";
inline constexpr const char* kStartLabel = "标签说明周期事项";

// The date-only text "%d年%d月%d日".
std::string dateText(runtime::DateTime t);
// The day at 00:00:00, as the date text read back.
runtime::DateTime dayValue(runtime::DateTime t);

runtime::DateTime chosenDate();

}  // namespace calendar::detail
