// Table model: reading through store::Table by record number, writing edited cells back with
// Table::write, and following the table's changes through its observer.
#include "runtime/ui/widgets/table_model.h"

#include <QTimer>

#include "runtime/base/datetime.h"
#include "runtime/base/number.h"

namespace runtime::ui::widgets {

TableModel::TableModel(QObject* parent)
    : QAbstractTableModel(parent), resolver_([](std::string_view path) { return store::findOpenTable(path); }) {}

TableModel::~TableModel() { detach(); }

void TableModel::setResolver(Resolver resolver) {
    beginResetModel();
    detach();
    resolver_ = std::move(resolver);
    attach();
    endResetModel();
}

store::Table* TableModel::table() const {
    if (path_.empty() || !resolver_) return nullptr;
    store::Table* t = resolver_(path_);
    // A different object under the same path is a table that was closed and opened again: the
    // observer sits on the old one, so the model must attach anew before it reads.
    if (t != attached_) {
        scheduleRefresh();
        return nullptr;
    }
    return t;
}

void TableModel::detach() {
    // The observer is removed only from a table that is still open: a closed table took its
    // observers with it.
    if (attached_ && observerId_ >= 0 && resolver_ && resolver_(path_) == attached_)
        attached_->removeObserver(observerId_);
    attached_ = nullptr;
    observerId_ = -1;
    rows_ = 0;
    columns_ = 0;
}

void TableModel::attach() {
    attached_ = path_.empty() || !resolver_ ? nullptr : resolver_(path_);
    if (!attached_) return;
    observerId_ = attached_->addObserver([this] {
        if (!writing_) refresh();
    });
    rows_ = attached_->recordCount();
    columns_ = static_cast<int>(attached_->fields().size());
}

void TableModel::setPath(const std::string& path) {
    beginResetModel();
    detach();
    path_ = path;
    colours_.clear();
    attach();
    endResetModel();
}

void TableModel::setReadOnly(bool readOnly) { readOnly_ = readOnly; }

void TableModel::scheduleRefresh() const {
    if (refreshPending_) return;
    refreshPending_ = true;
    auto* self = const_cast<TableModel*>(this);
    QTimer::singleShot(0, self, [self] { self->refresh(); });
}

void TableModel::refresh() {
    refreshPending_ = false;
    store::Table* now = path_.empty() || !resolver_ ? nullptr : resolver_(path_);
    const int rows = now ? now->recordCount() : 0;
    const int columns = now ? static_cast<int>(now->fields().size()) : 0;
    if (now == attached_ && rows == rows_ && columns == columns_) {
        if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
        return;
    }
    // Marks belong to rows; when rows come or go they would land on other records.
    if (now != attached_ || rows != rows_) colours_.clear();
    beginResetModel();
    detach();
    attach();
    endResetModel();
}

int TableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int TableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QString TableModel::displayText(const store::Value& value) {
    if (const auto* d = std::get_if<DateTime>(&value))
        return QString::fromStdString(dateTimeToText(*d, DateTextForm::DateOnly));
    if (const auto* i = std::get_if<int32_t>(&value)) return QString::number(*i);
    if (const auto* s = std::get_if<std::string>(&value)) return QString::fromStdString(*s);
    return {};
}

store::Value TableModel::valueFromText(const QString& text, store::FieldType type) {
    const std::string utf8 = text.toStdString();
    switch (type) {
        case store::FieldType::DateTime: return toDateTime(utf8);
        case store::FieldType::Integer: return toInteger(utf8);
        case store::FieldType::Text:
        case store::FieldType::Memo: return utf8;
    }
    return utf8;
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= columns_) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
        case Qt::ToolTipRole: {
            store::Table* t = table();
            if (!t) return {};
            if (t->recordCount() != rows_) {
                // A change that reached no observer (the table was closed and opened again in
                // the same place): catch up after this paint.
                scheduleRefresh();
                if (index.row() >= t->recordCount()) return {};
            }
            QString text = displayText(t->read(index.row() + 1, index.column() + 1));
            if (role == Qt::ToolTipRole && text.size() < 20) return {};
            return text;
        }
        case Qt::ForegroundRole: {
            auto it = colours_.find({index.row(), index.column()});
            if (it != colours_.end()) return it->second;
            return {};
        }
        case Qt::TextAlignmentRole: {
            store::Table* t = table();
            if (t && index.column() < static_cast<int>(t->fields().size()) &&
                t->fields()[static_cast<size_t>(index.column())].type == store::FieldType::Integer)
                return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        }
        default: return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Vertical) return section < rows_ ? QVariant(section + 1) : QVariant();
    store::Table* t = table();
    if (!t || section >= columns_ || section >= static_cast<int>(t->fields().size())) return {};
    return QString::fromStdString(t->fields()[static_cast<size_t>(section)].name);
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!readOnly_) f |= Qt::ItemIsEditable;
    return f;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (readOnly_ || role != Qt::EditRole || !index.isValid() || index.row() >= rows_ || index.column() >= columns_)
        return false;
    store::Table* t = table();
    if (!t || index.column() >= static_cast<int>(t->fields().size())) return false;
    const store::FieldType type = t->fields()[static_cast<size_t>(index.column())].type;
    writing_ = true;
    const bool ok = t->write(index.row() + 1, index.column() + 1, valueFromText(value.toString(), type));
    writing_ = false;
    if (ok) emit dataChanged(index, index);
    return ok;
}

void TableModel::setCellColour(int row, int column, int endRow, int endColumn, const QColor& colour) {
    if (row < 0 || column < 0 || row >= rows_ || column >= columns_) return;
    endRow = std::min(endRow, rows_ - 1);
    endColumn = std::min(endColumn, columns_ - 1);
    if (endRow < row || endColumn < column) return;
    for (int r = row; r <= endRow; ++r)
        for (int c = column; c <= endColumn; ++c) colours_[{r, c}] = colour;
    emit dataChanged(index(row, column), index(endRow, endColumn), {Qt::ForegroundRole});
}

QColor TableModel::cellColour(int row, int column) const {
    auto it = colours_.find({row, column});
    return it == colours_.end() ? QColor() : it->second;
}

}  // namespace runtime::ui::widgets
