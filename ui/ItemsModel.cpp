#include "ui/ItemsModel.h"

#include <algorithm>
#include <string>

#include "engine/SyncMLBase.h"
#include "formats/ItemStorage.h"

namespace orvanta::ui {

TItemsModel::TItemsModel(const PaneKind& kind, TSMLBase& client, QObject* parent)
    : QAbstractTableModel(parent), kind_(kind), client_(client), keys_(kind.Columns.size()) {}

void TItemsModel::ForgetKeys(int row) {
    for (auto& keys : keys_) {
        if (row < 0) {
            keys.clear();
        } else if (static_cast<std::size_t>(row) < keys.size()) {
            keys[static_cast<std::size_t>(row)] = QVariant();
        }
    }
}

void TItemsModel::Reset(std::vector<std::unique_ptr<TSMLItem>> items) {
    beginResetModel();
    client_.Items = std::move(items);
    rows_ = static_cast<int>(client_.Items.size());
    ForgetKeys();
    endResetModel();
}

void TItemsModel::Load() {
    if (!storage_) return;
    std::vector<std::unique_ptr<TSMLItem>> items;
    storage_->ReadItems([&](const StoredItemView& stored) {
        auto item = client_.CreateItem();
        item->Parse(stored.Payload);
        item->ID = stored.LUID;
        item->ServerID = stored.ServerID;
        item->State = stored.State;
        items.push_back(std::move(item));
    });
    // Swapped in only once the whole store is read: a failure keeps what was shown.
    Reset(std::move(items));
    client_.Loaded = true;
}

void TItemsModel::Take(TSMLBase& from) {
    Reset(std::move(from.Items));
    from.Items.clear();
    client_.Loaded = from.Loaded;
    client_.NextAnchor = from.NextAnchor;
    client_.Refused = from.Refused;
}

void TItemsModel::Clear() {
    Reset({});
    client_.Loaded = false;
}

void TItemsModel::TakeAppended() {
    const int count = static_cast<int>(client_.Items.size());
    if (count <= rows_) return;
    const auto first = client_.Items.begin() + rows_;
    if (storage_) {
        std::vector<std::string> payloads;
        for (auto it = first; it != client_.Items.end(); ++it)
            payloads.push_back((*it)->GetText());
        const std::vector<std::string_view> views(payloads.begin(), payloads.end());
        std::vector<std::string> luids;
        try {
            luids = storage_->AddLocal(views);
        } catch (...) {
            // Nothing was kept: nor are the new items shown.
            client_.Items.erase(first, client_.Items.end());
            throw;
        }
        for (std::size_t i = 0; i < luids.size(); ++i)
            client_.Items[static_cast<std::size_t>(rows_) + i]->ID = luids[i];
    }
    for (auto it = client_.Items.begin() + rows_; it != client_.Items.end(); ++it)
        (*it)->State = ItemState::New;
    beginInsertRows({}, rows_, count - 1);
    rows_ = count;
    for (auto& keys : keys_) {
        if (!keys.empty()) keys.resize(static_cast<std::size_t>(count));
    }
    endInsertRows();
}

void TItemsModel::Save(int row) {
    TSMLItem* item = Item(row);
    if (!item) return;
    if (storage_) {
        item->State = storage_->ReplaceLocal(item->ID, item->GetText());
    } else if (item->State != ItemState::New) {
        item->State = ItemState::Modified;
    }
    ForgetKeys(row);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TItemsModel::Remove(int row) {
    TSMLItem* item = Item(row);
    if (!item) return;
    const bool gone = storage_ ? storage_->DeleteLocal(item->ID) : item->State == ItemState::New;
    if (gone) {
        Erase(row);
        return;
    }
    item->State = ItemState::Deleted;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TItemsModel::Erase(int row) {
    beginRemoveRows({}, row, row);
    client_.Items.erase(client_.Items.begin() + row);
    --rows_;
    for (auto& keys : keys_) {
        if (static_cast<std::size_t>(row) < keys.size()) keys.erase(keys.begin() + row);
    }
    endRemoveRows();
}

TSMLItem* TItemsModel::Item(int row) const {
    return row >= 0 && row < rows_ ? client_.Items[static_cast<std::size_t>(row)].get() : nullptr;
}

int TItemsModel::RowOf(const TSMLItem* item) const {
    for (int row = 0; row < rows_; ++row) {
        if (client_.Items[static_cast<std::size_t>(row)].get() == item) return row;
    }
    return -1;
}

bool TItemsModel::IsDeleted(int row) const {
    const TSMLItem* item = Item(row);
    return item && item->State == ItemState::Deleted;
}

int TItemsModel::Changes() const {
    return static_cast<int>(std::count_if(
        client_.Items.begin(), client_.Items.begin() + rows_,
        [](const auto& item) { return item->State != ItemState::Unchanged; }));
}

int TItemsModel::Shown() const {
    return static_cast<int>(std::count_if(
        client_.Items.begin(), client_.Items.begin() + rows_,
        [](const auto& item) { return item->State != ItemState::Deleted; }));
}

int TItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
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
            if (keys.empty()) keys.resize(static_cast<std::size_t>(rows_));
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
