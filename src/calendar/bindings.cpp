// The handler names the window definitions use for the calendar module, bound to its functions,
// and the two views start-up asks of the calendar, handed to the shell.
#include "calendar/calendar.h"
#include "runtime/ui/ui.h"
#include "shell/lifecycle.h"

namespace calendar {

void bindCalendarHandlers() {
    namespace ui = runtime::ui;
    const struct {
        const char* name;
        void (*function)();
    } plain[] = {
        {"onCalendarDateChanged", onCalendarDateChanged},
        {"onDiaryTextChanged", onDiaryTextChanged},
        {"onDiaryBoxFocusLost", onDiaryBoxFocusLost},
        {"onWeekGridCellSelected", onWeekGridCellSelected},
        {"onWeekGridRightButton", onWeekGridRightButton},
        {"onRefreshWeekViewMenu", onRefreshWeekViewMenu},
        {"onCalendarRightButton", onCalendarRightButton},
        {"onBackToTodayMenu", onBackToTodayMenu},
        {"onPeriodicListRightButton", onPeriodicListRightButton},
        {"onPeriodicListEvent1", onPeriodicListEvent1},
        {"onAddPeriodicMenu", onAddPeriodicMenu},
        {"onModifyPeriodicMenu", onModifyPeriodicMenu},
        {"onDeletePeriodicMenu", onDeletePeriodicMenu},
        {"onAddPeriodicOk", onAddPeriodicOk},
        {"onAddPeriodicCancel", onAddPeriodicCancel},
        {"onEditPeriodicWindowCreated", onEditPeriodicWindowCreated},
        {"onEditPeriodicOk", onEditPeriodicOk},
        {"onEditPeriodicCancel", onEditPeriodicCancel},
        {"onRightTabChanged", onRightTabChanged},
    };
    for (const auto& entry : plain) ui::bindHandler(entry.name, std::function<void()>(entry.function));
    ui::bindHandler("onCalendarWheel", ui::Handler([](const ui::EventArgs& args) {
                        onCalendarWheel(args);
                        return true;
                    }));
    shell::registerDayViews({onCalendarDateChanged, rebuildWeekView});
}

}  // namespace calendar
