#include "ui/DataPane.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/HttpClient.h"
#include "ui/ItemsModel.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TDataPane::TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, TItemEditor& editor,
                     QWidget* parent)
    : QWidget(parent), kind_(kind), client_(std::move(client)), editor_(editor) {
    setObjectName(QString::fromLatin1(kind.PaneName));

    ServerEd = Named(new QLineEdit(QString::fromLatin1(kDefaultServerURL)), "ServerEd");
    DSEd = Named(new QLineEdit(QString::fromLatin1(kind.DataSource)), "DSEd");
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
    ConnectBtn = Named(new QPushButton(tr("Connect")), "ConnectBtn");
    ItemsGroup = new QGroupBox(QString::fromLatin1(kind.Group));
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
    List->verticalHeader()->hide();
    List->horizontalHeader()->setStretchLastSection(true);
    List->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    List->setSortingEnabled(true);
    List->sortByColumn(kind.SortColumn, Qt::AscendingOrder);

    AddBtn = Named(new QPushButton(tr("Add...")), kind.AddName);
    EditBtn = Named(new QPushButton(tr("Edit...")), kind.EditName);
    DeleteBtn = Named(new QPushButton(tr("Delete")), kind.DeleteName);
    StoreBtn = Named(new QPushButton(tr("Store\nchanges")), "StoreBtn");
    StoreBtn->setMinimumSize(107, 33);
    StatusLbl = Named(new QLabel, "StatusLbl");
    for (QPushButton* b : {AddBtn, EditBtn, DeleteBtn, StoreBtn})
        b->setEnabled(false);

    auto* settings = new QGridLayout;
    settings->addWidget(new QLabel(tr("Server:")), 0, 0);
    settings->addWidget(ServerEd, 0, 1);
    settings->addWidget(new QLabel(tr("Data source:")), 0, 2);
    settings->addWidget(DSEd, 0, 3);
    settings->addWidget(new QLabel(tr("User:")), 1, 0);
    settings->addWidget(UserNameEd, 1, 1);
    settings->addWidget(new QLabel(tr("Password:")), 1, 2);
    settings->addWidget(PasswordEd, 1, 3);
    settings->addWidget(CheckBox1, 2, 0, 1, 2);
    settings->addWidget(ProxyEd, 3, 0, 1, 2);
    auto* port = new QHBoxLayout;
    port->addWidget(new QLabel(tr("Port:")));
    port->addWidget(PortEd, 1);
    settings->addLayout(port, 3, 2);
    settings->addWidget(ConnectBtn, 3, 3);
    settings->setColumnStretch(1, 3);
    settings->setColumnStretch(3, 2);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(StatusLbl, 1);
    bottom->addWidget(StoreBtn);

    auto* listColumn = new QWidget;
    auto* listLayout = new QVBoxLayout(listColumn);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(FilterEd);
    listLayout->addWidget(List, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(ListWithButtons(ItemsGroup, listColumn, {AddBtn, EditBtn, DeleteBtn}), 1);
    layout->addLayout(bottom);

    SetTabOrder({ServerEd, DSEd, UserNameEd, PasswordEd, CheckBox1, ProxyEd, PortEd, ConnectBtn,
                 FilterEd, List, AddBtn, EditBtn, DeleteBtn, StoreBtn});

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

TDataPane::~TDataPane() = default;

void TDataPane::CheckBox1Click() {
    ProxyEd->setEnabled(CheckBox1->isChecked());
    PortEd->setEnabled(ProxyEd->isEnabled());
}

void TDataPane::RunExchange(const QString& what, const std::function<void()>& exchange) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    StatusLbl->setText(what);
    // The exchange runs on this thread: the progress callback repaints the window but
    // lets no input through, so nothing can change the items while it runs.
    client_->OnProgress = [this, what](const ExchangeStats& stats) {
        StatusLbl->setText(tr("%1 %2 KB received").arg(what).arg(stats.BytesReceived / 1024));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    struct Restore {
        TDataPane* pane;
        ~Restore() {
            pane->client_->OnProgress = nullptr;
            pane->StatusLbl->clear();
            QApplication::restoreOverrideCursor();
        }
    } restore{this};
    exchange();
}

void TDataPane::ConnectBtnClick() {
    AddBtn->setEnabled(false);
    model_->Clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const bool ok = Guarded([this] {
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
        RunExchange(tr("Connecting..."), [this] { client_->Load(""); });
    });
    if (!ok) return;
    AddBtn->setEnabled(true);
    FillList();
    ConnectBtn->setText(tr("Refresh"));
    StoreBtn->setEnabled(false);
    UpdateButtons();
}

void TDataPane::FillList() {
    if (kind_.Hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
    model_->Reset(*client_);
    if (kind_.Hourglass) QApplication::restoreOverrideCursor();
    UpdateButtons();
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
}

void TDataPane::EditBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    bool ok = false;
    Guarded([&] { ok = editor_.Edit(*client_, *item); });
    if (!ok) return;
    model_->Changed(model_->RowOf(item));
    StoreBtn->setEnabled(true);
}

void TDataPane::DeleteBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    const int row = model_->RowOf(item);
    client_->DeleteItem(IndexOf(*item));
    model_->Remove(row);
    List->clearSelection();
    UpdateButtons();
    StoreBtn->setEnabled(true);
}

void TDataPane::StoreBtnClick() {
    const bool ok =
        Guarded([this] { RunExchange(tr("Storing..."), [this] { client_->Store(); }); });
    if (!ok) return;
    FillList();
    StoreBtn->setEnabled(false);
}

}  // namespace orvanta::ui
