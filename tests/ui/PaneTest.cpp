#include <algorithm>
#include <climits>
#include <map>
#include <memory>
#include <set>

#include "engine/HttpClient.h"
#include "formats/Failure.h"
#include "formats/TimeZoneRule.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/ScriptedPeer.h"
#include "support/SyncPeer.h"
#include "ui/ImportExport.h"
#include "ui/Settings.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// A server that delivers three notes (and `extraSync` in its Sync) to every load and
// accepts every change stored; the requests from `lateFrom` to before `lateTo` it answers
// only after two seconds.
ScriptedPeer NotesServer(int lateFrom = INT_MAX, int lateTo = INT_MAX,
                         const std::string& extraSync = {}) {
    return ScriptedPeer([lateFrom, lateTo, extraSync, store = StoreServer()](
                            const RecordedRequest& req, int index) {
        if (index >= lateFrom && index < lateTo) return PeerReply{200, "", 2000};
        if (Find(PartsOf(req.Body), "Alert")["Data"] != "201") return store(req, index);
        ServerReplyShape r;
        for (const std::string n : {"1", "2", "3"})
            r.Commands.push_back({"Add", "1" + n, "n" + n, VNote({"SUMMARY:Note " + n})});
        r.ExtraSyncXml = extraSync;
        return PeerReply{200, BuildServerReply(r), 0};
    });
}

class Panes : public UiTest {
protected:
    [[nodiscard]] TDataPane& notes() const { return Tab(3); }
    void Connect(const ScriptedPeer& server) {
        notes().ServerEd->setText(QString::fromStdString(server.Url()));
        RunExchange(notes(), &TDataPane::ConnectBtnClick);
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

// Per kind, as tests/data/panes/KEYWORD.case says: a tab and a pane, its controls in
// order. A pane works on its own with the client and editor it is given: Add opens the
// editor of its kind; Cancel leaves no item behind, OK lists the new item and offers to
// store it. The list shows the kind's columns in their order, without deleted items;
// moments in the user's locale, in hours and minutes; an all-day event shows its last
// day; undated tasks come last.
TEST_F(Panes, EachKindsPaneWithItsControlsEditorAndColumns) {
    ScopedTimeZone zone("UTC0");
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    window->show();
    ASSERT_EQ(window->Panel1->count(), static_cast<int>(DataKinds().size()));
    EXPECT_EQ(window->Panel1->currentWidget(), &Tab(0));
    for (int i = 3; i >= 0; --i) {
        const PaneKind& kind = PaneKinds()[static_cast<std::size_t>(i)];
        SCOPED_TRACE(kind.Tab);
        std::map<std::string, std::string> c;  // the case's sections but its items
        Lines payloads;                         // the first is deleted
        for (const Section& section : ReadSections(
                 ReadFile(ORVANTA_TEST_DATA "/panes/" + kind.Data->Keyword + ".case"), true)) {
            if (section.Head.ends_with("item")) payloads.push_back(section.Body);
            c[section.Head] = section.Body.substr(0, section.Body.size() - 1);
        }
        TDataPane& pane = Tab(i);
        window->TabControl1->setCurrentIndex(i);
        EXPECT_EQ(window->Panel1->currentWidget(), &pane);
        EXPECT_EQ(QStringList({window->TabControl1->tabText(i), pane.objectName(),
                               pane.ItemsGroup->title(), pane.DSEd->text()})
                      .join('|')
                      .toStdString(),
                  c["pane"]);
        EXPECT_EQ(pane.ServerEd->text(), kDefaultServerURL);
        EXPECT_EQ(Joined(FocusChain(pane.ServerEd, 15), " "),
                  "ServerEd DSEd UserNameEd PasswordEd CheckBox1 ProxyEd PortEd CAFileEd "
                  "ConnectBtn FilterEd " + c["controls"] + " StoreBtn ");

        QWidget parent;
        const TEnvironment environment = Environment();
        const auto editor = kind.MakeEditor(&parent, environment);
        TDataPane lone(kind, kind.Data->MakeClient(), *editor, environment, &parent);
        WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
        lone.AddBtnClick();
        EXPECT_TRUE(lone.SyncClient().Items.empty());
        EXPECT_EQ(Buttons(lone), "Connect -Add -Edit -Delete -Store");
        const std::string box = c["title box"];
        AcceptEditor(box.c_str(), "Neu");
        lone.AddBtnClick();
        EXPECT_EQ(Rows(lone), Lines{"Neu"});
        EXPECT_EQ(Buttons(lone), "Connect -Add -Edit -Delete +Store");

        for (const std::string& payload : payloads)
            pane.SyncClient().NewItem()->Parse(payload);
        pane.SyncClient().Items.front()->State = ItemState::Deleted;
        pane.FillList();
        EXPECT_EQ(Joined(Rows(pane, true), "\n"), c["rows"] + "\n");
        // The user's choice of column and order wins over the kind's.
        Lines titles = Rows(pane);
        std::sort(titles.rbegin(), titles.rend());
        pane.List->sortByColumn(0, Qt::DescendingOrder);
        EXPECT_EQ(Rows(pane), titles);
        // An edit moves its row to where its new title sorts.
        pane.SelectRow(0);
        AcceptEditor(box.c_str(), "0");
        pane.EditBtnClick();
        titles = Rows(pane);
        EXPECT_EQ(titles.back().substr(0, 1), "0") << titles.front();
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The buttons follow the list: nothing to change before Connect, Edit and Delete with a
// visible row selected, Store once something changed. Deleted server items stay marked for
// the store, new ones go at once. The items of the server that the load refused are
// counted below the list until the next exchange.
TEST_F(Panes, ButtonsAndListFollowEveryStep) {
    EXPECT_EQ(Buttons(notes()), "Connect -Add -Edit -Delete -Store");
    notes().EditBtnClick();  // no row: nothing happens, no dialog opens
    ScriptedPeer server =
        NotesServer(INT_MAX, INT_MAX, "<Add><CmdID>20</CmdID><Item><Data>x</Data></Item></Add>");
    notes().ProxyEd->setText("127.0.0.1");  // not used while the box is cleared
    notes().PortEd->setValue(3128);
    Connect(server);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(Rows(notes()), (Lines{"Note 1", "Note 2", "Note 3"}));
    EXPECT_EQ(Buttons(notes()), "Refresh +Add -Edit -Delete -Store");
    EXPECT_EQ(notes().StatusLbl->text(),
              "1 of the server's commands was refused, so their items are missing here: 1 Add "
              "command without an item identifier (status 412)");
    EXPECT_EQ(notes().SyncClient().HTTP->ProxyHost, "");
    EXPECT_EQ(notes().SyncClient().HTTP->ProxyPort, 0);
    notes().CheckBox1->click();
    EXPECT_TRUE(notes().ProxyEd->isEnabled() && notes().PortEd->isEnabled());

    notes().SelectRow(1);
    EXPECT_EQ(Buttons(notes()), "Refresh +Add +Edit +Delete -Store");
    AcceptEditor();
    notes().EditBtnClick();  // OK without a change: nothing to store
    EXPECT_EQ(Buttons(notes()), "Refresh +Add +Edit +Delete -Store");
    EXPECT_EQ(notes().SyncClient().Items[1]->State, ItemState::Unchanged);

    DeleteRow(0);
    EXPECT_EQ(Rows(notes()), (Lines{"Note 2", "Note 3"}));
    EXPECT_EQ(Buttons(notes()), "Refresh +Add -Edit -Delete +Store");
    EXPECT_EQ(notes().SyncClient().Items[0]->State, ItemState::Deleted);
    notes().SelectRow(1);  // the remaining rows still open their own items
    WhenModal([this](QWidget*) {
        EXPECT_EQ(Find<TEditNoteForm>().WhatEd->text(), "Note 3");
        Find<TEditNoteForm>().reject();
    });
    notes().EditBtnClick();
    AcceptEditor("WhatEd", "Note 4");
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
    EXPECT_EQ(Rows(notes()), Lines{"Note 2"});

    // A failed Refresh empties the list and keeps the caption.
    notes().ServerEd->setText(QStringLiteral("http://127.0.0.1:%1/sync").arg(ClosedPort()));
    Answer(QMessageBox::Yes);
    RunExchange(notes(), &TDataPane::ConnectBtnClick);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors.front().find("Could not connect"), std::string::npos);
    EXPECT_EQ(notes().RowCount(), 0);
    EXPECT_EQ(notes().StatusLbl->text(), "");
    EXPECT_EQ(Buttons(notes()), "Refresh -Add -Edit -Delete -Store");
}

// Changes not stored are never lost without asking: Delete, Refresh and closing ask, the
// title and the status bar count them, a cancelled store keeps them for the next one.
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
    notes().ConnectBtnClick();
    EXPECT_FALSE(notes().Busy());
    EXPECT_EQ(question, "1 change in Notes not stored yet will be lost. Refresh anyway?");

    // While the store runs, its worker owns the items: nothing can change them (import and
    // export neither), the window still knows what is not stored yet, and a tab switch puts
    // the focus on Cancel. Cancel ends it at once, though the server has not answered, and
    // reports no failure.
    notes().StoreBtnClick();
    ASSERT_TRUE(Until([&] { return server.Requests().size() == 3; }, 5000));
    EXPECT_EQ(Buttons(notes()), "Refresh -Add -Edit -Delete -Store");
    for (const QWidget* control : std::initializer_list<const QWidget*>{
             notes().ServerEd, notes().List, notes().FilterEd, notes().ConnectBtn}) {
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
    EXPECT_EQ(notes().StatusLbl->text(), "Cancelled");
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
    EXPECT_EQ(window->statusBar()->currentMessage(), "Stored 1 change");
    EXPECT_EQ(window->windowTitle(), "Orvanta");
    EXPECT_EQ(window->PendingLbl->text(), "");

    window->show();
    DeleteRow(0);
    Answer(QMessageBox::Yes);
    RunExchange(notes(), &TDataPane::ConnectBtnClick);
    EXPECT_EQ(notes().RowCount(), 3);
    EXPECT_EQ(notes().PendingChanges(), 0);
    DeleteRow(0);
    Answer(QMessageBox::Discard);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The account as the panes show it, a line per pane.
std::string Accounts(const TMainForm& window) {
    std::string text;
    for (const TDataPane* p : window.Panes()) {
        const QString proxy = p->ProxyEd->isEnabled() ? p->ProxyEd->text() : QStringLiteral("-");
        text += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                    .arg(p->ServerEd->text(), p->UserNameEd->text(), p->PasswordEd->text(),
                         p->DSEd->text(), p->CheckBox1->isChecked() ? "proxy" : "direct", proxy,
                         QString::number(p->PortEd->value()), p->CAFileEd->text())
                    .toStdString();
    }
    return text;
}

// One account for all panes, remembered with each pane's own data source; the password
// never goes to the settings, and to the keyring only while "Remember password" is on.
TEST_F(Panes, OneAccountForAllPanesItsPasswordOnlyInTheKeyring) {
    ScriptedPeer server = NotesServer();
    const QString url = QString::fromStdString(server.Url()), key = "ada@" + url;
    notes().ServerEd->setText(url);
    notes().UserNameEd->setText("ada");
    notes().PasswordEd->setText("geheim-42");
    notes().CheckBox1->click();
    notes().ProxyEd->setText("proxy.local");
    notes().CAFileEd->setText("/etc/ca.pem");
    notes().PortEd->setValue(3128);  // last: the port alone spreads it
    Tab(0).DSEd->setText("calendar2");
    const auto expected = [&](const QString& password) {
        QString text;
        for (const char* source : {"calendar2", "card", "task", "vnote"})
            text += QStringLiteral("%1 ada %2 %3 proxy proxy.local 3128 /etc/ca.pem\n")
                        .arg(url, password, source);
        return text.toStdString();
    };
    EXPECT_EQ(Accounts(*window), expected("geheim-42"));
    ASSERT_TRUE(window->close());
    EXPECT_FALSE(SavedSettings().contains("geheim-42"));
    window = NewWindow();
    EXPECT_EQ(Accounts(*window), expected(""));

    const auto remember = [](const TMainForm& w) {
        w.findChild<QAction*>("RememberPasswordAction")->trigger();
    };
    notes().CheckBox1->click();  // no proxy for the Connect below
    notes().PasswordEd->setText("geheim-42");
    remember(*window);  // on: the password typed so far goes to the keyring
    EXPECT_EQ(keyring.entries[key], "geheim-42");
    notes().PasswordEd->setText("neu-7");
    RunExchange(notes(), &TDataPane::ConnectBtnClick);  // a Connect keeps the one that worked
    EXPECT_EQ(keyring.entries[key], "neu-7");
    EXPECT_EQ(notes().SyncClient().HTTP->CAFile, "/etc/ca.pem");
    ASSERT_TRUE(window->close());
    const QByteArray saved = SavedSettings();
    EXPECT_TRUE(saved.contains("RememberPassword=true"));
    EXPECT_FALSE(saved.contains("neu-7") || saved.contains("geheim-42"));
    window = NewWindow();  // the password comes back into every pane
    for (const TDataPane* each : window->Panes())
        EXPECT_EQ(each->PasswordEd->text(), "neu-7");
    remember(*window);  // off: gone from the keyring
    EXPECT_TRUE(keyring.entries.empty());
    keyring.entries[key] = "neu-7";
    remember(*window);
    ASSERT_TRUE(window->close());
    // A keyring that cannot be reached is named in the status bar; nothing else fails.
    keyring.failure = "no keyring daemon";
    window = NewWindow();
    EXPECT_EQ(notes().PasswordEd->text(), "");
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(),
              "The keyring could not give the password: no keyring daemon");
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
    ScriptedPeer server = NotesServer(2);  // the load's two messages, then late
    window->show();
    Connect(server);
    notes().ConnectBtnClick();
    ASSERT_TRUE(notes().Busy());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(notes().Busy());
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(errors.empty()) << errors.front();
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

// The import cases of tests/data that say what the File menu does with them: an import
// of several items adds each as a new item with its own identifier and says how many,
// and how many of another kind it left out; a refusal leaves the client's items as they
// were (a file is imported whole or not at all).
TEST(ImportExport, CasesOfTestData) {
    for (const auto& path : CaseFiles("import", ".case")) {
        const ImportCase c = ReadImportCase(path);
        if (c.Window.empty()) continue;
        SCOPED_TRACE(path.filename().string());
        const auto kind = std::find_if(DataKinds().begin(), DataKinds().end(),
                                       [&](const DataKind& k) { return k.Component == c.Component; });
        ASSERT_NE(kind, DataKinds().end());
        const auto client = kind->MakeClient();
        client->Loaded = true;
        std::string said;
        try {
            said = ImportSummary(*client, ImportItems(*client, c.File),
                                 QString::fromStdString(path.string()))
                       .toStdString();
        } catch (const Failure& failure) {
            said = failure.what();
        }
        EXPECT_EQ(said, c.Window);
        std::set<std::string> ids;
        for (const auto& item : client->Items) {
            EXPECT_EQ(item->State, ItemState::New);
            ids.insert(item->ID);
        }
        EXPECT_EQ(ids.size(), said.starts_with("Imported") ? c.Items.size() : 0u);
    }
}

// Before Connect, and for a client of no kind, an import is refused with a clear message and
// changes nothing; a file that cannot be read or written is named.
TEST(ImportExport, RefusalsLeaveTheItemsAlone) {
    // A client of a kind the kinds table does not hold is none of the four.
    struct TUnlisted final : TSMLBase {
        TUnlisted() : TSMLBase(StoreDefaults{"other", "", "", "", ""}) { Loaded = true; }
        std::unique_ptr<TSMLItem> CreateItem() override {
            return std::make_unique<TSMLNote>(nullptr);
        }
    } unlisted;
    const auto notLoaded = DataKinds()[kContacts].MakeClient();
    EXPECT_EQ(FailureOf<Failure>([&] { ImportFile(*notLoaded, Sample("contact-vcard30.vcf")); }),
              "contact-vcard30.vcf: Connect first: imported contacts are added to the loaded ones");
    EXPECT_EQ(FailureOf<Failure>([&] { ImportFile(unlisted, Sample("note-vnote11.vnt")); }),
              "note-vnote11.vnt cannot be imported: The data store's client is of no kind of data "
              "this program knows");
    EXPECT_TRUE(notLoaded->Items.empty() && unlisted.Items.empty());
    QTemporaryDir dir;
    EXPECT_EQ(FailureOf<Failure>([&] {
                  ImportFile(*Loaded(kContacts), dir.filePath("missing.vcf"));
              }).rfind("missing.vcf cannot be read", 0),
              0u);
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

    chosen = {Sample("contact-vcard30.vcf")};
    trigger("ImportAction");  // before Connect: refused
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_TRUE(client.Items.empty());

    client.Loaded = true;
    chosen = {Sample("contact-vcard30.vcf"), Sample("contact-vcard21-latin1.vcf")};
    trigger("ImportAction");
    ASSERT_EQ(client.Items.size(), 2u);
    EXPECT_EQ(pane.RowCount(), 2);
    EXPECT_TRUE(pane.StoreBtn->isEnabled());
    EXPECT_EQ(pane.StatusLbl->text(), "Imported 1 contact from contact-vcard21-latin1.vcf");
    EXPECT_EQ(window->statusBar()->currentMessage(), pane.StatusLbl->text());

    trigger("ExportSelectedAction");  // nothing selected
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[1], "There are no contacts to export: select some first.");
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

    client.Items[1]->State = ItemState::Deleted;  // deleted items are not exported
    pane.FillList();
    trigger("ExportAllAction");
    EXPECT_EQ(ReadFile(out.toStdString()), ReadFile(ORVANTA_TEST_DATA "/contact-vcard30.vcf"));

    chosen = {};  // cancelled
    trigger("ImportAction");
    EXPECT_EQ(client.Items.size(), 2u);
    EXPECT_EQ(errors.size(), 3u);
}

}  // namespace
}  // namespace orvanta
