#pragma once

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

#include "ui/DataPane.h"
#include "ui/Environment.h"
#include "ui/PaneKinds.h"

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;

namespace orvanta {
class TReplica;
}

namespace orvanta::ui {

class TAccount;
class TAccountForm;

// The main window: a tab bar and a panel that stacks one pane per kind of data. It owns
// the environment it is given, the account, the replica the panes keep their items in
// (while the account keeps a copy), the panes, the editors they open, and the actions of
// its menus, tool bar and the lists' context menus, which work on the pane in front; the
// panes, editors, account and File menu take the environment from it.
class TMainForm final : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(TEnvironment environment, QWidget* parent = nullptr);
    ~TMainForm() override;

    void FormShow();
    void TabControl1Change();

    // The panes in the order of their tabs.
    [[nodiscard]] const std::vector<TDataPane*>& Panes() const { return panes_; }
    [[nodiscard]] TDataPane* CurrentPane() const;
    // The File menu, for entries that work on the current pane.
    [[nodiscard]] QMenu* FileMenu() const { return fileMenu_; }
    // Changes waiting for the next sync or store, over all panes.
    [[nodiscard]] int PendingChanges() const;
    [[nodiscard]] TAccount& Account() const { return *account_; }
    [[nodiscard]] TAccountForm& AccountForm() const { return *accountForm_; }
    // Opens the account's dialog; true on OK.
    bool EditAccount();
    // Syncs every pane (or loads, without a copy); their failures come in one message.
    void SyncAll();

    QTabBar* TabControl1;
    QStackedWidget* Panel1;
    QLabel* PendingLbl;
    QLabel* AccountLbl;  // the user and server every exchange goes to

protected:
    void showEvent(QShowEvent* event) override;
    // Asks before changes held only in memory are lost, and ends running exchanges.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MakeActions();
    QAction* MakeAction(const char* name, const QString& text, const QKeySequence& key,
                        const QString& tip);
    // Actions follow the buttons of the pane in front; title and status bar the
    // pending changes.
    void UpdateActions();
    void UpdatePending();
    void PaneIdle();
    void ShowAbout();
    // The account changed: the replica opened or closed, the panes' stores read anew.
    void AccountChanged();
    void OpenReplica();
    // The focus goes where the user most likely works next, never into a text field whose
    // text a key would replace.
    void FocusPane();

    // First: whatever the window made keeps a reference to it.
    const TEnvironment environment_;
    std::vector<std::unique_ptr<TItemEditor>> editors_;
    TAccount* account_ = nullptr;
    std::unique_ptr<TReplica> replica_;
    std::vector<TDataPane*> panes_;
    TAccountForm* accountForm_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* syncAction_ = nullptr;
    QAction* syncAllAction_ = nullptr;
    QAction* storeAction_ = nullptr;
    QAction* addAction_ = nullptr;
    QAction* editAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* cancelAction_ = nullptr;
    QAction* accountAction_ = nullptr;
    bool shown_ = false;
    bool closeAfterStore_ = false;
    bool keepCopy_ = false;  // what the replica was opened for
    QString accountKey_;     // the server and user the panes' items belong to
    // Sync all: the panes still running, and their failures, reported together.
    std::vector<TDataPane*> syncingAll_;
    QStringList allFailures_;
    QStringList allDetails_;
};

}  // namespace orvanta::ui
