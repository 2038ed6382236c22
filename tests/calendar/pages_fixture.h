// The fixture of the page tests: the real MainWindow and periodic item windows, the window system,
// the forms and the four stores in a fresh program folder per test, with the clock fixed and the
// dialogs scripted. Events come from real widget input where the widgets offer it (typing, clicks,
// the wheel, focus changes) and from the scripted pop-up menus.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "calendar/calendar.h"
#include "contacts/memo.h"
#include "core/globals.h"
#include "core/opening.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"
#include "runtime/ui/widgets/month_calendar.h"
#include "runtime/ui/widgets/table_view.h"
#include "runtime/ui/widgets/week_grid.h"
#include "support/program_fixture.h"

namespace pages {

using namespace qbtest;  // kMain, ui, st, find, windowWidget and the rest of the shared fixture
using runtime::DateTime;

inline constexpr const char* kNew = "NewPeriodicItemWindow";
inline constexpr const char* kEdit = "EditPeriodicItemWindow";

inline DateTime at(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
    DateTime out;
    EXPECT_TRUE(runtime::makeDateTime({y, m, d, hh, mm, ss}, out));
    return out;
}

inline QString q(const char* s) { return QString::fromUtf8(s); }

struct DiaryRow {
    double day;
    std::string text;
};

inline std::vector<DiaryRow> diaryRecords() {
    std::vector<DiaryRow> out;
    st::Table* t = st::findOpenTable("rz35");
    for (int n = 1; t && n <= t->recordCount(); ++n) {
        EXPECT_FALSE(t->isDeleted(n)) << "record " << n << " marked but not packed away";
        out.push_back({st::valueDate(t->read(n, 1)).days, st::valueText(t->read(n, 2))});
    }
    return out;
}

struct ItemRow {
    double start;
    int period;
    std::string unit, text;
};

inline std::vector<ItemRow> itemRecords() {
    std::vector<ItemRow> out;
    st::Table* t = st::findOpenTable("tx35");
    for (int n = 1; t && n <= t->recordCount(); ++n) {
        EXPECT_FALSE(t->isDeleted(n));
        out.push_back({st::valueDate(t->read(n, 1)).days, st::valueInt(t->read(n, 2)),
                       st::valueText(t->read(n, 3)), st::valueText(t->read(n, 4))});
    }
    return out;
}

inline std::vector<std::string> listLines() {
    std::vector<std::string> out;
    for (int i = 0; i < ui::getListItemCount(kMain, "列表框_周期事项"); ++i)
        out.push_back(ui::getListItemText(kMain, "列表框_周期事项", i));
    return out;
}

// While alive, no file of this process may grow, as on a full disk: every store write fails (its
// journal cannot be written) and leaves the table file as it was.
class FilesCannotGrow {
public:
    FilesCannotGrow() {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = saved_;
        none.rlim_cur = 0;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    }
    ~FilesCannotGrow() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FilesCannotGrow(const FilesCannotGrow&) = delete;
    FilesCannotGrow& operator=(const FilesCannotGrow&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};

class CalendarPages : public ProgramFixture {
protected:
    CalendarPages() : ProgramFixture("qb_calendar_pages", kCalendar | kMemo, Start::kMainWindow) {
        fixClock(at(2024, 3, 8, 10, 30, 0));  // a Friday
    }

    // The page tests never end the program.
    void programEnded(int code) override { ADD_FAILURE() << "program ended with " << code; }

    // The calendar's share of start-up: today on the day page, then the week view.
    void startOnToday() {
        ui::setDate(kMain, "月历", now_);
        calendar::onCalendarDateChanged();
        calendar::rebuildWeekView();
        ui::clearDialogScript();
    }

    void choose(DateTime date) {
        ui::setDate(kMain, "月历", date);
        calendar::onCalendarDateChanged();
    }

    // Selects the list line, as a click would.
    void selectLine(int index) { ui::setInt(kMain, "列表框_周期事项", "selection", index); }

    // Right button on the due list (on the given line, selected first, or below the lines), then
    // the item chosen from its pop-up menu.
    void periodicMenu(const char* item, int line = -1) {
        ui::pushMenuAnswer(item);
        QListWidget* list = find<QListWidget>(kMain, "列表框_周期事项");
        ASSERT_NE(list, nullptr);
        if (line >= 0) selectLine(line);
        const QPoint where = line >= 0 ? list->visualItemRect(list->item(line)).center()
                                       : QPoint(5, list->viewport()->height() - 3);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, where);
        flushDeletes();
    }

    void typeInto(const char* window, const char* control, const char* text) {
        QWidget* w = find(window, control);
        ASSERT_NE(w, nullptr) << control;
        QTest::keyClicks(w, q(text));
    }

    void click(const char* window, const char* button) {
        QPushButton* b = find<QPushButton>(window, button);
        ASSERT_NE(b, nullptr) << button;
        QTest::mouseClick(b, Qt::LeftButton);
        flushDeletes();
    }
};

}  // namespace pages
