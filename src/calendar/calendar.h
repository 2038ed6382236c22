// The calendar module: the month calendar `月历`, the week view `高级表格_周历`, the day page with
// its diary box, the overview page and the periodic item windows of MainWindow.
//
// The date chosen in `月历` is the one current date: no variable holds it, every handler reads
// the calendar, and every handler that moves the calendar refreshes the day page itself (the
// calendar raises no event for a program write). The week view is a snapshot centred on today,
// rebuilt only by rebuildWeekView.
//
// Callers elsewhere need onCalendarDateChanged (the search results) and bindCalendarHandlers
// (once, before MainWindow is loaded), which also hands the shell onCalendarDateChanged and
// rebuildWeekView for start-up. The other handlers are declared for tests; the window system
// reaches them through their bound names.
#pragma once

#include "runtime/ui/ui.h"

namespace calendar {

// Binds every handler name the forms use for this module to its function, and hands the shell
// the day page and the week view for start-up.
void bindCalendarHandlers();

// ---- Day page ----
// Shows the chosen date: page 0 of `选择夹右侧`, the two captions, the diary text, the due items.
void onCalendarDateChanged();
// Puts the chosen day's diary text into `编辑框_本日志` (empty text when the day has none).
void showDiaryOfSelectedDate();
// Writes the diary box's whole text for the chosen day: modify, add, or delete and pack when empty.
void onDiaryTextChanged();
void onWeekGridCellSelected();
void onCalendarWheel(const runtime::ui::EventArgs& args);  // args.a: notches, positive away from the user
void onCalendarRightButton();
void onBackToTodayMenu();

// ---- Due items and week view ----
// Refills `列表框_周期事项` with the items due on the chosen date, in store order; item data is the
// record number. Leaves tx35 current, positioned after its last record.
void listPeriodicItemsForDate();
// Refills the week grid from the stores for today - 3 .. today + 3 and records the calendar's date
// in core::weekViewCentreDate. Leaves tx35 current, positioned after its last record.
void rebuildWeekView();
void onDiaryBoxFocusLost();
void onWeekGridRightButton();
void onRefreshWeekViewMenu();

// ---- Periodic item windows ----
void onPeriodicListRightButton();
void onPeriodicListEvent1();
void onAddPeriodicMenu();
void onAddPeriodicOk();
void onAddPeriodicCancel();
void onModifyPeriodicMenu();
void onEditPeriodicWindowCreated();
void onEditPeriodicOk();
void onEditPeriodicCancel();
void onDeletePeriodicMenu();

// ---- Content pages ----
void onRightTabChanged();

}  // namespace calendar
