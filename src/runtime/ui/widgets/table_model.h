// The item model behind the data-bound table view: one row per record of an open store table,
// in record order, one column per field in field order. It reads records by number, so the
// table's own current record never moves, and it follows the table live through its observer.
//
// The table is named by its file path (what a provider holds) and looked up among the store's
// open tables when the path is given. The program may close the very table on show (the
// contacts letter filters close, delete and re-create their file): the store's close listener
// tells the model, which then lets go of the table and shows nothing until it is given a path
// again. No open table under the path shows an empty model.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "runtime/store/store.h"

namespace runtime::ui::widgets {

class TableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Where tables come from: the store's registry unless a test says otherwise.
    struct Source {
        std::function<store::Table*(std::string_view path)> find;
        std::function<int(std::function<void(store::Table*)>)> addCloseListener;
        std::function<void(int)> removeCloseListener;
    };
    static Source storeSource();

    explicit TableModel(QObject* parent = nullptr);
    ~TableModel() override;

    void setSource(Source source);
    // Shows the open table registered under `path` (the store's path or store name); an empty
    // path shows nothing. Always looks the table up anew, also for the path already shown.
    void setPath(const std::string& path);
    const std::string& path() const { return path_; }
    // The table on show, or nullptr when it is not (or no longer) open.
    store::Table* table() const { return table_; }

    // A read-only model refuses every edit.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return readOnly_; }

    // Text colour of a block of cells (0-based rows and columns, end inclusive, clipped to the
    // table). Marks stay until the model shows another table or its record count changes.
    void setCellColour(int row, int column, int endRow, int endColumn, const QColor& colour);
    QColor cellColour(int row, int column) const;

    // Re-reads the table: a reset when the rows or columns changed, else a repaint of all cells.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // How a field value shows: dates as date text ("2024年3月5日"), numbers in decimal, texts
    // as they are.
    static QString displayText(const store::Value& value);
    // The value an edited text becomes in a field of the given type.
    static store::Value valueFromText(const QString& text, store::FieldType type);

private:
    void attach();
    void detach();
    void onTableClosing(store::Table* table);
    void listenForClose();

    Source source_;
    int closeListenerId_ = -1;
    std::string path_;
    store::Table* table_ = nullptr;  // open, with our observer on it, or nullptr
    int observerId_ = -1;
    int rows_ = 0;
    int columns_ = 0;
    bool readOnly_ = true;
    bool writing_ = false;
    std::map<std::pair<int, int>, QColor> colours_;
};

}  // namespace runtime::ui::widgets
