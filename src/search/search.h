// Keyword search over the four stores and the jumps from its results, on the calendar page of
// MainWindow: the keyword box `编辑框关键词`, the arrow `图片框1` beside it, and one result list per
// store. The results are held in the core (core/search_results.h), where the export reads them;
// each list shows its kind's results line for line:
//
// | list                  | a line per                          | text          | data           |
// |-----------------------|-------------------------------------|---------------|----------------|
// | 列表框_日志搜索结果   | diary record whose 日志 matches     | 日期 as text  | 0              |
// | 列表框_提醒搜索结果   | periodic item whose 提醒内容 matches | 初始日期 text | tx35 record no. |
// | 列表框_备忘搜索结果   | the memo, when bw matches           | "找到！请点击查看" | 0          |
// | 列表框_人脉搜索结果   | contact with a matching field       | 姓名          | lxr35 record no.|
//
// The two date lists are in ascending date order (equal dates in store order); a list without a
// line holds the single line "未找到！" with data 0.
#pragma once

#include "runtime/ui/ui.h"

namespace search {

// Empties the four lists and the held results, refuses an empty keyword or the box's hint with a
// message, else scans the stores (letter case ignored), holds the results and fills the lists.
// Leaves lxr35 current.
void searchAll();

// Key down in the keyword box: Enter (args.a == 13) searches; other keys are the box's own.
void onKeywordKeyDown(const runtime::ui::EventArgs& args);
// The keyword box got the focus: its text is emptied, whatever it holds.
void onKeywordBoxFocus();
// Left button on the arrow beside the keyword box.
void onSearchPictureClick();

// A result line chosen. The diary and periodic lines move the month calendar to the result's date
// and show that day (the diary one with the keyword selected); the memo line opens the memo page
// with the keyword selected; a contact line opens the contacts page on the whole list with the
// contact's row selected and one cell marked red. A "未找到！" line does nothing, except in the
// contact list, where it selects with record number 0.
void onDiaryResultSelected();
void onReminderResultSelected();
void onMemoResultSelected();
void onContactResultSelected();

// Select the first occurrence of the keyword box's current text (letter case ignored) in the
// diary box `编辑框_本日志` / the memo box `编辑框备忘便签`, after giving that box the focus. An
// empty keyword, or one the box's text does not hold, leaves the caret at the start.
void selectKeywordInDiary();
void selectKeywordInMemo();

// Binds every handler name above.
void bindSearchHandlers();

}  // namespace search
