#include "ui/Settings.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>

#include "ui/DataPane.h"
#include "ui/Forms.h"
#include "ui/Environment.h"

namespace orvanta::ui {

namespace {

QString Key(const char* name) {
    return QString::fromLatin1(name);
}

}  // namespace

TAccount::TAccount(std::vector<TDataPane*> panes, const TKeyring& keyring, QObject* parent)
    : QObject(parent), panes_(std::move(panes)), keyring_(keyring) {
    for (TDataPane* pane : panes_) {
        const auto spread = [this, pane] { Spread(pane); };
        for (QLineEdit* edit :
             {pane->ServerEd, pane->UserNameEd, pane->PasswordEd, pane->ProxyEd, pane->CAFileEd})
            connect(edit, &QLineEdit::textChanged, this, spread);
        connect(pane->CheckBox1, &QCheckBox::toggled, this, spread);
        connect(pane->PortEd, &QSpinBox::valueChanged, this, spread);
    }
}

void TAccount::Spread(const TDataPane* from) {
    if (spreading_) return;
    spreading_ = true;
    for (TDataPane* pane : panes_) {
        if (pane == from) continue;
        pane->ServerEd->setText(from->ServerEd->text());
        pane->UserNameEd->setText(from->UserNameEd->text());
        pane->PasswordEd->setText(from->PasswordEd->text());
        pane->ProxyEd->setText(from->ProxyEd->text());
        pane->CAFileEd->setText(from->CAFileEd->text());
        pane->PortEd->setValue(from->PortEd->value());
        pane->CheckBox1->setChecked(from->CheckBox1->isChecked());
        pane->CheckBox1Click();
    }
    spreading_ = false;
}

void TAccount::Load() {
    QSettings settings;
    TDataPane* first = panes_.front();
    settings.beginGroup(Key("Account"));
    first->ServerEd->setText(settings.value(Key("ServerURL"), first->ServerEd->text()).toString());
    first->UserNameEd->setText(settings.value(Key("User")).toString());
    first->CheckBox1->setChecked(settings.value(Key("UseProxy"), false).toBool());
    first->ProxyEd->setText(settings.value(Key("ProxyHost")).toString());
    first->PortEd->setValue(settings.value(Key("ProxyPort"), 0).toInt());
    first->CAFileEd->setText(settings.value(Key("CAFile")).toString());
    remember_ = settings.value(Key("RememberPassword"), false).toBool();
    settings.endGroup();
    first->CheckBox1Click();
    Spread(first);
    settings.beginGroup(Key("DataSources"));
    for (TDataPane* pane : panes_) {
        pane->DSEd->setText(
            settings.value(QString::fromLatin1(pane->Kind().PaneName), pane->DSEd->text())
                .toString());
    }
    settings.endGroup();
    if (!remember_ || first->UserNameEd->text().isEmpty()) return;

    // The answer may come after the window has gone.
    keyring_.Read(KeyringKey(), [self = QPointer<TAccount>(this)](const QString& password,
                                                                  const QString& error) {
        if (!self) return;
        if (!error.isEmpty()) {
            emit self->Message(tr("The keyring could not give the password: %1").arg(error));
        } else if (self->panes_.front()->PasswordEd->text().isEmpty()) {
            self->panes_.front()->PasswordEd->setText(password);
        }
    });
}

void TAccount::Save() const {
    QSettings settings;
    const TDataPane* first = panes_.front();
    settings.beginGroup(Key("Account"));
    settings.setValue(Key("ServerURL"), first->ServerEd->text());
    settings.setValue(Key("User"), first->UserNameEd->text());
    settings.setValue(Key("UseProxy"), first->CheckBox1->isChecked());
    settings.setValue(Key("ProxyHost"), first->ProxyEd->text());
    settings.setValue(Key("ProxyPort"), first->PortEd->value());
    settings.setValue(Key("CAFile"), first->CAFileEd->text());
    settings.setValue(Key("RememberPassword"), remember_);
    settings.endGroup();
    settings.beginGroup(Key("DataSources"));
    for (const TDataPane* pane : panes_)
        settings.setValue(QString::fromLatin1(pane->Kind().PaneName), pane->DSEd->text());
    settings.endGroup();
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
    remember_ = remember;
    if (remember) {
        StorePassword();
        return;
    }
    keyring_.Delete(KeyringKey());
}

QString TAccount::KeyringKey() const {
    return panes_.front()->UserNameEd->text() + QLatin1Char('@') + panes_.front()->ServerEd->text();
}

void TAccount::StorePassword() {
    const QString password = panes_.front()->PasswordEd->text();
    if (!remember_ || password.isEmpty()) return;
    keyring_.Write(KeyringKey(), password, [self = QPointer<TAccount>(this)](const QString& error) {
        if (self && !error.isEmpty()) {
            emit self->Message(tr("The keyring could not keep the password: %1").arg(error));
        }
    });
}

}  // namespace orvanta::ui
