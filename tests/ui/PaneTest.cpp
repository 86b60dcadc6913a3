#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>

#include "engine/HttpClient.h"
#include "formats/Failure.h"
#include "formats/TimeZoneRule.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/ScriptedPeer.h"
#include "support/SyncPeer.h"
#include "replica/Replica.h"
#include "ui/Conflicts.h"
#include "ui/ImportExport.h"
#include "ui/Settings.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// A server that delivers three notes (and `extraSync` in its Sync) to every load and
// accepts every change stored; the requests from `lateFrom` to before `lateTo` it answers
// only after two seconds, and every request while `failing` is set with 401.
ScriptedPeer::Handler NotesHandler(int lateFrom = INT_MAX, int lateTo = INT_MAX,
                                   const std::string& extraSync = {},
                                   const std::atomic<bool>* failing = nullptr) {
    return [lateFrom, lateTo, extraSync, failing, store = StoreServer()](
               const RecordedRequest& req, int index) {
        if (failing && *failing) return PeerReply{401, "", 0};
        if (index >= lateFrom && index < lateTo) return PeerReply{200, "", 2000};
        if (Find(PartsOf(req.Body), "Alert")["Data"] != "201") return store(req, index);
        ServerReplyShape r;
        for (const std::string n : {"1", "2", "3"})
            r.Commands.push_back({"Add", "1" + n, "n" + n, VNote({"SUMMARY:Note " + n})});
        r.ExtraSyncXml = extraSync;
        return PeerReply{200, BuildServerReply(r), 0};
    };
}

ScriptedPeer NotesServer(int lateFrom = INT_MAX, int lateTo = INT_MAX) {
    return ScriptedPeer(NotesHandler(lateFrom, lateTo));
}

// The three notes a sync server sends in its first session.
std::vector<ServerCommand> ThreeNotes() {
    std::vector<ServerCommand> adds;
    for (const std::string n : {"1", "2", "3"})
        adds.push_back({"Add", "1" + n, "n" + n, VNote({"SUMMARY:Note " + n})});
    return adds;
}

// The changes the client sent in a session: "Replace 1", "Delete 2", "Add 4" ...
Lines SentChanges(const ScriptedPeer& server, std::size_t firstRequest) {
    Lines sent;
    const auto requests = server.Requests();
    for (std::size_t i = firstRequest; i < requests.size(); ++i) {
        for (const MessagePart& c : PartsOf(requests[i].Body))
            if (c.Name == "Add" || c.Name == "Replace" || c.Name == "Delete")
                sent.push_back(c.Name + " " + c["Item/Source/LocURI"]);
    }
    return sent;
}

class Panes : public UiTest {
protected:
    [[nodiscard]] TDataPane& notes() const { return Tab(3); }
    // Connects the notes pane without a copy on this computer (one-way).
    void Connect(const ScriptedPeer& server) {
        SetAccount(server.Url(), false);
        RunExchange(notes(), &TDataPane::SyncBtnClick);
    }
    void Sync(const ScriptedPeer& server) {
        SetAccount(server.Url());
        RunExchange(notes(), &TDataPane::SyncBtnClick);
    }
    // Deletes the row's item, the user agreeing.
    void DeleteRow(int row) {
        notes().SelectRow(row);
        Answer(QMessageBox::Yes);
        notes().DeleteBtnClick();
    }
    static QByteArray SavedSettings() {
        QFile file(QSettings().fileName());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        return file.readAll();
    }
};

// The editor's box that makes each kind's title, in the order of PaneKinds().
const char* const kTitleBoxes[] = {"WhatEd", "FNameEd", "WhatEd", "WhatEd"};

// Per kind: a tab and a pane, its controls in order. A pane works on its own with the
// client, editor and account it is given: Add opens the editor of its kind; Cancel leaves
// no item behind, OK lists the new item and keeps it for the next sync. The list shows
// the kind's columns in their order; moments in the user's locale, in hours and minutes;
// an all-day event shows its last day; undated tasks come last.
TEST_F(Panes, EachKindsPaneWithItsControlsEditorAndColumns) {
    ScopedTimeZone zone("UTC0");
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    SetAccount(kDefaultServerURL);
    const struct {
        const char* pane;  // tab, pane, group box and default data source
        Lines payloads;
        const char* table;
    } kinds[] = {
        {"Calendar|MainCalForm|Events|cal",
         {VEvent({"SUMMARY:Later", "DTSTART:20241220T100000Z", "DTEND:20241220T110000Z",
                  "LOCATION:Saal"}),
          VEvent({"SUMMARY:Feier", "DTSTART;VALUE=DATE:20241218", "DTEND;VALUE=DATE:20241219"}),
          VEvent({"SUMMARY:Early", "DTSTART:20241202T080000Z", "DTEND:20241202T090000Z"})},
         "Early|02.12.24 08:00|02.12.24 09:00|\nFeier|18.12.24|18.12.24|\n"
         "Later|20.12.24 10:00|20.12.24 11:00|Saal\n"},
        {"Contacts|MainContForm|Contacts|card",
         {VCard({"N:Alt;Cy", "TEL;WORK:040"}),
          VCard({"N:Zeta;Ada", "TEL;CELL:0171", "TEL;WORK:030", "EMAIL;WORK:a@w", "ORG:Acme"}),
          VCard({"N:Berg;Bo", "TEL:089", "TEL;CELL:0172", "EMAIL:bo@x", "EMAIL;WORK:bo@w"})},
         "Ada Zeta|0171|a@w|Acme\nBo Berg|089|bo@x|\nCy Alt|040||\n"},
        {"Tasks|MainTaskForm|Tasks|task",
         {VTodo({"SUMMARY:Undated"}),
          VTodo({"SUMMARY:Second", "DUE:20250102T120000Z", "PRIORITY:1", "STATUS:COMPLETED"}),
          VTodo({"SUMMARY:First", "DUE:20250101T120000Z"})},
         "First|01.01.25 12:00||\nSecond|02.01.25 12:00|High|done\nUndated|||\n"},
        {"Notes|MainNoteForm|Notes|vnote",
         {VNote({"SUMMARY:Liste", "BODY:Milch"}),
          VNote({"BODY;ENCODING=QUOTED-PRINTABLE:Eins=0D=0AZwei"})},
         "Liste|5\nEins|10\n"},
    };
    window->show();
    ASSERT_EQ(window->Panel1->count(), static_cast<int>(std::size(kinds)));
    EXPECT_EQ(window->Panel1->currentWidget(), &Tab(0));
    TReplica replica(replicaDir.filePath("lone.sqlite").toStdString());
    for (int i = 3; i >= 0; --i) {
        const PaneKind& kind = PaneKinds()[static_cast<std::size_t>(i)];
        SCOPED_TRACE(kind.Tab);
        TDataPane& pane = Tab(i);
        window->TabControl1->setCurrentIndex(i);
        EXPECT_EQ(window->Panel1->currentWidget(), &pane);
        EXPECT_EQ(QStringList({window->TabControl1->tabText(i), pane.objectName(),
                               pane.ItemsGroup->title(), pane.DSEd->text()})
                      .join('|'),
                  kinds[i].pane);
        EXPECT_EQ(FocusChain(pane.FilterEd, 7),
                  (Lines{"FilterEd", "DSEd", kind.ListName, kind.AddName, kind.EditName,
                         kind.DeleteName, "SyncBtn"}));

        QWidget parent;
        const TEnvironment environment = Environment();
        TAccount account(environment.Keyring);
        account.SetSettings(window->Account().Settings());
        const auto editor = kind.MakeEditor(&parent, environment);
        TDataPane lone(kind, kind.Data->MakeClient(), *editor, environment, account, &parent);
        lone.UseReplica(&replica);
        WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
        lone.AddBtnClick();
        EXPECT_TRUE(lone.SyncClient().Items.empty());
        EXPECT_EQ(Buttons(lone), "Sync +Add -Edit -Delete -Store");
        AcceptEditor(kTitleBoxes[i], "Neu");
        lone.AddBtnClick();
        EXPECT_EQ(Rows(lone), Lines{"Neu"});
        EXPECT_EQ(lone.PendingChanges(), 1);

        for (const std::string& payload : kinds[i].payloads)
            pane.SyncClient().NewItem()->Parse(payload);
        pane.TakeImported({});
        EXPECT_EQ(Joined(Rows(pane, true), "\n"), kinds[i].table);
        // The user's choice of column and order wins over the kind's.
        Lines titles = Rows(pane);
        std::sort(titles.rbegin(), titles.rend());
        pane.List->sortByColumn(0, Qt::DescendingOrder);
        EXPECT_EQ(Rows(pane), titles);
        // An edit moves its row to where its new title sorts.
        pane.SelectRow(0);
        AcceptEditor(kTitleBoxes[i], "0");
        pane.EditBtnClick();
        titles = Rows(pane);
        EXPECT_EQ(titles.back().substr(0, 1), "0") << titles.front();
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// With a copy on this computer: the panes show the replica's items at once, without the
// server; every add, edit and delete is kept there as it is made, so closing asks
// nothing and loses nothing; the status bar counts what waits, and Sync sends it and
// takes the server's changes. An empty list says why.
TEST_F(Panes, TheReplicaShowsItsItemsAtOnceAndKeepsEveryEdit) {
    ScriptedPeer server(SyncServer([](int session) {
        return session == 0 ? ThreeNotes() : std::vector<ServerCommand>{};
    }));
    window->show();
    window->TabControl1->setCurrentIndex(3);
    EXPECT_EQ(notes().StatusLbl->text(),
              "No account yet: choose File > Account... to name the server and user");
    EXPECT_EQ(Buttons(notes()), "Sync -Add -Edit -Delete -Store");
    SetAccount(server.Url());
    EXPECT_EQ(notes().StatusLbl->text(), "No notes on this computer yet: press Sync");
    EXPECT_EQ(window->AccountLbl->text().toStdString(), "ada@127.0.0.1:" + std::to_string(server.Port()));
    window->findChild<QAction*>("SyncAction")->trigger();  // F5
    ASSERT_TRUE(Settle(notes()));
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(Rows(notes()), (Lines{"Note 1", "Note 2", "Note 3"}));
    EXPECT_EQ(window->statusBar()->currentMessage(),
              QStringLiteral("Notes synced with %1: 0 sent, 3 received")
                  .arg(window->AccountLbl->text()));
    EXPECT_TRUE(notes().StatusLbl->text().startsWith("Offline: 3 notes, last synced "))
        << notes().StatusLbl->text().toStdString();
    EXPECT_EQ(window->focusWidget(), notes().List);

    notes().SelectRow(0);
    AcceptEditor("WhatEd", "Changed");
    notes().EditBtnClick();
    DeleteRow(1);
    AcceptEditor("WhatEd", "New");
    notes().AddBtnClick();
    EXPECT_EQ(window->PendingLbl->text(), "3 changes waiting for the next sync");
    EXPECT_EQ(window->windowTitle(), "Orvanta");
    const std::size_t requests = server.Requests().size();
    EXPECT_TRUE(window->close());  // no question: nothing is lost

    window = NewWindow();
    window->show();
    EXPECT_EQ(Rows(notes()), (Lines{"Changed", "Note 3", "New"}));
    EXPECT_EQ(window->PendingLbl->text(), "3 changes waiting for the next sync");
    EXPECT_EQ(server.Requests().size(), requests);  // offline
    SetAccount(server.Url());  // the password, which was not remembered
    RunExchange(notes(), &TDataPane::SyncBtnClick);
    EXPECT_EQ(SentChanges(server, requests), (Lines{"Replace 1", "Delete 2", "Add 4"}));
    EXPECT_EQ(window->PendingLbl->text(), "");
    EXPECT_EQ(Rows(notes()), (Lines{"Changed", "Note 3", "New"}));

    // Deleting every row leaves nothing to edit, and says why the list is empty.
    for (int i = 0; i < 3; ++i)
        DeleteRow(0);
    EXPECT_EQ(Buttons(notes()), "Sync +Add -Edit -Delete -Store");
    EXPECT_EQ(notes().StatusLbl->text(), "No notes on this computer yet: press Sync");
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// An item changed here and on the server: the sync keeps the server's version, the pane
// says there is a conflict, and the conflict view shows both versions side by side;
// "Keep mine" brings this computer's back and sends it with the next sync, "Keep the
// server's" keeps the list as the server has it and sends nothing.
TEST_F(Panes, ConflictsShowBothVersionsAndTheUserKeepsOne) {
    for (const bool mine : {true, false}) {
        SCOPED_TRACE(mine ? "Keep mine" : "Keep the server's");
        std::string luid;  // of the item changed on both sides
        ScriptedPeer server(SyncServer([&luid](int session) {
            if (session == 0) return ThreeNotes();
            return std::vector<ServerCommand>{
                {"Replace", "30", luid, VNote({"SUMMARY:Theirs"})}};
        }));
        Sync(server);
        luid = notes().SyncClient().Items[0]->ID;
        notes().SelectRow(0);
        AcceptEditor("WhatEd", "Mine");
        notes().EditBtnClick();
        RunExchange(notes(), &TDataPane::SyncBtnClick);
        EXPECT_EQ(Rows(notes()), (Lines{"Theirs", "Note 2", "Note 3"}));
        EXPECT_FALSE(notes().ConflictsBtn->isHidden());
        EXPECT_EQ(notes().ConflictsBtn->text(), "1 conflict...");

        WhenModal([mine](QWidget* dialog) {
            auto* form = qobject_cast<TConflictForm*>(dialog);
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(form->LocalView->toPlainText(), "First line: Mine\nSize: 0");
            EXPECT_EQ(form->ServerView->toPlainText(), "First line: Theirs\nSize: 0");
            (mine ? form->KeepMineBtn : form->KeepServerBtn)->click();
            if (form->isVisible()) form->reject();
        });
        notes().ConflictsBtnClick();
        EXPECT_TRUE(notes().ConflictsBtn->isHidden());
        EXPECT_EQ(Rows(notes()), (Lines{mine ? "Mine" : "Theirs", "Note 2", "Note 3"}));
        EXPECT_EQ(notes().PendingChanges(), mine ? 1 : 0);
        const std::size_t before = server.Requests().size();
        RunExchange(notes(), &TDataPane::SyncBtnClick);
        EXPECT_EQ(SentChanges(server, before), mine ? Lines{"Replace " + luid} : Lines{});
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// A sync or load that fails or is cancelled keeps what the list showed; the failure
// names its pane; Sync all reports the failures of every pane in one message; Escape
// cancels at once, though the server has not answered, and the exchange worked on its own
// items, so the list and its edits were never touched.
TEST_F(Panes, AFailedOrCancelledSyncKeepsTheListAndNamesItsPane) {
    enum { kAnswers, kRefuses, kHangs };
    std::atomic<int> mode{kAnswers};
    ScriptedPeer server([&mode, sync = SyncServer([](int session) {
                             return session == 0 ? ThreeNotes() : std::vector<ServerCommand>{};
                         })](const RecordedRequest& request, int index) {
        if (mode == kRefuses) return PeerReply{401, "", 0};
        if (mode == kHangs) return PeerReply{200, "", 5000};
        return sync(request, index);
    });
    window->show();
    window->TabControl1->setCurrentIndex(3);
    Sync(server);
    const Lines shown = Rows(notes());
    ASSERT_EQ(shown.size(), 3u);

    mode = kRefuses;
    RunExchange(notes(), &TDataPane::SyncBtnClick);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Notes: ", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("401"), std::string::npos) << errors[0];
    EXPECT_EQ(Rows(notes()), shown);

    window->SyncAll();
    for (const TDataPane* pane : window->Panes())
        ASSERT_TRUE(Settle(*pane));
    ASSERT_EQ(errors.size(), 2u);
    // Each pane named once, each with what failed, and the details below.
    const QString all = QString::fromStdString(errors[1]);
    EXPECT_EQ(all.count("The exchange with the server failed."), 4) << errors[1];
    for (const char* tab : {"Calendar: ", "Contacts: ", "Tasks: ", "Notes: "})
        EXPECT_EQ(all.count(tab), 1) << errors[1];

    mode = kHangs;
    notes().SyncBtnClick();
    ASSERT_TRUE(notes().Busy());
    EXPECT_EQ(window->focusWidget(), notes().CancelBtn);
    QElapsedTimer clock;
    clock.start();
    // Shortcuts reach only the active window: under a real X server the window has to
    // be made active first, as a user's click would.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_TRUE(Settle(notes(), 2));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(notes().StatusLbl->text(), "Cancelled: the list is as it was before");
    EXPECT_EQ(Rows(notes()), shown);
    EXPECT_EQ(errors.size(), 2u);
}

// Without a copy on this computer: Connect loads into memory, "Store changes" sends the
// changes one way. The buttons follow the list: Edit and Delete with a visible row
// selected, Store once something changed. Deleted server items stay marked for the store,
// new ones go at once. The items the load refused are counted below the list; a failed
// Refresh keeps the list.
TEST_F(Panes, WithoutACopyButtonsAndListFollowEveryStep) {
    EXPECT_EQ(Buttons(notes()), "Sync -Add -Edit -Delete -Store");
    notes().EditBtnClick();  // no row: nothing happens, no dialog opens
    std::atomic<bool> failing{false};
    ScriptedPeer server(NotesHandler(
        INT_MAX, INT_MAX, "<Add><CmdID>20</CmdID><Item><Data>x</Data></Item></Add>", &failing));
    SetAccount(server.Url(), false);
    EXPECT_EQ(Buttons(notes()), "Connect -Add -Edit -Delete -Store");
    EXPECT_EQ(notes().StatusLbl->text(), "No notes loaded: press Connect");
    Connect(server);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(Rows(notes()), (Lines{"Note 1", "Note 2", "Note 3"}));
    EXPECT_EQ(Buttons(notes()), "Refresh +Add -Edit -Delete -Store");
    window->TabControl1->setCurrentIndex(3);  // the tool bar names the pane's action
    EXPECT_EQ(window->findChild<QAction*>("SyncAction")->text(), "Refresh");
    EXPECT_EQ(notes().StatusLbl->text(),
              "1 of the server's commands was refused, so their items are missing here: 1 Add "
              "command without an item identifier (status 412)");

    notes().SelectRow(1);
    EXPECT_EQ(Buttons(notes()), "Refresh +Add +Edit +Delete -Store");
    AcceptEditor("WhatEd", "Note 2b");
    notes().EditBtnClick();
    EXPECT_EQ(Buttons(notes()), "Refresh +Add +Edit +Delete +Store");

    DeleteRow(0);
    EXPECT_EQ(Rows(notes()), (Lines{"Note 2b", "Note 3"}));
    EXPECT_EQ(Buttons(notes()), "Refresh +Add -Edit -Delete +Store");
    EXPECT_EQ(notes().SyncClient().Items[0]->State, ItemState::Deleted);
    notes().SelectRow(1);  // the remaining rows still open their own items
    WhenModal([this](QWidget*) {
        EXPECT_EQ(Find<TEditNoteForm>().WhatEd->text(), "Note 3");
        Find<TEditNoteForm>().reject();
    });
    notes().EditBtnClick();
    AcceptEditor("WhatEd", "New");
    notes().AddBtnClick();
    ASSERT_EQ(notes().SyncClient().Items.size(), 4u);
    DeleteRow(2);
    EXPECT_EQ(notes().SyncClient().Items.size(), 3u);

    // Edit and Delete never act on a row the filter hid.
    notes().SelectRow(0);
    notes().FilterEd->setText("note 3");
    EXPECT_EQ(Rows(notes()), Lines{"Note 3"});
    const TSMLItem* selected = notes().SelectedItem();
    EXPECT_EQ(notes().EditBtn->isEnabled(), selected != nullptr);
    EXPECT_TRUE(!selected || selected->GetTitle() == u"Note 3");
    DeleteRow(0);
    EXPECT_EQ(notes().SyncClient().Items[2]->State, ItemState::Deleted);
    notes().FilterEd->clear();
    EXPECT_EQ(Rows(notes()), Lines{"Note 2b"});

    // A failed Refresh keeps the list, its changes and the caption.
    failing = true;
    Answer(QMessageBox::Yes);
    RunExchange(notes(), &TDataPane::SyncBtnClick);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors.front().rfind("Notes: ", 0), 0u) << errors.front();
    EXPECT_EQ(Rows(notes()), Lines{"Note 2b"});
    EXPECT_EQ(Buttons(notes()), "Refresh +Add -Edit -Delete +Store");
    EXPECT_EQ(notes().PendingChanges(), 3);
    // Another server: the items of the last one are not stored to it.
    SetAccount("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/sync", false);
    EXPECT_EQ(notes().RowCount(), 0);
    EXPECT_EQ(Buttons(notes()), "Connect -Add -Edit -Delete -Store");
}

// Changes held only in memory (without a copy) are never lost without asking: Refresh
// and closing ask, the title and the status bar count them, a cancelled store keeps them
// for the next one.
TEST_F(Panes, PendingChangesAreNeverLostWithoutAsking) {
    ScriptedPeer server = NotesServer(2, 3);  // the first store answers late
    window->show();
    window->TabControl1->setCurrentIndex(3);
    Connect(server);
    QString question;
    notes().SelectRow(0);
    Answer(QMessageBox::No, &question);
    notes().DeleteBtnClick();
    EXPECT_EQ(question, "Delete \"Note 1\"?");
    EXPECT_EQ(notes().RowCount(), 3);
    EXPECT_EQ(window->windowTitle(), "Orvanta");
    DeleteRow(0);
    EXPECT_EQ(window->windowTitle(), "*Orvanta");
    EXPECT_EQ(window->PendingLbl->text(), "1 change not stored");
    Answer(QMessageBox::Cancel, &question);
    notes().SyncBtnClick();
    EXPECT_FALSE(notes().Busy());
    EXPECT_EQ(question, "1 change in Notes not stored yet will be lost. Refresh anyway?");

    // While the store runs nothing can change the items (import and export neither), the
    // window still knows what is not stored yet, and a tab switch puts the focus on
    // Cancel. Cancel ends it at once, though the server has not answered, and reports no
    // failure.
    notes().StoreBtnClick();
    ASSERT_TRUE(Until([&] { return server.Requests().size() == 3; }, 5000));
    EXPECT_EQ(Buttons(notes()), "Refresh -Add -Edit -Delete -Store");
    for (const QWidget* control :
         std::initializer_list<const QWidget*>{notes().List, notes().FilterEd, notes().SyncBtn}) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    for (const char* name : {"ImportAction", "ExportSelectedAction", "ExportAllAction"})
        EXPECT_FALSE(window->findChild<QAction*>(name)->isEnabled()) << name;
    EXPECT_EQ(notes().PendingChanges(), 1);
    window->TabControl1->setCurrentIndex(0);
    window->TabControl1->setCurrentIndex(3);
    EXPECT_EQ(window->focusWidget(), notes().CancelBtn);
    EXPECT_FALSE(notes().CancelBtn->isHidden());
    notes().CancelBtn->click();
    ASSERT_TRUE(Settle(notes(), 1));
    EXPECT_EQ(notes().StatusLbl->text(), "Cancelled: the list is as it was before");
    EXPECT_TRUE(notes().CancelBtn->isHidden());
    EXPECT_EQ(Buttons(notes()), "Refresh +Add -Edit -Delete +Store");
    EXPECT_EQ(notes().PendingChanges(), 1);
    EXPECT_EQ(Rows(notes()), (Lines{"Note 2", "Note 3"}));

    Answer(QMessageBox::Cancel);
    EXPECT_FALSE(window->close());
    Answer(QMessageBox::Save);  // the window closes once the store went through
    EXPECT_FALSE(window->close());
    ASSERT_TRUE(Settle(notes()));
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Stored 1 change to " + window->AccountLbl->text());
    EXPECT_EQ(window->windowTitle(), "Orvanta");
    EXPECT_EQ(window->PendingLbl->text(), "");

    window->show();
    DeleteRow(0);
    Answer(QMessageBox::Yes);
    RunExchange(notes(), &TDataPane::SyncBtnClick);
    EXPECT_EQ(notes().RowCount(), 3);
    EXPECT_EQ(notes().PendingChanges(), 0);
    DeleteRow(0);
    Answer(QMessageBox::Discard);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The account as its dialog shows it, in one line.
std::string AccountLine(const TAccountForm& form) {
    return QStringList({form.ServerEd->text(), form.UserNameEd->text(), form.PasswordEd->text(),
                        form.RememberBox->isChecked() ? "remember" : "-",
                        form.CheckBox1->isChecked() ? "proxy" : "direct", form.ProxyEd->text(),
                        QString::number(form.PortEd->value()), form.CAFileEd->text(),
                        form.KeepCopyBox->isChecked() ? "copy" : "no-copy"})
        .join(' ')
        .toStdString();
}

// One account in one place, its dialog, remembered with each pane's own data source; the
// password never goes to the settings, and to the keyring only while "Remember password"
// is on, which a keyring that fails turns off. A Sync without a password asks for it, and
// Enter in the password box starts the sync.
TEST_F(Panes, OneAccountInOnePlaceItsPasswordOnlyInTheKeyring) {
    ScriptedPeer server(SyncServer());
    const QString url = QString::fromStdString(server.Url()), key = "ada@" + url;
    window->show();
    window->TabControl1->setCurrentIndex(3);
    // The dialog of the window at hand (each test window has its own).
    const auto form = [this]() -> TAccountForm& { return window->AccountForm(); };
    std::string shown;
    WhenModal([&](QWidget*) {
        shown = AccountLine(form());
        form().ServerEd->setText(url);
        form().UserNameEd->setText("ada");
        EXPECT_EQ(form().focusWidget(), form().UserNameEd);  // the first box still empty
        form().PasswordEd->setText("geheim-42");
        form().RememberBox->setChecked(true);
        QTest::keyClick(form().PasswordEd, Qt::Key_Return);
    });
    notes().SyncBtnClick();  // no password yet: the dialog asks, Enter syncs
    EXPECT_EQ(shown, std::string(kDefaultServerURL) + "   - direct  0  copy");
    ASSERT_TRUE(Settle(notes()));
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_FALSE(server.Requests().empty());
    EXPECT_EQ(keyring.entries[key], "geheim-42");
    EXPECT_EQ(window->AccountLbl->text().toStdString(),
              "ada@127.0.0.1:" + std::to_string(server.Port()));
    Tab(0).DSEd->setText("calendar2");
    ASSERT_TRUE(window->close());
    const QByteArray saved = SavedSettings();
    EXPECT_TRUE(saved.contains("RememberPassword=true"));
    EXPECT_FALSE(saved.contains("geheim-42"));

    window = NewWindow();  // the password comes back from the keyring
    EXPECT_EQ(window->Account().Settings().Password, "geheim-42");
    EXPECT_EQ(Tab(0).DSEd->text(), "calendar2");
    WhenModal([&](QWidget*) {
        shown = AccountLine(form());
        form().CheckBox1->setChecked(true);
        form().ProxyEd->setText("proxy.local");
        form().PortEd->setValue(3128);
        form().CAFileEd->setText("/etc/ca.pem");
        form().RememberBox->setChecked(false);  // gone from the keyring
        form().accept();
    });
    EXPECT_TRUE(window->EditAccount());
    EXPECT_EQ(shown, url.toStdString() + " ada geheim-42 remember direct  0  copy");
    EXPECT_TRUE(keyring.entries.empty());
    ASSERT_TRUE(window->close());

    // A keyring that cannot be reached is named in the status bar, and the dialog no
    // longer says the password is remembered.
    keyring.failure = "no keyring daemon";
    QSettings().setValue("Account/RememberPassword", true);
    window = NewWindow();
    EXPECT_EQ(window->Account().Settings().Password, "");
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
              "The keyring could not give the password: no keyring daemon");
    WhenModal([&](QWidget*) {
        shown = AccountLine(form());
        form().reject();
    });
    EXPECT_FALSE(window->EditAccount());
    EXPECT_EQ(shown, url.toStdString() + " ada  - proxy proxy.local 3128 /etc/ca.pem copy");
    EXPECT_TRUE(errors.empty());
}

// The keyboard alone: Tab leaves a list for its buttons, Enter opens the row's editor,
// Ctrl+Tab and Ctrl+Shift+Tab (which arrives as Backtab) go to the next and previous tab.
TEST_F(Panes, KeyboardLeavesListsOpensRowsAndSwitchesTabs) {
    ScriptedPeer server = NotesServer();
    window->show();
    window->TabControl1->setCurrentIndex(3);
    Connect(server);
    window->activateWindow();
    notes().List->setFocus();
    notes().SelectRow(1);
    QApplication::processEvents();
    QTest::keyClick(notes().List, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), notes().AddBtn);
    WhenModal([this](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Edit note");
        EXPECT_EQ(Find<TEditNoteForm>().WhatEd->text(), "Note 2");
        Find<TEditNoteForm>().reject();
    });
    QTest::keyClick(notes().List, Qt::Key_Return);
    EXPECT_FALSE(Find<TEditNoteForm>().isVisible());
    const QAction* previous = window->findChild<QAction*>("PreviousTabAction");
    EXPECT_EQ(previous->shortcut().toString(), "Ctrl+Shift+Tab");
    window->activateWindow();  // shortcuts work in the active window
    QApplication::processEvents();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int tab;  // the tab in front after the keys, from the notes' (3)
    } keys[] = {{Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
                {Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 1},
                {Qt::Key_Tab, Qt::ControlModifier, 2},
                {Qt::Key_PageUp, Qt::ControlModifier, 1},
                {Qt::Key_PageDown, Qt::ControlModifier, 2}};
    for (const auto& k : keys) {
        QTest::keyClick(QApplication::focusWidget(), k.key, k.modifiers);
        EXPECT_EQ(window->TabControl1->currentIndex(), k.tab) << k.key;
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// Size, place, last tab, column widths and sort order come back at the next start.
TEST_F(Panes, WindowComesBackAsTheUserLeftIt) {
    window->show();
    window->setGeometry(40, 50, 700, 520);
    window->TabControl1->setCurrentIndex(2);
    QTableView* tasks = Tab(2).List;
    tasks->sortByColumn(1, Qt::DescendingOrder);
    tasks->horizontalHeader()->resizeSection(2, 123);
    const QRect geometry = window->geometry();
    ASSERT_TRUE(window->close());
    window = NewWindow();
    window->show();
    EXPECT_EQ(window->geometry(), geometry);
    EXPECT_EQ(window->CurrentPane(), &Tab(2));
    const QHeaderView* header = Tab(2).List->horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(header->sectionSize(2), 123);
}

// Closing during an exchange ends it at once, though the server has not answered.
TEST_F(Panes, ClosingEndsARunningExchangeAtOnce) {
    ScriptedPeer silent([](Connection& c) {
        c.Read();
        c.Hold();
    });
    window->show();
    SetAccount(silent.Url());
    notes().SyncBtnClick();
    ASSERT_TRUE(notes().Busy());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(notes().Busy());
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST(ErrorText, FullStopRule) {
    EXPECT_EQ(ErrorText("Invalid argument to date encode"), "Invalid argument to date encode.");
    EXPECT_EQ(ErrorText("The server refused the credentials (status 401)"),
              "The server refused the credentials (status 401)");
    EXPECT_EQ(ErrorText("Done."), "Done.");
    EXPECT_EQ(ErrorText(""), "");
}

QString Sample(const std::string& name) {
    return QStringLiteral(ORVANTA_TEST_DATA "/") + QString::fromStdString(name);
}

enum Kind { kEvents, kContacts, kTasks, kNotes };  // the order of DataKinds()

// A client of the kind as its pane holds it after Connect.
std::unique_ptr<TSMLBase> Loaded(Kind kind) {
    auto client = DataKinds()[kind].MakeClient();
    client->Loaded = true;
    return client;
}

std::vector<const TSMLItem*> All(const TSMLBase& client) {
    std::vector<const TSMLItem*> items;
    for (const auto& item : client.Items)
        items.push_back(item.get());
    return items;
}

// Every sample file imported, exported and the export imported again: the item comes back
// as it was.
TEST(ImportExport, SampleFilesMakeTheRoundTrip) {
    QTemporaryDir dir;
    const QString exported = dir.filePath("exported");
    for (const CorpusFile& f : CorpusFiles()) {
        SCOPED_TRACE(f.name);
        std::string texts[2];
        for (const QString& path : {Sample(f.name), exported}) {
            const auto client = f.makeClient();
            client->Loaded = true;
            ImportFile(*client, path);
            ASSERT_EQ(client->Items.size(), 1u);
            EXPECT_EQ(client->Items[0]->State, ItemState::New);
            ExportFile(All(*client), exported);
            texts[path == exported] = client->Items[0]->GetText();
        }
        EXPECT_EQ(texts[1], texts[0]);
    }
}

TEST(ImportExport, SeveralItemsAndOtherKinds) {
    const std::string calendar =
        "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n"
        "BEGIN:VEVENT\r\nSUMMARY:One\r\nDTSTART:20261210T090000Z\r\nEND:VEVENT\r\n"
        "BEGIN:VTODO\r\nSUMMARY:Two\r\nEND:VTODO\r\n"
        "BEGIN:VEVENT\r\nSUMMARY:Three\r\nDTSTART:20261211T090000Z\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    const auto events = Loaded(kEvents);
    const ImportResult result = ImportItems(*events, calendar);
    EXPECT_EQ(result.Added, 2u);
    EXPECT_EQ(result.OtherKinds, 1u);
    ASSERT_EQ(events->Items.size(), 2u);
    EXPECT_EQ(events->Items[0]->GetTitle() + u" " + events->Items[1]->GetTitle(), u"One Three");
    EXPECT_NE(events->Items[0]->ID, events->Items[1]->ID);
    EXPECT_EQ(ImportSummary(*events, result, "/tmp/x.vcs"),
              "Imported 2 events from x.vcs (1 item of another kind left out)");
    // Exported, the two events are two calendars in one file.
    EXPECT_EQ(ExportItems(All(*events)), events->Items[0]->GetText() + events->Items[1]->GetText());

    const auto tasks = Loaded(kTasks);
    EXPECT_EQ(ImportItems(*tasks, calendar).Added, 1u);
    EXPECT_EQ(tasks->Items[0]->GetTitle(), u"Two");
}

// Each refusal is one clear message and leaves the client's items as they were.
TEST(ImportExport, RefusalsLeaveTheItemsAlone) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const char* text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    };
    const QString bad = write("bad.vcf",
                              "BEGIN:VCARD\r\nN:Ok;Anna\r\nEND:VCARD\r\nBEGIN:VCARD\r\n"
                              "BDAY:1970-13-01\r\nEND:VCARD\r\n");
    const QString plain = write("plain.vcf", "Anna, Ben\r\n");
    QFile nul(dir.filePath("nul.vcf"));
    ASSERT_TRUE(nul.open(QIODevice::WriteOnly));
    nul.write(QByteArray("BEGIN:VCARD\r\nN:Ok;An\0na\r\nEND:VCARD\r\n", 36));
    nul.close();
    const auto notLoaded = DataKinds()[kContacts].MakeClient();
    // A client of a kind the kinds table does not hold is none of the four.
    struct TUnlisted final : TSMLBase {
        TUnlisted() : TSMLBase(StoreDefaults{"other", "", "", "", ""}) { Loaded = true; }
        std::unique_ptr<TSMLItem> CreateItem() override {
            return std::make_unique<TSMLNote>(nullptr);
        }
    } unlisted;
    const struct {
        TSMLBase* client;
        QString path;
        const char* message;
    } cases[] = {
        {notLoaded.get(), Sample("contact-vcard30.vcf"),
         "contact-vcard30.vcf: Connect first: imported contacts are added to the loaded ones"},
        {&unlisted, Sample("note-vnote11.vnt"),
         "note-vnote11.vnt cannot be imported: The data store's client is of no kind of data "
         "this program knows"},
        {nullptr, plain, "plain.vcf: The file holds no contacts"},
        {nullptr, Sample("note-vnote11.vnt"),
         "note-vnote11.vnt: The file holds no contacts, only items of another kind: "
         "import it in their tab"},
        // All or nothing: the first contact is not added when the second cannot be read.
        {nullptr, bad,
         "bad.vcf cannot be imported: The contact that begins on line 4: Invalid argument to "
         "date encode"},
        {nullptr, nul.fileName(),
         "nul.vcf cannot be imported: Line 2 holds a NUL byte, which no item can carry: the file "
         "is damaged or is "
         "not a text file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto loaded = Loaded(kContacts);
        TSMLBase& client = c.client ? *c.client : *loaded;
        try {
            ImportFile(client, c.path);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& failure) {
            EXPECT_STREQ(failure.what(), c.message);
        }
        EXPECT_TRUE(client.Items.empty());
    }
    const auto client = Loaded(kContacts);
    EXPECT_THROW(ImportFile(*client, dir.filePath("missing.vcf")), Failure);
    EXPECT_THROW(ExportFile({}, dir.filePath("no/such/dir/out.vcf")), Failure);
}

// The File menu's entries act on the pane in front: imported items join its list and
// wait for "Store changes"; export writes the selected or all items.
TEST_F(UiTest, FileMenuImportsAndExports) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out.vcf");
    QStringList chosen;
    QString caption;
    chooser = [&](QWidget*, bool save, const QString& title, const QString& filter,
                  const QString& suffix) {
        EXPECT_TRUE(filter.contains("*.vcf"));
        EXPECT_EQ(suffix, "vcf");
        caption = title;
        return save ? QStringList{out} : chosen;
    };
    window->TabControl1->setCurrentIndex(1);
    TDataPane& pane = Tab(1);
    ASSERT_EQ(window->CurrentPane(), &pane);
    TSMLBase& client = pane.SyncClient();
    const auto trigger = [&](const char* name) {
        window->FileMenu()->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    };

    // No items to add to yet (no account): refused before any file dialog opens.
    EXPECT_FALSE(window->FileMenu()->findChild<QAction*>("ImportAction")->isEnabled());
    trigger("ImportAction");
    EXPECT_TRUE(client.Items.empty());

    SetAccount(kDefaultServerURL);
    chosen = {Sample("contact-vcard30.vcf"), Sample("contact-vcard21-latin1.vcf")};
    trigger("ImportAction");
    ASSERT_EQ(client.Items.size(), 2u);
    EXPECT_EQ(pane.RowCount(), 2);
    EXPECT_EQ(window->PendingLbl->text(), "2 changes waiting for the next sync");
    EXPECT_EQ(pane.StatusLbl->text(), "Imported 1 contact from contact-vcard21-latin1.vcf");
    EXPECT_EQ(window->statusBar()->currentMessage(), pane.StatusLbl->text());

    trigger("ExportSelectedAction");  // nothing selected
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "There are no contacts to export: select some first.");
    EXPECT_FALSE(QFile::exists(out));

    for (int row = 0; row < pane.RowCount(); ++row) {
        pane.SelectRow(row);
        if (pane.SelectedItem() == client.Items[1].get()) break;
    }
    trigger("ExportSelectedAction");
    EXPECT_EQ(ReadFile(out.toStdString()),
              ReadFile(ORVANTA_TEST_DATA "/contact-vcard21-latin1.vcf"));

    EXPECT_EQ(window->statusBar()->currentMessage(), "Exported 1 contact to out.vcf");

    // The list's export writes what the filter leaves, and says so.
    pane.FilterEd->setText("anna");
    trigger("ExportAllAction");
    EXPECT_EQ(caption, "Export 1 of 2 contacts");
    EXPECT_EQ(ReadFile(out.toStdString()), ReadFile(ORVANTA_TEST_DATA "/contact-vcard30.vcf"));
    pane.FilterEd->setText("nobody");
    trigger("ExportAllAction");
    EXPECT_EQ(errors.back(), "The filter leaves no contacts to export.");
    pane.FilterEd->clear();
    trigger("ExportAllAction");
    EXPECT_EQ(caption, "Export 2 contacts");

    // Deleted items are not exported.
    for (int row = 0; row < pane.RowCount(); ++row) {
        pane.SelectRow(row);
        if (pane.SelectedItem() == client.Items[1].get()) break;
    }
    Answer(QMessageBox::Yes);
    pane.DeleteBtnClick();
    trigger("ExportAllAction");
    EXPECT_EQ(ReadFile(out.toStdString()), ReadFile(ORVANTA_TEST_DATA "/contact-vcard30.vcf"));

    chosen = {};  // cancelled
    trigger("ImportAction");
    EXPECT_EQ(client.Items.size(), 1u);
    EXPECT_EQ(errors.size(), 2u);
}

}  // namespace
}  // namespace orvanta
