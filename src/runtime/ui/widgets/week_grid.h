// The week grid: a small table of text cells with per-cell format (centring, word wrap, back
// colour, bold), row 0 fixed at the top as the header row, one focus cell, per-row heights and
// per-column widths. The program fills it cell by cell; the user only clicks.
//
// Design state (what reset() restores): 5 rows, 5 columns, row 0 fixed, every row 24 pixels
// high, every column 60 pixels wide, no text, no format, focus cell row 1, column 0.
//
// Clipping, the same for every operation that names a block (row, column, endRow, endColumn):
// nothing happens when the start lies outside the grid; the end is cut to the last row and
// column. Single-cell operations outside the grid do nothing and reads answer empty.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QString>
#include <vector>

namespace runtime::ui::widgets {

class WeekGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kDesignRows = 5;
    static constexpr int kDesignColumns = 5;
    static constexpr int kDefaultRowHeight = 24;
    static constexpr int kDefaultColumnWidth = 60;
    // Sizes come unchecked from the settings file; capped so that the sums over all rows and
    // columns stay far inside int.
    static constexpr int kMaxExtent = 100000;

    explicit WeekGrid(QWidget* parent = nullptr);

    void reset();

    int rowCount() const { return rows_; }
    int columnCount() const { return columns_; }
    // A new count keeps the texts of the cells that remain and gives every row (every column)
    // the default height (width) again. Negative counts are ignored.
    void setRowCount(int rows);
    void setColumnCount(int columns);

    void setCellText(int row, int column, const QString& text);
    QString cellText(int row, int column) const;

    // Width 0 hides the column; a negative width counts as 0.
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;
    // Height 0 hides the row; a negative height counts as 0, one above kMaxExtent as kMaxExtent.
    void setRowHeight(int row, int height);
    int rowHeight(int row) const;

    // Block formats; text is always centred vertically.
    void setCentred(int row, int column, int endRow, int endColumn);
    void setWordWrap(int row, int column, int endRow, int endColumn, bool on);
    void setBackColour(int row, int column, int endRow, int endColumn, const QColor& colour);
    void setBold(int row, int column, int endRow, int endColumn);
    bool isCentred(int row, int column) const;
    bool wordWrap(int row, int column) const;
    QColor backColour(int row, int column) const;  // invalid when the cell has none of its own
    bool isBold(int row, int column) const;

    // The focus cell; setting it scrolls it into view.
    void setFocusCell(int row, int column);
    int focusRow() const { return focusRow_; }
    int focusColumn() const { return focusColumn_; }

    // The cell's place in the viewport's coordinates (empty for a hidden row or column).
    QRect cellRect(int row, int column) const;
    // The cell under a viewport point; false outside every cell.
    bool cellAt(QPoint viewportPoint, int& row, int& column) const;

    QSize sizeHint() const override { return {365, 262}; }

signals:
    // The user pressed the left button on a cell, which is now the focus cell (event 5).
    void cellClicked(int row, int column);
    // The right button went down over the grid (the control's right-button-down event).
    void rightButtonDown(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Cell {
        QString text;
        QColor back;
        bool centred = false;
        bool wrap = false;
        bool bold = false;
    };

    bool clipBlock(int& row, int& column, int& endRow, int& endColumn) const;
    bool contains(int row, int column) const;
    Cell& cell(int row, int column) { return cells_[static_cast<size_t>(row) * columns_ + column]; }
    const Cell& cell(int row, int column) const {
        return cells_[static_cast<size_t>(row) * columns_ + column];
    }
    void resizeCells(int rows, int columns);
    int fixedHeight() const;
    int scrollingHeight() const;
    int totalWidth() const;
    void updateScrollBars();
    void paintCell(QPainter& painter, int row, int column, const QRect& rect) const;

    int rows_ = 0;
    int columns_ = 0;
    std::vector<Cell> cells_;
    std::vector<int> rowHeights_;
    std::vector<int> columnWidths_;
    int focusRow_ = 1;
    int focusColumn_ = 0;
};

}  // namespace runtime::ui::widgets
