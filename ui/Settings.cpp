#include "ui/Settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>

#include <qt6keychain/keychain.h>

#include "ui/DataPane.h"

namespace orvanta::ui {

namespace {

const QString kService = QStringLiteral("Orvanta");

QString Key(const char* name) {
    return QString::fromLatin1(name);
}

}  // namespace

TAccount::TAccount(std::vector<TDataPane*> panes, QObject* parent)
    : QObject(parent), panes_(std::move(panes)) {
    for (TDataPane* pane : panes_) {
        const auto spread = [this, pane] { Spread(pane); };
        for (QLineEdit* edit : {pane->ServerEd, pane->UserNameEd, pane->PasswordEd, pane->ProxyEd})
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

    auto* job = new QKeychain::ReadPasswordJob(kService, this);
    job->setKey(KeyringKey());
    connect(job, &QKeychain::Job::finished, this, [this, job] {
        if (job->error() == QKeychain::NoError) {
            if (panes_.front()->PasswordEd->text().isEmpty())
                panes_.front()->PasswordEd->setText(job->textData());
        } else if (job->error() != QKeychain::EntryNotFound) {
            emit Message(tr("The keyring could not give the password: %1").arg(job->errorString()));
        }
    });
    job->start();
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
    settings.setValue(Key("RememberPassword"), remember_);
    settings.endGroup();
    settings.beginGroup(Key("DataSources"));
    for (const TDataPane* pane : panes_)
        settings.setValue(QString::fromLatin1(pane->Kind().PaneName), pane->DSEd->text());
    settings.endGroup();
}

void TAccount::SetRememberPassword(bool remember) {
    remember_ = remember;
    if (remember) {
        StorePassword();
        return;
    }
    auto* job = new QKeychain::DeletePasswordJob(kService, this);
    job->setKey(KeyringKey());
    job->start();
}

QString TAccount::KeyringKey() const {
    return panes_.front()->UserNameEd->text() + QLatin1Char('@') + panes_.front()->ServerEd->text();
}

void TAccount::StorePassword() {
    const QString password = panes_.front()->PasswordEd->text();
    if (!remember_ || password.isEmpty()) return;
    auto* job = new QKeychain::WritePasswordJob(kService, this);
    job->setTextData(password);
    job->setKey(KeyringKey());
    connect(job, &QKeychain::Job::finished, this, [this, job] {
        if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound)
            emit Message(tr("The keyring could not keep the password: %1").arg(job->errorString()));
    });
    job->start();
}

}  // namespace orvanta::ui
