#include "ui/DataPane.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "engine/SyncExchange.h"
#include "kinds/KindTable.h"
#include "ui/Conflicts.h"
#include "ui/Environment.h"
#include "ui/Exchange.h"
#include "ui/ItemsModel.h"
#include "ui/Settings.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

namespace {

// The rows the list shows: every item not marked deleted that passes the filter.
class TShownItems final : public QSortFilterProxyModel {
public:
    TShownItems(const TItemsModel& items, QObject* parent)
        : QSortFilterProxyModel(parent), items_(items) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        return !items_.IsDeleted(row) && QSortFilterProxyModel::filterAcceptsRow(row, parent);
    }

private:
    const TItemsModel& items_;
};

}  // namespace

TDataPane::TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, TItemEditor& editor,
                     const TEnvironment& environment, const TAccount& account, QWidget* parent)
    : QWidget(parent),
      kind_(kind),
      client_(std::move(client)),
      editor_(editor),
      environment_(environment),
      account_(account) {
    setObjectName(QString::fromLatin1(kind.PaneName));

    DSEd = Named(new QLineEdit(QString::fromStdString(kind.Data->Defaults.DataSource)), "DSEd");
    DSEd->setToolTip(tr("The data store on the server that this pane keeps"));
    ItemsGroup = new QGroupBox(PaneText(kind.Group));
    FilterEd = Named(new QLineEdit, "FilterEd");
    FilterEd->setPlaceholderText(tr("Filter"));
    FilterEd->setClearButtonEnabled(true);

    model_ = new TItemsModel(kind, *client_, this);
    sorted_ = new TShownItems(*model_, this);
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(TItemsModel::SortRole);
    sorted_->setSortCaseSensitivity(Qt::CaseInsensitive);
    sorted_->setSortLocaleAware(true);
    sorted_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    sorted_->setFilterKeyColumn(-1);
    sorted_->setDynamicSortFilter(true);
    List = Named(new QTableView, kind.ListName);
    List->setModel(sorted_);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setAlternatingRowColors(true);
    List->setWordWrap(false);
    // Tab leaves the list for its buttons rather than walking it cell by cell; the arrow
    // keys move between the rows.
    List->setTabKeyNavigation(false);
    List->installEventFilter(this);
    List->verticalHeader()->hide();
    // Rows as high as a line of text and a little air: the list is what the pane is for.
    List->verticalHeader()->setMinimumSectionSize(1);
    List->verticalHeader()->setDefaultSectionSize(List->fontMetrics().height() + 6);
    // The first column takes the room the others leave; the user sizes the others (the
    // window remembers them), fitted to their contents until then.
    List->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    List->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    // The first column follows the window; a change to another is the user's.
    connect(List->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!fitting_ && column != 0) ColumnsSized = true;
    });
    FitColumns();
    List->setSortingEnabled(true);
    // The table is what gives way on a small screen: its header and a row at least.
    List->setMinimumHeight(List->horizontalHeader()->sizeHint().height() +
                           List->verticalHeader()->defaultSectionSize() + 2 * List->frameWidth());
    List->sortByColumn(kind.SortColumn, Qt::AscendingOrder);

    AddBtn = Named(new QPushButton(tr("Add...")), kind.AddName);
    EditBtn = Named(new QPushButton(tr("Edit...")), kind.EditName);
    DeleteBtn = Named(new QPushButton(tr("Delete")), kind.DeleteName);
    SyncBtn = Named(new QPushButton(tr("Sync")), "SyncBtn");
    StoreBtn = Named(new QPushButton(tr("Store changes")), "StoreBtn");
    ConflictsBtn = Named(new QPushButton, "ConflictsBtn");
    ConflictsBtn->setToolTip(tr("Items changed here and on the server: keep one version of each"));
    ConflictsBtn->hide();
    StatusLbl = Named(new QLabel, "StatusLbl");
    StatusLbl->setWordWrap(true);  // a report after a load may be long
    CancelBtn = Named(new QPushButton(tr("Cancel")), "CancelBtn");
    CancelBtn->setToolTip(tr("End the exchange with the server now"));
    CancelBtn->hide();
    CancelBtn->setEnabled(false);
    worker_ = std::make_unique<TExchangeWorker>();
    connect(worker_.get(), &TExchangeWorker::Progress, this,
            [this](const ExchangeStats& stats) { ShowProgress(stats); });
    connect(worker_.get(), &TExchangeWorker::Finished, this,
            [this](std::exception_ptr error) { ExchangeFinished(error); });
    connect(CancelBtn, &QPushButton::clicked, worker_.get(), &TExchangeWorker::Cancel);

    auto* top = new QHBoxLayout;
    top->addWidget(FilterEd, 1);
    top->addWidget(new QLabel(tr("Data source:")));
    top->addWidget(DSEd);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(StatusLbl, 1);
    bottom->addWidget(ConflictsBtn);
    bottom->addWidget(CancelBtn);
    bottom->addWidget(StoreBtn);
    bottom->addWidget(SyncBtn);

    auto* listColumn = new QWidget;
    auto* listLayout = new QVBoxLayout(listColumn);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(List, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 2);  // the main window has its own margins
    layout->addLayout(top);
    layout->addWidget(ListWithButtons(ItemsGroup, listColumn, {AddBtn, EditBtn, DeleteBtn}), 1);
    layout->addLayout(bottom);

    SetTabOrder({FilterEd, DSEd, List, AddBtn, EditBtn, DeleteBtn, ConflictsBtn, StoreBtn,
                 SyncBtn});

    connect(DSEd, &QLineEdit::editingFinished, this, [this] {
        if (!KeepsCopy() || (store_ && store_->Key().DataSource == DSEd->text().toStdString()))
            return;
        OpenStore();
    });
    connect(SyncBtn, &QPushButton::clicked, this, [this] { SyncBtnClick(); });
    connect(FilterEd, &QLineEdit::textChanged, this, [this](const QString& text) {
        sorted_->setFilterFixedString(text);
        UpdateButtons();
    });
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ListClick(); });
    // Filtering or sorting can take the selected row out of view.
    connect(sorted_, &QAbstractItemModel::layoutChanged, this, [this] { UpdateButtons(); });
    connect(sorted_, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateButtons(); });
    connect(sorted_, &QAbstractItemModel::modelReset, this, [this] { UpdateButtons(); });
    connect(List, &QAbstractItemView::doubleClicked, this, [this] { EditBtnClick(); });
    connect(AddBtn, &QPushButton::clicked, this, [this] { AddBtnClick(); });
    connect(EditBtn, &QPushButton::clicked, this, [this] { EditBtnClick(); });
    connect(DeleteBtn, &QPushButton::clicked, this, [this] { DeleteBtnClick(); });
    connect(StoreBtn, &QPushButton::clicked, this, [this] { StoreBtnClick(); });
    connect(ConflictsBtn, &QPushButton::clicked, this, [this] { ConflictsBtnClick(); });
    UseReplica(nullptr);
}

TDataPane::~TDataPane() {
    worker_->Stop();
}

bool TDataPane::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a row opens its editor, as a double click does.
    if (watched == List && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && SelectedItem()) {
            EditBtnClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TDataPane::FitColumns() {
    if (ColumnsSized) return;
    fitting_ = true;
    for (int column = 1; column < model_->columnCount(); ++column)
        List->resizeColumnToContents(column);
    fitting_ = false;
}

void TDataPane::UseReplica(TReplica* replica) {
    Shutdown();
    replica_ = replica;
    store_.reset();
    model_->SetStorage(nullptr);
    model_->Clear();
    loaded_ = false;
    SyncBtn->setText(KeepsCopy() ? tr("Sync") : tr("Connect"));
    SyncBtn->setToolTip(KeepsCopy() ? tr("Send the changes made here and take the server's")
                                    : tr("Load every item of the data source from the server"));
    StoreBtn->setVisible(!KeepsCopy());
    if (KeepsCopy()) OpenStore();
    UpdateButtons();
    ShowState();
    emit PendingChanged();
}

void TDataPane::OpenStore() {
    if (!replica_ || Busy()) return;
    store_.reset();
    model_->SetStorage(nullptr);
    model_->Clear();
    const AccountSettings& account = account_.Settings();
    if (!account.User.isEmpty()) {
        environment_.Guarded([&] {
            store_.emplace(replica_->Store({account.ServerURL.trimmed().toStdString(),
                                            account.User.toStdString(),
                                            DSEd->text().trimmed().toStdString(),
                                            kind_.Data->Keyword}));
            model_->SetStorage(&*store_);
            model_->Load();
        });
    }
    FitColumns();
    UpdateButtons();
    ShowState();
    emit PendingChanged();
}

void TDataPane::Reload() {
    if (!store_) return;
    environment_.Guarded([this] { model_->Load(); });
    FitColumns();
    UpdateButtons();
}

bool TDataPane::HasData() const {
    return KeepsCopy() ? store_.has_value() : loaded_;
}

void TDataPane::ShowState() {
    if (Busy()) return;
    const QString many = PaneText(kind_.Items);
    const QString shown = PaneCount(kind_.Count, model_->Shown());
    if (!HasData()) {
        StatusLbl->setText(
            KeepsCopy()
                ? tr("No account yet: choose File > Account... to name the server and user")
                : tr("No %1 loaded: press Connect").arg(many));
    } else if (model_->Shown() == 0) {
        StatusLbl->setText(KeepsCopy() ? tr("No %1 on this computer yet: press Sync").arg(many)
                                       : tr("No %1 on the server").arg(many));
    } else if (KeepsCopy()) {
        const auto last = store_->LastSync();
        StatusLbl->setText(
            last ? tr("Offline: %1, last synced %2")
                       .arg(shown,
                            QLocale().toString(ToQDateTime(UTCToLocal(*last)),
                                               QStringLiteral("d MMM HH:mm")))
                 : tr("Offline: %1, not synced yet").arg(shown));
    } else {
        StatusLbl->clear();
    }
    // What the last exchange could not take in counts for more than how many items there are.
    if (!report_.isEmpty()) StatusLbl->setText(report_);
    std::size_t conflicts = 0;
    if (store_) environment_.Guarded([&] { conflicts = store_->Conflicts().size(); });
    ConflictsBtn->setVisible(conflicts > 0);
    ConflictsBtn->setText(conflicts == 1 ? tr("1 conflict...")
                                         : tr("%1 conflicts...").arg(conflicts));
}

std::unique_ptr<TSMLBase> TDataPane::ExchangeClient() const {
    std::unique_ptr<TSMLBase> client = kind_.Data->MakeClient();
    client->Random = client_->Random;
    client->Clock = client_->Clock;
    client->HTTP->Limits = client_->HTTP->Limits;
    account_.Configure(*client);
    client->DataSource = DSEd->text().trimmed().toStdString();
    return client;
}

void TDataPane::RunExchange(const QString& what, std::unique_ptr<TSMLBase> client,
                            std::function<void(TSMLBase&)> exchange,
                            std::function<void(bool ok, TSMLBase& client)> done) {
    activity_ = what;
    report_.clear();
    done_ = std::move(done);
    // Started before SetBusy, so that whoever follows BusyChanged (the window's File menu)
    // finds the pane busy.
    worker_->Start(std::move(client), std::move(exchange));
    SetBusy(true);
    StatusLbl->setText(what);
}

void TDataPane::SetBusy(bool busy) {
    // While the exchange runs, what it ends with would replace what is edited now.
    DSEd->setEnabled(!busy);
    ItemsGroup->setEnabled(!busy);
    FilterEd->setEnabled(!busy);
    SyncBtn->setEnabled(!busy);
    StoreBtn->setEnabled(!busy && PendingChanges() > 0 && loaded_);
    ConflictsBtn->setEnabled(!busy);
    CancelBtn->setVisible(busy);
    CancelBtn->setEnabled(busy);
    if (busy) {
        setCursor(Qt::BusyCursor);
        CancelBtn->setFocus();
    } else {
        unsetCursor();
    }
    emit BusyChanged(busy);
}

void TDataPane::ShowProgress(const ExchangeStats& stats) {
    StatusLbl->setText(tr("%1 %2 KB, %3, %4", "activity, kilobytes, round trips, items")
                           .arg(activity_)
                           .arg((stats.BytesSent + stats.BytesReceived + 1023) / 1024)
                           .arg(tr("%n round trip(s)", nullptr, static_cast<int>(stats.RoundTrips)),
                                tr("%n item(s)", nullptr, static_cast<int>(stats.Items))));
}

void TDataPane::ExchangeFinished(std::exception_ptr error) {
    std::unique_ptr<TSMLBase> client = worker_->TakeClient();
    bool ok = !error;
    QString failure;  // what failed, in the user's words, and its detail
    QString detail;
    bool cancelled = false;
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const CancelledError&) {
            cancelled = true;
        } catch (const UserError& e) {
            failure = ErrorText(e.Text());
            detail = e.Detail().isEmpty() ? QString() : ErrorText(e.Detail());
        } catch (const std::exception& e) {
            failure = Headline(e);
            detail = ErrorText(QString::fromUtf8(e.what()));
        }
    }
    auto done = std::move(done_);
    done_ = nullptr;
    if (done && client) done(ok, *client);
    // A collector hears of the failure before the pane is idle again, so that it knows
    // of every failure once the last pane is through.
    const QString named = tr("%1: %2").arg(PaneText(kind_.Tab), failure);
    const bool collected = !failure.isEmpty() && OnFailure;
    if (collected) OnFailure(named, detail);
    SetBusy(false);
    UpdateButtons();
    ShowState();
    if (cancelled) StatusLbl->setText(tr("Cancelled: the list is as it was before"));
    emit PendingChanged();
    if (!failure.isEmpty() && !collected) environment_.Report(named, detail);
}

bool TDataPane::Busy() const {
    return worker_->Running();
}

void TDataPane::Shutdown() {
    if (!worker_->Running()) return;
    worker_->Stop();
    done_ = nullptr;
    SetBusy(false);
}

int TDataPane::PendingChanges() const {
    return model_->Changes();
}

bool TDataPane::ReadyToExchange() {
    if (Busy()) return false;
    const AccountSettings& account = account_.Settings();
    if ((account.User.isEmpty() || account.Password.isEmpty()) && AskAccount && !AskAccount())
        return false;
    return !Busy();  // the account's change may have started nothing, but reloaded
}

void TDataPane::SyncBtnClick() {
    if (!ReadyToExchange()) return;
    if (KeepsCopy()) {
        Sync();
    } else {
        Load();
    }
}

void TDataPane::Sync() {
    if (!store_) {
        OpenStore();
        if (!store_) return;
    }
    const auto summary = std::make_shared<SyncSummary>();
    RunExchange(
        tr("Syncing..."), ExchangeClient(),
        [file = replica_->File(), key = store_->Key(), summary](TSMLBase& client) {
            // A connection of the exchange's own thread, beside the window's.
            TReplica replica(file);
            TReplicaStore store = replica.Store(key);
            *summary = Synchronize(client, store);
        },
        [this, summary](bool ok, TSMLBase&) {
            // Also after a failure: the replica keeps the server's changes it took in.
            Reload();
            if (!ok) return;
            report_ = QString::fromStdString(RefusedReport(summary->Refused));
            if (!summary->Unaccepted.empty()) {
                if (!report_.isEmpty()) report_ += QLatin1Char('\n');
                report_ += tr("The server did not accept %1: they go again with the next sync")
                               .arg(Changes(static_cast<int>(summary->Unaccepted.size())));
            }
            const int received = static_cast<int>(summary->Received.Added +
                                                  summary->Received.Replaced +
                                                  summary->Received.Deleted);
            const int sent = static_cast<int>(summary->Sent.Added + summary->Sent.Replaced +
                                              summary->Sent.Deleted);
            emit Message(tr("%1 synced with %2: %3 sent, %4 received")
                             .arg(PaneText(kind_.Tab), account_.Where())
                             .arg(sent)
                             .arg(received));
            emit Synced();
        });
}

void TDataPane::Load() {
    // A load replaces the items: changes not stored would be gone.
    const int pending = PendingChanges();
    if (pending > 0 &&
        Ask(this,
            tr("%1 in %2 not stored yet will be lost. Refresh anyway?")
                .arg(Changes(pending), PaneText(kind_.Tab)),
            QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Yes) {
        return;
    }
    RunExchange(
        tr("Connecting..."), ExchangeClient(), [](TSMLBase& client) { client.Load(""); },
        [this](bool ok, TSMLBase& client) {
            // A failed load keeps what the list showed.
            if (!ok) return;
            if (kind_.Hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
            model_->Take(client);
            FitColumns();
            if (kind_.Hourglass) QApplication::restoreOverrideCursor();
            // The only sign that items of the server are missing from the list.
            report_ = QString::fromStdString(RefusedReport(client_->Refused));
            loaded_ = true;
            SyncBtn->setText(tr("Refresh"));
            emit Message(tr("Loaded %1 from %2")
                             .arg(PaneCount(kind_.Count, model_->Shown()), account_.Where()));
            emit Synced();
        });
}

void TDataPane::StoreBtnClick() {
    if (Busy() || KeepsCopy() || !loaded_) return;
    // The store sends a copy of the items; what it settles replaces the list afterwards.
    std::unique_ptr<TSMLBase> copy = ExchangeClient();
    copy->Loaded = true;
    copy->NextAnchor = client_->NextAnchor;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const TSMLItem& item = *model_->Item(row);
        auto clone = copy->CreateItem();
        clone->Parse(item.GetText());
        clone->ID = item.ID;
        clone->ServerID = item.ServerID;
        clone->State = item.State;
        copy->Items.push_back(std::move(clone));
    }
    const int before = PendingChanges();
    RunExchange(tr("Storing..."), std::move(copy), [](TSMLBase& client) { client.Store(); },
                [this, before](bool ok, TSMLBase& client) {
                    // Also after a failure: what the server confirmed is settled.
                    model_->Take(client);
                    if (!ok) return;
                    // The server's own changes sent back in the store, which it has no
                    // place for.
                    report_ = QString::fromStdString(RefusedReport(client_->Refused));
                    emit Message(tr("Stored %1 to %2")
                                     .arg(Changes(before - PendingChanges()), account_.Where()));
                });
}

void TDataPane::UpdateButtons() {
    const bool selected = SelectedItem() != nullptr;
    AddBtn->setEnabled(HasData());
    EditBtn->setEnabled(selected);
    DeleteBtn->setEnabled(selected);
    StoreBtn->setEnabled(!Busy() && loaded_ && PendingChanges() > 0);
}

void TDataPane::ListClick() {
    UpdateButtons();
}

int TDataPane::RowCount() const {
    return sorted_->rowCount();
}

QString TDataPane::Cell(int row, int column) const {
    return sorted_->index(row, column).data().toString();
}

void TDataPane::SelectRow(int row) {
    List->selectRow(row);
}

int TDataPane::SelectedSourceRow() const {
    const QModelIndexList rows = List->selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    return sorted_->mapToSource(rows.front()).row();
}

TSMLItem* TDataPane::SelectedItem() const {
    return model_->Item(SelectedSourceRow());
}

std::vector<const TSMLItem*> TDataPane::ShownItems() const {
    std::vector<const TSMLItem*> items;
    for (int row = 0; row < sorted_->rowCount(); ++row)
        items.push_back(model_->Item(sorted_->mapToSource(sorted_->index(row, 0)).row()));
    return items;
}

void TDataPane::AddBtnClick() {
    if (!HasData()) return;
    TSMLItem* item = editor_.Add(*client_);
    if (!item) return;
    environment_.Guarded([this] { model_->TakeAppended(); });
    UpdateButtons();
    ShowState();
    emit PendingChanged();
}

void TDataPane::TakeImported(const QString& summary) {
    if (!environment_.Guarded([this] { model_->TakeAppended(); })) return;
    UpdateButtons();
    ShowState();
    StatusLbl->setText(summary);
    emit PendingChanged();
}

void TDataPane::EditBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    // Opened and closed with OK but unchanged, the item stays as it was and goes nowhere;
    // changed reminders count though the editor was cancelled (they are kept).
    const std::string before = item->GetText();
    const ItemState state = item->State;
    environment_.Guarded([&] {
        editor_.Edit(*client_, *item);
        if (item->GetText() != before || item->State != state) model_->Save(model_->RowOf(item));
    });
    UpdateButtons();
    emit PendingChanged();
}

void TDataPane::DeleteBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    const QString title = ToQt(item->GetTitle());
    if (Ask(this, title.isEmpty() ? tr("Delete this item?") : tr("Delete \"%1\"?").arg(title),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    environment_.Guarded([&] { model_->Remove(model_->RowOf(item)); });
    List->clearSelection();
    UpdateButtons();
    ShowState();
    emit PendingChanged();
}

void TDataPane::ConflictsBtnClick() {
    if (!store_ || Busy()) return;
    TConflictForm form(kind_, *client_, *store_, environment_, this);
    form.exec();
    Reload();
    ShowState();
    emit PendingChanged();
}

}  // namespace orvanta::ui
