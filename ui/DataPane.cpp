#include "ui/DataPane.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "engine/HttpClient.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TDataPane::TDataPane(const PaneKind& kind, std::unique_ptr<TSMLBase> client, QWidget* parent)
    : QWidget(parent), kind_(kind), client_(std::move(client)) {
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
    List = Named(new QListWidget, kind.ListName);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
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

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(ListWithButtons(ItemsGroup, List, {AddBtn, EditBtn, DeleteBtn}), 1);
    layout->addLayout(bottom);

    SetTabOrder({ServerEd, DSEd, UserNameEd, PasswordEd, CheckBox1, ProxyEd, PortEd, ConnectBtn,
                 List, AddBtn, EditBtn, DeleteBtn, StoreBtn});

    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(ConnectBtn, &QPushButton::clicked, this, [this] { ConnectBtnClick(); });
    connect(List, &QListWidget::itemSelectionChanged, this, [this] { ListClick(); });
    connect(List, &QListWidget::itemDoubleClicked, this, [this] { EditBtnClick(); });
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
    client_->HTTP->OnProgress = [this, what](std::size_t received) {
        StatusLbl->setText(tr("%1 %2 KB received").arg(what).arg(received / 1024));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    struct Restore {
        TDataPane* pane;
        ~Restore() {
            pane->client_->HTTP->OnProgress = nullptr;
            pane->StatusLbl->clear();
            QApplication::restoreOverrideCursor();
        }
    } restore{this};
    exchange();
}

void TDataPane::ConnectBtnClick() {
    AddBtn->setEnabled(false);
    List->clear();
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
    List->clear();
    if (kind_.Hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
    List->setUpdatesEnabled(false);
    for (const auto& item : client_->Items) {
        if (item->State != ItemState::Deleted) AppendRow(*item);
    }
    List->setUpdatesEnabled(true);
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

QString TDataPane::RowText(const TSMLItem& item) const {
    return ToQt(item.GetTitle());
}

void TDataPane::AppendRow(TSMLItem& item) {
    auto* row = new QListWidgetItem(RowText(item), List);
    row->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&item)));
}

TSMLItem* TDataPane::SelectedItem() const {
    const QList<QListWidgetItem*> rows = List->selectedItems();
    if (rows.isEmpty()) return nullptr;
    return reinterpret_cast<TSMLItem*>(rows.front()->data(Qt::UserRole).value<quintptr>());
}

std::size_t TDataPane::IndexOf(const TSMLItem& item) const {
    const auto& items = client_->Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].get() == &item) return i;
    }
    return items.size();
}

TSMLItem* TDataPane::AddItem() {
    TSMLItem* item = client_->NewItem();
    bool ok = false;
    Guarded([&] { ok = Edit(*item); });
    if (ok) return item;
    client_->DeleteItem(IndexOf(*item));
    return nullptr;
}

void TDataPane::AddBtnClick() {
    TSMLItem* item = AddItem();
    if (!item) return;
    AppendRow(*item);
    UpdateButtons();
    StoreBtn->setEnabled(true);
}

void TDataPane::EditBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    bool ok = false;
    Guarded([&] { ok = Edit(*item); });
    if (!ok) return;
    List->selectedItems().front()->setText(RowText(*item));
    StoreBtn->setEnabled(true);
}

void TDataPane::DeleteBtnClick() {
    TSMLItem* item = SelectedItem();
    if (!item) return;
    QListWidgetItem* row = List->selectedItems().front();
    client_->DeleteItem(IndexOf(*item));
    delete row;
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
