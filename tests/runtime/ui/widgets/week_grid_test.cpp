// The week grid's operations as the week view drives them, with their clipping rules, and the
// user's clicks.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "runtime/ui/widgets/week_grid.h"

using runtime::ui::widgets::WeekGrid;

namespace {

struct Host {
    QWidget window;
    WeekGrid* grid;
    Host() {
        auto* g = new WeekGrid(&window);
        g->setObjectName(QStringLiteral("高级表格_周历"));
        g->setGeometry(0, 0, 365, 262);
        window.resize(365, 262);
        window.show();
        grid = window.findChild<WeekGrid*>(QStringLiteral("高级表格_周历"));
    }
};

}  // namespace

TEST(WeekGridDesign, ResetRestoresTheDesignState) {
    Host h;
    ASSERT_TRUE(h.grid);
    h.grid->setRowCount(8);
    h.grid->setColumnCount(7);
    h.grid->setCellText(2, 2, QStringLiteral("x"));
    h.grid->setBold(0, 0, 0, 4);
    h.grid->setBackColour(1, 1, 3, 3, QColor(236, 236, 236));
    h.grid->setRowHeight(1, 50);
    h.grid->setColumnWidth(0, 0);
    h.grid->setFocusCell(6, 5);
    h.grid->reset();
    EXPECT_EQ(h.grid->rowCount(), 5);
    EXPECT_EQ(h.grid->columnCount(), 5);
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(h.grid->rowHeight(r), 24);
        for (int c = 0; c < 5; ++c) {
            EXPECT_TRUE(h.grid->cellText(r, c).isEmpty());
            EXPECT_FALSE(h.grid->isBold(r, c));
            EXPECT_FALSE(h.grid->backColour(r, c).isValid());
            EXPECT_FALSE(h.grid->isCentred(r, c));
            EXPECT_FALSE(h.grid->wordWrap(r, c));
        }
    }
    for (int c = 0; c < 5; ++c) EXPECT_EQ(h.grid->columnWidth(c), 60);
    EXPECT_EQ(h.grid->focusRow(), 1);
    EXPECT_EQ(h.grid->focusColumn(), 0);
}

TEST(WeekGridCounts, NewCountsResetHeightsAndWidthsAndKeepRemainingTexts) {
    Host h;
    h.grid->setCellText(1, 1, QStringLiteral("保留"));
    h.grid->setCellText(4, 4, QStringLiteral("cut"));
    h.grid->setRowHeight(1, 40);
    h.grid->setColumnWidth(1, 99);
    h.grid->setRowCount(8);
    EXPECT_EQ(h.grid->rowHeight(1), 24);
    EXPECT_EQ(h.grid->columnWidth(1), 99);  // a row count leaves the widths alone
    h.grid->setColumnCount(4);
    EXPECT_EQ(h.grid->columnWidth(1), 60);
    EXPECT_EQ(h.grid->cellText(1, 1), QStringLiteral("保留"));
    EXPECT_TRUE(h.grid->cellText(4, 4).isEmpty());
    h.grid->setColumnCount(5);
    EXPECT_TRUE(h.grid->cellText(4, 4).isEmpty());  // a cut column does not come back
    h.grid->setRowCount(-1);
    EXPECT_EQ(h.grid->rowCount(), 8);
}

TEST(WeekGridCells, OutsideTheGridWritesNothingAndReadsEmpty) {
    Host h;
    h.grid->setCellText(5, 0, QStringLiteral("x"));
    h.grid->setCellText(-1, 0, QStringLiteral("x"));
    h.grid->setCellText(0, 5, QStringLiteral("x"));
    EXPECT_TRUE(h.grid->cellText(5, 0).isEmpty());
    EXPECT_TRUE(h.grid->cellText(0, -1).isEmpty());
    h.grid->setRowHeight(9, 10);
    h.grid->setColumnWidth(-2, 10);
    EXPECT_EQ(h.grid->rowHeight(9), 0);
    h.grid->setFocusCell(7, 0);
    EXPECT_EQ(h.grid->focusRow(), 1);
}

TEST(WeekGridBlocks, EndsAreClippedToTheLastRowAndColumn) {
    Host h;
    h.grid->setRowCount(8);
    h.grid->setBackColour(1, 1, 8, 2, QColor(236, 236, 236));
    h.grid->setWordWrap(1, 3, 8, 8, true);
    h.grid->setCentred(0, 0, 8, 2);
    h.grid->setBold(0, 0, 0, 4);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(h.grid->backColour(r, c).isValid(), r >= 1 && c >= 1 && c <= 2) << r << "," << c;
            EXPECT_EQ(h.grid->wordWrap(r, c), r >= 1 && c >= 3) << r << "," << c;
            EXPECT_EQ(h.grid->isCentred(r, c), c <= 2) << r << "," << c;
            EXPECT_EQ(h.grid->isBold(r, c), r == 0) << r << "," << c;
        }
    EXPECT_EQ(h.grid->backColour(7, 2), QColor(236, 236, 236));
}

TEST(WeekGridBlocks, StartOutsideTheGridDoesNothing) {
    Host h;
    h.grid->setBold(5, 0, 9, 4);
    h.grid->setBackColour(0, 5, 4, 9, Qt::red);
    h.grid->setCentred(-1, 0, 4, 4);
    h.grid->setWordWrap(2, 2, 1, 4, true);  // end before start
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            EXPECT_FALSE(h.grid->isBold(r, c));
            EXPECT_FALSE(h.grid->backColour(r, c).isValid());
            EXPECT_FALSE(h.grid->isCentred(r, c));
            EXPECT_FALSE(h.grid->wordWrap(r, c));
        }
}

TEST(WeekGridLayout, ZeroWidthHidesTheColumnFromDrawingAndClicks) {
    Host h;
    h.grid->setColumnWidth(0, 0);
    h.grid->setColumnWidth(1, -5);
    EXPECT_EQ(h.grid->columnWidth(1), 0);
    EXPECT_TRUE(h.grid->cellRect(1, 0).isEmpty());
    int row = -1, column = -1;
    ASSERT_TRUE(h.grid->cellAt(QPoint(2, 30), row, column));
    EXPECT_EQ(column, 2);
    EXPECT_EQ(h.grid->cellRect(1, 2).left(), 0);
}

TEST(WeekGridLayout, HugeSizesFromTheSettingsAreCappedSoPositionsStayExact) {
    Host h;
    h.grid->setRowCount(8);
    for (int r = 1; r < 8; ++r) h.grid->setRowHeight(r, 2147483647);
    h.grid->setColumnWidth(3, 2147483647);
    EXPECT_EQ(h.grid->rowHeight(7), WeekGrid::kMaxExtent);
    EXPECT_EQ(h.grid->columnWidth(3), WeekGrid::kMaxExtent);
    h.grid->setFocusCell(7, 3);  // scrolls: the sums over the rows must not overflow
    QRect last = h.grid->cellRect(7, 3);
    EXPECT_EQ(last.height(), WeekGrid::kMaxExtent);
    EXPECT_GE(last.width(), 0);
}

TEST(WeekGridLayout, FocusCellScrollsIntoViewUnderTheFixedHeaderRow) {
    Host h;
    h.grid->setRowCount(8);
    for (int r = 1; r < 8; ++r) h.grid->setRowHeight(r, 60);
    h.grid->setFocusCell(7, 2);
    const QRect cell = h.grid->cellRect(7, 2);
    EXPECT_GE(cell.top(), h.grid->rowHeight(0));
    EXPECT_LE(cell.bottom(), h.grid->viewport()->height());
    EXPECT_EQ(h.grid->cellRect(0, 2).top(), 0);  // the header row stays at the top
    h.grid->setFocusCell(1, 0);
    EXPECT_EQ(h.grid->cellRect(1, 0).top(), h.grid->rowHeight(0));
}

TEST(WeekGridInput, LeftClickMakesTheFocusCellAndRaisesCellClicked) {
    Host h;
    h.grid->setRowCount(8);
    QSignalSpy clicked(h.grid, &WeekGrid::cellClicked);
    QTest::mouseClick(h.grid->viewport(), Qt::LeftButton, {}, h.grid->cellRect(3, 2).center());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked[0][0].toInt(), 3);
    EXPECT_EQ(clicked[0][1].toInt(), 2);
    EXPECT_EQ(h.grid->focusRow(), 3);
    EXPECT_EQ(h.grid->focusColumn(), 2);
    // The header row is a cell like the others.
    QTest::mouseClick(h.grid->viewport(), Qt::LeftButton, {}, h.grid->cellRect(0, 1).center());
    EXPECT_EQ(h.grid->focusRow(), 0);
    EXPECT_EQ(clicked.count(), 2);
}

TEST(WeekGridInput, RightButtonRaisesItsEventAndKeepsTheFocusCell) {
    Host h;
    h.grid->setFocusCell(2, 2);
    QSignalSpy right(h.grid, &WeekGrid::rightButtonDown);
    QSignalSpy clicked(h.grid, &WeekGrid::cellClicked);
    QTest::mouseClick(h.grid->viewport(), Qt::RightButton, {}, h.grid->cellRect(3, 3).center());
    EXPECT_EQ(right.count(), 1);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(h.grid->focusRow(), 2);
}
