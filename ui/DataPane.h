#pragma once

#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "engine/SyncMLBase.h"
#include "replica/Replica.h"
#include "ui/PaneKinds.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace orvanta::ui {

class TAccount;
class TExchangeWorker;
class TItemsModel;
struct TEnvironment;

// One data pane: its data source, the table of its items, Add, Edit, Delete, and the
// exchange with the server. With a replica (the account's "Keep a copy on this
// computer") the pane shows the replica's items at once, keeps every edit there as it is
// made, and Sync runs the two-way sync; without one, Connect loads the items into memory
// and "Store changes" sends the changes one way. The kinds differ only by their
// PaneKind; the pane owns its client (whose Items are the rows of its table model) and
// uses the editor, environment and account it is given. An exchange works on a client
// of its own, never on the items shown.
class TDataPane final : public QWidget {
    Q_OBJECT

public:
    TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, TItemEditor& editor,
              const TEnvironment& environment, const TAccount& account,
              QWidget* parent = nullptr);
    ~TDataPane() override;

    [[nodiscard]] const PaneKind& Kind() const { return kind_; }
    [[nodiscard]] TSMLBase& SyncClient() const { return *client_; }

    // The replica the pane keeps its items in; none: one-way mode, items in memory. The
    // replica outlives the pane's use of it (the window holds it).
    void UseReplica(TReplica* replica);
    [[nodiscard]] bool KeepsCopy() const { return replica_ != nullptr; }
    // Reads the items of the account's data source from the replica (the account or the
    // data source changed).
    void OpenStore();

    // Handlers, named after their controls.
    void SyncBtnClick();  // Sync with a replica, else Connect / Refresh
    void ListClick();
    void AddBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();
    void StoreBtnClick();
    void ConflictsBtnClick();

    void UpdateButtons();
    // Fits the columns after the first to their contents, unless the user sized them.
    void FitColumns();
    bool ColumnsSized = false;  // the user sized the columns, or the window restored them

    // Ends a running exchange and waits for it (the window closes).
    void Shutdown();
    // An exchange runs; the pane's controls are disabled meanwhile.
    [[nodiscard]] bool Busy() const;
    // Items added, changed or deleted that the next sync or store sends.
    [[nodiscard]] int PendingChanges() const;
    // Of those, the ones that closing the window would lose (one-way mode only).
    [[nodiscard]] int UnsavedChanges() const { return KeepsCopy() ? 0 : PendingChanges(); }
    // The pane has items to work on: the replica's, or a load's.
    [[nodiscard]] bool HasData() const;
    // Items an import appended to the client join the list (and the replica).
    void TakeImported(const QString& summary);

    // The rows as the table shows them (sorted and filtered).
    [[nodiscard]] int RowCount() const;
    [[nodiscard]] QString Cell(int row, int column) const;
    void SelectRow(int row);
    [[nodiscard]] TSMLItem* SelectedItem() const;
    // The items the list shows, in its order (the filter applied).
    [[nodiscard]] std::vector<const TSMLItem*> ShownItems() const;

    // Asked before a sync or load when the account has no user or password yet; false:
    // not now.
    std::function<bool()> AskAccount;
    // Takes a failure (its text names the pane, its detail is the lower layer's); none:
    // reported at once.
    std::function<void(const QString& text, const QString& detail)> OnFailure;

    QLineEdit* DSEd;
    QGroupBox* ItemsGroup;
    QLineEdit* FilterEd;
    QTableView* List;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* SyncBtn;  // "Sync", or "Connect" / "Refresh" without a replica
    QPushButton* StoreBtn;  // one-way mode only
    QPushButton* ConflictsBtn;  // shown while the replica holds conflicts
    QLabel* StatusLbl;  // progress of an exchange, what the last one left to say, or why
                        // the list is empty
    QPushButton* CancelBtn;

signals:
    // The number of pending changes may have changed.
    void PendingChanged();
    // A message for the status bar.
    void Message(const QString& text);
    // A sync or load went through.
    void Synced();
    // An exchange began or ended.
    void BusyChanged(bool busy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    [[nodiscard]] int SelectedSourceRow() const;
    // A client for one exchange, set up with the account and the data source.
    [[nodiscard]] std::unique_ptr<TSMLBase> ExchangeClient() const;
    void Sync();
    void Load();
    // Runs the exchange on the worker with the pane's controls disabled and its progress
    // shown; `done` gets whether it ran to its end and the client it worked on. A failure
    // is reported, a cancel only noted.
    void RunExchange(const QString& what, std::unique_ptr<TSMLBase> client,
                     std::function<void(TSMLBase&)> exchange,
                     std::function<void(bool ok, TSMLBase& client)> done);
    void ExchangeFinished(std::exception_ptr error);
    void ShowProgress(const ExchangeStats& stats);
    void SetBusy(bool busy);
    // Reads the replica's items again; failures reported.
    void Reload();
    // The line below the list when no exchange has anything to say: how many items are
    // here and when they were last synced, or why there are none.
    void ShowState();
    [[nodiscard]] bool ReadyToExchange();

    const PaneKind& kind_;
    std::unique_ptr<TSMLBase> client_;
    TItemEditor& editor_;
    const TEnvironment& environment_;
    const TAccount& account_;
    TReplica* replica_ = nullptr;
    std::optional<TReplicaStore> store_;
    TItemsModel* model_;
    QSortFilterProxyModel* sorted_;
    std::unique_ptr<TExchangeWorker> worker_;
    QString activity_;
    QString report_;  // what the last exchange refused of the server's, for the user
    std::function<void(bool, TSMLBase&)> done_;
    bool loaded_ = false;  // one-way mode: a load went through
    bool fitting_ = false;
};

}  // namespace orvanta::ui
