// Week grid painting, scrolling and input. Row 0 is painted at the top of the viewport and does
// not scroll; the other rows scroll vertically under it, all columns horizontally. Scroll bar
// values are pixels.
#include "runtime/ui/widgets/week_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace runtime::ui::widgets {

WeekGrid::WeekGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    reset();
}

void WeekGrid::reset() {
    rows_ = 0;
    columns_ = 0;
    cells_.clear();
    resizeCells(kDesignRows, kDesignColumns);
    rowHeights_.assign(static_cast<size_t>(rows_), kDefaultRowHeight);
    columnWidths_.assign(static_cast<size_t>(columns_), kDefaultColumnWidth);
    focusRow_ = 1;
    focusColumn_ = 0;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void WeekGrid::resizeCells(int rows, int columns) {
    std::vector<Cell> next(static_cast<size_t>(rows) * columns);
    for (int r = 0; r < std::min(rows, rows_); ++r)
        for (int c = 0; c < std::min(columns, columns_); ++c)
            next[static_cast<size_t>(r) * columns + c] = std::move(cell(r, c));
    cells_ = std::move(next);
    rows_ = rows;
    columns_ = columns;
    focusRow_ = std::clamp(focusRow_, 0, std::max(0, rows_ - 1));
    focusColumn_ = std::clamp(focusColumn_, 0, std::max(0, columns_ - 1));
}

void WeekGrid::setRowCount(int rows) {
    if (rows < 0) return;
    resizeCells(rows, columns_);
    rowHeights_.assign(static_cast<size_t>(rows_), kDefaultRowHeight);
    updateScrollBars();
    viewport()->update();
}

void WeekGrid::setColumnCount(int columns) {
    if (columns < 0) return;
    resizeCells(rows_, columns);
    columnWidths_.assign(static_cast<size_t>(columns_), kDefaultColumnWidth);
    updateScrollBars();
    viewport()->update();
}

bool WeekGrid::contains(int row, int column) const {
    return row >= 0 && row < rows_ && column >= 0 && column < columns_;
}

bool WeekGrid::clipBlock(int& row, int& column, int& endRow, int& endColumn) const {
    if (!contains(row, column)) return false;
    endRow = std::min(endRow, rows_ - 1);
    endColumn = std::min(endColumn, columns_ - 1);
    return endRow >= row && endColumn >= column;
}

void WeekGrid::setCellText(int row, int column, const QString& text) {
    if (!contains(row, column)) return;
    cell(row, column).text = text;
    viewport()->update();
}

QString WeekGrid::cellText(int row, int column) const {
    return contains(row, column) ? cell(row, column).text : QString();
}

void WeekGrid::setColumnWidth(int column, int width) {
    if (column < 0 || column >= columns_) return;
    columnWidths_[static_cast<size_t>(column)] = std::clamp(width, 0, kMaxExtent);
    updateScrollBars();
    viewport()->update();
}

int WeekGrid::columnWidth(int column) const {
    return column >= 0 && column < columns_ ? columnWidths_[static_cast<size_t>(column)] : 0;
}

void WeekGrid::setRowHeight(int row, int height) {
    if (row < 0 || row >= rows_) return;
    rowHeights_[static_cast<size_t>(row)] = std::clamp(height, 0, kMaxExtent);
    updateScrollBars();
    viewport()->update();
}

int WeekGrid::rowHeight(int row) const {
    return row >= 0 && row < rows_ ? rowHeights_[static_cast<size_t>(row)] : 0;
}

void WeekGrid::setCentred(int row, int column, int endRow, int endColumn) {
    if (!clipBlock(row, column, endRow, endColumn)) return;
    for (int r = row; r <= endRow; ++r)
        for (int c = column; c <= endColumn; ++c) cell(r, c).centred = true;
    viewport()->update();
}

void WeekGrid::setWordWrap(int row, int column, int endRow, int endColumn, bool on) {
    if (!clipBlock(row, column, endRow, endColumn)) return;
    for (int r = row; r <= endRow; ++r)
        for (int c = column; c <= endColumn; ++c) cell(r, c).wrap = on;
    viewport()->update();
}

void WeekGrid::setBackColour(int row, int column, int endRow, int endColumn, const QColor& colour) {
    if (!clipBlock(row, column, endRow, endColumn)) return;
    for (int r = row; r <= endRow; ++r)
        for (int c = column; c <= endColumn; ++c) cell(r, c).back = colour;
    viewport()->update();
}

void WeekGrid::setBold(int row, int column, int endRow, int endColumn) {
    if (!clipBlock(row, column, endRow, endColumn)) return;
    for (int r = row; r <= endRow; ++r)
        for (int c = column; c <= endColumn; ++c) cell(r, c).bold = true;
    viewport()->update();
}

bool WeekGrid::isCentred(int row, int column) const {
    return contains(row, column) && cell(row, column).centred;
}
bool WeekGrid::wordWrap(int row, int column) const { return contains(row, column) && cell(row, column).wrap; }
bool WeekGrid::isBold(int row, int column) const { return contains(row, column) && cell(row, column).bold; }
QColor WeekGrid::backColour(int row, int column) const {
    return contains(row, column) ? cell(row, column).back : QColor();
}

int WeekGrid::fixedHeight() const { return rows_ > 0 ? rowHeights_[0] : 0; }

int WeekGrid::scrollingHeight() const {
    int h = 0;
    for (int r = 1; r < rows_; ++r) h += rowHeights_[static_cast<size_t>(r)];
    return h;
}

int WeekGrid::totalWidth() const {
    int w = 0;
    for (int c = 0; c < columns_; ++c) w += columnWidths_[static_cast<size_t>(c)];
    return w;
}

void WeekGrid::updateScrollBars() {
    const QSize view = viewport()->size();
    verticalScrollBar()->setPageStep(std::max(1, view.height() - fixedHeight()));
    verticalScrollBar()->setRange(0, std::max(0, scrollingHeight() - (view.height() - fixedHeight())));
    verticalScrollBar()->setSingleStep(kDefaultRowHeight);
    horizontalScrollBar()->setPageStep(std::max(1, view.width()));
    horizontalScrollBar()->setRange(0, std::max(0, totalWidth() - view.width()));
    horizontalScrollBar()->setSingleStep(kDefaultColumnWidth / 2);
}

QRect WeekGrid::cellRect(int row, int column) const {
    if (!contains(row, column)) return {};
    int x = -horizontalScrollBar()->value();
    for (int c = 0; c < column; ++c) x += columnWidths_[static_cast<size_t>(c)];
    int y = 0;
    if (row > 0) {
        y = fixedHeight() - verticalScrollBar()->value();
        for (int r = 1; r < row; ++r) y += rowHeights_[static_cast<size_t>(r)];
    }
    return QRect(x, y, columnWidths_[static_cast<size_t>(column)], rowHeights_[static_cast<size_t>(row)]);
}

bool WeekGrid::cellAt(QPoint p, int& row, int& column) const {
    for (int r = 0; r < rows_; ++r) {
        // A scrolling row hidden under the fixed row is not hit there.
        for (int c = 0; c < columns_; ++c) {
            const QRect rect = cellRect(r, c);
            if (rect.isEmpty() || !rect.contains(p)) continue;
            if (r > 0 && p.y() < fixedHeight()) continue;
            row = r;
            column = c;
            return true;
        }
    }
    return false;
}

void WeekGrid::setFocusCell(int row, int column) {
    if (!contains(row, column)) return;
    focusRow_ = row;
    focusColumn_ = column;
    if (row > 0) {
        int top = 0;
        for (int r = 1; r < row; ++r) top += rowHeights_[static_cast<size_t>(r)];
        const int visible = viewport()->height() - fixedHeight();
        QScrollBar* v = verticalScrollBar();
        if (top < v->value())
            v->setValue(top);
        else if (top + rowHeights_[static_cast<size_t>(row)] > v->value() + visible)
            v->setValue(top + rowHeights_[static_cast<size_t>(row)] - visible);
    }
    int left = 0;
    for (int c = 0; c < column; ++c) left += columnWidths_[static_cast<size_t>(c)];
    QScrollBar* h = horizontalScrollBar();
    if (left < h->value())
        h->setValue(left);
    else if (left + columnWidths_[static_cast<size_t>(column)] > h->value() + viewport()->width())
        h->setValue(left + columnWidths_[static_cast<size_t>(column)] - viewport()->width());
    viewport()->update();
}

void WeekGrid::paintCell(QPainter& p, int row, int column, const QRect& rect) const {
    const Cell& c = cell(row, column);
    QColor back = c.back.isValid() ? c.back : (row == 0 ? QColor(240, 240, 240) : QColor(Qt::white));
    p.fillRect(rect, back);
    p.setPen(QColor(200, 200, 200));
    p.drawLine(rect.topRight(), rect.bottomRight());
    p.drawLine(rect.bottomLeft(), rect.bottomRight());
    if (row == focusRow_ && column == focusColumn_) {
        p.setPen(QPen(QColor(30, 90, 200), 2));
        p.drawRect(rect.adjusted(1, 1, -1, -1));
    }
    if (c.text.isEmpty()) return;
    QFont f = font();
    f.setBold(c.bold);
    p.setFont(f);
    p.setPen(Qt::black);
    QString text = c.text;
    text.remove(QLatin1Char('\r'));
    int flags = Qt::AlignVCenter | (c.centred ? Qt::AlignHCenter : Qt::AlignLeft);
    const QRect inner = rect.adjusted(3, 1, -3, -1);
    if (c.wrap) {
        flags |= Qt::TextWordWrap;
        while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        // Text taller than its row shows its beginning rather than its middle.
        const QRect needed = QFontMetrics(f).boundingRect(inner, flags, text);
        if (needed.height() > inner.height()) flags = (flags & ~Qt::AlignVCenter) | Qt::AlignTop;
        p.drawText(inner, flags, text);
    } else {
        text = text.section(QLatin1Char('\n'), 0, 0);
        p.drawText(inner, flags | Qt::TextSingleLine,
                   fontMetrics().elidedText(text, Qt::ElideRight, inner.width()));
    }
}

void WeekGrid::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Qt::white);
    p.save();
    p.setClipRect(QRect(0, fixedHeight(), viewport()->width(), viewport()->height() - fixedHeight()));
    for (int r = 1; r < rows_; ++r)
        for (int c = 0; c < columns_; ++c) {
            const QRect rect = cellRect(r, c);
            if (rect.isEmpty() || !rect.intersects(viewport()->rect())) continue;
            p.save();
            p.setClipRect(rect, Qt::IntersectClip);
            paintCell(p, r, c, rect);
            p.restore();
        }
    p.restore();
    if (rows_ > 0)
        for (int c = 0; c < columns_; ++c) {
            const QRect rect = cellRect(0, c);
            if (rect.isEmpty()) continue;
            p.save();
            p.setClipRect(rect);
            paintCell(p, 0, c, rect);
            p.restore();
        }
}

void WeekGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        emit rightButtonDown(pos);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    int row = 0, column = 0;
    if (!cellAt(pos, row, column)) return;
    setFocusCell(row, column);
    emit cellClicked(row, column);
}

void WeekGrid::keyPressEvent(QKeyEvent* event) {
    int row = focusRow_, column = focusColumn_;
    switch (event->key()) {
        case Qt::Key_Up: --row; break;
        case Qt::Key_Down: ++row; break;
        case Qt::Key_Left: --column; break;
        case Qt::Key_Right: ++column; break;
        default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    setFocusCell(row, column);
    event->accept();
}

void WeekGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void WeekGrid::scrollContentsBy(int, int) { viewport()->update(); }

}  // namespace runtime::ui::widgets
