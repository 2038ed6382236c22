// The four search result lists of MainWindow are the interface between the keyword search, which
// fills them, and the export of search results, which reads them back: one line per found record
// (the line text and item data the search writes), or the one "未找到！" line.
#pragma once

namespace search {

inline constexpr const char* kDiaryList = "列表框_日志搜索结果";
inline constexpr const char* kReminderList = "列表框_提醒搜索结果";
inline constexpr const char* kMemoList = "列表框_备忘搜索结果";
inline constexpr const char* kContactList = "列表框_人脉搜索结果";
inline constexpr const char* kNotFound = "未找到！";

}  // namespace search
