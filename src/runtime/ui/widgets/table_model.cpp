// Table model: reading through store::Table by record number, writing edited cells back with
// Table::write, and following the table's changes through its observer.
#include "runtime/ui/widgets/table_model.h"

#include "runtime/base/datetime.h"
#include "runtime/base/number.h"

namespace runtime::ui::widgets {

TableModel::Source TableModel::storeSource() {
    return {[](std::string_view path) { return store::findOpenTable(path); },
            [](std::function<void(store::Table*)> onClose) {
                return store::addCloseListener(std::move(onClose));
            },
            [](int id) { store::removeCloseListener(id); }};
}

TableModel::TableModel(QObject* parent) : QAbstractTableModel(parent), source_(storeSource()) {
    listenForClose();
}

TableModel::~TableModel() {
    detach();
    if (closeListenerId_ >= 0 && source_.removeCloseListener) source_.removeCloseListener(closeListenerId_);
}

void TableModel::listenForClose() {
    closeListenerId_ =
        source_.addCloseListener
            ? source_.addCloseListener([this](store::Table* closing) { onTableClosing(closing); })
            : -1;
}

void TableModel::setSource(Source source) {
    beginResetModel();
    detach();
    if (closeListenerId_ >= 0 && source_.removeCloseListener) source_.removeCloseListener(closeListenerId_);
    source_ = std::move(source);
    listenForClose();
    attach();
    endResetModel();
}

void TableModel::onTableClosing(store::Table* closing) {
    if (closing != table_ || !table_) return;
    beginResetModel();
    detach();
    colours_.clear();
    endResetModel();
}

void TableModel::detach() {
    if (table_ && observerId_ >= 0) table_->removeObserver(observerId_);
    table_ = nullptr;
    observerId_ = -1;
    rows_ = 0;
    columns_ = 0;
}

void TableModel::attach() {
    table_ = path_.empty() || !source_.find ? nullptr : source_.find(path_);
    if (!table_) return;
    observerId_ = table_->addObserver([this] {
        if (!writing_) refresh();
    });
    rows_ = table_->recordCount();
    columns_ = static_cast<int>(table_->fields().size());
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

void TableModel::refresh() {
    const int rows = table_ ? table_->recordCount() : 0;
    const int columns = table_ ? static_cast<int>(table_->fields().size()) : 0;
    if (rows == rows_ && columns == columns_) {
        if (rows_ > 0 && columns_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
        return;
    }
    // Marks belong to rows; when rows come or go they would land on other records.
    colours_.clear();
    beginResetModel();
    rows_ = rows;
    columns_ = columns;
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
            if (!t || index.row() >= t->recordCount()) return {};
            QString text = displayText(t->read(index.row() + 1, index.column() + 1));
            if (role == Qt::ToolTipRole && text.size() < 20) return {};
            return text;
        }
        case Qt::ForegroundRole: {
            auto it = colours_.find({index.row(), index.column()});
            if (it != colours_.end()) return it->second;
            // A record marked deleted shows until the table is packed, greyed.
            if (table_ && index.row() < table_->recordCount() && table_->isDeleted(index.row() + 1))
                return QColor(160, 160, 160);
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
    if (readOnly_ || role != Qt::EditRole || !index.isValid() || index.row() >= rows_ ||
        index.column() >= columns_)
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
