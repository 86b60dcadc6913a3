#include <sstream>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// The item editors driven by a script of tests/data/editors (*.script), a step a line with
// what it shows indented below it, as the pane scripts are (`ORVANTA_UPDATE_CASES=1`
// writes that anew, for review). It is 6 December 2026 at 14:10 unless `now HH:MM` says
// another time. Besides the dialog steps of DialogSteps:
//   open cal|card|task|vnote   the kind's editor on a new item of the "| " property lines
//                              below it (none: as Add makes it), and the title it shows
//   open reminder, reopen      the reminder dialog alone; the dialog in front once more
//   item, fields NAME...       the item's payload; the values of its fields
//   field NAME=VALUE           sets a field of the item as the item tests write it
//   items                      the kind's items, their titles and states
//   samples                    every sample payload opened from its pane and closed with
//                              OK: those that changed
// A step that acts shows what OK refused.
class EditorScript : public UiTest,
                     public DialogSteps,
                     public ::testing::WithParamInterface<std::filesystem::path> {
protected:
    void SetUp() override {
        UiTest::SetUp();
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        clock = [this] { return QDateTime(QDate(2026, 12, 6), now_); };
        for (TEditorDialog* dialog : window->findChildren<TEditorDialog*>())
            dialog->Refuse = [this](const QString& m) { refusals_.push_back(m.toStdString()); };
    }

    // The pane of the kind, whose client holds the items.
    [[nodiscard]] TDataPane& Pane() const {
        return **std::ranges::find(window->Panes(), kind_, [](const TDataPane* pane) {
            return pane->Kind().Data->Keyword;
        });
    }
    [[nodiscard]] TSMLItem* Item() const {
        return kind_ == "card" ? Find<TEditContForm>().Contact : item_;
    }
    // The kind's editor on a new item of the property lines (none: as Add makes it).
    TEditorDialog& Open(const Lines& lines) {
        if (kind_ == "reminder") return Find<TReminderForm>();
        item_ = lines.empty() && kind_ == "card" ? nullptr : Pane().SyncClient().NewItem();
        if (!lines.empty()) {
            item_->Parse(kind_ == "cal"    ? VEvent(lines)
                         : kind_ == "card" ? VCard(lines)
                         : kind_ == "task" ? VTodo(lines)
                                           : VNote(lines));
        }
        TEditorDialog* dialog = &Find<TEditContForm>();
        if (kind_ == "card") {
            Find<TEditContForm>().Contacts = static_cast<TSMLContacts*>(&Pane().SyncClient());
            Find<TEditContForm>().Contact = static_cast<TSMLContact*>(item_);
        }
        if (kind_ == "cal") dialog = &Find<TEditEventForm>();
        if (kind_ == "cal") Find<TEditEventForm>().Event = static_cast<TSMLEvent*>(item_);
        if (kind_ == "task") dialog = &Find<TEditTaskForm>();
        if (kind_ == "task") Find<TEditTaskForm>().Task = static_cast<TSMLTask*>(item_);
        if (kind_ == "vnote") dialog = &Find<TEditNoteForm>();
        if (kind_ == "vnote") Find<TEditNoteForm>().Note = static_cast<TSMLNote*>(item_);
        dialog->Adding = lines.empty();
        return *dialog;
    }
    Lines Step(const std::string& line, const Lines& input) override {
        std::istringstream words(line);
        std::string verb, name;
        words >> verb >> name;
        QDialog* dialog = front_.empty() ? nullptr : front_.back();
        Lines out;
        if (verb == "now") {
            now_ = QTime::fromString(QString::fromStdString(name), "HH:mm");
        } else if (verb == "open" || verb == "reopen") {
            if (dialog && dialog->isVisible()) dialog->reject();
            if (verb == "open") {
                kind_ = name;
                front_ = {&Open(input)};
            }
            front_.back()->show();
            out.push_back(front_.back()->windowTitle().toStdString());
        } else if (verb == "item") {
            std::istringstream payload(Item()->GetText());
            for (std::string each; std::getline(payload, each, '\n');)
                out.push_back(Escaped(each.substr(0, each.find_last_not_of('\r') + 1)));
        } else if (verb == "fields") {  // in one line, as the item tests write them
            const std::string filled = '\n' + FilledFields(*Pane().Kind().Data, *Item());
            std::string shown;
            for (std::istringstream names(line.substr(6)); names >> name;) {
                const std::size_t at = filled.find('\n' + name + '=') + 1;
                shown += ' ' + (at ? filled.substr(at, filled.find('\n', at) - at) : name + '=');
            }
            out.push_back(shown.substr(1));
        } else if (verb == "field") {
            SetField(*Item(), line.substr(6));
        } else if (verb == "samples") {
            for (const CorpusFile& f : CorpusFiles()) {
                kind_ = f.kind->Keyword;
                TDataPane& pane = Pane();
                TSMLItem* item = pane.SyncClient().NewItem();
                item->Parse(f.text);
                pane.TakeImported({});
                item->State = ItemState::Unchanged;  // as a sync leaves it
                const std::string payload = item->GetText();
                for (int row = 0; pane.SelectedItem() != item && row < pane.RowCount(); ++row)
                    pane.SelectRow(row);
                const Lines seen = Acting([&pane] { pane.EditBtnClick(); }, {"ok"});
                if (seen.size() != 2 || seen[1] != "> ok" || item->GetText() != payload ||
                    item->State != ItemState::Unchanged || pane.PendingChanges() != 0)
                    out.push_back(f.name + " changed: " + Joined(seen, " "));
            }
            if (out.empty()) out.emplace_back("every sample as it came");
        } else if (verb == "items") {
            out = ItemStates(Pane().SyncClient());
        } else if (!DialogStep(line, input, out)) {
            ADD_FAILURE() << "no such step: " << line;
        }
        for (const std::string& refusal : std::exchange(refusals_, {}))
            out.insert(out.end() - (out.empty() ? 0 : 1), "refused: " + refusal);
        for (const std::string& error : std::exchange(errors, {}))
            out.push_back("error: " + error);
        return out;
    }

    QTime now_{14, 10};
    std::string kind_;
    std::vector<std::string> refusals_;
    TSMLItem* item_ = nullptr;  // the item opened last
};

TEST_P(EditorScript, Runs) {
    ExpectTranscript(GetParam(),
                     Transcript(ReadFile(GetParam()), [this](const auto& line, const Lines& input) {
                         return Step(line, input);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Editors, EditorScript,
                         ::testing::ValuesIn(CaseFiles("editors", ".script")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

// Times read in hours and minutes in every locale, and no date reads as nothing.
TEST(LocaleText, TimesWithoutSeconds) {
    for (const char* name : {"C", "en_US", "de_DE", "fr_FR", "ja_JP"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        const QString format = TimeFormat();
        EXPECT_TRUE(!format.contains('s') && format.contains("mm")) << format.toStdString();
        EXPECT_EQ(LocaleText(0), "");
        EXPECT_EQ(LocaleText(At(2026, 12, 10)),
                  QLocale().toString(QDate(2026, 12, 10), QLocale::ShortFormat));
        EXPECT_FALSE(LocaleText(At(2026, 12, 10, 8, 15) + 30.0 / 86400).contains("30")) << name;
    }
    QLocale::setDefault(QLocale::system());
}

// Whether `window` lies on its screen's free area, is not squeezed below what its content
// needs, and shows `button` (its OK) whole on the screen.
void ExpectFitsItsScreen(QWidget* window, QWidget* button = nullptr) {
    SCOPED_TRACE(window->objectName().toStdString());
    QApplication::processEvents();
    const QRect room = window->screen()->availableGeometry();
    EXPECT_TRUE(window->isVisible() && room.contains(window->frameGeometry()));
    EXPECT_EQ(window->size().expandedTo(window->minimumSizeHint()), window->size());
    if (button) {
        EXPECT_TRUE(button->isVisibleTo(window) &&
                    room.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
    }
}

// The main window and every editor open on the screen they are on, with their OK buttons
// in reach; ctest runs this once more on 1280x800 at 200% (640x400 logical pixels). The
// small reminder dialog keeps one size and cannot be maximised.
TEST_F(UiTest, EveryWindowFitsItsScreen) {
    window->show();
    ExpectFitsItsScreen(window.get());
    // The list gets the room: maximised, at least eight rows of contacts show whole.
    TDataPane& contacts = Tab(1);
    for (int i = 0; i < 20; ++i)
        contacts.SyncClient().NewItem()->Parse(VCard({"N:Name" + std::to_string(i)}));
    contacts.TakeImported({});
    window->TabControl1->setCurrentIndex(1);
    window->showMaximized();
    QApplication::processEvents();
    int whole = 0;
    for (int row = 0; row < contacts.RowCount(); ++row) {
        const QRect cell = contacts.List->visualRect(contacts.List->model()->index(row, 0));
        whole += contacts.List->viewport()->rect().contains(cell) ? 1 : 0;
    }
    EXPECT_GE(whole, 8) << "of " << contacts.List->viewport()->height() << " pixels";
    // The account's dialog shows the whole server address in its box.
    TAccountForm& account = window->AccountForm();
    WhenModal([&account](QWidget*) {
        ExpectFitsItsScreen(&account);
        const QLineEdit* server = account.ServerEd;
        EXPECT_GE(server->contentsRect().width(),
                  server->fontMetrics().horizontalAdvance(server->text()));
        account.reject();
    });
    window->EditAccount();
    // Each editor on a new item of its pane's client; the contact editor makes its own.
    Find<TEditEventForm>().Event = static_cast<TSMLEvent*>(Tab(0).SyncClient().NewItem());
    Find<TEditContForm>().Contacts = static_cast<TSMLContacts*>(&Tab(1).SyncClient());
    Find<TEditTaskForm>().Task = static_cast<TSMLTask*>(Tab(2).SyncClient().NewItem());
    Find<TEditNoteForm>().Note = static_cast<TSMLNote*>(Tab(3).SyncClient().NewItem());
    for (TEditorDialog* dialog : window->findChildren<TEditorDialog*>()) {
        dialog->show();
        ExpectFitsItsScreen(dialog, dialog->OKBtn);
        // Pages scroll only when the screen has too little room for their fields.
        const QRect room = dialog->screen()->availableGeometry();
        for (const QScrollArea* page : dialog->findChildren<QScrollArea*>()) {
            const int needed = page->widget()->sizeHint().height();
            const bool roomForAll =
                room.height() >= dialog->height() - page->viewport()->height() + needed + 48;
            EXPECT_TRUE(!roomForAll || page->viewport()->height() >= needed)
                << page->objectName().toStdString();
        }
        dialog->reject();
    }
    EXPECT_EQ(Find<TReminderForm>().minimumSize(), Find<TReminderForm>().maximumSize());
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace orvanta
