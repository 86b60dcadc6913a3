#include "ui/Environment.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include <qt6keychain/keychain.h>

#include <stdexcept>

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

void SystemMessageBox(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvanta"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

}  // namespace

void TEnvironment::ReportError(const std::exception& error) const {
    Report(ErrorText(QString::fromUtf8(error.what())));
}

bool TEnvironment::Guarded(const std::function<void()>& handler) const {
    try {
        handler();
        return true;
    } catch (const std::exception& error) {
        ReportError(error);
    } catch (...) {
        ReportError(std::runtime_error("An unexpected failure ended the operation"));
    }
    return false;
}

TEnvironment SystemEnvironment() {
    return {[] { return QDateTime::currentDateTime(); }, SystemMessageBox, SystemFileDialog,
            SystemKeyring()};
}

}  // namespace orvanta::ui
