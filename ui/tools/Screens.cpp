// orvanta-screens DIR [URL USER PASSWORD]: renders the main window with each pane in
// front, and each editor, to PNG files in DIR. With a server, every pane syncs into a
// replica of its own first, and a window started afresh shows the lists from it, offline;
// a second device then changes a note this computer deleted, for the conflict view.
// Meant for QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QStackedWidget>
#include <QComboBox>
#include <QTabWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "engine/SyncExchange.h"
#include "formats/Failure.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "replica/Replica.h"
#include "ui/Conflicts.h"
#include "ui/Editors.h"
#include "ui/Environment.h"
#include "ui/Forms.h"
#include "ui/Settings.h"
#include "ui/Translations.h"
#include "ui/UiSupport.h"

using namespace orvanta;
using namespace orvanta::ui;

namespace {

void Save(QWidget* widget, const QString& dir, const QString& name) {
    QApplication::processEvents();
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget->grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

// Runs the event loop until the pane's exchange has ended.
void Settle(const TDataPane& pane) {
    QElapsedTimer clock;
    clock.start();
    while (pane.Busy() && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// A loopback port that takes connections and never answers: an exchange with it runs
// until it is cancelled.
class TSilentPort {
public:
    TSilentPort() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(fd_, 4) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            std::fprintf(stderr, "no loopback port\n");
        }
        port_ = ntohs(address.sin_port);
    }
    ~TSilentPort() { close(fd_); }
    [[nodiscard]] QString Url() const {
        return QStringLiteral("http://127.0.0.1:%1/sync").arg(port_);
    }

private:
    int fd_;
    int port_ = 0;
};

// Renders the next modal dialog to DIR/NAME.png and closes it.
void ShootModal(const QString& dir, const QString& name) {
    QTimer::singleShot(200, [dir, name] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            Save(modal, dir, name);
            modal->close();
        } else {
            ShootModal(dir, name);
        }
    });
}

// Makes a conflict in the notes: a second device changes the first note the server
// holds, and this computer's replica deletes it, before the window syncs again (the
// server then sends its version back, and the replica keeps the deletion beside it).
void MakeConflict(const TDataPane& notes, const TAccount& account, const QString& replicaFile,
                  const QString& otherFile) {
    const StoreKey key{account.Settings().ServerURL.toStdString(),
                       account.Settings().User.toStdString(), notes.DSEd->text().toStdString(),
                       notes.Kind().Data->Keyword};
    const auto find = [](TReplicaStore& store, const std::string& serverID) {
        std::optional<StoredItem> found;
        store.ReadItems([&](const StoredItemView& item) {
            if (!found && !item.ServerID.empty() && (serverID.empty() || item.ServerID == serverID))
                found = StoredItem(item);
        });
        if (!found) throw Failure("No note to change");
        return *found;
    };
    TReplica other(otherFile.toStdString());
    TReplicaStore otherStore = other.Store(key);
    auto client = notes.Kind().Data->MakeClient();
    account.Configure(*client);
    client->DataSource = key.DataSource;
    Synchronize(*client, otherStore);
    const StoredItem theirs = find(otherStore, {});
    auto item = client->CreateItem();
    item->Parse(theirs.Payload);
    item->SetTitle(item->GetTitle() + u" (changed on the phone)");
    otherStore.ReplaceLocal(theirs.LUID, item->GetText());
    Synchronize(*client, otherStore);
    TReplica mine(replicaFile.toStdString());
    TReplicaStore mineStore = mine.Store(key);
    mineStore.DeleteLocal(find(mineStore, theirs.ServerID).LUID);
}

template <class Dialog>
void Shoot(Dialog* dialog, const QString& dir, const QString& name) {
    dialog->show();
    Save(dialog, dir, name);
    dialog->hide();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    QTemporaryDir settings;  // the pictures show a first start, and its replica
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DIR [URL USER PASSWORD]\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    TEnvironment environment = SystemEnvironment();
    environment.Report = [](const QString& text, const QString& detail) {
        std::fprintf(stderr, "%s %s\n", qPrintable(text), qPrintable(detail));
    };
    // The pictures are English whatever the machine's language; the German window follows.
    InstallTranslations(QLocale(QLocale::English));
    environment.ReplicaFile = settings.filePath(QStringLiteral("replica.sqlite"));
    // A keyring of nothing: the pictures never reach the user's.
    environment.Keyring = {[](const QString&, auto done) { done({}, {}); },
                           [](const QString&, const QString&, auto done) { done({}); },
                           [](const QString&) {}};
    const bool online = argc >= 5;
    if (online) {
        // The first start: the account, and every pane synced.
        TMainForm first(environment);
        AccountSettings account = first.Account().Settings();
        account.ServerURL = QString::fromLocal8Bit(argv[2]);
        account.User = QString::fromLocal8Bit(argv[3]);
        account.Password = QString::fromLocal8Bit(argv[4]);
        first.Account().SetSettings(account);
        for (TDataPane* pane : first.Panes()) {
            pane->SyncBtnClick();
            Settle(*pane);
        }
        first.close();
    }
    // The next start, offline: every list from the replica at once.
    TMainForm window(environment);
    if (online) {
        AccountSettings account = window.Account().Settings();
        account.Password = QString::fromLocal8Bit(argv[4]);
        window.Account().SetSettings(account);
    }
    window.show();
    try {
        // Each pane in front, named after its tab: main-calendar.png ...
        const std::vector<TDataPane*>& panes = window.Panes();
        for (std::size_t i = 0; i < panes.size(); ++i) {
            TDataPane& pane = *panes[i];
            if (pane.RowCount() > 1) pane.SelectRow(1);
            pane.UpdateButtons();
            window.TabControl1->setCurrentIndex(static_cast<int>(i));
            Save(&window, dir,
                 QStringLiteral("main-") + QString::fromLatin1(pane.Kind().Tab).toLower());
        }
        // The pane of a kind of data.
        const auto paneOf = [&](const char* keyword) -> TDataPane& {
            const DataKind& kind = KindNamed(keyword);
            for (TDataPane* pane : panes) {
                if (pane->Kind().Data == &kind) return *pane;
            }
            throw Failure(std::string("No pane shows ") + keyword);
        };

        // A sync in progress, with its Cancel button: against the server, or else a port
        // that never answers, cancelled then.
        {
            TSilentPort silent;
            TDataPane& tasks = paneOf("task");
            window.TabControl1->setCurrentIndex(window.Panel1->indexOf(&tasks));
            if (!online) {
                AccountSettings elsewhere = window.Account().Settings();
                elsewhere.ServerURL = silent.Url();
                elsewhere.User = elsewhere.Password = QStringLiteral("orvanta");
                window.Account().SetSettings(elsewhere);
            }
            tasks.SyncBtnClick();
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 300)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            Save(&window, dir, "main-progress");
            // The server runs one session at a time: this one ends before the next begins.
            if (!online) tasks.CancelBtn->click();
            Settle(tasks);
        }

        // A conflict, and the view of both versions.
        if (online) {
            TDataPane& notes = paneOf("vnote");
            window.TabControl1->setCurrentIndex(window.Panel1->indexOf(&notes));
            MakeConflict(notes, window.Account(), environment.ReplicaFile,
                         settings.filePath(QStringLiteral("phone.sqlite")));
            notes.OpenStore();
            notes.SyncBtnClick();
            Settle(notes);
            Save(&window, dir, "main-conflict");
            ShootModal(dir, "conflicts");
            notes.ConflictsBtnClick();
        }

        // The editors, on the items the panes hold (or on fresh ones).
        const auto first = [&](const char* keyword) -> TSMLItem* {
            TSMLBase& client = paneOf(keyword).SyncClient();
            return client.Items.empty() ? client.NewItem() : client.Items.front().get();
        };
        auto* event = window.findChild<TEditEventForm*>();
        auto* reminder = window.findChild<TReminderForm*>();
        auto* contact = window.findChild<TEditContForm*>();
        auto* task = window.findChild<TEditTaskForm*>();
        auto* note = window.findChild<TEditNoteForm*>();
        event->Event = static_cast<TSMLEvent*>(first("cal"));
        Shoot(event, dir, "edit-event");
        reminder->PeriodCB->setCurrentIndex(0);
        Shoot(reminder, dir, "edit-reminder");
        contact->Contacts = static_cast<TSMLContacts*>(&paneOf("card").SyncClient());
        contact->Contact = static_cast<TSMLContact*>(first("card"));
        contact->show();
        Save(contact, dir, "edit-contact-personal");
        contact->PageControl1->setCurrentIndex(1);
        Save(contact, dir, "edit-contact-business");
        contact->hide();
        task->Task = static_cast<TSMLTask*>(first("task"));
        Shoot(task, dir, "edit-task");
        note->Note = static_cast<TSMLNote*>(first("vnote"));
        Shoot(note, dir, "edit-note");

        // The window in German, as on a German system (texts and dates), started from the
        // same replica: the tasks in front and the event editor. main-german.png,
        // edit-event-german.png.
        InstallTranslations(QLocale(QLocale::German, QLocale::Germany));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TMainForm german(environment);
        german.show();
        const auto germanPane = [&](const char* keyword) -> TDataPane& {
            for (TDataPane* pane : german.Panes())
                if (pane->Kind().Data == &KindNamed(keyword)) return *pane;
            throw Failure(std::string("No pane shows ") + keyword);
        };
        TDataPane& tasks = germanPane("task");
        if (tasks.RowCount() > 1) tasks.SelectRow(1);
        german.TabControl1->setCurrentIndex(german.Panel1->indexOf(&tasks));
        Save(&german, dir, "main-german");
        auto* germanEvent = german.findChild<TEditEventForm*>();
        TSMLBase& events = germanPane("cal").SyncClient();
        germanEvent->Event = static_cast<TSMLEvent*>(
            events.Items.empty() ? events.NewItem() : events.Items.front().get());
        Shoot(germanEvent, dir, "edit-event-german");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
