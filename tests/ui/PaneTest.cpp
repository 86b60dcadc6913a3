#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QLabel>
#include <QStatusBar>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>

#include <algorithm>
#include <map>

#include "engine/HttpClient.h"
#include "formats/TimeZoneRule.h"
#include "kinds/CalSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/RawServer.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"
#include "ui/Settings.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

const char* const kNote =
    "BEGIN:VNOTE\r\nVERSION:1.1\r\nSUMMARY:Note %1\r\nBODY:text\r\nEND:VNOTE\r\n";

// A server that delivers three notes to every load and accepts every change stored;
// from request `lateFrom` on it answers only after two seconds.
ScriptedPeer NotesServer(int lateFrom = -1) {
    return ScriptedPeer([lateFrom](const RecordedRequest& req, int index) {
        if (lateFrom >= 0 && index >= lateFrom) return PeerReply{200, "", 2000};
        const ClientMessage m = ReadClientMessage(req.Body);
        ServerReplyShape r = Acknowledgement(std::stoi(m.MsgID));
        const bool slowSync =
            std::find(m.AlertCodes.begin(), m.AlertCodes.end(), "201") != m.AlertCodes.end();
        if (m.MsgID == "1" && slowSync) {
            r = ServerReplyShape{};
            for (int i = 1; i <= 3; ++i) {
                r.Commands.push_back({"Add", std::to_string(10 + i), "n" + std::to_string(i),
                                      QString::fromLatin1(kNote).arg(i).toStdString()});
            }
        } else if (m.MsgID == "1") {
            r.Alert = true;
            r.AlertCode = "202";
        } else {
            int cmdID = 10;
            for (const ClientCommand& c : m.Commands) {
                r.ExtraBodyXml +=
                    StatusXml(cmdID++, m.MsgID, c.CmdID, c.Name, c.Name == "Add" ? 201 : 200);
            }
        }
        return PeerReply{200, BuildServerReply(r), 0};
    });
}

class Pane : public UiTest {
protected:
    TDataPane& pane() { return *Forms().MainNoteForm; }
    void Connect(const ScriptedPeer& server) {
        pane().ServerEd->setText(QString::fromStdString(server.Url()));
        RunExchange(pane(), &TDataPane::ConnectBtnClick);
    }
};

TEST_F(Pane, MainWindowDocksThePanesAndSwitchesTabs) {
    TMainForm& main = *Forms().MainForm;
    main.show();
    ASSERT_EQ(main.Panel1->count(), 4);
    EXPECT_EQ(main.Panel1->currentWidget(), Forms().MainCalForm);
    main.TabControl1->setCurrentIndex(3);
    EXPECT_EQ(main.Panel1->currentWidget(), Forms().MainNoteForm);
    main.TabControl1->setCurrentIndex(1);
    EXPECT_EQ(main.Panel1->currentWidget(), Forms().MainContForm);
    EXPECT_EQ(main.windowTitle(), "Orvanta");
    // Every control is found by its name.
    for (const char* name : {"ServerEd", "DSEd", "UserNameEd", "PasswordEd", "CheckBox1", "ProxyEd",
                             "PortEd", "ConnectBtn", "StoreBtn", "TasksLB", "TaskAddBtn",
                             "ConDeleteBtn", "EventsLB", "NoteEditBtn"}) {
        EXPECT_NE(main.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(Forms().MainContForm->DSEd->text(), "card");
    EXPECT_EQ(Forms().MainTaskForm->ServerEd->text(), kDefaultServerURL);
}

TEST_F(Pane, BeforeConnectNothingCanBeChanged) {
    EXPECT_EQ(pane().ConnectBtn->text(), "Connect");
    for (QPushButton* b : {pane().AddBtn, pane().EditBtn, pane().DeleteBtn, pane().StoreBtn}) {
        EXPECT_FALSE(b->isEnabled());
    }
    EXPECT_EQ(pane().RowCount(), 0);
    pane().EditBtnClick();  // no row: nothing happens, no dialog opens
    EXPECT_TRUE(errors.empty());
}

TEST_F(Pane, ConnectFillsTheListWithoutProxyWhenUnchecked) {
    ScriptedPeer server = NotesServer();
    pane().ProxyEd->setText("127.0.0.1");
    pane().PortEd->setValue(3128);
    Connect(server);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(Rows(pane()), (std::vector<std::string>{"Note 1", "Note 2", "Note 3"}));
    EXPECT_EQ(pane().ConnectBtn->text(), "Refresh");
    EXPECT_TRUE(pane().AddBtn->isEnabled());
    EXPECT_FALSE(pane().StoreBtn->isEnabled());
    EXPECT_FALSE(pane().EditBtn->isEnabled());
    EXPECT_EQ(pane().SyncClient().HTTP->ProxyHost, "");
    EXPECT_EQ(pane().SyncClient().HTTP->ProxyPort, 0);

    pane().CheckBox1->click();
    EXPECT_TRUE(pane().ProxyEd->isEnabled());
    EXPECT_TRUE(pane().PortEd->isEnabled());
}

TEST_F(Pane, AddThenCancelLeavesEverythingAsItWas) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    pane().AddBtnClick();
    EXPECT_EQ(pane().SyncClient().Items.size(), 3u);
    EXPECT_EQ(pane().RowCount(), 3);
    EXPECT_FALSE(pane().StoreBtn->isEnabled());

    WhenModal([](QWidget*) {
        Forms().EditNoteForm->WhatEd->setText("Neu");
        Forms().EditNoteForm->OKBtnClick();
    });
    pane().AddBtnClick();
    EXPECT_EQ(pane().SyncClient().Items.size(), 4u);
    EXPECT_EQ(Rows(pane()).back(), "Neu");
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
}

TEST_F(Pane, EditOkWithoutChangeEnablesStore) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().SelectRow(1);
    EXPECT_TRUE(pane().EditBtn->isEnabled());
    WhenModal([](QWidget*) { Forms().EditNoteForm->OKBtnClick(); });
    pane().EditBtnClick();
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
    EXPECT_EQ(pane().SyncClient().Items[1]->State, ItemState::Unchanged);
}

TEST_F(Pane, DeleteKeepsServerItemsMarkedAndDropsNewOnes) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().SelectRow(0);
    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();
    EXPECT_EQ(Rows(pane()), (std::vector<std::string>{"Note 2", "Note 3"}));
    ASSERT_EQ(pane().SyncClient().Items.size(), 3u);
    EXPECT_EQ(pane().SyncClient().Items[0]->State, ItemState::Deleted);
    EXPECT_FALSE(pane().EditBtn->isEnabled());
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
    // The remaining rows still open their own items.
    pane().SelectRow(1);
    WhenModal([](QWidget*) {
        EXPECT_EQ(Forms().EditNoteForm->WhatEd->text(), "Note 3");
        Forms().EditNoteForm->reject();
    });
    pane().EditBtnClick();

    WhenModal([](QWidget*) { Forms().EditNoteForm->OKBtnClick(); });
    pane().AddBtnClick();
    ASSERT_EQ(pane().SyncClient().Items.size(), 4u);
    pane().SelectRow(2);
    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();
    EXPECT_EQ(pane().SyncClient().Items.size(), 3u);
}

TEST_F(Pane, NothingPendingIsLostWithoutAsking) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().SelectRow(0);
    QString question;
    Answer(QMessageBox::No, &question);
    pane().DeleteBtnClick();
    EXPECT_EQ(question, "Delete \"Note 1\"?");
    EXPECT_EQ(pane().RowCount(), 3);
    EXPECT_EQ(window->windowTitle(), "Orvanta");

    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();
    EXPECT_EQ(pane().RowCount(), 2);
    EXPECT_EQ(window->windowTitle(), "*Orvanta");
    EXPECT_EQ(window->PendingLbl->text(), "1 change not stored");

    // Refresh asks; Cancel keeps the change.
    Answer(QMessageBox::Cancel, &question);
    pane().ConnectBtnClick();
    EXPECT_FALSE(pane().Busy());
    EXPECT_EQ(question, "1 change in Notes not stored yet will be lost. Refresh anyway?");
    EXPECT_EQ(pane().PendingChanges(), 1);

    Answer(QMessageBox::Yes);
    RunExchange(pane(), &TDataPane::ConnectBtnClick);
    EXPECT_EQ(Rows(pane()).size(), 3u);
    EXPECT_FALSE(pane().StoreBtn->isEnabled());
    EXPECT_EQ(pane().PendingChanges(), 0);
    EXPECT_EQ(window->windowTitle(), "Orvanta");
    EXPECT_EQ(window->PendingLbl->text(), "");
}

TEST_F(Pane, OneAccountForAllPanesRememberedWithoutThePassword) {
    pane().ServerEd->setText("http://127.0.0.1:1/sync");
    pane().UserNameEd->setText("ada");
    pane().PasswordEd->setText("geheim-42");
    pane().CheckBox1->click();
    pane().ProxyEd->setText("proxy.local");
    pane().PortEd->setValue(3128);
    Forms().MainCalForm->DSEd->setText("calendar2");
    for (const TDataPane* other : window->Panes()) {
        SCOPED_TRACE(other->objectName().toStdString());
        EXPECT_EQ(other->ServerEd->text(), "http://127.0.0.1:1/sync");
        EXPECT_EQ(other->UserNameEd->text(), "ada");
        EXPECT_EQ(other->PasswordEd->text(), "geheim-42");
        EXPECT_TRUE(other->ProxyEd->isEnabled());
        EXPECT_EQ(other->PortEd->value(), 3128);
    }
    EXPECT_EQ(Forms().MainContForm->DSEd->text(), "card");  // the data source is the pane's
    ASSERT_TRUE(window->close());

    QFile file(QSettings().fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << QSettings().fileName().toStdString();
    const QByteArray saved = file.readAll();
    EXPECT_TRUE(saved.contains("ada"));
    EXPECT_FALSE(saved.contains("geheim-42"));

    TMainForm again;
    const TDataPane& notes = *again.Panes().back();
    EXPECT_EQ(notes.ServerEd->text(), "http://127.0.0.1:1/sync");
    EXPECT_EQ(notes.UserNameEd->text(), "ada");
    EXPECT_EQ(notes.PasswordEd->text(), "");
    EXPECT_TRUE(notes.CheckBox1->isChecked());
    EXPECT_TRUE(notes.ProxyEd->isEnabled());
    EXPECT_EQ(notes.ProxyEd->text(), "proxy.local");
    EXPECT_EQ(again.Panes().front()->DSEd->text(), "calendar2");
    EXPECT_EQ(again.Panes()[1]->DSEd->text(), "card");
}

// A keyring in memory in place of the system's, for as long as it lives.
struct MemoryKeyring {
    std::map<QString, QString> entries;
    QString failure;  // when set, every call fails with it
    MemoryKeyring() {
        SetKeyring({[this](const QString& key, auto done) {
                        const auto found = entries.find(key);
                        done(
                            failure.isEmpty() && found != entries.end() ? found->second : QString(),
                            failure);
                    },
                    [this](const QString& key, const QString& password, auto done) {
                        if (failure.isEmpty()) entries[key] = password;
                        done(failure);
                    },
                    [this](const QString& key) { entries.erase(key); }});
    }
    ~MemoryKeyring() { SetKeyring({}); }
};

TEST_F(Pane, RememberedPasswordGoesToTheKeyringNeverToTheSettings) {
    MemoryKeyring keyring;
    ScriptedPeer server = NotesServer();
    const QString key = "ada@" + QString::fromStdString(server.Url());
    pane().ServerEd->setText(QString::fromStdString(server.Url()));
    pane().UserNameEd->setText("ada");
    pane().PasswordEd->setText("geheim-42");
    auto* remember = window->findChild<QAction*>("RememberPasswordAction");
    ASSERT_NE(remember, nullptr);
    remember->trigger();  // on: the password typed so far goes to the keyring
    EXPECT_EQ(keyring.entries[key], "geheim-42");
    pane().PasswordEd->setText("neu-7");
    RunExchange(pane(), &TDataPane::ConnectBtnClick);  // a Connect keeps the one that worked
    EXPECT_EQ(keyring.entries[key], "neu-7");
    ASSERT_TRUE(window->close());

    QFile file(QSettings().fileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    EXPECT_TRUE(saved.contains("RememberPassword=true"));
    EXPECT_FALSE(saved.contains("neu-7"));
    EXPECT_FALSE(saved.contains("geheim-42"));

    {
        TMainForm again;  // the password comes back from the keyring into every pane
        for (const TDataPane* each : again.Panes())
            EXPECT_EQ(each->PasswordEd->text(), "neu-7");
        again.findChild<QAction*>("RememberPasswordAction")->trigger();  // off: gone
        EXPECT_TRUE(keyring.entries.empty());
        keyring.entries[key] = "neu-7";
        again.findChild<QAction*>("RememberPasswordAction")->trigger();  // on again
        ASSERT_TRUE(again.close());
    }
    // A keyring that cannot be reached is named in the status bar; nothing else fails.
    keyring.failure = "no keyring daemon";
    TMainForm third;
    EXPECT_EQ(third.Panes().front()->PasswordEd->text(), "");
    EXPECT_EQ(third.statusBar()->currentMessage().toStdString(),
              "The keyring could not give the password: no keyring daemon");
    EXPECT_TRUE(errors.empty());
}

TEST_F(Pane, ClosingWithPendingChangesOffersStoreDiscardCancel) {
    ScriptedPeer server = NotesServer();
    window->show();
    Connect(server);
    pane().SelectRow(0);
    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();

    Answer(QMessageBox::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());

    // Store: the window closes once the store went through.
    Answer(QMessageBox::Save);
    EXPECT_FALSE(window->close());
    ASSERT_TRUE(Settle(pane()));
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(pane().PendingChanges(), 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(window->statusBar()->currentMessage(), "Stored 1 change");

    // Discard closes at once.
    window->show();
    pane().SelectRow(0);
    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();
    Answer(QMessageBox::Discard);
    EXPECT_TRUE(window->close());
}

TEST_F(Pane, FailedRefreshEmptiesTheListAndKeepsTheCaption) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().ServerEd->setText(QStringLiteral("http://127.0.0.1:%1/sync").arg(ClosedPort()));
    RunExchange(pane(), &TDataPane::ConnectBtnClick);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors.front().find("Could not connect"), std::string::npos);
    EXPECT_EQ(pane().RowCount(), 0);
    EXPECT_EQ(pane().ConnectBtn->text(), "Refresh");
    EXPECT_FALSE(pane().AddBtn->isEnabled());
}

// A server that takes the request and never answers.
class SilentServer {
public:
    SilentServer()
        : server_([](int fd, RawServer& s) {
              (void)s.ReadRequest(fd);
              s.Hold();
          }) {}
    [[nodiscard]] QString Url() const { return QString::fromStdString(server_.Url()); }
    // Runs the event loop until a request has come in.
    [[nodiscard]] bool WaitForRequest() const {
        QElapsedTimer clock;
        clock.start();
        while (server_.Accepted() == 0 && clock.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return server_.Accepted() > 0;
    }

private:
    RawServer server_;
};

TEST_F(Pane, CancelEndsAHangingConnectAtOnce) {
    SilentServer server;
    pane().ServerEd->setText(server.Url());
    pane().ConnectBtnClick();
    ASSERT_TRUE(pane().Busy());
    ASSERT_TRUE(server.WaitForRequest());
    // The worker owns the items until it is through: nothing can change them.
    for (QWidget* control : std::initializer_list<QWidget*>{pane().ServerEd, pane().List,
                                                            pane().FilterEd, pane().ConnectBtn}) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_FALSE(pane().CancelBtn->isHidden());
    QElapsedTimer clock;
    clock.start();
    pane().CancelBtn->click();
    ASSERT_TRUE(Settle(pane(), 1));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(errors.empty());  // the user asked for it: no failure to report
    EXPECT_EQ(pane().StatusLbl->text(), "Cancelled");
    EXPECT_TRUE(pane().CancelBtn->isHidden());
    // As after a failed Connect.
    EXPECT_EQ(pane().ConnectBtn->text(), "Connect");
    EXPECT_FALSE(pane().AddBtn->isEnabled());
    EXPECT_TRUE(pane().ConnectBtn->isEnabled());
    EXPECT_EQ(pane().RowCount(), 0);
}

TEST_F(Pane, CancelledStoreKeepsTheChangesForTheNextOne) {
    ScriptedPeer server = NotesServer(2);  // the load's two messages, then late
    Connect(server);
    pane().SelectRow(0);
    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();
    pane().StoreBtnClick();
    ASSERT_TRUE(pane().Busy());
    EXPECT_FALSE(pane().StoreBtn->isEnabled());
    pane().CancelBtn->click();
    ASSERT_TRUE(Settle(pane(), 1));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(pane().StoreBtn->isEnabled());
    EXPECT_EQ(pane().PendingChanges(), 1);
    EXPECT_EQ(Rows(pane()), (std::vector<std::string>{"Note 2", "Note 3"}));
}

TEST_F(Pane, ClosingTheWindowEndsARunningExchange) {
    SilentServer server;
    window->show();
    pane().ServerEd->setText(server.Url());
    pane().ConnectBtnClick();
    ASSERT_TRUE(server.WaitForRequest());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(pane().Busy());
    EXPECT_LT(clock.elapsed(), 1000);
}

// While an exchange runs, its thread owns the pane's items: the window neither reads nor
// adds to them (closing counts the changes, switching tabs picks the focus, import and
// export are off) and still knows what is not stored yet.
TEST_F(Pane, ClosingDuringAnExchangeLeavesTheItemsToIt) {
    const struct {
        const char* name;
        bool change;  // one deletion, then Store; else a plain Refresh
        bool asked;
    } cases[] = {{"refresh", false, false}, {"store", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer server = NotesServer(2);  // the load's two messages, then late
        window->show();
        Connect(server);
        if (c.change) {
            pane().SelectRow(0);
            Answer(QMessageBox::Yes);
            pane().DeleteBtnClick();
            pane().StoreBtnClick();
        } else {
            pane().ConnectBtnClick();
        }
        ASSERT_TRUE(pane().Busy());
        EXPECT_EQ(pane().PendingChanges(), c.change ? 1 : 0);
        window->TabControl1->setCurrentIndex(0);
        window->TabControl1->setCurrentIndex(3);
        EXPECT_EQ(window->focusWidget(), pane().CancelBtn);
        for (const char* name : {"ImportAction", "ExportSelectedAction", "ExportAllAction"}) {
            const auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
            ASSERT_NE(action, nullptr) << name;
            EXPECT_FALSE(action->isEnabled()) << name;
        }
        QString question;
        if (c.asked) Answer(QMessageBox::Discard, &question);
        QElapsedTimer clock;
        clock.start();
        EXPECT_TRUE(window->close());
        EXPECT_FALSE(pane().Busy());
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(question.toStdString(),
                  c.asked ? "1 change not stored yet. Store them before closing?" : "");
        EXPECT_TRUE(errors.empty()) << errors.front();
    }
}

// An event payload with the given start and end lines.
std::string EventText(const char* title, const char* start, const char* end) {
    return std::string("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:") + title +
           "\r\n" + start + "\r\n" + end + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

QString Day(int year, int month, int day) {
    return QLocale().toString(QDate(year, month, day), QLocale::ShortFormat);
}

TEST_F(Pane, CalendarTableSortsByStartAndShowsTheLastDayOfAllDayEvents) {
    TDataPane& cal = *Forms().MainCalForm;
    TSMLCalendar& client = static_cast<TSMLCalendar&>(cal.SyncClient());
    ScopedTimeZone zone("UTC0");
    client.NewItem()->Parse(
        EventText("Later", "DTSTART:20241220T100000Z", "DTEND:20241220T110000Z"));
    client.NewItem()->Parse(
        EventText("Feier", "DTSTART;VALUE=DATE:20241218", "DTEND;VALUE=DATE:20241219"));
    client.NewItem()->Parse(
        EventText("Gone", "DTSTART:20241201T100000Z", "DTEND:20241201T110000Z"));
    client.DeleteItem(2);  // a new item: dropped at once
    client.NewItem()->Parse(
        EventText("Early", "DTSTART:20241202T080000Z", "DTEND:20241202T090000Z"));
    cal.FillList();
    EXPECT_EQ(Rows(cal), (std::vector<std::string>{"Early", "Feier", "Later"}));
    // A one-day event shows its day as start and end, without a time.
    EXPECT_EQ(cal.Cell(1, 1), Day(2024, 12, 18));
    EXPECT_EQ(cal.Cell(1, 2), Day(2024, 12, 18));
    // Times in hours and minutes, as in the editors (the "C" locale's own has seconds).
    EXPECT_EQ(cal.Cell(0, 1),
              Day(2024, 12, 2) + " " + QLocale().toString(QTime(8, 0), TimeFormat()));
    EXPECT_FALSE(cal.Cell(0, 2).contains("09:00:00")) << cal.Cell(0, 2).toStdString();

    // The user's choice of column and order wins over the default.
    cal.List->sortByColumn(0, Qt::DescendingOrder);
    EXPECT_EQ(Rows(cal), (std::vector<std::string>{"Later", "Feier", "Early"}));
}

TEST_F(Pane, TasksSortByDueWithUndatedLastAndShowPriorityAndDone) {
    TDataPane& tasks = *Forms().MainTaskForm;
    ScopedTimeZone zone("UTC0");
    const auto add = [&](const char* lines) {
        tasks.SyncClient().NewItem()->Parse(
            std::string("BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\n") + lines +
            "END:VTODO\r\nEND:VCALENDAR\r\n");
    };
    add("SUMMARY:Undated\r\n");
    add("SUMMARY:Second\r\nDUE:20250102T120000Z\r\nPRIORITY:1\r\nSTATUS:COMPLETED\r\n");
    add("SUMMARY:First\r\nDUE:20250101T120000Z\r\n");
    tasks.FillList();
    EXPECT_EQ(Rows(tasks), (std::vector<std::string>{"First", "Second", "Undated"}));
    EXPECT_EQ(Rows(tasks, 2), (std::vector<std::string>{"", "1", ""}));
    EXPECT_EQ(Rows(tasks, 3), (std::vector<std::string>{"", "done", ""}));
    EXPECT_EQ(tasks.Cell(2, 1), "");
}

TEST_F(Pane, FilterHidesRowsAndEditWorksOnVisibleOnes) {
    ScriptedPeer server = NotesServer();
    Connect(server);
    pane().SelectRow(0);
    ASSERT_TRUE(pane().EditBtn->isEnabled());
    pane().FilterEd->setText("note 2");
    EXPECT_EQ(Rows(pane()), (std::vector<std::string>{"Note 2"}));
    // Edit and Delete work on a row the user can see, never on one the filter hid.
    const TSMLItem* selected = pane().SelectedItem();
    EXPECT_EQ(pane().EditBtn->isEnabled(), selected != nullptr);
    if (selected) {
        EXPECT_EQ(selected->GetTitle(), u"Note 2");
    }
    pane().SelectRow(0);
    Answer(QMessageBox::Yes);
    pane().DeleteBtnClick();
    EXPECT_EQ(pane().SyncClient().Items[1]->State, ItemState::Deleted);
    pane().FilterEd->clear();
    EXPECT_EQ(Rows(pane()), (std::vector<std::string>{"Note 1", "Note 3"}));
}

// An editor that answers as told and counts its calls.
class FakeEditor final : public TItemEditor {
public:
    bool Edit(TSMLBase&, TSMLItem& item) override {
        ++Calls;
        if (Accept) item.SetTitle(u"Fake");
        return Accept;
    }
    bool Accept = false;
    int Calls = 0;
};

TEST(LonePane, WorksWithTheClientAndEditorItIsGiven) {
    const PaneKind& kind = PaneKinds().back();
    FakeEditor editor;
    TDataPane pane(kind, kind.MakeClient(), editor);
    EXPECT_EQ(pane.objectName(), "MainNoteForm");
    pane.AddBtnClick();
    EXPECT_EQ(editor.Calls, 1);
    EXPECT_TRUE(pane.SyncClient().Items.empty());
    editor.Accept = true;
    pane.AddBtnClick();
    ASSERT_EQ(pane.SyncClient().Items.size(), 1u);
    EXPECT_EQ(Rows(pane), (std::vector<std::string>{"Fake"}));
    EXPECT_TRUE(pane.StoreBtn->isEnabled());
}

TEST(ErrorText, FullStopRule) {
    EXPECT_EQ(ErrorText("Invalid argument to date encode"), "Invalid argument to date encode.");
    EXPECT_EQ(ErrorText("The server refused the credentials (status 401)"),
              "The server refused the credentials (status 401)");
    EXPECT_EQ(ErrorText("Done."), "Done.");
    EXPECT_EQ(ErrorText(""), "");
}

}  // namespace
}  // namespace orvanta
