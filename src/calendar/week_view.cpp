// The week view `高级表格_周历` and the day page's due list `列表框_周期事项`.
//
// The week view is a snapshot of the seven days today - 3 .. today + 3, rows 1 to 7 with today in
// row 4, rebuilt from the stores by rebuildWeekView alone: at start-up, when the diary box loses
// the focus, from the grid's menu "刷新周视图", and by the periodic item commands. Nothing watches
// the stores or the clock between rebuilds.
//
//   column 0  hidden, the row's date text ("%d年%d月%d日"); a row click reads it back
//   column 1  "日期"        month.day, "今日" in row 4
//   column 2  "周"          weekday letter
//   column 3  "日志(预览)"  the first 100 bytes of the day's diary text
//   column 4  "事项(预览)"  each due item's text followed by CR LF, in store order
#include <string>

#include "calendar/calendar.h"
#include "calendar/calendar_internal.h"
#include "calendar/due_rule.h"
#include "core/diary.h"
#include "core/globals.h"
#include "core/periodic_items.h"
#include "core/stores.h"
#include "runtime/base/number.h"
#include "runtime/base/text.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace calendar {

namespace store = runtime::store;
namespace ui = runtime::ui;
using namespace detail;

namespace {

constexpr int kRows = 8;
constexpr int kColumns = 5;
constexpr int kTodayRow = 4;
constexpr int kPreviewBytes = 100;
constexpr uint32_t kDayColumnsColour = 0xECECEC;

}  // namespace

void listPeriodicItemsForDate() {
    ui::clearList(kMainWindow, kItemList);
    store::selectDatabase(core::kPeriodicStore);
    store::goToFirstRecord();
    const int count = store::getRecordCount();
    // Read once for the pass: no event can move the calendar while the list is filled.
    const runtime::DateTime chosen = chosenDate();
    for (int i = 0; i < count; ++i) {
        const PeriodicItem item = core::readPeriodicItem();
        if (isPeriodicItemDue(item, chosen))
            ui::addListItem(kMainWindow, kItemList, item.text, store::getRecordNumber());
        store::skipRecords();
    }
}

void rebuildWeekView() {
    const char* w = kMainWindow;
    const char* g = kWeekGrid;
    ui::resetGrid(w, g);
    core::weekViewCentreDate = chosenDate();
    ui::setInt(w, g, "rowCount", kRows);
    ui::setInt(w, g, "columnCount", kColumns);

    ui::setGridCellData(w, g, 0, 1, "日期");
    ui::setGridCellData(w, g, 0, 2, "周");
    ui::setGridCellData(w, g, 0, 3, "日志(预览)");
    ui::setGridCellData(w, g, 0, 4, "事项(预览)");
    const int widths[kColumns] = {0, 40, 20, 150, 130};
    for (int column = 0; column < kColumns; ++column) ui::setGridColumnWidth(w, g, column, widths[column]);

    // Block ends beyond the grid are clipped by the grid: rows 1..8 act on 1..7, columns 3..8 on 3..4.
    ui::setGridAlignmentCentred(w, g, 0, 0, 8, 2);
    ui::setGridAlignmentCentred(w, g, 0, 0, 0, 4);
    ui::setGridWordWrap(w, g, 1, 3, 8, 8, true);
    ui::setGridBackColour(w, g, 1, 1, 8, 2, kDayColumnsColour);
    ui::setGridBold(w, g, 0, 0, 0, 4);

    for (int row = 1; row < kRows; ++row) {
        ui::setGridRowHeight(w, g, row, runtime::toHeldInteger(ui::getText(w, kRowHeightBox)));
    }

    const runtime::DateTime now = runtime::getCurrentDateTime();
    runtime::DateTime rowDate[kRows];
    for (int row = 1; row < kRows; ++row) {
        rowDate[row] = runtime::addToDateTime(now, runtime::DateUnit::Days, row - kTodayRow);
    }
    for (int row = 1; row < kRows; ++row) ui::setGridCellData(w, g, row, 0, dateText(rowDate[row]));
    for (int row = 1; row < kRows; ++row) {
        const int month = runtime::getDateTimePart(rowDate[row], runtime::DatePart::Month);
        const int day = runtime::getDateTimePart(rowDate[row], runtime::DatePart::Day);
        ui::setGridCellData(w, g, row, 1, runtime::toText(month) + "." + runtime::toText(day));
    }
    for (int row = 1; row < kRows; ++row) ui::setGridCellData(w, g, row, 2, weekdayToText(rowDate[row]));

    for (int row = 1; row < kRows; ++row) {
        // The same record the day page shows for that day.
        if (core::findDiaryRecordOfDay(rowDate[row])) {
            // Cut on a character boundary: a lone half character would show as garbage.
            ui::setGridCellData(w, g, row, 3,
                                runtime::getLeftText(core::readDiaryRecord().text, kPreviewBytes));
        }
    }

    store::selectDatabase(core::kPeriodicStore);
    for (int row = 1; row < kRows; ++row) {
        std::string due;
        store::goToFirstRecord();
        const int count = store::getRecordCount();
        for (int i = 0; i < count; ++i) {
            const PeriodicItem item = core::readPeriodicItem();
            if (isPeriodicItemDue(item, rowDate[row])) due += item.text + "\r\n";
            store::skipRecords();
        }
        if (!due.empty()) ui::setGridCellData(w, g, row, 4, due);
    }

    ui::setGridCellData(w, g, kTodayRow, 1, "今日");
    ui::setGridCursor(w, g, kTodayRow, 2);
}

void onDiaryBoxFocusLost() { rebuildWeekView(); }

void onWeekGridRightButton() { ui::popupMenu(kMainWindow, "同步周历库"); }

void onRefreshWeekViewMenu() {
    rebuildWeekView();
    ui::setDate(kMainWindow, kCalendar, core::weekViewCentreDate);
}

}  // namespace calendar
