// Data-bound table view: layout (zoom, widths), the 1-based row and selection interface, and
// the signals the window system turns into events.
#include "runtime/ui/widgets/table_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

namespace runtime::ui::widgets {

TableView::TableView(QWidget* parent) : QTableView(parent), model_(new TableModel(this)) {
    setModel(model_);
    baseFont_ = font();
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid()) emit currentCellChanged(current.row() + 1, current.column() + 1);
            });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { applyLayout(); });
    applyLayout();
}

void TableView::showTable(const std::string& path) {
    model_->setPath(path);
    applyLayout();
}

void TableView::setReadOnly(bool readOnly) {
    model_->setReadOnly(readOnly);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed);
}

int TableView::defaultWidthUnits(int column) const {
    store::Table* t = model_->table();
    if (!t || column < 1 || column > static_cast<int>(t->fields().size())) return 250;
    const store::FieldDef& f = t->fields()[static_cast<size_t>(column - 1)];
    switch (f.type) {
        case store::FieldType::DateTime: return 300;
        case store::FieldType::Integer: return 150;
        case store::FieldType::Text: return std::clamp(f.width * 20, 150, 600);
        case store::FieldType::Memo: return 600;
    }
    return 250;
}

int TableView::columnWidthUnits(int column) const {
    auto it = widthUnits_.find(column);
    return it != widthUnits_.end() ? it->second : defaultWidthUnits(column);
}

void TableView::setColumnWidths(int firstColumn, int count, int width) {
    if (firstColumn < 1 || count < 1) return;
    for (int c = firstColumn; c < firstColumn + count; ++c) widthUnits_[c] = std::max(0, width);
    applyLayout();
}

void TableView::setZoom(int percent) {
    zoom_ = std::clamp(percent, kMinZoom, kMaxZoom);
    applyLayout();
}

void TableView::applyLayout() {
    QFont f = baseFont_;
    const double size = baseFont_.pointSizeF() > 0 ? baseFont_.pointSizeF() : 9.0;
    f.setPointSizeF(size * zoom_ / 100.0);
    setFont(f);
    horizontalHeader()->setFont(f);
    verticalHeader()->setFont(f);
    const int rowHeight = QFontMetrics(f).height() + 6;
    verticalHeader()->setMinimumSectionSize(4);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    for (int c = 0; c < model_->columnCount(); ++c) {
        const int px =
            static_cast<int>(std::lround(columnWidthUnits(c + 1) * kPixelsPerUnit * zoom_ / 100.0));
        setColumnHidden(c, px == 0);
        if (px > 0) setColumnWidth(c, px);
    }
}

void TableView::setCurrentRow(int row) {
    if (row < 1 || row > model_->rowCount()) return;
    int column = currentIndex().isValid() ? currentIndex().column() : 0;
    const QModelIndex index = model_->index(row - 1, column);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

int TableView::currentRow() const { return currentIndex().isValid() ? currentIndex().row() + 1 : 0; }
int TableView::currentColumn() const { return currentIndex().isValid() ? currentIndex().column() + 1 : 0; }

int TableView::firstSelectedRow() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return currentRow();
    int row = selected.front().row();
    for (const QModelIndex& i : selected) row = std::min(row, i.row());
    return row + 1;
}

int TableView::firstSelectedColumn() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return currentColumn();
    int column = selected.front().column();
    for (const QModelIndex& i : selected) column = std::min(column, i.column());
    return column + 1;
}

void TableView::selectRange(int row, int column, int endRow, int endColumn) {
    const int rows = model_->rowCount(), columns = model_->columnCount();
    if (row < 1 || column < 1 || row > rows || column > columns) return;
    endRow = std::min(endRow, rows);
    endColumn = std::min(endColumn, columns);
    if (endRow < row || endColumn < column) return;
    const QModelIndex first = model_->index(row - 1, column - 1);
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    selectionModel()->select(QItemSelection(first, model_->index(endRow - 1, endColumn - 1)),
                             QItemSelectionModel::ClearAndSelect);
    scrollTo(first);
}

void TableView::setCellsColour(int row, int column, int endRow, int endColumn, const QColor& colour) {
    model_->setCellColour(row - 1, column - 1, endRow - 1, endColumn - 1, colour);
}

void TableView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The cell under the button becomes current first, so a menu acts on the row clicked.
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid()) selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        emit rightButtonDown(event->position().toPoint());
        return;
    }
    QTableView::mousePressEvent(event);
}

}  // namespace runtime::ui::widgets
