#include "ui/Forms.h"

#include <QAction>
#include <QCheckBox>
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
#include "replica/Replica.h"
#include "ui/ImportExport.h"
#include "ui/Settings.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TMainForm::TMainForm(TEnvironment environment, QWidget* parent)
    : QMainWindow(parent), environment_(std::move(environment)) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Orvanta"));
    setWindowIcon(AppIcon());
    account_ = new TAccount(environment_.Keyring, this);
    accountForm_ = new TAccountForm(this);
    TabControl1 = Named(new QTabBar, "TabControl1");
    TabControl1->setFocusPolicy(Qt::NoFocus);  // Ctrl+Tab switches; focus starts in a pane
    Panel1 = Named(new QStackedWidget, "Panel1");
    for (const PaneKind& kind : PaneKinds()) {
        editors_.push_back(kind.MakeEditor(this, environment_));
        auto* pane = new TDataPane(kind, kind.Data->MakeClient(), *editors_.back(), environment_,
                                   *account_);
        pane->AskAccount = [this] { return EditAccount(); };
        panes_.push_back(pane);
        Panel1->addWidget(pane);
        TabControl1->addTab(PaneText(kind.Tab));
        connect(pane, &TDataPane::PendingChanged, this, [this] { UpdatePending(); });
        connect(pane, &TDataPane::Message, this,
                [this](const QString& text) { statusBar()->showMessage(text, 10000); });
        connect(pane, &TDataPane::BusyChanged, this, [this, pane](bool busy) {
            UpdateActions();
            if (busy) return;
            if (pane == CurrentPane()) FocusPane();
            PaneIdle();
        });
        connect(pane, &TDataPane::Synced, account_, &TAccount::StorePassword);
        for (QPushButton* button : {pane->SyncBtn, pane->StoreBtn, pane->AddBtn, pane->EditBtn,
                                    pane->DeleteBtn, pane->CancelBtn}) {
            button->installEventFilter(this);
        }
    }
    PendingLbl = Named(new QLabel, "PendingLbl");
    AccountLbl = Named(new QLabel, "AccountLbl");
    statusBar()->addPermanentWidget(PendingLbl);
    statusBar()->addPermanentWidget(AccountLbl);
    connect(account_, &TAccount::Message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 10000); });
    account_->Load(panes_);
    connect(account_, &TAccount::Changed, this, [this] { AccountChanged(); });
    MakeActions();
    AccountChanged();

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
    // The panes, and with them any exchange they run, go before the editors they use and
    // the replica they read; the actions no longer follow them meanwhile.
    syncAction_ = nullptr;
    for (TDataPane* pane : panes_)
        delete pane;
}

void TMainForm::OpenReplica() {
    replica_.reset();
    try {
        replica_ = std::make_unique<TReplica>(environment_.ReplicaFile.toStdString());
    } catch (const std::exception& failure) {
        environment_.Report(tr("The items cannot be kept on this computer: Connect loads them "
                               "and \"Store changes\" sends the changes."),
                            ErrorText(QString::fromUtf8(failure.what())));
    }
}

void TMainForm::AccountChanged() {
    const AccountSettings& settings = account_->Settings();
    const bool keep = settings.KeepCopy && !environment_.ReplicaFile.isEmpty();
    const QString account = settings.ServerURL.trimmed() + QLatin1Char('\n') + settings.User;
    if (keep != keepCopy_) {
        keepCopy_ = keep;
        if (keep) OpenReplica();
        for (TDataPane* pane : panes_)
            pane->UseReplica(keep ? replica_.get() : nullptr);
        if (!keep) replica_.reset();
    } else if (account != accountKey_) {
        // Another server or user: the items of that account, never the last one's sent to
        // it. A new password alone reads nothing anew.
        for (TDataPane* pane : panes_) {
            if (keep) {
                pane->OpenStore();
            } else {
                pane->UseReplica(nullptr);
            }
        }
    }
    accountKey_ = account;
    const QString where = account_->Where();
    AccountLbl->setText(where.isEmpty() ? tr("No account") : where);
    AccountLbl->setToolTip(settings.ServerURL);
    UpdatePending();
}

bool TMainForm::EditAccount() {
    const AccountSettings before = account_->Settings();
    if (!accountForm_->Run(before, account_->RememberPassword())) {
        FocusPane();
        return false;
    }
    const AccountSettings after = accountForm_->Taken(before);
    // Items held in memory only are dropped when the panes turn to the replica or to
    // another account: the user agrees first.
    const bool dropsItems = !before.KeepCopy && (after.KeepCopy || after.ServerURL != before.ServerURL ||
                                                 after.User != before.User);
    int held = 0;
    for (const TDataPane* pane : panes_)
        held += pane->UnsavedChanges();
    if (dropsItems && held > 0 &&
        Ask(this, tr("%1 not stored yet will be lost. Change the account anyway?").arg(Changes(held)),
            QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Yes) {
        FocusPane();
        return false;
    }
    const bool remember = accountForm_->RememberBox->isChecked();
    // Off first: the keyring entry to remove is the one of the account as it was.
    if (!remember) account_->SetRememberPassword(false);
    account_->SetSettings(after);
    if (remember) account_->SetRememberPassword(true);
    FocusPane();
    return true;
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
    // Its text is the pane's button's: "Sync", or "Connect" and "Refresh" without a copy.
    syncAction_ = MakeAction("SyncAction", tr("Sync"), QKeySequence(Qt::Key_F5),
                             tr("Send the changes made here and take the server's"));
    syncAction_->setIcon(style->standardIcon(QStyle::SP_BrowserReload));
    syncAllAction_ =
        MakeAction("SyncAllAction", tr("Sync &all"), QKeySequence(Qt::CTRL | Qt::Key_F5),
                   tr("Sync every kind of data"));
    connect(syncAllAction_, &QAction::triggered, this, [this] { SyncAll(); });
    storeAction_ = MakeAction("StoreAction", tr("&Store changes"), QKeySequence::Save,
                              tr("Send the added, edited and deleted items to the server"));
    storeAction_->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
    cancelAction_ = MakeAction("CancelAction", tr("C&ancel exchange"), QKeySequence(Qt::Key_Escape),
                               tr("End the exchange with the server now"));
    cancelAction_->setIcon(style->standardIcon(QStyle::SP_BrowserStop));
    accountAction_ = MakeAction("AccountAction", tr("A&ccount..."), {},
                                tr("Server, user, password, proxy, and whether a copy is kept"));
    connect(accountAction_, &QAction::triggered, this, [this] { EditAccount(); });
    addAction_ = MakeAction("AddAction", tr("&Add..."), QKeySequence::New, tr("Add a new item"));
    addAction_->setIcon(style->standardIcon(QStyle::SP_FileIcon));
    editAction_ = MakeAction("EditAction", tr("&Edit..."), {}, tr("Edit the selected item"));
    deleteAction_ = MakeAction("DeleteAction", tr("&Delete"), QKeySequence::Delete,
                               tr("Delete the selected item"));
    deleteAction_->setIcon(style->standardIcon(QStyle::SP_TrashIcon));
    onPane(syncAction_, &TDataPane::SyncBtn);
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
    fileMenu_->addActions({syncAction_, syncAllAction_, storeAction_, cancelAction_});
    fileMenu_->addSeparator();
    fileMenu_->addAction(accountAction_);
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
             // The new items wait, like added ones, for the next sync (or store).
             CurrentPane()->TakeImported(summary);
             statusBar()->showMessage(summary, 10000);
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
    tools->addActions({syncAction_, storeAction_, cancelAction_});
    tools->addSeparator();
    tools->addActions({addAction_, deleteAction_});
    tools->addSeparator();
    tools->addAction(accountAction_);

    for (TDataPane* pane : panes_) {
        pane->List->setContextMenuPolicy(Qt::ActionsContextMenu);
        pane->List->addActions({addAction_, editAction_, deleteAction_});
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::ShowToParent ||
        event->type() == QEvent::HideToParent)
        UpdateActions();
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::UpdateActions() {
    TDataPane* pane = CurrentPane();
    if (!pane || !syncAction_) return;
    const auto follow = [](QAction* action, const QPushButton* button) {
        action->setEnabled(button->isEnabled() && !button->isHidden());
    };
    follow(syncAction_, pane->SyncBtn);
    follow(storeAction_, pane->StoreBtn);
    follow(addAction_, pane->AddBtn);
    follow(editAction_, pane->EditBtn);
    follow(deleteAction_, pane->DeleteBtn);
    follow(cancelAction_, pane->CancelBtn);
    // The tool bar and the pane name the same action.
    syncAction_->setText(pane->SyncBtn->text());
    storeAction_->setVisible(!pane->KeepsCopy());
    syncAllAction_->setText(pane->KeepsCopy() ? tr("Sync &all") : tr("Connect &all"));
    bool anyIdle = false;
    for (const TDataPane* each : panes_)
        anyIdle = anyIdle || !each->Busy();
    syncAllAction_->setEnabled(anyIdle);
    // An exchange under way keeps the account it began with until it ends.
    bool anyBusy = false;
    for (const TDataPane* each : panes_)
        anyBusy = anyBusy || each->Busy();
    accountAction_->setEnabled(!anyBusy);
    // Import needs the pane's items (and an exchange owns none meanwhile): refused before
    // any file dialog opens.
    for (const char* name : {"ImportAction", "ExportSelectedAction", "ExportAllAction"}) {
        if (auto* action =
                fileMenu_ ? fileMenu_->findChild<QAction*>(QString::fromLatin1(name)) : nullptr)
            action->setEnabled(!pane->Busy() && pane->HasData());
    }
}

int TMainForm::PendingChanges() const {
    int pending = 0;
    for (const TDataPane* pane : panes_)
        pending += pane->PendingChanges();
    return pending;
}

void TMainForm::UpdatePending() {
    int unsaved = 0;
    for (const TDataPane* pane : panes_)
        unsaved += pane->UnsavedChanges();
    const int pending = PendingChanges();
    setWindowTitle(unsaved > 0 ? QStringLiteral("*Orvanta") : QStringLiteral("Orvanta"));
    // Kept on this computer, they wait for the next sync; else only memory holds them.
    PendingLbl->setText(pending == 0 ? QString()
                        : unsaved > 0 ? tr("%1 not stored").arg(Changes(pending))
                                      : tr("%1 waiting for the next sync").arg(Changes(pending)));
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
    // Each pane keeps its list and selection while another one is in front.
    if (TabControl1->currentIndex() < Panel1->count()) {
        Panel1->setCurrentIndex(TabControl1->currentIndex());
    }
    FocusPane();
    UpdateActions();
}

void TMainForm::FocusPane() {
    TDataPane* pane = CurrentPane();
    if (!pane) return;
    QWidget* target = pane->Busy()           ? pane->CancelBtn
                      : pane->RowCount() > 0 ? static_cast<QWidget*>(pane->List)
                                             : pane->SyncBtn;
    if (target->isEnabled()) target->setFocus(Qt::TabFocusReason);
}

TDataPane* TMainForm::CurrentPane() const {
    const int index = TabControl1->currentIndex();
    return index >= 0 && index < static_cast<int>(panes_.size())
               ? panes_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TMainForm::SyncAll() {
    if (!syncingAll_.empty()) return;
    allFailures_.clear();
    allDetails_.clear();
    for (TDataPane* pane : panes_) {
        if (pane->Busy()) continue;
        pane->OnFailure = [this](const QString& text, const QString& detail) {
            allFailures_ << text;
            allDetails_ << detail;
        };
        pane->SyncBtnClick();
        if (pane->Busy()) {
            syncingAll_.push_back(pane);
        } else {
            pane->OnFailure = nullptr;
        }
        // The account asked for and not given: nothing to sync with.
        if (account_->Settings().User.isEmpty()) break;
    }
}

void TMainForm::PaneIdle() {
    if (!syncingAll_.empty()) {
        std::erase_if(syncingAll_, [](TDataPane* pane) {
            if (pane->Busy()) return false;
            pane->OnFailure = nullptr;
            return true;
        });
        // One message for every pane that failed, each named, once the last is through.
        if (syncingAll_.empty() && !allFailures_.isEmpty()) {
            const QString text = allFailures_.join(QLatin1Char('\n'));
            const QString detail = allDetails_.join(QLatin1Char('\n'));
            allFailures_.clear();
            allDetails_.clear();
            environment_.Report(text, detail);
        }
    }
    if (!closeAfterStore_) return;
    for (const TDataPane* pane : panes_) {
        if (pane->Busy()) return;
    }
    closeAfterStore_ = false;
    // Close once everything went to the server; what failed stays for the user to see.
    int unsaved = 0;
    for (const TDataPane* pane : panes_)
        unsaved += pane->UnsavedChanges();
    if (unsaved == 0) close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    // Kept in the replica, changes wait there for the next sync: only those held in memory
    // are asked about.
    int unsaved = 0;
    for (const TDataPane* pane : panes_)
        unsaved += pane->UnsavedChanges();
    if (unsaved > 0) {
        const auto answer =
            Ask(this, tr("%n change(s) not stored yet. Store them before closing?", nullptr, unsaved),
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Save) {
            event->ignore();
            closeAfterStore_ = true;
            for (TDataPane* pane : panes_) {
                if (pane->UnsavedChanges() > 0 && !pane->Busy()) pane->StoreBtnClick();
            }
            PaneIdle();
            return;
        }
    }
    for (TDataPane* pane : panes_)
        pane->Shutdown();
    account_->Save(panes_);
    SaveWindowState(*this);
    event->accept();
}

void TMainForm::ShowAbout() {
    QMessageBox::about(
        this, tr("About Orvanta"),
        tr("<h3>Orvanta %1</h3><p>Keeps calendar events, contacts, tasks and notes in the "
           "data stores of a SyncML 1.2 server, with a copy on this computer.</p><p>The "
           "editors change the items here; Sync sends the changes and takes the "
           "server's.</p>")
            .arg(QApplication::applicationVersion()));
}

}  // namespace orvanta::ui
