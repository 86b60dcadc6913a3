#include "ui/DataPane.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/Errors.h"
#include "kinds/KindTable.h"
#include "ui/Environment.h"
#include "ui/Exchange.h"
#include "ui/ItemsModel.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TDataPane::TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, TItemEditor& editor,
                     const TEnvironment& environment, QWidget* parent)
    : QWidget(parent),
      kind_(kind),
      client_(std::move(client)),
      editor_(editor),
      environment_(environment) {
    setObjectName(QString::fromLatin1(kind.PaneName));

    ServerEd = Named(new QLineEdit(QString::fromLatin1(kDefaultServerURL)), "ServerEd");
    DSEd = Named(new QLineEdit(QString::fromStdString(kind.Data->Defaults.DataSource)), "DSEd");
    UserNameEd = Named(new QLineEdit, "UserNameEd");
    PasswordEd = Named(new QLineEdit, "PasswordEd");
    PasswordEd->setEchoMode(QLineEdit::Password);
    PasswordEd->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    CheckBox1 = Named(new QCheckBox(tr("Use proxy")), "CheckBox1");
    ProxyEd = Named(new QLineEdit, "ProxyEd");
    ProxyEd->setEnabled(false);
    PortEd = Named(new QSpinBox, "PortEd");
    PortEd->setRange(0, 65535);
    PortEd->setEnabled(false);
    CAFileEd = Named(new QLineEdit, "CAFileEd");
    CAFileEd->setPlaceholderText(tr("System"));
    CAFileEd->setToolTip(
        tr("For a server whose certificate comes from a certificate authority of its own: "
           "that authority's certificate, a PEM file"));
    ConnectBtn = Named(new QPushButton(tr("Connect")), "ConnectBtn");
    ItemsGroup = new QGroupBox(PaneText(kind.Group));
    FilterEd = Named(new QLineEdit, "FilterEd");
    FilterEd->setPlaceholderText(tr("Filter"));
    FilterEd->setClearButtonEnabled(true);

    model_ = new TItemsModel(kind, this);
    sorted_ = new QSortFilterProxyModel(this);
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
    StoreBtn = Named(new QPushButton(tr("Store changes")), "StoreBtn");
    StatusLbl = Named(new QLabel, "StatusLbl");
    StatusLbl->setWordWrap(true);  // a report after a load may be long
    CancelBtn = Named(new QPushButton(tr("Cancel")), "CancelBtn");
    CancelBtn->setToolTip(tr("End the exchange with the server now"));
    CancelBtn->hide();
    CancelBtn->setEnabled(false);
    worker_ = std::make_unique<TExchangeWorker>(*client_);
    connect(worker_.get(), &TExchangeWorker::Progress, this,
            [this](const ExchangeStats& stats) { ShowProgress(stats); });
    connect(worker_.get(), &TExchangeWorker::Finished, this,
            [this](std::exception_ptr error) { ExchangeFinished(error); });
    connect(CancelBtn, &QPushButton::clicked, worker_.get(), &TExchangeWorker::Cancel);
    for (QPushButton* b : {AddBtn, EditBtn, DeleteBtn, StoreBtn})
        b->setEnabled(false);

    settingsBox_ = new QWidget;
    auto* settings = new QGridLayout(settingsBox_);
    settings->setContentsMargins(0, 0, 0, 0);
    settings->addWidget(new QLabel(tr("Server:")), 0, 0);
    settings->addWidget(ServerEd, 0, 1);
    settings->addWidget(new QLabel(tr("Data source:")), 0, 2);
    settings->addWidget(DSEd, 0, 3);
    settings->addWidget(new QLabel(tr("User:")), 1, 0);
    settings->addWidget(UserNameEd, 1, 1);
    settings->addWidget(new QLabel(tr("Password:")), 1, 2);
    settings->addWidget(PasswordEd, 1, 3);
    // Three rows, so that the list keeps room on a small screen: the proxy, its port, the
    // CA file and Connect share the last.
    settings->addWidget(CheckBox1, 2, 0);
    auto* proxy = new QHBoxLayout;
    proxy->addWidget(ProxyEd, 1);
    proxy->addWidget(new QLabel(tr("Port:")));
    proxy->addWidget(PortEd);
    settings->addLayout(proxy, 2, 1);
    settings->addWidget(new QLabel(tr("CA file:")), 2, 2);
    auto* connectRow = new QHBoxLayout;
    connectRow->addWidget(CAFileEd, 1);
    connectRow->addWidget(ConnectBtn);
    settings->addLayout(connectRow, 2, 3);
    // The server address is the longest text: its column grows fastest.
    settings->setColumnStretch(1, 2);
    settings->setColumnStretch(3, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(StatusLbl, 1);
    bottom->addWidget(CancelBtn);
    bottom->addWidget(StoreBtn);

    auto* listColumn = new QWidget;
    auto* listLayout = new QVBoxLayout(listColumn);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(FilterEd);
    listLayout->addWidget(List, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 2);  // the main window has its own margins
    layout->addWidget(settingsBox_);
    layout->addWidget(ListWithButtons(ItemsGroup, listColumn, {AddBtn, EditBtn, DeleteBtn}), 1);
    layout->addLayout(bottom);

    SetTabOrder({ServerEd, DSEd, UserNameEd, PasswordEd, CheckBox1, ProxyEd, PortEd, CAFileEd,
                 ConnectBtn, FilterEd, List, AddBtn, EditBtn, DeleteBtn, StoreBtn});

    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(ConnectBtn, &QPushButton::clicked, this, [this] { ConnectBtnClick(); });
    connect(FilterEd, &QLineEdit::textChanged, this, [this](const QString& text) {
        sorted_->setFilterFixedString(text);
        UpdateButtons();
    });
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ListClick(); });
    // Filtering or sorting can take the selected row out of view.
    connect(sorted_, &QAbstractItemModel::layoutChanged, this, [this] { UpdateButtons(); });
    connect(sorted_, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateButtons(); });
    connect(List, &QAbstractItemView::doubleClicked, this, [this] { EditBtnClick(); });
    connect(AddBtn, &QPushButton::clicked, this, [this] { AddBtnClick(); });
    connect(EditBtn, &QPushButton::clicked, this, [this] { EditBtnClick(); });
    connect(DeleteBtn, &QPushButton::clicked, this, [this] { DeleteBtnClick(); });
    connect(StoreBtn, &QPushButton::clicked, this, [this] { StoreBtnClick(); });
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

void TDataPane::CheckBox1Click() {
    ProxyEd->setEnabled(CheckBox1->isChecked());
    PortEd->setEnabled(ProxyEd->isEnabled());
}

void TDataPane::RunExchange(const QString& what, std::function<void(TSMLBase&)> exchange,
                            int pendingMeanwhile, std::function<void(bool ok)> done) {
    activity_ = what;
    pendingMeanwhile_ = pendingMeanwhile;
    done_ = std::move(done);
    storeWasEnabled_ = StoreBtn->isEnabled();
    // Started before SetBusy, so that whoever follows BusyChanged (the window's File menu)
    // finds the pane busy.
    worker_->Start(std::move(exchange));
    SetBusy(true);
    StatusLbl->setText(what);
}

void TDataPane::SetBusy(bool busy) {
    // The worker reads and writes the items: nothing may touch them meanwhile.
    settingsBox_->setEnabled(!busy);
    ItemsGroup->setEnabled(!busy);
    StoreBtn->setEnabled(!busy && storeWasEnabled_);
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
    SetBusy(false);
    StatusLbl->clear();
    bool ok = !error;
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const CancelledError&) {
            StatusLbl->setText(tr("Cancelled"));
        } catch (const std::exception& failure) {
            environment_.ReportError(failure);
        }
    }
    auto done = std::move(done_);
    done_ = nullptr;
    if (done) done(ok);
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
    if (Busy()) return pendingMeanwhile_;
    int pending = 0;
    for (const auto& item : client_->Items) {
        if (item->State != ItemState::Unchanged) ++pending;
    }
    return pending;
}

void TDataPane::ConnectBtnClick() {
    if (Busy()) return;
    // A load replaces the items: changes not stored would be gone.
    const int pending = PendingChanges();
    if (pending > 0 &&
        Ask(this,
            tr("%1 in %2 not stored yet will be lost. Refresh anyway?")
                .arg(Changes(pending), PaneText(kind_.Tab)),
            QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel) != QMessageBox::Yes) {
        return;
    }
    AddBtn->setEnabled(false);
    model_->Clear();
    if (CheckBox1->isChecked()) {
        client_->SetProxyServer(ProxyEd->text().toStdString());
        client_->SetProxyPort(PortEd->value());
    } else {
        client_->SetProxyServer({});
        client_->SetProxyPort(0);
    }
    client_->SetServerURL(ServerEd->text().toStdString());
    client_->UserName = UserNameEd->text().toStdString();
    client_->Password = PasswordEd->text().toStdString();
    client_->DataSource = DSEd->text().toStdString();
    client_->SetCAFile(CAFileEd->text().trimmed().toStdString());
    RunExchange(
        tr("Connecting..."), [](TSMLBase& client) { client.Load(""); }, 0,
        [this](bool ok) {
            emit PendingChanged();
            // A failed load leaves no items, so nothing is left to store either.
            StoreBtn->setEnabled(false);
            if (!ok) return;
            AddBtn->setEnabled(true);
            FillList();
            // The only sign that items of the server are missing from the list.
            StatusLbl->setText(QString::fromStdString(RefusedReport(client_->Refused)));
            ConnectBtn->setText(tr("Refresh"));
            UpdateButtons();
            emit Connected();
        });
}

void TDataPane::FillList() {
    if (kind_.Hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->Reset(*client_);
    FitColumns();
    if (kind_.Hourglass) QApplication::restoreOverrideCursor();
    UpdateButtons();
}

void TDataPane::FitColumns() {
    if (ColumnsSized) return;
    fitting_ = true;
    for (int column = 1; column < model_->columnCount(); ++column)
        List->resizeColumnToContents(column);
    fitting_ = false;
}

void TDataPane::UpdateButtons() {
    const bool selected = SelectedItem() != nullptr;
    EditBtn->setEnabled(selected);
    DeleteBtn->setEnabled(selected);
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
    items.reserve(static_cast<std::size_t>(sorted_->rowCount()));
    for (int row = 0; row < sorted_->rowCount(); ++row)
        items.push_back(model_->Item(sorted_->mapToSource(sorted_->index(row, 0)).row()));
    return items;
}

void TDataPane::AppendRow(TSMLItem& item) {
    model_->Append(item);
}

std::size_t TDataPane::IndexOf(const TSMLItem& item) const {
    const auto& items = client_->Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].get() == &item) return i;
    }
    return items.size();
}

void TDataPane::AddBtnClick() {
    TSMLItem* item = editor_.Add(*client_);
    if (!item) return;
    AppendRow(*item);
    UpdateButtons();
    StoreBtn->setEnabled(true);
    emit PendingChanged();
}

void TDataPane::EditBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    // Opened and closed with OK but unchanged, the item stays as it was and goes nowhere;
    // changed reminders count though the editor was cancelled (they are kept).
    const std::string before = item->GetText();
    const ItemState state = item->State;
    environment_.Guarded([&] { editor_.Edit(*client_, *item); });
    if (item->GetText() == before && item->State == state) return;
    model_->Changed(model_->RowOf(item));
    StoreBtn->setEnabled(true);
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
    const int row = model_->RowOf(item);
    client_->DeleteItem(IndexOf(*item));
    model_->Remove(row);
    List->clearSelection();
    UpdateButtons();
    StoreBtn->setEnabled(true);
    emit PendingChanged();
}

void TDataPane::StoreBtnClick() {
    if (Busy()) return;
    const int before = PendingChanges();
    RunExchange(
        tr("Storing..."), [](TSMLBase& client) { client.Store(); }, before,
        [this, before](bool ok) {
            emit PendingChanged();
            if (!ok) return;
            FillList();
            StoreBtn->setEnabled(false);
            const int stored = before - PendingChanges();
            emit Message(tr("Stored %1").arg(Changes(stored)));
            // The server's own changes sent back in the store, which it has no place for.
            if (!client_->Refused.empty())
                StatusLbl->setText(QString::fromStdString(RefusedReport(client_->Refused)));
        });
}

}  // namespace orvanta::ui
