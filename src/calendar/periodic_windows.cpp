// Adding, changing and deleting periodic items from the pop-up menu of `列表框_周期事项`.
//
//   "新增周期性事件"  onAddPeriodicMenu     -> NewPeriodicItemWindow (modal)  -> onAddPeriodicOk
//   "修改周期性事件"  onModifyPeriodicMenu  -> EditPeriodicItemWindow (modal) -> onEditPeriodicOk
//   "删除周期性事件"  onDeletePeriodicMenu  -> deleted and packed at once, no question
//
// A modal load returns at once; MainWindow stays disabled until the item window closes. The edit
// window relies on that: the record found by onModifyPeriodicMenu stays the current record of the
// current store tx35 until "确定", because no other handler can touch the stores meanwhile.
//
// An item is found by its line's text alone: the first record in store order whose 提醒内容 equals
// the selected line's text byte for byte, so of two items sharing a text the first is acted on.
#include <optional>
#include <string>

#include "calendar/calendar.h"
#include "calendar/calendar_internal.h"
#include "core/globals.h"
#include "core/periodic_items.h"
#include "core/stores.h"
#include "runtime/base/number.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace calendar {

namespace store = runtime::store;
namespace ui = runtime::ui;
using namespace detail;

namespace {

constexpr int kInfoIcon = 0x40;
constexpr int kErrorIcon = 0x10;

void askForPeriod() { ui::showMessageBox("请填写循环周期", kInfoIcon, "信息！"); }
void askForText() { ui::showMessageBox("请填写提醒内容！", kInfoIcon, "信息！"); }

std::string selectedLineText() {
    const int selection = static_cast<int>(ui::getInt(kMainWindow, kItemList, "selection"));
    return ui::getListItemText(kMainWindow, kItemList, selection);
}

// The lookup condition of change and delete alike. The selected line is read once when the scan
// begins: the list cannot change while the condition runs.
store::Condition hasSelectedLineText() {
    const std::string line = selectedLineText();
    return [line] { return store::valueText(store::readField(core::kItemTextField)) == line; };
}

store::Condition isSelectedPeriodicRecord() { return hasSelectedLineText(); }
store::Condition isPeriodicRecordToDelete() { return hasSelectedLineText(); }

// As the week view's refresh does: rebuild, then put the calendar back where it was.
void rebuildWeekViewAndRestoreCalendar() {
    rebuildWeekView();
    ui::setDate(kMainWindow, kCalendar, core::weekViewCentreDate);
}

// The period as the store keeps it: the box's number ("-" and digits only) truncated to an integer.
// The edit window's box has no length limit, so a number beyond the integer range is held at the
// nearest end of it instead of wrapping into a short period.
store::Value periodOf(const std::string& text) { return store::Value{runtime::toHeldInteger(text)}; }

}  // namespace

void onPeriodicListRightButton() { ui::popupMenu(kMainWindow, "周期性右键菜单"); }

void onPeriodicListEvent1() { onModifyPeriodicMenu(); }

void onAddPeriodicMenu() {
    core::periodicItemStartDate = dayValue(chosenDate());
    store::selectDatabase(core::kPeriodicStore);
    ui::loadWindow(kNewItemWindow, kMainWindow, true);
    ui::setBool(kNewItemWindow, "", "visible", true);
    rebuildWeekViewAndRestoreCalendar();
}

void onAddPeriodicOk() {
    store::selectDatabase(core::kPeriodicStore);
    const std::string period = ui::getText(kNewItemWindow, kPeriodBox);
    if (period.empty()) return askForPeriod();
    if (period == "0") {
        ui::showMessageBox("您的循环周期填写了‘0’，如果不是一个\r\n周期性事件，请直接填写到'日志'中！", 0,
                           "信息：");
        return;
    }
    const std::string text = ui::getText(kNewItemWindow, kItemTextBox);
    if (text.empty()) return askForText();
    const bool added =
        store::addRecord({store::Value{core::periodicItemStartDate}, periodOf(period),
                          store::Value{ui::getText(kNewItemWindow, kUnitBox)}, store::Value{text}});
    if (!added) {
        ui::showMessageBox("加记录失败", kErrorIcon, "错误！");
        return;
    }
    listPeriodicItemsForDate();
    ui::destroyUnit(kNewItemWindow);
}

void onAddPeriodicCancel() { ui::destroyUnit(kNewItemWindow); }

void onModifyPeriodicMenu() {
    store::selectDatabase(core::kPeriodicStore);
    store::goToFirstRecord();
    if (ui::getInt(kMainWindow, kItemList, "selection") == -1) {
        ui::showMessageBox("请选择一条记录后再进行修改！", kInfoIcon, "信息！");
        return;
    }
    if (!store::findRecord(isSelectedPeriodicRecord())) {
        ui::showMessageBox("请选择一条记录后再进行修改！", kInfoIcon, "信息！");
        rebuildWeekViewAndRestoreCalendar();
        return;
    }
    // The found record is now current; onEditPeriodicWindowCreated reads it during the load.
    ui::loadWindow(kEditItemWindow, kMainWindow, true);
    const core::PeriodicItem item = core::readPeriodicItem();
    ui::setText(kEditItemWindow, kPeriodBox, runtime::toText(item.period));
    ui::setText(kEditItemWindow, kUnitBox, item.unit);
    ui::setText(kEditItemWindow, kItemTextBox, item.text);
    ui::setBool(kEditItemWindow, "", "visible", true);
}

void onEditPeriodicWindowCreated() {
    store::selectDatabase(core::kPeriodicStore);
    const runtime::DateTime start = store::valueDate(store::readField(core::kItemStartField));
    ui::setProperty(kEditItemWindow, kStartLabel, "caption",
                    "我在" + runtime::dateTimeToText(start) + "约定，在今后每");
}

void onEditPeriodicOk() {
    const std::string period = ui::getText(kEditItemWindow, kPeriodBox);
    if (period.empty()) return askForPeriod();
    const std::string text = ui::getText(kEditItemWindow, kItemTextBox);
    if (text.empty()) return askForText();
    // 初始日期 is left as it was; the record being changed is still current (see the top).
    const bool changed =
        store::modifyRecord({std::nullopt, periodOf(period),
                             store::Value{ui::getText(kEditItemWindow, kUnitBox)}, store::Value{text}});
    if (!changed) {
        ui::showMessageBox("修改记录失败", kErrorIcon, "错误！");
        return;
    }
    listPeriodicItemsForDate();
    ui::destroyUnit(kEditItemWindow);
}

void onEditPeriodicCancel() { ui::destroyUnit(kEditItemWindow); }

void onDeletePeriodicMenu() {
    store::selectDatabase(core::kPeriodicStore);
    store::goToFirstRecord();
    // With no line selected the text sought is the empty text.
    if (!store::findRecord(isPeriodicRecordToDelete())) {
        ui::showMessageBox("请选择一条记录后再进行删除！", kInfoIcon, "信息！");
        rebuildWeekViewAndRestoreCalendar();
        return;
    }
    store::deleteRecords();
    store::packDatabase();
    listPeriodicItemsForDate();
}

}  // namespace calendar
