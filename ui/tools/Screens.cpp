// orvanta-screens DIR [URL USER PASSWORD]: renders the main window with each pane in
// front, and each editor, to PNG files in DIR. With a server, every pane connects first
// so the lists show its items. Meant for QT_QPA_PLATFORM=offscreen.
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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "formats/Failure.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "ui/Editors.h"
#include "ui/Environment.h"
#include "ui/Forms.h"
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
    QTemporaryDir settings;  // the pictures show a first start
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
    TMainForm window(environment);
    window.show();
    try {
        // Each pane in front, named after its tab: main-calendar.png ...
        const std::vector<TDataPane*>& panes = window.Panes();
        for (std::size_t i = 0; i < panes.size(); ++i) {
            TDataPane& pane = *panes[i];
            if (argc >= 5) {
                pane.ServerEd->setText(QString::fromLocal8Bit(argv[2]));
                pane.UserNameEd->setText(QString::fromLocal8Bit(argv[3]));
                pane.PasswordEd->setText(QString::fromLocal8Bit(argv[4]));
                pane.ConnectBtnClick();
                Settle(pane);
                if (pane.RowCount() > 1) pane.SelectRow(1);
                pane.UpdateButtons();
            }
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

        // An exchange in progress, with its Cancel button.
        {
            TSilentPort silent;
            TDataPane& tasks = paneOf("task");
            window.TabControl1->setCurrentIndex(window.Panel1->indexOf(&tasks));
            const QString server = tasks.ServerEd->text();
            tasks.ServerEd->setText(silent.Url());
            tasks.ConnectBtnClick();
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 300)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            Save(&window, dir, "main-progress");
            tasks.CancelBtn->click();
            Settle(tasks);
            tasks.ServerEd->setText(server);
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

        // The window in German, as on a German system (texts and dates): the tasks in front
        // and the event editor. main-german.png, edit-event-german.png.
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
        if (argc >= 5) {
            tasks.ServerEd->setText(QString::fromLocal8Bit(argv[2]));
            tasks.UserNameEd->setText(QString::fromLocal8Bit(argv[3]));
            tasks.PasswordEd->setText(QString::fromLocal8Bit(argv[4]));
            tasks.ConnectBtnClick();
            Settle(tasks);
            if (tasks.RowCount() > 1) tasks.SelectRow(1);
        }
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
