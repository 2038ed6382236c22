// The diary store rz35 as the modules read it: at most one record per day, its 日期 the day at
// 00:00:00 when the day page wrote it (a record edited elsewhere may carry a time of day).
//
// "The diary record of a day" has this one meaning for every module: the first record in store
// order whose 日期 falls on that day (same year, month and day), answered from the store's index
// of days, so that neither a keystroke nor a rebuild of the week view passes over every record.
#pragma once

#include <string>

#include "runtime/base/datetime.h"

namespace core {

inline constexpr int kDiaryDatePosition = 1;  // 日期 is the diary's first field
inline constexpr const char* kDiaryDateField = "日期";
inline constexpr const char* kDiaryTextField = "日志";

struct DiaryRecord {
    runtime::DateTime date;  // 日期
    std::string text;        // 日志
};

// Makes rz35 current and finds the diary record of `day`; the store's cursor is on it when found.
bool findDiaryRecordOfDay(runtime::DateTime day);
// The same for the first record in store order whose 日期 is exactly `when`, time of day included.
bool findDiaryRecordAt(runtime::DateTime when);
// The current record of the current store, read as a diary record.
DiaryRecord readDiaryRecord();

}  // namespace core
