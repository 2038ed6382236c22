// The results of the last keyword search, held as values: the search fills them, its four
// result lists show them line for line, and the jumps and the export read them here. Nothing is
// read back out of a list's text.
//
// | kind          | one result per                        | record           | date     | text            |
// |---------------|---------------------------------------|------------------|----------|-----------------|
// | Diary         | diary record whose 日志 matches        | rz35 record no.  | 日期     | 日期 as date text
// | | PeriodicItem  | periodic item whose 提醒内容 matches    | tx35 record no.  | 初始日期 | 初始日期 as
// text  | | Memo          | the memo, when bw matches (one at most) | bw35 record no.  | -        |
// "找到！请点击查看" | | Contact       | contact with a matching field          | lxr35 record no. | - | 姓名
// |
//
// The dated kinds are in ascending date order (equal dates in store order), the contacts in store
// order. Every kind is empty before the first search and after a search refused for want of a
// keyword; a kind without a result is what its list shows as "未找到！".
#pragma once

#include <string>
#include <vector>

#include "runtime/base/datetime.h"

namespace core {

enum class ResultKind { Diary, PeriodicItem, Memo, Contact };

struct SearchResult {
    int record = 0;          // 1-based number in the kind's store when the search ran
    runtime::DateTime date;  // the record's date (dated kinds)
    std::string text;        // the line its list shows
};

const std::vector<SearchResult>& searchResults(ResultKind kind);
void setSearchResults(ResultKind kind, std::vector<SearchResult> results);
void clearSearchResults();

}  // namespace core
