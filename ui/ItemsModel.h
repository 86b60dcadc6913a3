#pragma once

#include <QAbstractTableModel>

#include <cstddef>
#include <memory>
#include <vector>

#include "ui/PaneKinds.h"

namespace orvanta {
class TItemStorage;
}

namespace orvanta::ui {

// The items of a pane, the one list the pane shows and edits through: row i is item i of
// the pane's client, one column per column of the kind. Items marked deleted keep their
// row until the next exchange settles them; the pane's view passes over them
// (IsDeleted). With a storage (the replica) every edit is kept there at once, before the
// row changes; a failure leaves the row as it was.
class TItemsModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    // The role that holds a cell's sort key.
    static constexpr int SortRole = Qt::UserRole + 1;

    TItemsModel(const PaneKind& kind, TSMLBase& client, QObject* parent = nullptr);

    // The storage that edits go to; none: they stay in memory until "Store changes".
    void SetStorage(TItemStorage* storage) { storage_ = storage; }
    [[nodiscard]] TItemStorage* Storage() const { return storage_; }

    // Reads every item of the storage in place of the rows; a failure keeps the rows.
    void Load();
    // Takes the items of another client in place of the rows (a load or a store that
    // went through), and the client's state of having loaded.
    void Take(TSMLBase& from);
    // Forgets every row.
    void Clear();
    // The items appended to the client behind the model's back (an editor's new item, an
    // import) become rows: new items, kept in the storage all at once or not at all.
    void TakeAppended();
    // The item of the row was edited: it is kept and marked.
    void Save(int row);
    // A new item that no exchange has sent goes at once; any other is marked deleted.
    void Remove(int row);

    [[nodiscard]] TSMLItem* Item(int row) const;
    [[nodiscard]] int RowOf(const TSMLItem* item) const;
    [[nodiscard]] bool IsDeleted(int row) const;
    // Items added, changed or deleted since they were last settled.
    [[nodiscard]] int Changes() const;
    // Rows not marked deleted.
    [[nodiscard]] int Shown() const;

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

private:
    // Forgets the sort keys of a row, or of every row when none is given.
    void ForgetKeys(int row = -1);
    void Reset(std::vector<std::unique_ptr<TSMLItem>> items);
    void Erase(int row);

    const PaneKind& kind_;
    TSMLBase& client_;
    TItemStorage* storage_ = nullptr;
    // The client's items the rows show: those appended beyond wait for TakeAppended.
    int rows_ = 0;
    // The sort keys read so far, by column and row (a column's list is empty until it is
    // sorted by): a sort asks for each row's key many times, and an item reads its fields
    // from its lines each time.
    mutable std::vector<std::vector<QVariant>> keys_;
};

}  // namespace orvanta::ui
