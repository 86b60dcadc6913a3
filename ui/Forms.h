#pragma once

#include <QMainWindow>

#include <memory>
#include <vector>

#include "ui/DataPane.h"
#include "ui/PaneKinds.h"

class QMenu;
class QStackedWidget;
class QTabBar;

namespace orvanta::ui {

// The main window: a tab bar and a panel that stacks one pane per kind of data. It owns
// the panes, the editors they open and the menu bar.
class TMainForm final : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    void FormShow();
    void TabControl1Change();

    // The panes in the order of their tabs.
    [[nodiscard]] const std::vector<TDataPane*>& Panes() const { return panes_; }
    [[nodiscard]] TDataPane* CurrentPane() const;
    // The File menu, for entries that work on the current pane.
    [[nodiscard]] QMenu* FileMenu() const { return fileMenu_; }

    QTabBar* TabControl1;
    QStackedWidget* Panel1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::vector<std::unique_ptr<TItemEditor>> editors_;
    std::vector<TDataPane*> panes_;
    QMenu* fileMenu_;
    bool shown_ = false;
};

}  // namespace orvanta::ui
