#pragma once

#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "engine/SyncMLBase.h"
#include "ui/PaneKinds.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;

namespace orvanta::ui {

class TExchangeWorker;
class TItemsModel;
struct TEnvironment;

// The address of the local SyncML server that scripts/syncml-server starts.
inline constexpr const char* kDefaultServerURL = "http://127.0.0.1:9000/syncevolution";

// One data pane: the connection settings, the table of the client's items, Add, Edit,
// Delete, Connect/Refresh and Store. The kinds differ only by their PaneKind; the pane
// owns its client and uses the editor and the environment it is given (failures are
// reported through the environment).
class TDataPane final : public QWidget {
    Q_OBJECT

public:
    TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, TItemEditor& editor,
              const TEnvironment& environment, QWidget* parent = nullptr);
    ~TDataPane() override;

    [[nodiscard]] const PaneKind& Kind() const { return kind_; }
    [[nodiscard]] TSMLBase& SyncClient() const { return *client_; }

    // Handlers, named after their controls.
    void CheckBox1Click();
    void ConnectBtnClick();
    void ListClick();
    void AddBtnClick();
    void EditBtnClick();
    void DeleteBtnClick();
    void StoreBtnClick();

    void FillList();
    void UpdateButtons();
    // Fits the columns after the first to their contents, unless the user sized them.
    void FitColumns();
    bool ColumnsSized = false;  // the user sized the columns, or the window restored them

    // Ends a running exchange and waits for it (the window closes).
    void Shutdown();
    // An exchange runs; the pane's controls are disabled meanwhile.
    [[nodiscard]] bool Busy() const;
    // Items added, changed or deleted since the last load or store. While an exchange
    // runs, the items belong to its thread: then the changes a store is sending, and none
    // during a load (it replaces them, as the user agreed).
    [[nodiscard]] int PendingChanges() const;

    // The rows as the table shows them (sorted and filtered).
    [[nodiscard]] int RowCount() const;
    [[nodiscard]] QString Cell(int row, int column) const;
    void SelectRow(int row);
    [[nodiscard]] TSMLItem* SelectedItem() const;
    // The items of the rows the table shows, in its order: all, or those the filter leaves.
    [[nodiscard]] std::vector<const TSMLItem*> ShownItems() const;

    QLineEdit* ServerEd;
    QLineEdit* DSEd;
    QLineEdit* UserNameEd;
    QLineEdit* PasswordEd;
    QCheckBox* CheckBox1;
    QLineEdit* ProxyEd;
    QSpinBox* PortEd;
    QLineEdit* CAFileEd;  // the certificate authority of a server with a private one
    QPushButton* ConnectBtn;
    QGroupBox* ItemsGroup;
    QLineEdit* FilterEd;
    QTableView* List;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* StoreBtn;
    QLabel* StatusLbl;  // progress of an exchange, and what the last one left to say
    QPushButton* CancelBtn;

signals:
    // The number of pending changes may have changed.
    void PendingChanged();
    // A message for the status bar.
    void Message(const QString& text);
    // A load went through.
    void Connected();
    // An exchange began or ended.
    void BusyChanged(bool busy);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AppendRow(TSMLItem& item);
    [[nodiscard]] int SelectedSourceRow() const;
    [[nodiscard]] std::size_t IndexOf(const TSMLItem& item) const;
    // Runs the exchange on the worker with the pane's controls disabled and its
    // progress shown; `done` gets whether it ran to its end. A failure is reported, a
    // cancel only noted.
    void RunExchange(const QString& what, std::function<void(TSMLBase&)> exchange,
                     int pendingMeanwhile, std::function<void(bool ok)> done);
    void ExchangeFinished(std::exception_ptr error);
    void ShowProgress(const ExchangeStats& stats);
    void SetBusy(bool busy);

    const PaneKind& kind_;
    std::unique_ptr<TSMLBase> client_;
    TItemEditor& editor_;
    const TEnvironment& environment_;
    TItemsModel* model_;
    QSortFilterProxyModel* sorted_;
    QWidget* settingsBox_;
    // Declared after the client: it goes first and takes its thread with it.
    std::unique_ptr<TExchangeWorker> worker_;
    QString activity_;
    std::function<void(bool)> done_;
    bool storeWasEnabled_ = false;
    bool fitting_ = false;
    int pendingMeanwhile_ = 0;  // what PendingChanges says while the worker runs
};

}  // namespace orvanta::ui
