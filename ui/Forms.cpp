#include "ui/Forms.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/ImportExport.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Orvanta"));
    TabControl1 = Named(new QTabBar, "TabControl1");
    Panel1 = Named(new QStackedWidget, "Panel1");
    for (const PaneKind& kind : PaneKinds()) {
        editors_.push_back(kind.MakeEditor(this));
        panes_.push_back(new TDataPane(kind, kind.MakeClient(), *editors_.back()));
        Panel1->addWidget(panes_.back());
        TabControl1->addTab(tr(kind.Tab));
    }

    fileMenu_ = menuBar()->addMenu(tr("&File"));
    fileMenu_->setObjectName(QStringLiteral("FileMenu"));
    AddImportExportActions(
        fileMenu_, this,
        {[this]() -> TSMLBase* { return CurrentPane() ? &CurrentPane()->SyncClient() : nullptr; },
         [this] {
             std::vector<const TSMLItem*> selected;
             if (const TSMLItem* item = CurrentPane()->SelectedItem()) selected.push_back(item);
             return selected;
         },
         [this](const QString& summary) {
             // The new items wait, like added ones, for "Store changes".
             TDataPane* pane = CurrentPane();
             pane->FillList();
             pane->StoreBtn->setEnabled(true);
             pane->StatusLbl->setText(summary);
         }});
    fileMenu_->addSeparator();
    QAction* quit = fileMenu_->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("QuitAction"));
    quit->setShortcut(QKeySequence::Quit);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(TabControl1);
    layout->addWidget(Panel1, 1);
    setCentralWidget(central);
    resize(640, 480);
    connect(TabControl1, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });
}

TMainForm::~TMainForm() {
    // The panes, and with them any exchange they run, go before the editors they use.
    for (TDataPane* pane : panes_)
        delete pane;
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) FormShow();
}

void TMainForm::FormShow() {
    shown_ = true;
    TabControl1->setCurrentIndex(0);
    TabControl1Change();
}

void TMainForm::TabControl1Change() {
    // Each pane keeps its settings, list and selection while another one is in front.
    if (TabControl1->currentIndex() < Panel1->count()) {
        Panel1->setCurrentIndex(TabControl1->currentIndex());
    }
}

TDataPane* TMainForm::CurrentPane() const {
    const int index = TabControl1->currentIndex();
    return index >= 0 && index < static_cast<int>(panes_.size())
               ? panes_[static_cast<std::size_t>(index)]
               : nullptr;
}

}  // namespace orvanta::ui
