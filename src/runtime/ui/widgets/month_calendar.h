// The month calendar: one month page of six weeks, each day drawn with its Gregorian day and its
// Chinese lunar date (the month's name on the first day of a lunar month, else the lunar day).
// It holds one date-time, the date the user or the program chose, with whatever time of day it
// was given.
//
// | What happens                  | Function / input           | Date        | Signal         |
// |-------------------------------|----------------------------|-------------|----------------|
// | program sets a date in range  | setDate                    | taken       | none           |
// | program sets a date outside   | setDate                    | kept        | none           |
// | user clicks a day             | left button on a cell      | taken       | dateChanged    |
// | user pages a month            | the arrows, PageUp/PageDown| +-1 month   | dateChanged    |
// | user moves by keys            | arrow keys, Home           | moved       | dateChanged    |
// | wheel over the calendar       | wheelEvent                 | unchanged   | wheelTurned    |
// | right button                  | mousePressEvent            | unchanged   | rightButton    |
//
// A user's choice keeps the time of day of the date it replaces. Dates outside 1901 .. 2049 are
// never taken, from the user or the program.
#pragma once

#include <QDate>
#include <QString>
#include <QWidget>
#include <array>

#include "runtime/base/datetime.h"

namespace runtime::ui::widgets {

class MonthCalendar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFirstYear = 1901;
    static constexpr int kLastYear = 2049;
    static constexpr int kRows = 6;     // weeks on a page
    static constexpr int kColumns = 7;  // Sunday first

    explicit MonthCalendar(QWidget* parent = nullptr);

    DateTime date() const { return date_; }
    // Takes the date-time (time of day kept) and turns the page to its month; false, and the
    // calendar keeps its date, when its year lies outside 1901 .. 2049. Emits nothing.
    bool setDate(DateTime date);
    static bool isInRange(DateTime date);

    // The month on show.
    int pageYear() const { return pageYear_; }
    int pageMonth() const { return pageMonth_; }

    // The cells of the page, as the painter draws them: row 0 .. 5, column 0 (Sunday) .. 6.
    QDate cellDate(int row, int column) const;
    QString cellDayText(int row, int column) const;
    QString cellLunarText(int row, int column) const;
    // Where a day sits on the current page; false when it is not on it.
    bool findCell(QDate day, int& row, int& column) const;
    QRect cellRect(int row, int column) const;
    QRect previousMonthRect() const;
    QRect nextMonthRect() const;

    QSize sizeHint() const override { return {365, 262}; }

signals:
    // The user chose another date (event 0 of the control).
    void dateChanged();
    // The wheel turned over the calendar, in whole notches (positive away from the user); the
    // calendar does not page by itself.
    void wheelTurned(int notches);
    // The right button went down over the calendar (the control's event 3).
    void rightButtonPressed(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Cell {
        QDate date;
        QString dayText;
        QString lunarText;
        bool monthStart = false;  // first day of a lunar month: its text is the month's name
    };

    QDate day() const;
    void choose(QDate day);  // a user's choice
    void showPage(int year, int month);
    int headerHeight() const;
    int weekdayRowHeight() const;

    DateTime date_;
    int pageYear_ = 0;
    int pageMonth_ = 0;
    std::array<Cell, kRows * kColumns> cells_;
};

}  // namespace runtime::ui::widgets
