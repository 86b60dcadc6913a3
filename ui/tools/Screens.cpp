// orvanta-screens DIR [URL USER PASSWORD]: renders the main window with each pane in
// front, and each editor, to PNG files in DIR. With a server, every pane connects first
// so the lists show its items. Meant for QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QComboBox>
#include <QTabWidget>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QTabBar>

#include <cstdio>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "ui/Forms.h"
#include "ui/UiSupport.h"

using namespace orvanta;
using namespace orvanta::ui;

namespace {

void Save(QWidget* widget, const QString& dir, const char* name) {
    QApplication::processEvents();
    const QString path = dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!widget->grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

template <class Dialog>
void Shoot(Dialog* dialog, const QString& dir, const char* name) {
    dialog->show();
    Save(dialog, dir, name);
    dialog->hide();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [URL USER PASSWORD]\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    SetErrorReporter([](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); });
    CreateForms();
    TForms& f = Forms();
    f.MainForm->show();

    TDataPane* panes[] = {f.MainCalForm, f.MainContForm, f.MainTaskForm, f.MainNoteForm};
    const char* names[] = {"main-calendar", "main-contacts", "main-tasks", "main-notes"};
    for (int i = 0; i < 4; ++i) {
        if (argc >= 5) {
            panes[i]->ServerEd->setText(QString::fromLocal8Bit(argv[2]));
            panes[i]->UserNameEd->setText(QString::fromLocal8Bit(argv[3]));
            panes[i]->PasswordEd->setText(QString::fromLocal8Bit(argv[4]));
            panes[i]->ConnectBtnClick();
            if (panes[i]->List->count() > 1) panes[i]->List->setCurrentRow(1);
            panes[i]->UpdateButtons();
        }
        f.MainForm->TabControl1->setCurrentIndex(i);
        Save(f.MainForm, dir, names[i]);
    }

    // The editors, on the items the panes hold (or on fresh ones).
    const auto first = [](TDataPane* pane) -> TSMLItem* {
        auto& items = pane->SyncClient().Items;
        return items.empty() ? pane->SyncClient().NewItem() : items.front().get();
    };
    f.EditEventForm->Event = static_cast<TSMLEvent*>(first(f.MainCalForm));
    Shoot(f.EditEventForm, dir, "edit-event");
    f.ReminderForm->PeriodCB->setCurrentIndex(0);
    Shoot(f.ReminderForm, dir, "edit-reminder");
    f.EditContForm->Contacts = static_cast<TSMLContacts*>(&f.MainContForm->SyncClient());
    f.EditContForm->Contact = static_cast<TSMLContact*>(first(f.MainContForm));
    f.EditContForm->show();
    Save(f.EditContForm, dir, "edit-contact-personal");
    f.EditContForm->PageControl1->setCurrentIndex(1);
    Save(f.EditContForm, dir, "edit-contact-business");
    f.EditContForm->hide();
    f.EditTaskForm->Task = static_cast<TSMLTask*>(first(f.MainTaskForm));
    Shoot(f.EditTaskForm, dir, "edit-task");
    f.EditNoteForm->Note = static_cast<TSMLNote*>(first(f.MainNoteForm));
    Shoot(f.EditNoteForm, dir, "edit-note");
    DestroyForms();
    return 0;
}
