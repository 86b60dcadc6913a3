#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

#include "formats/Failure.h"
#include "formats/TextCodec.h"
#include "formats/TimeZoneRule.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/SyncPeer.h"
#include "ui/Conflicts.h"
#include "ui/ImportExport.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// The three notes a server sends in its first session.
std::vector<ServerCommand> ThreeNotes() {
    std::vector<ServerCommand> adds;
    for (const std::string n : {"1", "2", "3"})
        adds.push_back({"Add", "1" + n, "n" + n, VNote({"SUMMARY:Note " + n})});
    return adds;
}

// The notes' server of the tests: two-way syncs give three notes in the first session and
// then the changes queued in `theirs`; one-way loads give three notes and an Add without
// an item identifier; stores are accepted. While `mode` is "refuses" every request is
// answered with 401, while "late" after two seconds.
class Panes : public UiTest {
protected:
    [[nodiscard]] TDataPane& notes() const { return Tab(3); }
    // Gives the window the server's account, with a copy on this computer or one-way.
    void Account(bool copy) {
        std::unique_lock hold(lock);
        oneWay = !copy;
        hold.unlock();
        SetAccount(server.Url(), copy);
    }

    std::mutex lock;  // of the members the server's thread reads
    bool oneWay = false;
    std::string mode = "answers";
    std::vector<ServerCommand> theirs;
    ScriptedPeer server{[this, sync = SyncServer([this](int session) {
                                   std::lock_guard hold(lock);
                                   return session == 0 ? ThreeNotes() : std::exchange(theirs, {});
                               }),
                         store = StoreServer()](const RecordedRequest& request, int index) {
        std::unique_lock hold(lock);
        if (mode == "refuses") return PeerReply{401, "", 0};
        if (mode == "late") return PeerReply{200, "", 2000};
        const bool load = oneWay && test::Find(PartsOf(request.Body), "Alert")["Data"] == "201";
        if (!oneWay) hold.unlock();
        if (!load) return (oneWay ? store : sync)(request, index);
        ServerReplyShape r;
        r.Commands = ThreeNotes();
        r.ExtraSyncXml = "<Add><CmdID>20</CmdID><Item><Data>x</Data></Item></Add>";
        return PeerReply{200, BuildServerReply(r), 0};
    }};
};

// The window driven by a script of tests/data/panes (*.script), a step a line with what
// it shows indented below it; `ORVANTA_UPDATE_CASES=1` writes that anew, for review. The
// steps act on the pane in front:
//   show, reopen (a new window, as at the next start), tab N,
//   account copy|one-way|elsewhere (one-way, to a port nobody listens on),
//   server answers|refuses|late, serve TITLE (the next session replaces the first row's
//   item), sync, sync all, store (each waits for the end), start sync|store (only until
//   the server has the request: whether the pane is busy), cancel, escape, close (whether
//   and how soon it ended), answer BUTTON (to the next question; "delete" answers Yes),
//   select N, edit TITLE, add TITLE, delete N, filter TEXT, conflicts,
//   open (Edit), list (the focus to the list), key KEYS (pressed where the focus is;
//   the tab in front after), import FILES (of tests/data; none: the dialog cancelled),
//   export selected|all (which of the files imported last it wrote), account dialog
//   (whether OK closed it), source NAME (the pane's data source), setting KEY VALUE,
//   keyring fails TEXT (every call to it fails with TEXT);
// and these only look: rows, buttons, status, pending, title, statusbar, action (the tool
// bar's Sync), focus, changes, shortcuts, controls, items, sent (the changes sent since the
// last look), who (the account's label), password (the account's), source, keyring (its
// entries), saved TEXT... (whether the settings file holds each). Under sync, account
// dialog and conflicts, "| " lines are the steps of DialogSteps in the dialog that opens.
// A question asked, a file dialog opened, an editor opened (cancelled) and a failure
// reported show below the step; the server's port shows as PORT.
class PaneScript : public Panes,
                   public DialogSteps,
                   public ::testing::WithParamInterface<std::filesystem::path> {
protected:
    void SetUp() override {
        Panes::SetUp();
        chooser = [this](QWidget*, bool save, const QString& title, const QString& filter,
                         const QString& suffix) {
            dialog_ = title + " (" + filter + ")";
            return save ? QStringList{files_.filePath("out." + suffix)} : chosen_;
        };
    }
    [[nodiscard]] TDataPane& pane() const { return *window->CurrentPane(); }

    Lines Step(const std::string& step, const Lines& input) override {
        std::string line = step;
        if (const auto at = line.find("PORT"); at != std::string::npos)
            line.replace(at, 4, std::to_string(server.Port()));
        Lines out;
        if (DialogStep(line, input, out)) return out;
        const std::string verb = line.substr(0, line.find(' '));
        const std::string arg = line.size() > verb.size() ? line.substr(verb.size() + 1) : "";
        const int n = std::atoi(arg.c_str());
        const auto answer = [this](QMessageBox::StandardButton fallback) {
            Answer(answer_ ? answer_ : fallback, &question_);
            answer_ = QMessageBox::NoButton;
        };
        if (verb == "show") {
            window->show();
        } else if (verb == "reopen") {
            window = NewWindow();
            window->show();
        } else if (verb == "tab") {
            window->TabControl1->setCurrentIndex(n);
        } else if (verb == "account") {
            if (arg == "elsewhere") {
                SetAccount("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/sync", false);
            } else if (arg == "dialog") {
                bool ok = false;
                out = Acting([&] { ok = window->EditAccount(); }, input);
                out.emplace_back(ok ? "ok" : "cancelled");
            } else {
                Account(arg == "copy");
            }
        } else if (verb == "server") {
            std::lock_guard hold(lock);
            mode = arg;
        } else if (verb == "serve") {  // the next session replaces the first row's item
            pane().SelectRow(0);
            std::lock_guard hold(lock);
            theirs = {{"Replace", "30", pane().SelectedItem()->ID, VNote({"SUMMARY:" + arg})}};
        } else if (verb == "sync" || verb == "store") {
            if (answer_) answer(answer_);
            const auto press = [&] {
                (verb == "sync" && arg == "all") ? window->SyncAll()
                : verb == "sync"                 ? pane().SyncBtnClick()
                                                 : pane().StoreBtnClick();
            };
            input.empty() ? press() : (void)(out = Acting(press, input));
            for (const TDataPane* pane : window->Panes())
                EXPECT_TRUE(Settle(*pane)) << "the exchange did not end";
        } else if (verb == "start") {
            const std::size_t before = server.Requests().size();
            (arg == "sync" ? pane().SyncBtnClick() : pane().StoreBtnClick());
            Until([&] { return server.Requests().size() > before; }, 5000);
            out.emplace_back(pane().Busy() ? "busy" : "not busy");
        } else if (verb == "cancel" || verb == "escape" || verb == "close") {
            QElapsedTimer clock;
            clock.start();
            if (verb == "cancel") {
                pane().CancelBtn->click();
            } else if (verb == "escape") {
                // Shortcuts reach only the active window: under a real X server the window
                // has to be made active first, as a user's click would.
                window->activateWindow();
                EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            } else {
                if (answer_) answer(answer_);
                window->close();
            }
            const bool ended = Settle(pane(), 2);
            QApplication::processEvents();
            const std::string when = clock.elapsed() < 1000 ? " at once" : " late";
            if (verb == "close") {
                out.push_back(window->isVisible() ? "still open" : "closed" + when);
            } else {
                out.push_back(ended ? "ended" + when : "still running");
            }
        } else if (verb == "answer") {
            const QMetaEnum buttons = QMetaEnum::fromType<QMessageBox::StandardButtons>();
            answer_ = static_cast<QMessageBox::StandardButton>(buttons.keyToValue(arg.c_str()));
        } else if (verb == "select") {
            pane().SelectRow(n);
        } else if (verb == "edit" || verb == "add") {
            AcceptEditor("WhatEd", QString::fromStdString(arg));
            (verb == "edit" ? pane().EditBtnClick() : pane().AddBtnClick());
        } else if (verb == "open" || verb == "list" || verb == "key") {
            window->activateWindow();  // shortcuts work in the active window
            QApplication::processEvents();
            // The editor that opens, if one does, shows its title and title box, cancelled.
            out = OnDialog(
                [&] {
                    if (verb == "open") {
                        pane().EditBtnClick();
                    } else if (verb == "list") {
                        pane().List->setFocus();
                    } else {
                        const QKeyCombination key =
                            QKeySequence::fromString(QString::fromStdString(arg))[0];
                        QTest::keyClick(QApplication::focusWidget(), key.key(),
                                        key.keyboardModifiers());
                    }
                },
                [this](QDialog& dialog) {
                    const QString title = Find<TEditNoteForm>().WhatEd->text();
                    dialog.reject();
                    return Lines{(dialog.windowTitle() + ": " + title).toStdString()};
                });
            if (verb == "key")
                out.push_back("tab " + std::to_string(window->TabControl1->currentIndex()));
            if (verb == "open" && out.empty()) out.emplace_back("nothing opens");
        } else if (verb == "delete") {
            pane().SelectRow(n);
            answer(QMessageBox::Yes);
            pane().DeleteBtnClick();
        } else if (verb == "import") {  // the files of tests/data chosen, or none
            chosen_.clear();
            for (const QString& name : QString::fromStdString(arg).split(' ', Qt::SkipEmptyParts))
                chosen_.push_back(QStringLiteral(ORVANTA_TEST_DATA "/") + name);
            window->FileMenu()->findChild<QAction*>("ImportAction")->trigger();
        } else if (verb == "export") {  // which of the files imported last it wrote
            const QString written = files_.filePath("out.vcf");
            QFile::remove(written);
            window->FileMenu()
                ->findChild<QAction*>(arg == "all" ? "ExportAllAction" : "ExportSelectedAction")
                ->trigger();
            for (const QString& file : chosen_)
                if (QFile::exists(written) &&
                    ReadFile(written.toStdString()) == ReadFile(file.toStdString()))
                    out.push_back(("wrote " + QFileInfo(file).fileName()).toStdString());
        } else if (verb == "source" && !arg.empty()) {
            pane().DSEd->setText(QString::fromStdString(arg));
        } else if (verb == "setting") {
            const std::string key = arg.substr(0, arg.find(' '));
            QSettings().setValue(QString::fromStdString(key),
                                 QString::fromStdString(arg.substr(key.size() + 1)));
        } else if (verb == "keyring" && !arg.empty()) {
            keyring.failure = QString::fromStdString(arg.substr(6));
        } else if (verb == "saved") {  // whether the settings file holds each text
            const std::string saved = ReadFile(QSettings().fileName().toStdString());
            std::istringstream texts(arg);
            for (std::string each; texts >> each;)
                out.push_back(each + (saved.find(each) == std::string::npos ? " no" : " yes"));
        } else if (verb == "filter") {
            pane().FilterEd->setText(QString::fromStdString(arg));
        } else if (verb == "conflicts") {  // the conflict view, the "| " steps in it
            out.push_back(pane().ConflictsBtn->isHidden()
                              ? "no conflict"
                              : pane().ConflictsBtn->text().toStdString());
            for (std::string& each : Acting([this] { pane().ConflictsBtnClick(); }, input))
                out.push_back(std::move(each));
            out.emplace_back(pane().ConflictsBtn->isHidden() ? "hidden" : "shown");
        } else {
            out = Shown(verb);
        }
        if (!question_.isEmpty()) out.insert(out.begin(), "asked: " + question_.toStdString());
        if (!dialog_.isEmpty()) out.insert(out.begin(), "dialog: " + dialog_.toStdString());
        question_.clear();
        dialog_.clear();
        for (const std::string& error : errors) {
            std::istringstream lines(error);
            std::string each;
            for (bool first = true; std::getline(lines, each); first = false)
                out.push_back((first ? "error: " : "  ") + each);
        }
        errors.clear();
        if (line == "sync all" && !out.empty()) {  // one message, the panes as they ended
            for (std::string& each : out)
                each.erase(0, each.starts_with("error: ") ? 7 : 2);
            std::sort(out.begin(), out.end());
            for (std::string& each : out)
                each.insert(0, &each == &out.front() ? "error: " : "  ");
        }
        return out;
    }

    // What the window shows: the steps that only look.
    Lines Shown(const std::string& what) {
        const auto text = [](const QString& s) { return s.isEmpty() ? "(none)" : s.toStdString(); };
        if (what == "rows") return pane().RowCount() ? Rows(pane()) : Lines{"(none)"};
        if (what == "buttons") return {Buttons(pane())};
        if (what == "status") {  // the time of the last sync left out
            const QString status = pane().StatusLbl->text();
            const auto at = status.indexOf("last synced ");
            return {text(at < 0 ? status : status.left(at + 12) + "(a time)")};
        }
        if (what == "pending") return {text(window->PendingLbl->text())};
        if (what == "title") return {text(window->windowTitle())};
        if (what == "statusbar") return {text(window->statusBar()->currentMessage())};
        if (what == "action") return {text(window->findChild<QAction*>("SyncAction")->text())};
        if (what == "focus") return {text(window->focusWidget()->objectName())};
        if (what == "changes") return {std::to_string(pane().PendingChanges())};
        if (what == "who") return {text(window->AccountLbl->text())};
        if (what == "password") return {text(window->Account().Settings().Password)};
        if (what == "source") return {text(pane().DSEd->text())};
        if (what == "keyring") {
            Lines entries;
            for (const auto& [key, password] : keyring.entries)
                entries.push_back((key + ": " + password).toStdString());
            return entries.empty() ? Lines{"(none)"} : entries;
        }
        if (what == "shortcuts") {  // of the program's own actions (Quit is the system's)
            Lines keys;
            for (const QAction* action : window->findChildren<QAction*>())
                if (!action->shortcut().isEmpty() && action->objectName() != "QuitAction")
                    keys.push_back(
                        (action->objectName() + " " + action->shortcut().toString()).toStdString());
            return keys;
        }
        if (what == "controls") {  // enabled +, disabled -; Cancel + when shown
            std::string line;
            for (const QWidget* w : std::initializer_list<const QWidget*>{
                     pane().List, pane().FilterEd, pane().SyncBtn})
                line += (w->isEnabled() ? "+" : "-") + w->objectName().toStdString() + " ";
            line += pane().CancelBtn->isHidden() ? "-CancelBtn" : "+CancelBtn";
            for (const char* name : {"ImportAction", "ExportSelectedAction", "ExportAllAction"})
                line += (window->findChild<QAction*>(name)->isEnabled() ? " +" : " -") +
                        std::string(name);
            return {line};
        }
        if (what == "items") return ItemStates(pane().SyncClient());
        if (what == "sent") {  // the changes sent since the last look
            const auto requests = server.Requests();
            Lines sent;
            for (std::size_t i = seen_; i < requests.size(); ++i) {
                for (const MessagePart& c : PartsOf(requests[i].Body))
                    if (c.Name == "Add" || c.Name == "Replace" || c.Name == "Delete")
                        sent.push_back(c.Name + " " + c["Item/Source/LocURI"]);
            }
            if (requests.size() == seen_) sent.emplace_back("no request");
            if (sent.empty()) sent.emplace_back("no change");
            seen_ = requests.size();
            return sent;
        }
        ADD_FAILURE() << "no such step: " << what;
        return {};
    }

    QMessageBox::StandardButton answer_ = QMessageBox::NoButton;
    QString question_, dialog_;  // asked and opened in a step
    QStringList chosen_;         // the files the next import chooses
    QTemporaryDir files_;
    std::size_t seen_ = 0;
};

TEST_P(PaneScript, Runs) {
    const std::string port = std::to_string(server.Port());
    std::string transcript =
        Transcript(ReadFile(GetParam()),
                   [this](const auto& line, const Lines& input) { return Step(line, input); });
    for (std::size_t at; (at = transcript.find(port)) != std::string::npos;)
        transcript.replace(at, port.size(), "PORT");
    ExpectTranscript(GetParam(), transcript);
}

INSTANTIATE_TEST_SUITE_P(Notes, PaneScript, ::testing::ValuesIn(CaseFiles("panes", ".script")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

// Per kind, as tests/data/panes/KEYWORD.case says: a tab and a pane, its controls in
// order. The list shows the kind's columns in their order; moments in the user's locale,
// in hours and minutes. The user's choice of column and order wins over the kind's, and an
// edit moves its row to where its new title sorts. Add opens the editor of its kind;
// Cancel leaves no item behind, OK lists the new item and keeps it for the next sync.
TEST_F(Panes, EachKindsPaneWithItsControlsEditorAndColumns) {
    ScopedTimeZone zone("UTC0");
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    SetAccount(kDefaultServerURL);
    window->show();
    ASSERT_EQ(window->Panel1->count(), static_cast<int>(DataKinds().size()));
    EXPECT_EQ(window->Panel1->currentWidget(), &Tab(0));
    for (int i = 3; i >= 0; --i) {
        const PaneKind& kind = PaneKinds()[static_cast<std::size_t>(i)];
        SCOPED_TRACE(kind.Tab);
        std::map<std::string, std::string> c;  // the case's sections but its items
        for (const Section& section :
             ReadSections(ReadFile(ORVANTA_TEST_DATA "/panes/" + kind.Data->Keyword + ".case"))) {
            if (section.Head == "item") Tab(i).SyncClient().NewItem()->Parse(section.Body);
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
        EXPECT_EQ(FocusChain(pane.FilterEd, 7),
                  (Lines{"FilterEd", "DSEd", kind.ListName, kind.AddName, kind.EditName,
                         kind.DeleteName, "SyncBtn"}));
        pane.TakeImported({});
        EXPECT_EQ(Joined(Rows(pane, true), "\n"), c["rows"] + "\n");
        Lines titles = Rows(pane);
        std::sort(titles.rbegin(), titles.rend());
        pane.List->sortByColumn(0, Qt::DescendingOrder);
        EXPECT_EQ(Rows(pane), titles);
        pane.SelectRow(0);
        AcceptEditor(c["title box"].c_str(), "0");
        pane.EditBtnClick();
        EXPECT_EQ(Rows(pane).back().substr(0, 1), "0") << Rows(pane).front();

        const int pending = pane.PendingChanges();
        WhenModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
        pane.AddBtnClick();
        EXPECT_EQ(pane.SyncClient().Items.size(), titles.size());
        AcceptEditor(c["title box"].c_str(), "Neu");
        pane.AddBtnClick();
        const Lines rows = Rows(pane);
        EXPECT_EQ(std::count(rows.begin(), rows.end(), "Neu"), 1);
        EXPECT_EQ(pane.PendingChanges(), pending + 1);
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

std::vector<const TSMLItem*> All(const TSMLBase& client) {
    std::vector<const TSMLItem*> items;
    for (const auto& item : client.Items)
        items.push_back(item.get());
    return items;
}

// The import cases of tests/data that say what the File menu does with them: an import
// of several items adds each as a new item with its own identifier and says how many,
// and how many of another kind it left out; a refusal leaves the client's items as they
// were (a file is imported whole or not at all). What is imported exports as one file
// that imports as the same items.
TEST(ImportExport, CasesOfTestData) {
    for (const auto& path : CaseFiles("import", ".case")) {
        std::map<std::string, std::string> c;  // the case's sections, "item" its items' count
        for (const Section& s : ReadSections(ReadFile(path)))
            c[s.Head] = s.Head == "item" ? c[s.Head] + "+" : s.Body;
        if (c["window"].empty()) continue;
        SCOPED_TRACE(path.filename().string());
        const auto kind =
            std::ranges::find(DataKinds(), c[""].substr(0, c[""].size() - 1), &DataKind::Component);
        ASSERT_NE(kind, DataKinds().end());
        const auto client = kind->MakeClient(), again = kind->MakeClient();
        client->Loaded = again->Loaded = true;
        std::string said;
        try {
            said = ImportSummary(*client, ImportItems(*client, c["file"]),
                                 QString::fromStdString(path.string()))
                       .toStdString();
        } catch (const Failure& failure) {
            said = failure.what();
        }
        EXPECT_EQ(said + "\n", c["window"]);
        std::set<std::string> ids;
        for (const auto& item : client->Items) {
            EXPECT_EQ(item->State, ItemState::New);
            ids.insert(item->ID);
        }
        EXPECT_EQ(ids.size(), said.starts_with("Imported") ? c["item"].size() : 0u);
        if (client->Items.empty()) continue;
        ImportItems(*again, ExportItems(All(*client)));
        ASSERT_EQ(again->Items.size(), client->Items.size());
        for (std::size_t i = 0; i < again->Items.size(); ++i)
            EXPECT_EQ(again->Items[i]->GetText(), client->Items[i]->GetText());
    }
}

// Before Connect, and for a client of no kind, an import is refused with a clear message
// and changes nothing; a file that cannot be read or written is named.
TEST(ImportExport, RefusalsLeaveTheItemsAlone) {
    // A client of a kind the kinds table does not hold is none of the four.
    struct TUnlisted final : TSMLBase {
        TUnlisted() : TSMLBase(StoreDefaults{"other", "", "", "", ""}) { Loaded = true; }
        std::unique_ptr<TSMLItem> CreateItem() override {
            return std::make_unique<TSMLNote>(nullptr);
        }
    } unlisted;
    const auto notLoaded = DataKinds()[1].MakeClient(), loaded = DataKinds()[1].MakeClient();
    loaded->Loaded = true;
    const std::pair<TSMLBase*, const char*> cases[] = {
        {notLoaded.get(),
         "contact-vcard30.vcf: Connect first: imported contacts are added to the loaded ones"},
        {&unlisted,
         "contact-vcard30.vcf cannot be imported: The data store's client is of no "
         "kind of data this program knows"},
    };
    for (const auto& [client, message] : cases) {
        try {
            ImportFile(*client, QStringLiteral(ORVANTA_TEST_DATA "/contact-vcard30.vcf"));
            ADD_FAILURE() << "accepted";
        } catch (const Failure& failure) {
            EXPECT_STREQ(failure.what(), message);
        }
        EXPECT_TRUE(client->Items.empty());
    }
    QTemporaryDir dir;
    EXPECT_THROW(ImportFile(*loaded, dir.filePath("missing.vcf")), Failure);
    EXPECT_THROW(ExportFile({}, dir.filePath("no/such/dir/out.vcf")), Failure);
}

}  // namespace
}  // namespace orvanta
