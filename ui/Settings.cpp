#include "ui/Settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/SyncMLBase.h"
#include "ui/DataPane.h"
#include "ui/Environment.h"
#include "ui/Forms.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

namespace {

QString Key(const char* name) {
    return QString::fromLatin1(name);
}

}  // namespace

TAccount::TAccount(const TKeyring& keyring, QObject* parent)
    : QObject(parent), keyring_(keyring) {}

void TAccount::SetSettings(const AccountSettings& settings) {
    if (settings == settings_) return;
    settings_ = settings;
    emit Changed();
}

void TAccount::Configure(TSMLBase& client) const {
    client.SetServerURL(settings_.ServerURL.trimmed().toStdString());
    client.UserName = settings_.User.toStdString();
    client.Password = settings_.Password.toStdString();
    client.SetProxyServer(settings_.UseProxy ? settings_.ProxyHost.trimmed().toStdString()
                                             : std::string());
    client.SetProxyPort(settings_.UseProxy ? settings_.ProxyPort : 0);
    client.SetCAFile(settings_.CAFile.trimmed().toStdString());
}

QString TAccount::Where() const {
    if (settings_.User.isEmpty()) return {};
    const QUrl url(settings_.ServerURL.trimmed());
    QString host = url.host().isEmpty() ? settings_.ServerURL.trimmed() : url.host();
    if (url.port() > 0) host += QLatin1Char(':') + QString::number(url.port());
    return settings_.User + QLatin1Char('@') + host;
}

void TAccount::Load(const std::vector<TDataPane*>& panes) {
    QSettings stored;
    AccountSettings s;
    stored.beginGroup(Key("Account"));
    s.ServerURL = stored.value(Key("ServerURL"), s.ServerURL).toString();
    s.User = stored.value(Key("User")).toString();
    s.UseProxy = stored.value(Key("UseProxy"), false).toBool();
    s.ProxyHost = stored.value(Key("ProxyHost")).toString();
    s.ProxyPort = stored.value(Key("ProxyPort"), 0).toInt();
    s.CAFile = stored.value(Key("CAFile")).toString();
    s.KeepCopy = stored.value(Key("KeepCopy"), true).toBool();
    remember_ = stored.value(Key("RememberPassword"), false).toBool();
    stored.endGroup();
    stored.beginGroup(Key("DataSources"));
    for (TDataPane* pane : panes) {
        pane->DSEd->setText(
            stored.value(QString::fromLatin1(pane->Kind().PaneName), pane->DSEd->text())
                .toString());
    }
    stored.endGroup();
    SetSettings(s);
    if (!remember_ || s.User.isEmpty()) return;

    // The answer may come after the window has gone.
    keyring_.Read(KeyringKey(), [self = QPointer<TAccount>(this)](const QString& password,
                                                                  const QString& error) {
        if (!self) return;
        if (!error.isEmpty()) {
            self->KeyringFailed(tr("The keyring could not give the password: %1").arg(error));
        } else if (self->settings_.Password.isEmpty() && !password.isEmpty()) {
            AccountSettings withPassword = self->settings_;
            withPassword.Password = password;
            self->SetSettings(withPassword);
        }
    });
}

void TAccount::Save(const std::vector<TDataPane*>& panes) const {
    QSettings stored;
    stored.beginGroup(Key("Account"));
    stored.setValue(Key("ServerURL"), settings_.ServerURL);
    stored.setValue(Key("User"), settings_.User);
    stored.setValue(Key("UseProxy"), settings_.UseProxy);
    stored.setValue(Key("ProxyHost"), settings_.ProxyHost);
    stored.setValue(Key("ProxyPort"), settings_.ProxyPort);
    stored.setValue(Key("CAFile"), settings_.CAFile);
    stored.setValue(Key("KeepCopy"), settings_.KeepCopy);
    stored.setValue(Key("RememberPassword"), remember_);
    stored.endGroup();
    stored.beginGroup(Key("DataSources"));
    for (const TDataPane* pane : panes)
        stored.setValue(QString::fromLatin1(pane->Kind().PaneName), pane->DSEd->text());
    stored.endGroup();
}

void SaveWindowState(const TMainForm& window) {
    QSettings settings;
    settings.beginGroup(Key("Window"));
    settings.setValue(Key("Geometry"), window.saveGeometry());
    settings.setValue(Key("Tab"), window.TabControl1->currentIndex());
    for (const TDataPane* pane : window.Panes()) {
        if (pane->ColumnsSized || pane->RowCount() > 0)
            settings.setValue(QString::fromLatin1(pane->Kind().PaneName),
                              pane->List->horizontalHeader()->saveState());
    }
    settings.endGroup();
}

void RestoreWindowState(TMainForm& window) {
    QSettings settings;
    settings.beginGroup(Key("Window"));
    window.restoreGeometry(settings.value(Key("Geometry")).toByteArray());
    const int tab = settings.value(Key("Tab"), 0).toInt();
    if (tab >= 0 && tab < window.TabControl1->count()) window.TabControl1->setCurrentIndex(tab);
    for (TDataPane* pane : window.Panes()) {
        QHeaderView* header = pane->List->horizontalHeader();
        const QByteArray state =
            settings.value(QString::fromLatin1(pane->Kind().PaneName)).toByteArray();
        if (state.isEmpty() || !header->restoreState(state)) continue;
        // A state of an older set of columns may leave them without their modes.
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        pane->ColumnsSized = true;
        pane->List->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    }
    settings.endGroup();
}

void TAccount::SetRememberPassword(bool remember) {
    if (remember == remember_) return;
    remember_ = remember;
    if (remember) {
        StorePassword();
        return;
    }
    keyring_.Delete(KeyringKey());
}

QString TAccount::KeyringKey() const {
    return settings_.User + QLatin1Char('@') + settings_.ServerURL;
}

void TAccount::KeyringFailed(const QString& message) {
    // Nothing is remembered: the box says so rather than promising what failed.
    remember_ = false;
    emit Message(message);
}

void TAccount::StorePassword() {
    if (!remember_ || settings_.Password.isEmpty()) return;
    keyring_.Write(KeyringKey(), settings_.Password,
                   [self = QPointer<TAccount>(this)](const QString& error) {
                       if (self && !error.isEmpty()) {
                           self->KeyringFailed(
                               tr("The keyring could not keep the password: %1").arg(error));
                       }
                   });
}

TAccountForm::TAccountForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AccountForm"));
    setWindowTitle(tr("Account"));
    setModal(true);
    ServerEd = Named(new QLineEdit, "ServerEd");
    ServerEd->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    UserNameEd = Named(new QLineEdit, "UserNameEd");
    PasswordEd = Named(new QLineEdit, "PasswordEd");
    PasswordEd->setEchoMode(QLineEdit::Password);
    RememberBox = Named(new QCheckBox(tr("Remember password")), "RememberBox");
    RememberBox->setToolTip(tr("Keep the password in the system keyring"));
    CheckBox1 = Named(new QCheckBox(tr("Use proxy")), "CheckBox1");
    ProxyEd = Named(new QLineEdit, "ProxyEd");
    PortEd = Named(new QSpinBox, "PortEd");
    PortEd->setRange(0, 65535);
    CAFileEd = Named(new QLineEdit, "CAFileEd");
    CAFileEd->setPlaceholderText(tr("System"));
    CAFileEd->setToolTip(
        tr("For a server whose certificate comes from a certificate authority of its own: "
           "that authority's certificate, a PEM file"));
    KeepCopyBox = Named(new QCheckBox(tr("Keep a copy on this computer")), "KeepCopyBox");
    KeepCopyBox->setToolTip(
        tr("Show the items at once, work without a network and sync both ways; off: "
           "Connect loads the items and \"Store changes\" sends the changes"));
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) {
        ProxyEd->setEnabled(on);
        PortEd->setEnabled(on);
    });

    auto* form = new QFormLayout;
    form->addRow(tr("Server:"), ServerEd);
    form->addRow(tr("User:"), UserNameEd);
    form->addRow(tr("Password:"), PasswordEd);
    form->addRow(QString(), RememberBox);
    auto* proxy = new QHBoxLayout;
    proxy->addWidget(CheckBox1);
    proxy->addWidget(ProxyEd, 1);
    proxy->addWidget(new QLabel(tr("Port:")));
    proxy->addWidget(PortEd);
    form->addRow(tr("Proxy:"), proxy);
    form->addRow(tr("CA file:"), CAFileEd);
    form->addRow(QString(), KeepCopyBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    SetTabOrder({ServerEd, UserNameEd, PasswordEd, RememberBox, CheckBox1, ProxyEd, PortEd,
                 CAFileEd, KeepCopyBox});
}

void TAccountForm::Show(const AccountSettings& s, bool remember) {
    ServerEd->setText(s.ServerURL);
    UserNameEd->setText(s.User);
    PasswordEd->setText(s.Password);
    RememberBox->setChecked(remember);
    CheckBox1->setChecked(s.UseProxy);
    ProxyEd->setText(s.ProxyHost);
    PortEd->setValue(s.ProxyPort);
    ProxyEd->setEnabled(s.UseProxy);
    PortEd->setEnabled(s.UseProxy);
    CAFileEd->setText(s.CAFile);
    KeepCopyBox->setChecked(s.KeepCopy);
    // The first field still empty, else the password: what the user most likely types.
    QLineEdit* first = s.ServerURL.isEmpty() ? ServerEd
                       : s.User.isEmpty()    ? UserNameEd
                                             : PasswordEd;
    focus_ = first;
}

void TAccountForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (focus_) focus_->setFocus(Qt::OtherFocusReason);
}

AccountSettings TAccountForm::Taken(AccountSettings s) const {
    s.ServerURL = ServerEd->text().trimmed();
    s.User = UserNameEd->text().trimmed();
    s.Password = PasswordEd->text();
    s.UseProxy = CheckBox1->isChecked();
    s.ProxyHost = ProxyEd->text().trimmed();
    s.ProxyPort = PortEd->value();
    s.CAFile = CAFileEd->text().trimmed();
    s.KeepCopy = KeepCopyBox->isChecked();
    return s;
}

bool TAccountForm::Run(const AccountSettings& settings, bool remember) {
    Show(settings, remember);
    return exec() == QDialog::Accepted;
}

}  // namespace orvanta::ui
