// The century dataset every benchmark runs on, from a fixed seed: 36,500 diary days of about
// 1 KB of Chinese text each (valid UTF-8), 1,000 periodic items, 10,000 contacts with Chinese
// names and mobile numbers, and a memo of 1 MB. A scale below 1 gives the same kind of data in
// proportion (0.1 is a decade), for figures that must grow no faster than the data.
//
// Two keywords are planted for the search: kRareKeyword in one diary day of a thousand, one
// periodic item of a hundred and one contact of a thousand; kCommonKeyword in almost every day.
#pragma once

#include <string>
#include <vector>

#include "runtime/base/datetime.h"
#include "runtime/store/store.h"

namespace bench {

using Rows = std::vector<std::vector<runtime::store::Value>>;

inline constexpr int kCenturyDays = 36500;
inline constexpr int kCenturyItems = 1000;
inline constexpr int kCenturyContacts = 10000;
inline constexpr std::size_t kCenturyMemoBytes = 1 << 20;
inline constexpr const char* kRareKeyword = "琵琶";
inline constexpr const char* kCommonKeyword = "天气";

struct Century {
    Rows diary;     // rz35: 日期, 日志 (in date order, the last day the day before `today`)
    Rows items;     // tx35: 初始日期, 循环周期, 循环单位, 提醒内容
    Rows contacts;  // lxr35: 姓名, 电话, 备注
    std::string memo;
};

// The dataset at `scale` of the century, its diary ending the day before `today`.
Century makeCentury(runtime::DateTime today, double scale = 1.0);

// About 1 KB of diary text for day `day`; `variant` changes its opening (for rewrites).
std::string diaryText(int day, int variant = 0);

// Fills the four stores, open under their names (rz35, tx35, bw35, lxr35) and empty.
bool fillOpenStores(const Century& century);

// Writes the six data files from their templates into `dataFolder` (which must exist) and fills
// them; with a password, every store is protected with it. Closes every store afterwards.
bool writeDataFolder(const std::string& dataFolder, const Century& century, const std::string& password = "");

}  // namespace bench
