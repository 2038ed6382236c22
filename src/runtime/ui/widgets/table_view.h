// The data-bound table view: shows an open store table through TableModel, one row per record
// and one column per field, live. Rows and columns are counted from 1 in this interface, as the
// program counts records and fields.
//
// Column widths are kept in the view's own unit, kPixelsPerUnit pixels at zoom 100, so that the
// widths the program gives (hundreds for a view some 380 pixels wide) lay out sensibly; zoom
// scales the font, the row heights and the column widths together.
#pragma once

#include <QColor>
#include <QTableView>
#include <map>
#include <string>

#include "runtime/ui/widgets/table_model.h"

namespace runtime::ui::widgets {

class TableView : public QTableView {
    Q_OBJECT

public:
    static constexpr double kPixelsPerUnit = 0.4;
    static constexpr int kMinZoom = 10;
    static constexpr int kMaxZoom = 500;

    explicit TableView(QWidget* parent = nullptr);

    TableModel* tableModel() const { return model_; }

    // The file its provider names; the open table under it is shown (nothing when none is open).
    // Setting the same path again looks the table up again.
    void showTable(const std::string& path);
    // Read-only views refuse every edit; editable ones write a changed cell into its record.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return model_->isReadOnly(); }

    // Widths of `count` columns from `firstColumn`, in the view's unit; columns that do not exist
    // yet keep the width for when they do.
    void setColumnWidths(int firstColumn, int count, int width);
    int columnWidthUnits(int column) const;

    // Percent; values outside kMinZoom .. kMaxZoom are brought inside.
    void setZoom(int percent);
    int zoom() const { return zoom_; }

    // Makes the row current and selects its cell in the current column (first column when none).
    void setCurrentRow(int row);
    int currentRow() const;
    int currentColumn() const;
    // The first selected row (column); the current one when nothing is selected; 0 when the view
    // has no rows.
    int firstSelectedRow() const;
    int firstSelectedColumn() const;
    // Selects the block (clipped to the table) and makes its first cell current.
    void selectRange(int row, int column, int endRow, int endColumn);
    // Text colour of a block of cells; see TableModel::setCellColour for how long it stays.
    void setCellsColour(int row, int column, int endRow, int endColumn, const QColor& colour);

signals:
    // The current cell moved, by the user or the program (event 0). 1-based.
    void currentCellChanged(int row, int column);
    // The right button went down over the view.
    void rightButtonDown(QPoint position);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void applyLayout();
    int defaultWidthUnits(int column) const;

    TableModel* model_;
    std::map<int, int> widthUnits_;  // 1-based column -> width
    int zoom_ = 100;
    QFont baseFont_;
};

}  // namespace runtime::ui::widgets
