#include "ui/Environment.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include <qt6keychain/keychain.h>

#include <stdexcept>

#include "engine/Codes.h"
#include "engine/Errors.h"
#include "formats/ItemStorage.h"
#include "replica/Replica.h"
#include "ui/Translations.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

namespace {

const QString kService = QStringLiteral("Orvanta");

TKeyring SystemKeyring() {
    TKeyring keyring;
    keyring.Read = [](const QString& key, auto done) {
        auto* job = new QKeychain::ReadPasswordJob(kService);
        job->setKey(key);
        QObject::connect(job, &QKeychain::Job::finished, [job, done] {
            if (job->error() == QKeychain::NoError) {
                done(job->textData(), {});
            } else {
                done({}, job->error() == QKeychain::EntryNotFound ? QString() : job->errorString());
            }
        });
        job->start();
    };
    keyring.Write = [](const QString& key, const QString& password, auto done) {
        auto* job = new QKeychain::WritePasswordJob(kService);
        job->setKey(key);
        job->setTextData(password);
        QObject::connect(job, &QKeychain::Job::finished, [job, done] {
            done(job->error() == QKeychain::NoError ? QString() : job->errorString());
        });
        job->start();
    };
    keyring.Delete = [](const QString& key) {
        auto* job = new QKeychain::DeletePasswordJob(kService);
        job->setKey(key);
        job->start();
    };
    return keyring;
}

QStringList SystemFileDialog(QWidget* parent, bool save, const QString& caption,
                             const QString& filter, const QString& suffix) {
    const QString filters = filter + QStringLiteral(";;") + QObject::tr("All files (*)");
    if (!save) return QFileDialog::getOpenFileNames(parent, caption, {}, filters);
    QFileDialog dialog(parent, caption, {}, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList{};
}

void SystemMessageBox(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvanta"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    // The detail is the lower layers' own text, in English: shown below the message in an
    // English window, and behind "Show Details..." in a translated one.
    if (UiLanguage() == QLatin1String("en")) {
        box.setInformativeText(detail);
    } else {
        box.setDetailedText(detail);
    }
    box.exec();
}

}  // namespace

QString Headline(const std::exception& error) {
    if (const auto* refused = dynamic_cast<const ProtocolError*>(&error)) {
        if (refused->Status() == StatusCode::InvalidCredentials ||
            refused->Status() == StatusCode::MissingCredentials) {
            return QObject::tr("The server refused the user name or the password.");
        }
        return QObject::tr("The server's answer could not be used.");
    }
    if (dynamic_cast<const TransportError*>(&error)) {
        return QObject::tr("The exchange with the server failed.");
    }
    if (dynamic_cast<const StorageError*>(&error)) {
        return QObject::tr("The data kept on this computer could not be used.");
    }
    if (dynamic_cast<const ConversionError*>(&error) || dynamic_cast<const ItemError*>(&error)) {
        return QObject::tr("An item could not be read or written.");
    }
    return QObject::tr("The operation failed.");
}

UserError::UserError(const QString& text, const QString& detail)
    : Failure((detail.isEmpty() ? text : text + QStringLiteral(": ") + detail).toStdString()),
      text_(text),
      detail_(detail) {}

void TEnvironment::ReportError(const std::exception& error) const {
    if (const auto* own = dynamic_cast<const UserError*>(&error)) {
        Report(ErrorText(own->Text()),
               own->Detail().isEmpty() ? QString() : ErrorText(own->Detail()));
        return;
    }
    Report(Headline(error), ErrorText(QString::fromUtf8(error.what())));
}

bool TEnvironment::Guarded(const std::function<void()>& handler) const {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ReportError(error);
    } catch (...) {
        Report(QObject::tr("An unexpected failure ended the operation."), {});
    }
    return false;
}

TEnvironment SystemEnvironment() {
    return {[] { return QDateTime::currentDateTime(); }, SystemMessageBox, SystemFileDialog,
            SystemKeyring(), QString::fromStdString(TReplica::DefaultPath().string())};
}

}  // namespace orvanta::ui
