#pragma once

#include <QWidget>

#include <functional>
#include <memory>

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

class TItemsModel;

// The address of the local SyncML server that scripts/syncml-server starts.
inline constexpr const char* kDefaultServerURL = "http://127.0.0.1:9000/syncevolution";

// One data pane: the connection settings, the table of the client's items, Add, Edit,
// Delete, Connect/Refresh and Store. The kinds differ only by their PaneKind; the pane
// owns its client and uses the editor it is given.
class TDataPane final : public QWidget {
    Q_OBJECT

public:
    TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, TItemEditor& editor,
              QWidget* parent = nullptr);
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

    // The rows as the table shows them (sorted and filtered).
    [[nodiscard]] int RowCount() const;
    [[nodiscard]] QString Cell(int row, int column) const;
    void SelectRow(int row);
    [[nodiscard]] TSMLItem* SelectedItem() const;

    QLineEdit* ServerEd;
    QLineEdit* DSEd;
    QLineEdit* UserNameEd;
    QLineEdit* PasswordEd;
    QCheckBox* CheckBox1;
    QLineEdit* ProxyEd;
    QSpinBox* PortEd;
    QPushButton* ConnectBtn;
    QGroupBox* ItemsGroup;
    QLineEdit* FilterEd;
    QTableView* List;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* StoreBtn;
    QLabel* StatusLbl;  // progress of an exchange

private:
    void AppendRow(TSMLItem& item);
    [[nodiscard]] int SelectedSourceRow() const;
    [[nodiscard]] std::size_t IndexOf(const TSMLItem& item) const;
    // Busy cursor and progress text while an exchange runs; input stays blocked.
    void RunExchange(const QString& what, const std::function<void()>& exchange);

    const PaneKind& kind_;
    std::unique_ptr<TSMLBase> client_;
    TItemEditor& editor_;
    TItemsModel* model_;
    QSortFilterProxyModel* sorted_;
};

}  // namespace orvanta::ui
