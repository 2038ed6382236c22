// The day page (page 0 of `选择夹右侧`): the chosen date's diary text in `编辑框_本日志`, its due
// items in `列表框_周期事项`, and the ways the date is chosen (calendar click, wheel, "回到今日",
// a week-view row).
//
// Diary writing, one step per change of the box's text (each keystroke included):
//   record found,  text empty      -> deleteRecords + packDatabase
//   record found,  text not empty  -> writeField 日志 (the whole text)
//   no record,     text empty      -> nothing
//   no record,     text not empty  -> addRecord (day value, whole text)
// so the diary keeps at most one record per day and never an empty text. A failed write leaves the
// store as it was, the box keeps its text and the next change writes the whole text again. The
// failure is said once, when a run of failures begins: the text would otherwise be lost without a
// word as soon as another date is chosen, and a message at every keystroke would stop the typing.
//
// Showing a day writes the box's text, which raises onDiaryTextChanged nested for the same date;
// it finds the record and writes the same text back, or finds none and writes nothing.
#include <string>

#include "calendar/calendar.h"
#include "calendar/calendar_internal.h"
#include "core/diary.h"
#include "runtime/base/text.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace calendar {

namespace store = runtime::store;
namespace ui = runtime::ui;
using namespace detail;

namespace detail {

std::string dateText(runtime::DateTime t) {
    return runtime::dateTimeToText(t, runtime::DateTextForm::DateOnly);
}

runtime::DateTime dayValue(runtime::DateTime t) { return runtime::toDateTime(dateText(t)); }

runtime::DateTime chosenDate() { return ui::getDate(kMainWindow, kCalendar); }

}  // namespace detail

namespace {

// A keystroke looks the day up again: through the store's index of days, since a pass over a
// century of records at every key would cost more than the write itself.
bool findDiaryOfChosenDate() { return core::findDiaryRecordOfDay(chosenDate()); }

// True while the diary's writes fail; the next write that succeeds clears it.
bool diaryWriteFailing = false;

void noteDiaryWrite(bool stored) {
    if (!stored && !diaryWriteFailing) {
        ui::showMessageBox(
            "本日日志未能写入：" + store::lastError() +
                "\r\n框中的文字没有丢失，问题排除后再改动一下即可重新保存；在此之前请勿选择其他日期。",
            0x10, "错误！");
    }
    diaryWriteFailing = !stored;
}

void setDayCaptions() {
    const std::string date = dateText(chosenDate());
    ui::setProperty(kMainWindow, kDiaryGroup, "caption", "日志-" + date);
    ui::setProperty(kMainWindow, kItemsGroup, "caption", "周期事项-" + date);
}

}  // namespace

void onCalendarDateChanged() {
    ui::setInt(kMainWindow, kRightTabs, "page", 0);
    setDayCaptions();
    showDiaryOfSelectedDate();
    listPeriodicItemsForDate();
}

void showDiaryOfSelectedDate() {
    const bool found = findDiaryOfChosenDate();
    const std::string text = found ? core::readDiaryRecord().text : std::string();
    ui::setText(kMainWindow, kDiaryBox, text);
}

void onDiaryTextChanged() {
    const bool found = findDiaryOfChosenDate();
    // Empty means no byte at all: spaces or line breaks are a text like any other.
    const std::string text = ui::getText(kMainWindow, kDiaryBox);
    bool stored = true;
    if (found && text.empty()) {
        // Once marked, the record is passed over by every lookup: a failed pack loses nothing.
        stored = store::deleteRecords();
        if (stored) store::packDatabase();
    } else if (found) {
        stored = store::writeField(core::kDiaryTextField, store::Value{text});
    } else if (!text.empty()) {
        stored = store::addRecord({store::Value{dayValue(chosenDate())}, store::Value{text}});
    }
    noteDiaryWrite(stored);
}

void onWeekGridCellSelected() {
    const int row = ui::getGridCursorRow(kMainWindow, kWeekGrid);
    const int column = ui::getGridCursorColumn(kMainWindow, kWeekGrid);
    const std::string cell = ui::getGridCellData(kMainWindow, kWeekGrid, row, column);
    ui::setWindowToolTip(ui::getWindowHandle(kMainWindow, kWeekGrid), runtime::getLeftText(cell, 100), false,
                         false);
    // The header row's column 0 is empty and reads as year 100, which the calendar refuses.
    ui::setDate(kMainWindow, kCalendar,
                runtime::toDateTime(ui::getGridCellData(kMainWindow, kWeekGrid, row, 0)));
    showDiaryOfSelectedDate();
    listPeriodicItemsForDate();
    setDayCaptions();
    ui::setFocus(kMainWindow, kDiaryBox);
}

void onCalendarWheel(const ui::EventArgs& args) {
    // Always one month from now, not from the shown date: two turns forward land where one does.
    const runtime::DateTime now = runtime::getCurrentDateTime();
    const double months = args.a > 0 ? 1.0 : -1.0;
    ui::setDate(kMainWindow, kCalendar, runtime::addToDateTime(now, runtime::DateUnit::Months, months));
    onCalendarDateChanged();
}

void onCalendarRightButton() { ui::popupMenu(kMainWindow, "今日"); }

void onBackToTodayMenu() {
    ui::setDate(kMainWindow, kCalendar, runtime::getCurrentDateTime());
    onCalendarDateChanged();
}

}  // namespace calendar
