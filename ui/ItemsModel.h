#pragma once

#include <QAbstractTableModel>

#include <vector>

#include "ui/PaneKinds.h"

namespace orvanta::ui {

// The rows of a pane's list: the items of its client that are not marked deleted, one
// column per column of the kind. The model only reads the items; the pane tells it
// when the items change.
class TItemsModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // The role that holds a cell's sort key.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit TItemsModel(const PaneKind& kind, QObject* parent = nullptr);

    // Shows every item of the client that is not deleted, in collection order.
    void Reset(const TSMLBase& client);
    void Clear();
    void Append(TSMLItem& item);
    void Remove(int row);
    // The item of the row has changed.
    void Changed(int row);

    [[nodiscard]] TSMLItem* Item(int row) const;
    [[nodiscard]] int RowOf(const TSMLItem* item) const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    // Forgets the sort keys of a row, or of every row when none is given.
    void ForgetKeys(int row = -1);

    const PaneKind& kind_;
    std::vector<TSMLItem*> rows_;
    // The sort keys read so far, by column and row (a column's list is empty until it is
    // sorted by): a sort asks for each row's key many times, and an item reads its fields
    // from its lines each time.
    mutable std::vector<std::vector<QVariant>> keys_;
};

}  // namespace orvanta::ui
