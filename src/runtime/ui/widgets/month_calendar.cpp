// Month calendar drawing and input. The page's 42 cells, with their texts, are worked out once
// per page turn (lunar conversion is the dear part) and the painter only reads them back, so
// cellLunarText is exactly what the screen shows.
#include "runtime/ui/widgets/month_calendar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "runtime/lunar/lunar.h"

namespace runtime::ui::widgets {
namespace {

const char* const kWeekdayNames[7] = {"日", "一", "二", "三", "四", "五", "六"};

QDate toQDate(DateTime t) {
    CivilTime c = toCivil(dayOf(t));
    return QDate(c.year, c.month, c.day);
}

// The time of day carried by a date-time, as a fraction of a day.
double timeOfDay(DateTime t) { return instantOf(t) - instantOf(dayOf(t)); }

}  // namespace

MonthCalendar::MonthCalendar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    DateTime now = getCurrentDateTime();
    if (!isInRange(now)) now = makeDate(2000, 1, 1);
    date_ = now;
    QDate d = day();
    showPage(d.year(), d.month());
}

bool MonthCalendar::isInRange(DateTime date) {
    if (!(instantOf(date) >= kMinDateTime && instantOf(date) <= kMaxDateTime + 1)) return false;
    const int year = getDateTimePart(dayOf(date), DatePart::Year);
    return year >= kFirstYear && year <= kLastYear;
}

bool MonthCalendar::setDate(DateTime date) {
    if (!isInRange(date)) return false;
    date_ = date;
    QDate d = day();
    showPage(d.year(), d.month());
    update();
    return true;
}

QDate MonthCalendar::day() const { return toQDate(date_); }

void MonthCalendar::choose(QDate chosen) {
    if (!chosen.isValid() || chosen.year() < kFirstYear || chosen.year() > kLastYear || chosen == day())
        return;
    DateTime next =
        fromInstant(instantOf(makeDate(chosen.year(), chosen.month(), chosen.day())) + timeOfDay(date_));
    if (!isInRange(next)) return;
    date_ = next;
    showPage(chosen.year(), chosen.month());
    update();
    emit dateChanged();
}

void MonthCalendar::showPage(int year, int month) {
    pageYear_ = year;
    pageMonth_ = month;
    const QDate first(year, month, 1);
    // Sunday-first weeks: Qt numbers Monday 1 .. Sunday 7.
    const QDate start = first.addDays(-(first.dayOfWeek() % 7));
    for (int i = 0; i < kRows * kColumns; ++i) {
        Cell& cell = cells_[static_cast<size_t>(i)];
        cell.date = start.addDays(i);
        cell.dayText = QString::number(cell.date.day());
        const auto l = lunar::fromSolar(cell.date.year(), cell.date.month(), cell.date.day());
        cell.monthStart = l && l->day == 1;
        cell.lunarText = !l ? QString()
                            : QString::fromStdString(cell.monthStart ? lunar::monthName(l->month, l->leap)
                                                                     : lunar::dayName(l->day));
    }
}

QDate MonthCalendar::cellDate(int row, int column) const {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) return {};
    return cells_[static_cast<size_t>(row * kColumns + column)].date;
}

QString MonthCalendar::cellDayText(int row, int column) const {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) return {};
    return cells_[static_cast<size_t>(row * kColumns + column)].dayText;
}

QString MonthCalendar::cellLunarText(int row, int column) const {
    if (row < 0 || row >= kRows || column < 0 || column >= kColumns) return {};
    return cells_[static_cast<size_t>(row * kColumns + column)].lunarText;
}

bool MonthCalendar::findCell(QDate d, int& row, int& column) const {
    const qint64 offset = cells_[0].date.daysTo(d);
    if (offset < 0 || offset >= kRows * kColumns) return false;
    row = static_cast<int>(offset / kColumns);
    column = static_cast<int>(offset % kColumns);
    return true;
}

int MonthCalendar::headerHeight() const { return std::max(24, fontMetrics().height() + 10); }
int MonthCalendar::weekdayRowHeight() const { return std::max(18, fontMetrics().height() + 4); }

QRect MonthCalendar::cellRect(int row, int column) const {
    const int top = headerHeight() + weekdayRowHeight();
    const int h = height() - top;
    const int y0 = top + h * row / kRows;
    const int y1 = top + h * (row + 1) / kRows;
    const int x0 = width() * column / kColumns;
    const int x1 = width() * (column + 1) / kColumns;
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

QRect MonthCalendar::previousMonthRect() const { return QRect(4, 2, 32, headerHeight() - 4); }
QRect MonthCalendar::nextMonthRect() const { return QRect(width() - 36, 2, 32, headerHeight() - 4); }

void MonthCalendar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QColor headerBack(52, 101, 164);
    const QColor weekdayBack(230, 236, 245);
    const QColor selectedBack(66, 133, 214);
    const QColor weekendText(200, 40, 40);
    const QColor lunarText(110, 110, 110);
    const QColor monthStartText(190, 60, 20);
    const QColor otherMonthText(180, 180, 180);

    p.fillRect(rect(), Qt::white);

    // Title band: arrows and "2024年3月".
    const QRect header(0, 0, width(), headerHeight());
    p.fillRect(header, headerBack);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(font().pointSizeF() > 0 ? font().pointSizeF() * 1.15 : 10);
    p.setFont(titleFont);
    p.setPen(Qt::white);
    p.drawText(header, Qt::AlignCenter, QStringLiteral("%1年%2月").arg(pageYear_).arg(pageMonth_));
    p.drawText(previousMonthRect(), Qt::AlignCenter, QStringLiteral("◀"));
    p.drawText(nextMonthRect(), Qt::AlignCenter, QStringLiteral("▶"));

    // Weekday names.
    const QRect weekdays(0, header.bottom() + 1, width(), weekdayRowHeight());
    p.fillRect(weekdays, weekdayBack);
    p.setFont(font());
    for (int c = 0; c < kColumns; ++c) {
        QRect r = cellRect(0, c);
        r.setTop(weekdays.top());
        r.setHeight(weekdays.height());
        p.setPen(c == 0 || c == 6 ? weekendText : QColor(60, 60, 60));
        p.drawText(r, Qt::AlignCenter, QString::fromUtf8(kWeekdayNames[c]));
    }

    const QDate chosen = day();
    const QDate today = toQDate(getCurrentDateTime());
    QFont dayFont = font();
    dayFont.setPointSizeF(font().pointSizeF() > 0 ? font().pointSizeF() * 1.3 : 12);
    QFont lunarFont = font();
    lunarFont.setPointSizeF(font().pointSizeF() > 0 ? font().pointSizeF() * 0.85 : 8);

    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const QRect r = cellRect(row, column);
            const QDate d = cellDate(row, column);
            const bool inMonth = d.month() == pageMonth_;
            const bool selected = d == chosen;
            if (selected) p.fillRect(r.adjusted(1, 1, -1, -1), selectedBack);
            if (d == today) {
                p.setPen(QPen(weekendText, 1));
                p.drawRect(r.adjusted(1, 1, -2, -2));
            }
            const int split = r.top() + r.height() * 11 / 20;
            const QRect dayRect(r.left(), r.top(), r.width(), split - r.top());
            const QRect lunarRect(r.left(), split, r.width(), r.bottom() - split);

            QColor dayColour = (column == 0 || column == 6) ? weekendText : QColor(30, 30, 30);
            if (!inMonth) dayColour = otherMonthText;
            if (selected) dayColour = Qt::white;
            p.setFont(dayFont);
            p.setPen(dayColour);
            p.drawText(dayRect, Qt::AlignHCenter | Qt::AlignBottom, cellDayText(row, column));

            QColor lunarColour =
                cells_[static_cast<size_t>(row * kColumns + column)].monthStart ? monthStartText : lunarText;
            if (!inMonth) lunarColour = otherMonthText;
            if (selected) lunarColour = Qt::white;
            p.setFont(lunarFont);
            p.setPen(lunarColour);
            p.drawText(lunarRect, Qt::AlignHCenter | Qt::AlignTop, cellLunarText(row, column));
        }
    }
    // Thin lines between the weeks.
    p.setPen(QColor(235, 235, 235));
    for (int row = 1; row < kRows; ++row) {
        const int y = cellRect(row, 0).top();
        p.drawLine(0, y, width(), y);
    }
    if (hasFocus()) {
        p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void MonthCalendar::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        emit rightButtonPressed(pos);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    if (previousMonthRect().contains(pos)) {
        choose(day().addMonths(-1));
        return;
    }
    if (nextMonthRect().contains(pos)) {
        choose(day().addMonths(1));
        return;
    }
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column)
            if (cellRect(row, column).contains(pos)) {
                choose(cellDate(row, column));
                return;
            }
}

void MonthCalendar::wheelEvent(QWheelEvent* event) {
    // Whole notches, rounded toward zero: a turn of less than one notch counts as 0.
    emit wheelTurned(event->angleDelta().y() / 120);
    event->accept();
}

void MonthCalendar::keyPressEvent(QKeyEvent* event) {
    const QDate d = day();
    switch (event->key()) {
        case Qt::Key_Left: choose(d.addDays(-1)); break;
        case Qt::Key_Right: choose(d.addDays(1)); break;
        case Qt::Key_Up: choose(d.addDays(-7)); break;
        case Qt::Key_Down: choose(d.addDays(7)); break;
        case Qt::Key_PageUp: choose(d.addMonths(-1)); break;
        case Qt::Key_PageDown: choose(d.addMonths(1)); break;
        case Qt::Key_Home: choose(toQDate(getCurrentDateTime())); break;
        default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

}  // namespace runtime::ui::widgets
