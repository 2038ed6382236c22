// The month calendar as the program and the user drive it: its date range, which changes raise
// signals, and the lunar text in every cell checked against liblunar-date's own conversion from
// lunar to Gregorian dates, with the two months our lunar layer corrects moved to their true
// first days.
#include <gtest/gtest.h>

#include <lunar-date/lunar-date.h>

#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <vector>

#include "runtime/base/datetime.h"
#include "runtime/ui/widgets/month_calendar.h"

using runtime::DateTime;
using runtime::makeDate;
using runtime::ui::widgets::MonthCalendar;

namespace {

DateTime at(int y, int m, int d, int hour = 0, int minute = 0) {
    return runtime::fromInstant(runtime::instantOf(makeDate(y, m, d)) + (hour * 60 + minute) / 1440.0);
}

struct Host {
    QWidget window;
    MonthCalendar* calendar;
    Host() {
        auto* c = new MonthCalendar(&window);
        c->setObjectName(QStringLiteral("月历"));
        c->setGeometry(0, 0, 365, 262);
        window.resize(365, 262);
        window.show();
        calendar = window.findChild<MonthCalendar*>(QStringLiteral("月历"));
    }
};

}  // namespace

TEST(MonthCalendarRange, AcceptsOnly1901To2049AndKeepsItsDateOtherwise) {
    Host h;
    ASSERT_TRUE(h.calendar);
    ASSERT_TRUE(h.calendar->setDate(at(2024, 3, 5)));
    EXPECT_FALSE(h.calendar->setDate(at(1900, 12, 31)));
    EXPECT_EQ(h.calendar->date(), at(2024, 3, 5));
    EXPECT_FALSE(h.calendar->setDate(at(2050, 1, 1)));
    EXPECT_FALSE(h.calendar->setDate(DateTime{-700000.0}));  // below the year 100
    EXPECT_EQ(h.calendar->date(), at(2024, 3, 5));
    EXPECT_EQ(h.calendar->pageMonth(), 3);
    EXPECT_TRUE(h.calendar->setDate(at(1901, 1, 1)));
    EXPECT_EQ(h.calendar->pageYear(), 1901);
    EXPECT_TRUE(h.calendar->setDate(at(2049, 12, 31, 23, 59)));
    EXPECT_EQ(h.calendar->pageYear(), 2049);
    EXPECT_EQ(h.calendar->pageMonth(), 12);
}

TEST(MonthCalendarRange, KeepsTheTimeOfDayItIsGiven) {
    Host h;
    ASSERT_TRUE(h.calendar->setDate(at(2024, 1, 31, 13, 45)));
    EXPECT_EQ(h.calendar->date(), at(2024, 1, 31, 13, 45));
}

TEST(MonthCalendarEvents, ProgramSetRaisesNothing) {
    Host h;
    QSignalSpy changed(h.calendar, &MonthCalendar::dateChanged);
    h.calendar->setDate(at(2024, 3, 5));
    h.calendar->setDate(at(2030, 7, 1));
    h.calendar->setDate(at(1800, 1, 1));  // refused
    EXPECT_EQ(changed.count(), 0);
}

TEST(MonthCalendarEvents, UserClickChoosesTheDayAndKeepsTheTime) {
    Host h;
    h.calendar->setDate(at(2024, 3, 5, 8, 30));
    QSignalSpy changed(h.calendar, &MonthCalendar::dateChanged);
    int row = 0, column = 0;
    ASSERT_TRUE(h.calendar->findCell(QDate(2024, 3, 20), row, column));
    QTest::mouseClick(h.calendar, Qt::LeftButton, {}, h.calendar->cellRect(row, column).center());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(h.calendar->date(), at(2024, 3, 20, 8, 30));
    // A day of the next month on the same page turns the page as well.
    ASSERT_TRUE(h.calendar->findCell(QDate(2024, 4, 2), row, column));
    QTest::mouseClick(h.calendar, Qt::LeftButton, {}, h.calendar->cellRect(row, column).center());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(h.calendar->pageMonth(), 4);
}

TEST(MonthCalendarEvents, ArrowsPageByAMonthButNotBeyond2049) {
    Host h;
    h.calendar->setDate(at(2024, 1, 31));
    QSignalSpy changed(h.calendar, &MonthCalendar::dateChanged);
    QTest::mouseClick(h.calendar, Qt::LeftButton, {}, h.calendar->nextMonthRect().center());
    EXPECT_EQ(h.calendar->date(), at(2024, 2, 29));
    EXPECT_EQ(changed.count(), 1);
    h.calendar->setDate(at(2049, 12, 10));
    QTest::mouseClick(h.calendar, Qt::LeftButton, {}, h.calendar->nextMonthRect().center());
    EXPECT_EQ(h.calendar->date(), at(2049, 12, 10));
    EXPECT_EQ(changed.count(), 1);
    h.calendar->setDate(at(1901, 1, 10));
    QTest::keyClick(h.calendar, Qt::Key_PageUp);
    EXPECT_EQ(h.calendar->date(), at(1901, 1, 10));
    QTest::keyClick(h.calendar, Qt::Key_Right);
    EXPECT_EQ(h.calendar->date(), at(1901, 1, 11));
    EXPECT_EQ(changed.count(), 2);
}

TEST(MonthCalendarEvents, WheelReportsWholeNotchesAndDoesNotPage) {
    Host h;
    h.calendar->setDate(at(2024, 5, 5));
    QSignalSpy wheel(h.calendar, &MonthCalendar::wheelTurned);
    QSignalSpy changed(h.calendar, &MonthCalendar::dateChanged);
    const QPointF pos = h.calendar->rect().center();
    for (int delta : {240, 60, -120, -300}) {
        QWheelEvent e(pos, h.calendar->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(h.calendar, &e);
    }
    ASSERT_EQ(wheel.count(), 4);
    EXPECT_EQ(wheel[0][0].toInt(), 2);
    EXPECT_EQ(wheel[1][0].toInt(), 0);
    EXPECT_EQ(wheel[2][0].toInt(), -1);
    EXPECT_EQ(wheel[3][0].toInt(), -2);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(h.calendar->date(), at(2024, 5, 5));
}

TEST(MonthCalendarEvents, RightButtonRaisesItsEventAndLeavesTheDate) {
    Host h;
    h.calendar->setDate(at(2024, 5, 5));
    QSignalSpy right(h.calendar, &MonthCalendar::rightButtonPressed);
    QSignalSpy changed(h.calendar, &MonthCalendar::dateChanged);
    QTest::mouseClick(h.calendar, Qt::RightButton, {}, h.calendar->cellRect(3, 3).center());
    EXPECT_EQ(right.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(h.calendar->date(), at(2024, 5, 5));
}

TEST(MonthCalendarCells, PageStartsOnSundayWithTheFirstOfTheMonthInTheFirstWeek) {
    Host h;
    h.calendar->setDate(at(2024, 3, 5));  // 1 March 2024 was a Friday
    EXPECT_EQ(h.calendar->cellDate(0, 5), QDate(2024, 3, 1));
    EXPECT_EQ(h.calendar->cellDate(0, 0), QDate(2024, 2, 25));
    EXPECT_EQ(h.calendar->cellDayText(0, 5), QStringLiteral("1"));
    EXPECT_EQ(h.calendar->cellDate(5, 6), QDate(2024, 4, 6));
}

namespace {

struct LunarMonth {
    int year, month;
    bool leap;
    QDate firstDay;
};

// Every lunar month from the library's lunar-to-Gregorian direction, in time order.
std::vector<LunarMonth> lunarMonthsFromLibrary(int firstLunarYear, int lastLunarYear) {
    std::vector<LunarMonth> months;
    ::LunarDate* d = lunar_date_new();
    for (int y = firstLunarYear; y <= lastLunarYear; ++y)
        for (int m = 1; m <= 12; ++m)
            for (bool leap : {false, true}) {
                GError* error = nullptr;
                lunar_date_set_lunar_date(d, static_cast<GDateYear>(y), static_cast<GDateMonth>(m), 1, 0,
                                          leap, &error);
                if (error) {
                    g_error_free(error);
                    continue;
                }
                gchar* text = lunar_date_strftime(d, "%(year) %(month) %(day)");
                int sy = 0, sm = 0, sd = 0;
                std::sscanf(text, "%d %d %d", &sy, &sm, &sd);
                g_free(text);
                QDate firstDay(sy, sm, sd);
                // The months the lunar layer starts a day earlier than the library's tables.
                if (!leap && m == 11 && (y == 1954 || y == 1956)) firstDay = firstDay.addDays(-1);
                months.push_back({y, m, leap, firstDay});
            }
    lunar_date_free(d);
    return months;
}

QString expectedMonthName(int month, bool leap) {
    static const char* const names[12] = {"正月", "二月", "三月", "四月", "五月", "六月",
                                          "七月", "八月", "九月", "十月", "冬月", "腊月"};
    return (leap ? QStringLiteral("闰") : QString()) + QString::fromUtf8(names[month - 1]);
}

}  // namespace

TEST(MonthCalendarCells, FirstAndLastDayOfEveryLunarMonth1901To2049AsDrawn) {
    Host h;
    const std::vector<LunarMonth> months = lunarMonthsFromLibrary(1900, 2050);
    ASSERT_GT(months.size(), 1800u);
    const QDate first(1901, 1, 1), last(2049, 12, 31);
    int checked = 0, leapMonths = 0;
    for (size_t i = 0; i + 1 < months.size(); ++i) {
        const LunarMonth& m = months[i];
        const QDate lastDay = months[i + 1].firstDay.addDays(-1);
        const qint64 length = m.firstDay.daysTo(lastDay) + 1;
        ASSERT_TRUE(length == 29 || length == 30) << m.year << "-" << m.month;
        const std::pair<QDate, QString> cases[2] = {
            {m.firstDay, expectedMonthName(m.month, m.leap)},
            {lastDay, length == 30 ? QStringLiteral("三十") : QStringLiteral("廿九")}};
        for (const auto& [day, expected] : cases) {
            if (day < first || day > last) continue;
            ASSERT_TRUE(h.calendar->setDate(at(day.year(), day.month(), day.day())));
            int row = 0, column = 0;
            ASSERT_TRUE(h.calendar->findCell(day, row, column));
            EXPECT_EQ(h.calendar->cellLunarText(row, column), expected)
                << day.toString(Qt::ISODate).toStdString() << " lunar " << m.year << "-"
                << (m.leap ? "leap " : "") << m.month;
            EXPECT_EQ(h.calendar->cellDayText(row, column), QString::number(day.day()));
            ++checked;
        }
        if (m.leap && m.firstDay >= first && m.firstDay <= last) ++leapMonths;
    }
    EXPECT_GT(checked, 3600);
    EXPECT_GT(leapMonths, 50);  // about one in three years
}

// The 11th months of 1954 and 1956 begin on the day of their new moon, one day before the
// library's tables; the 10th months before them have 29 days and the 12th months are unmoved.
TEST(MonthCalendarCells, CorrectedLunarMonthsOf1954And1956AsDrawn) {
    Host h;
    const std::pair<QDate, const char*> cases[] = {
        {QDate(1954, 10, 27), "十月"}, {QDate(1954, 11, 24), "廿九"}, {QDate(1954, 11, 25), "冬月"},
        {QDate(1954, 11, 26), "初二"}, {QDate(1954, 12, 24), "三十"}, {QDate(1954, 12, 25), "腊月"},
        {QDate(1956, 11, 3), "十月"},  {QDate(1956, 12, 1), "廿九"},  {QDate(1956, 12, 2), "冬月"},
        {QDate(1956, 12, 3), "初二"},  {QDate(1956, 12, 31), "三十"}, {QDate(1957, 1, 1), "腊月"},
    };
    for (const auto& [day, expected] : cases) {
        ASSERT_TRUE(h.calendar->setDate(at(day.year(), day.month(), day.day())));
        int row = 0, column = 0;
        ASSERT_TRUE(h.calendar->findCell(day, row, column));
        EXPECT_EQ(h.calendar->cellLunarText(row, column), QString::fromUtf8(expected))
            << day.toString(Qt::ISODate).toStdString();
    }
}
