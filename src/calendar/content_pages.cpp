// The page switch of the right tab control `选择夹右侧`: each page is prepared when it is shown.
//
//   page 0 "今日"      the diary text and due items read anew for the chosen date (captions kept)
//   page 1 "数据总览"  the column widths of both overview table views set again
//   page 2 "备忘便签"  bw35 made current, then the memo shown
//   page 3 "联系人"    the column widths of the contact table view set again
#include <initializer_list>

#include "calendar/calendar.h"
#include "calendar/calendar_internal.h"
#include "contacts/memo.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace calendar {

namespace ui = runtime::ui;
using namespace detail;

namespace {

// One column per call, from column 1 on.
void setColumnWidths(const char* dataSource, std::initializer_list<int> widths) {
    int column = 1;
    for (int width : widths) ui::setDbGridColumnWidth(kMainWindow, dataSource, column++, 1, width);
}

}  // namespace

void onRightTabChanged() {
    switch (ui::getInt(kMainWindow, kRightTabs, "page")) {
        case 0:
            showDiaryOfSelectedDate();
            listPeriodicItemsForDate();
            break;
        case 1:
            setColumnWidths("数据源_日志", {300, 700});
            setColumnWidths("数据源_事项", {300, 200, 200, 800});
            break;
        case 2:
            // showMemo acts on the current store.
            runtime::store::selectDatabase("bw35");
            contacts::showMemo();
            break;
        case 3: setColumnWidths("数据源_联系人", {200, 300, 350}); break;
        default: break;
    }
}

}  // namespace calendar
