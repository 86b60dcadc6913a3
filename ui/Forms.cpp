#include "ui/Forms.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include "kinds/KindTable.h"
#include "ui/ImportExport.h"
#include "ui/Settings.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TMainForm::TMainForm(TEnvironment environment, QWidget* parent)
    : QMainWindow(parent), environment_(std::move(environment)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Orvanta"));
    setWindowIcon(AppIcon());
    TabControl1 = Named(new QTabBar, "TabControl1");
    TabControl1->setFocusPolicy(Qt::NoFocus);  // Ctrl+Tab switches; focus starts in a pane
    Panel1 = Named(new QStackedWidget, "Panel1");
    for (const PaneKind& kind : PaneKinds()) {
        editors_.push_back(kind.MakeEditor(this, environment_));
        auto* pane = new TDataPane(kind, kind.Data->MakeClient(), *editors_.back(), environment_);
        panes_.push_back(pane);
        Panel1->addWidget(pane);
        TabControl1->addTab(PaneText(kind.Tab));
        connect(pane, &TDataPane::PendingChanged, this, [this] { UpdatePending(); });
        connect(pane, &TDataPane::Message, this,
                [this](const QString& text) { statusBar()->showMessage(text, 10000); });
        connect(pane, &TDataPane::BusyChanged, this, [this](bool busy) {
            UpdateActions();
            if (!busy) PaneIdle();
        });
        for (QPushButton* button : {pane->ConnectBtn, pane->StoreBtn, pane->AddBtn, pane->EditBtn,
                                    pane->DeleteBtn, pane->CancelBtn}) {
            button->installEventFilter(this);
        }
    }
    account_ = new TAccount(panes_, environment_.Keyring, this);
    connect(account_, &TAccount::Message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 10000); });
    account_->Load();
    for (TDataPane* pane : panes_)
        connect(pane, &TDataPane::Connected, account_, &TAccount::StorePassword);
    PendingLbl = Named(new QLabel, "PendingLbl");
    statusBar()->addPermanentWidget(PendingLbl);
    MakeActions();

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(TabControl1);
    layout->addWidget(Panel1, 1);
    setCentralWidget(central);
    connect(TabControl1, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });

    // Fits a small screen, also at twice the scale: 1280 x 800 at 200% leaves 640 x 400.
    setMinimumSize(480, 360);
    QSize size(760, 600);
    if (const QScreen* screen = QApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    }
    resize(size.expandedTo(minimumSize()));
    RestoreWindowState(*this);
    UpdateActions();
}

TMainForm::~TMainForm() {
    // The panes, and with them any exchange they run, go before the editors they use.
    for (TDataPane* pane : panes_)
        delete pane;
}

QAction* TMainForm::MakeAction(const char* name, const QString& text, const QKeySequence& key,
                               const QString& tip) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) action->setShortcut(key);
    action->setToolTip(
        key.isEmpty() ? tip
                      : QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
    action->setStatusTip(tip);
    addAction(action);  // shortcuts work wherever the focus is in the window
    return action;
}

void TMainForm::MakeActions() {
    const auto onPane = [this](QAction* action, QPushButton* TDataPane::*button) {
        connect(action, &QAction::triggered, this, [this, button] {
            if (TDataPane* pane = CurrentPane()) (pane->*button)->click();
        });
    };
    QStyle* style = this->style();
    connectAction_ = MakeAction("ConnectAction", tr("&Connect"), QKeySequence(Qt::Key_F5),
                                tr("Load every item of the data source from the server"));
    connectAction_->setIcon(style->standardIcon(QStyle::SP_BrowserReload));
    storeAction_ = MakeAction("StoreAction", tr("&Store changes"), QKeySequence::Save,
                              tr("Send the added, edited and deleted items to the server"));
    storeAction_->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
    cancelAction_ = MakeAction("CancelAction", tr("C&ancel exchange"), {},
                               tr("End the exchange with the server now"));
    cancelAction_->setIcon(style->standardIcon(QStyle::SP_BrowserStop));
    addAction_ = MakeAction("AddAction", tr("&Add..."), QKeySequence::New, tr("Add a new item"));
    addAction_->setIcon(style->standardIcon(QStyle::SP_FileIcon));
    editAction_ = MakeAction("EditAction", tr("&Edit..."), {}, tr("Edit the selected item"));
    deleteAction_ = MakeAction("DeleteAction", tr("&Delete"), QKeySequence::Delete,
                               tr("Delete the selected item"));
    deleteAction_->setIcon(style->standardIcon(QStyle::SP_TrashIcon));
    onPane(connectAction_, &TDataPane::ConnectBtn);
    onPane(storeAction_, &TDataPane::StoreBtn);
    onPane(cancelAction_, &TDataPane::CancelBtn);
    onPane(addAction_, &TDataPane::AddBtn);
    onPane(editAction_, &TDataPane::EditBtn);
    onPane(deleteAction_, &TDataPane::DeleteBtn);

    QAction* next =
        MakeAction("NextTabAction", tr("&Next tab"), QKeySequence(Qt::CTRL | Qt::Key_Tab),
                   tr("Bring the next kind of data to the front"));
    next->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)});
    // Shift turns Tab into Backtab on most keyboards; the shortcut map tries Tab for it,
    // and the menu shows the keys as they are printed.
    QAction* previous = MakeAction("PreviousTabAction", tr("&Previous tab"),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                   tr("Bring the previous kind of data to the front"));
    previous->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                            QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
    const auto step = [this](int by) {
        const int count = TabControl1->count();
        TabControl1->setCurrentIndex((TabControl1->currentIndex() + by + count) % count);
    };
    connect(next, &QAction::triggered, this, [step] { step(1); });
    connect(previous, &QAction::triggered, this, [step] { step(-1); });
    QAction* quit = MakeAction("QuitAction", tr("&Quit"), QKeySequence::Quit, tr("Close Orvanta"));
    connect(quit, &QAction::triggered, this, &QWidget::close);
    QAction* about =
        MakeAction("AboutAction", tr("&About Orvanta"), {}, tr("What this program is"));
    connect(about, &QAction::triggered, this, [this] { ShowAbout(); });

    fileMenu_ = menuBar()->addMenu(tr("&File"));
    fileMenu_->setObjectName(QStringLiteral("FileMenu"));
    fileMenu_->addActions({connectAction_, storeAction_, cancelAction_});
    fileMenu_->addSeparator();
    QAction* remember = MakeAction("RememberPasswordAction", tr("&Remember password"), {},
                                   tr("Keep the password in the system keyring"));
    remember->setCheckable(true);
    remember->setChecked(account_->RememberPassword());
    connect(remember, &QAction::toggled, account_, &TAccount::SetRememberPassword);
    fileMenu_->addAction(remember);
    fileMenu_->addSeparator();
    AddImportExportActions(
        fileMenu_, this, environment_,
        {[this]() -> TSMLBase* { return CurrentPane() ? &CurrentPane()->SyncClient() : nullptr; },
         [this] {
             std::vector<const TSMLItem*> selected;
             if (const TSMLItem* item = CurrentPane()->SelectedItem()) selected.push_back(item);
             return selected;
         },
         [this] { return CurrentPane()->ShownItems(); },
         [this](const QString& summary) {
             // The new items wait, like added ones, for "Store changes".
             TDataPane* pane = CurrentPane();
             pane->FillList();
             pane->StoreBtn->setEnabled(true);
             pane->StatusLbl->setText(summary);
             statusBar()->showMessage(summary, 10000);
             emit pane->PendingChanged();
         },
         [this](const QString& summary) { statusBar()->showMessage(summary, 10000); }});
    fileMenu_->addSeparator();
    fileMenu_->addAction(quit);
    QMenu* items = menuBar()->addMenu(tr("&Items"));
    items->setObjectName(QStringLiteral("ItemsMenu"));
    items->addActions({addAction_, editAction_, deleteAction_});
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    view->addActions({next, previous});
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addAction(about);

    QToolBar* tools = addToolBar(tr("Main"));
    tools->setObjectName(QStringLiteral("MainToolBar"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Small icons beside their text: the menu bar above holds every action anyway.
    const int small = style->pixelMetric(QStyle::PM_SmallIconSize);
    tools->setIconSize(QSize(small, small));
    tools->addActions({connectAction_, storeAction_, cancelAction_});
    tools->addSeparator();
    tools->addActions({addAction_, deleteAction_});

    for (TDataPane* pane : panes_) {
        pane->List->setContextMenuPolicy(Qt::ActionsContextMenu);
        pane->List->addActions({addAction_, editAction_, deleteAction_});
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange) UpdateActions();
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::UpdateActions() {
    TDataPane* pane = CurrentPane();
    if (!pane || !connectAction_) return;
    const auto follow = [](QAction* action, const QPushButton* button) {
        action->setEnabled(button->isEnabled());
    };
    follow(connectAction_, pane->ConnectBtn);
    follow(storeAction_, pane->StoreBtn);
    follow(addAction_, pane->AddBtn);
    follow(editAction_, pane->EditBtn);
    follow(deleteAction_, pane->DeleteBtn);
    follow(cancelAction_, pane->CancelBtn);
    // Import and export read and add items, which a running exchange owns.
    for (const char* name : {"ImportAction", "ExportSelectedAction", "ExportAllAction"}) {
        if (auto* action =
                fileMenu_ ? fileMenu_->findChild<QAction*>(QString::fromLatin1(name)) : nullptr)
            action->setEnabled(!pane->Busy());
    }
    connectAction_->setText(pane->ConnectBtn->text() == tr("Refresh") ? tr("&Refresh")
                                                                      : tr("&Connect"));
}

int TMainForm::PendingChanges() const {
    int pending = 0;
    for (const TDataPane* pane : panes_)
        pending += pane->PendingChanges();
    return pending;
}

void TMainForm::UpdatePending() {
    const int pending = PendingChanges();
    setWindowTitle(pending > 0 ? QStringLiteral("*Orvanta") : QStringLiteral("Orvanta"));
    PendingLbl->setText(pending > 0 ? tr("%1 not stored").arg(Changes(pending)) : QString());
    UpdateActions();
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) FormShow();
}

void TMainForm::FormShow() {
    shown_ = true;
    // The tab the user left last time (RestoreWindowState), the first at the first start.
    TabControl1Change();
}

void TMainForm::TabControl1Change() {
    // Each pane keeps its settings, list and selection while another one is in front.
    if (TabControl1->currentIndex() < Panel1->count()) {
        Panel1->setCurrentIndex(TabControl1->currentIndex());
    }
    if (TDataPane* pane = CurrentPane()) {
        // The focus goes where the user most likely types next, and shows there.
        // While an exchange runs its thread owns the items, Loaded included.
        QWidget* target = pane->Busy()                         ? pane->CancelBtn
                          : pane->UserNameEd->text().isEmpty() ? pane->UserNameEd
                          : pane->PasswordEd->text().isEmpty() ? pane->PasswordEd
                          : pane->SyncClient().Loaded          ? static_cast<QWidget*>(pane->List)
                                                               : pane->ConnectBtn;
        if (target->isEnabled()) target->setFocus(Qt::TabFocusReason);
    }
    UpdateActions();
}

TDataPane* TMainForm::CurrentPane() const {
    const int index = TabControl1->currentIndex();
    return index >= 0 && index < static_cast<int>(panes_.size())
               ? panes_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TMainForm::PaneIdle() {
    if (!closeAfterStore_) return;
    for (const TDataPane* pane : panes_) {
        if (pane->Busy()) return;
    }
    closeAfterStore_ = false;
    // Close once everything went to the server; what failed stays for the user to see.
    if (PendingChanges() == 0) close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    const int pending = PendingChanges();
    if (pending > 0) {
        const auto answer =
            Ask(this, tr("%1 not stored yet. Store them before closing?").arg(Changes(pending)),
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Save) {
            event->ignore();
            closeAfterStore_ = true;
            for (TDataPane* pane : panes_) {
                if (pane->PendingChanges() > 0 && !pane->Busy()) pane->StoreBtnClick();
            }
            PaneIdle();
            return;
        }
    }
    for (TDataPane* pane : panes_)
        pane->Shutdown();
    account_->Save();
    SaveWindowState(*this);
    event->accept();
}

void TMainForm::ShowAbout() {
    QMessageBox::about(
        this, tr("About Orvanta"),
        tr("<h3>Orvanta %1</h3><p>Keeps calendar events, contacts, tasks and notes in the "
           "data stores of a SyncML 1.2 server.</p><p>Connect loads a data store, the "
           "editors change its items, Store changes sends the changes back.</p>")
            .arg(QApplication::applicationVersion()));
}

}  // namespace orvanta::ui
