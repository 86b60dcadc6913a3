#pragma once

#include <QWidget>

#include <memory>

#include "engine/SyncMLBase.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSpinBox;

namespace orvanta::ui {

// What tells the four panes apart; everything else they share.
struct PaneKind {
    const char* PaneName;  // objectName: MainCalForm ...
    const char* Group;     // "Events", "Contacts", ...
    const char* ListName;  // EventsLB ...
    const char* AddName;   // EventAddBtn ...
    const char* EditName;
    const char* DeleteName;
    const char* DataSource;  // default of DSEd
    bool Hourglass;          // busy cursor while the list fills
};

// The address of the local SyncML server that scripts/syncml-server starts.
inline constexpr const char* kDefaultServerURL = "http://127.0.0.1:9000/syncevolution";

// One data pane: the connection settings, the list of the client's items, Add, Edit,
// Delete, Connect/Refresh and Store. The kinds differ by their PaneKind, their row
// text and the editor they open.
class TDataPane : public QWidget {
    Q_OBJECT

public:
    TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, QWidget* parent = nullptr);
    ~TDataPane() override;

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

    QLineEdit* ServerEd;
    QLineEdit* DSEd;
    QLineEdit* UserNameEd;
    QLineEdit* PasswordEd;
    QCheckBox* CheckBox1;
    QLineEdit* ProxyEd;
    QSpinBox* PortEd;
    QPushButton* ConnectBtn;
    QGroupBox* ItemsGroup;
    QListWidget* List;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* DeleteBtn;
    QPushButton* StoreBtn;
    QLabel* StatusLbl;  // progress of an exchange

protected:
    // The list row of an item.
    [[nodiscard]] virtual QString RowText(const TSMLItem& item) const;
    // Shows the kind's editor for the item; true on OK.
    virtual bool Edit(TSMLItem& item) = 0;
    // Add: makes the new item and edits it; the item on OK, none otherwise (the new
    // item is then gone again).
    virtual TSMLItem* AddItem();

    [[nodiscard]] std::size_t IndexOf(const TSMLItem& item) const;

private:
    void AppendRow(TSMLItem& item);
    [[nodiscard]] TSMLItem* SelectedItem() const;
    // Busy cursor and progress text while an exchange runs; input stays blocked.
    void RunExchange(const QString& what, const std::function<void()>& exchange);

    const PaneKind& kind_;
    std::unique_ptr<TSMLBase> client_;
};

}  // namespace orvanta::ui
