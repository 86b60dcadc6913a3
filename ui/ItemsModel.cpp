#include "ui/ItemsModel.h"

#include <algorithm>

#include "engine/SyncMLBase.h"

namespace orvanta::ui {

TItemsModel::TItemsModel(const PaneKind& kind, QObject* parent)
    : QAbstractTableModel(parent), kind_(kind), keys_(kind.Columns.size()) {}

void TItemsModel::ForgetKeys(int row) {
    for (auto& keys : keys_) {
        if (row < 0) {
            keys.clear();
        } else if (static_cast<std::size_t>(row) < keys.size()) {
            keys[static_cast<std::size_t>(row)] = QVariant();
        }
    }
}

void TItemsModel::Reset(const TSMLBase& client) {
    beginResetModel();
    rows_.clear();
    ForgetKeys();
    for (const auto& item : client.Items) {
        if (item->State != ItemState::Deleted) rows_.push_back(item.get());
    }
    endResetModel();
}

void TItemsModel::Clear() {
    beginResetModel();
    rows_.clear();
    ForgetKeys();
    endResetModel();
}

void TItemsModel::Append(TSMLItem& item) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    rows_.push_back(&item);
    for (auto& keys : keys_) {
        if (!keys.empty()) keys.emplace_back();
    }
    endInsertRows();
}

void TItemsModel::Remove(int row) {
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    for (auto& keys : keys_) {
        if (static_cast<std::size_t>(row) < keys.size()) keys.erase(keys.begin() + row);
    }
    endRemoveRows();
}

void TItemsModel::Changed(int row) {
    ForgetKeys(row);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

TSMLItem* TItemsModel::Item(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)] : nullptr;
}

int TItemsModel::RowOf(const TSMLItem* item) const {
    const auto found = std::find(rows_.begin(), rows_.end(), item);
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

int TItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TItemsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kind_.Columns.size());
}

QVariant TItemsModel::data(const QModelIndex& index, int role) const {
    const TSMLItem* item = Item(index.row());
    if (!item || index.column() >= columnCount()) return {};
    const ItemColumn& column = kind_.Columns[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return column.Text(*item);
        case SortRole: {
            auto& keys = keys_[static_cast<std::size_t>(index.column())];
            if (keys.empty()) keys.resize(rows_.size());
            QVariant& key = keys[static_cast<std::size_t>(index.row())];
            if (!key.isValid()) key = column.SortKey ? column.SortKey(*item) : column.Text(*item);
            return key;
        }
        default:
            return {};
    }
}

QVariant TItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return PaneText(kind_.Columns[static_cast<std::size_t>(section)].Header);
}

}  // namespace orvanta::ui
