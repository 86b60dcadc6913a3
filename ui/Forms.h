#pragma once

#include <QMainWindow>

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

namespace orvanta::ui {

class TAccount;

// The main window: a tab bar and a panel that stacks one pane per kind of data. It owns
// the environment it is given, the panes, the editors they open, and the actions of its
// menus, tool bar and the lists' context menus, which work on the pane in front; the
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
    // Changes not stored, over all panes.
    [[nodiscard]] int PendingChanges() const;
    [[nodiscard]] TAccount& Account() const { return *account_; }

    QTabBar* TabControl1;
    QStackedWidget* Panel1;
    QLabel* PendingLbl;

protected:
    void showEvent(QShowEvent* event) override;
    // Asks before changes not stored are lost, and ends running exchanges.
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

    // First: whatever the window made keeps a reference to it.
    const TEnvironment environment_;
    std::vector<std::unique_ptr<TItemEditor>> editors_;
    std::vector<TDataPane*> panes_;
    TAccount* account_ = nullptr;
    QMenu* fileMenu_ = nullptr;
    QAction* connectAction_ = nullptr;
    QAction* storeAction_ = nullptr;
    QAction* addAction_ = nullptr;
    QAction* editAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* cancelAction_ = nullptr;
    bool shown_ = false;
    bool closeAfterStore_ = false;
};

}  // namespace orvanta::ui
