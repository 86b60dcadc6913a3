#include <sstream>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// A date picker and its time picker as the user sees them, "dd.MM.yy HH:mm", a part that is
// off in brackets; "none" for no date.
QString Moment(const QDateTimeEdit* date, const QDateTimeEdit* time) {
    const auto part = [](const QDateTimeEdit* picker, const QString& text) {
        return picker->isEnabled() ? text : '(' + text + ')';
    };
    if (date->text().trimmed().isEmpty()) return part(date, QStringLiteral("none"));
    return part(date, date->date().toString(QStringLiteral("dd.MM.yy"))) + ' ' +
           part(time, time->time().toString(QStringLiteral("HH:mm")));
}

class Editors : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        for (TEditorDialog* dialog : window->findChildren<TEditorDialog*>())
            dialog->Refuse = [this](const QString& m) { refusals.push_back(m.toStdString()); };
        cont().Contacts = &contacts;
    }
    [[nodiscard]] TEditEventForm& form() const { return Find<TEditEventForm>(); }
    [[nodiscard]] TEditContForm& cont() const { return Find<TEditContForm>(); }
    [[nodiscard]] TEditTaskForm& task() const { return Find<TEditTaskForm>(); }
    [[nodiscard]] TEditNoteForm& note() const { return Find<TEditNoteForm>(); }
    // Opens the event editor on a new event: as Add makes it, or read from its DTSTART and
    // DTEND values, "start/end" (a date alone: all day; no end: none; "start/": DTEND empty).
    TSMLEvent& Open(const std::string& span = "") {
        TSMLEvent* event = calendar.NewItem();
        Lines lines{"SUMMARY:Meeting"};
        for (const QString& value : QString::fromStdString(span).split('/', Qt::SkipEmptyParts)) {
            lines.push_back((lines.size() == 1 ? "DTSTART" : "DTEND") +
                            std::string(value.contains('T') ? ":" : ";VALUE=DATE:") +
                            value.toStdString());
        }
        if (span.ends_with('/')) lines.emplace_back("DTEND:");  // an empty end, as servers pad
        event->Parse(VEvent(lines));
        return Open(*event);
    }
    TSMLEvent& Open(TSMLEvent& event) {
        form().Event = &event;
        form().show();
        return event;
    }
    // The event editor's moments in one line, "start - end", "all day" when ticked.
    [[nodiscard]] std::string Shown() const {
        const TEditEventForm& f = form();
        return (Moment(f.StartDateDTP, f.StartTimeDTP) + " - " +
                Moment(f.EndDateDTP, f.EndTimeDTP) + (f.AllDayCB->isChecked() ? " all day" : ""))
            .toStdString();
    }
    // Acts on the event editor, step by step ("|" between them): "allday" clicks its box;
    // "start 12.12.26" and "end ..." set a date picker, "start 23:00" and "end ..." a time
    // picker.
    void Act(const std::string& steps) {
        for (const QString& step : QString::fromStdString(steps).split('|', Qt::SkipEmptyParts)) {
            const QString value = step.section(' ', 1);
            const bool start = step.startsWith("start");
            if (step == "allday") {
                form().AllDayCB->click();
            } else if (value.contains(':')) {
                (start ? form().StartTimeDTP : form().EndTimeDTP)
                    ->setTime(QTime::fromString(value, QStringLiteral("HH:mm")));
            } else {
                (start ? form().StartDateDTP : form().EndDateDTP)
                    ->setDate(QDate::fromString(value, QStringLiteral("dd.MM.yy")).addYears(100));
            }
        }
    }
    // Gives every editor a new item of its kind, the contact with a name.
    void GiveItems() {
        form().Event = calendar.NewItem();
        form().Event->SetTitle(u"Standup");
        cont().Contact = contacts.NewItem();
        cont().Contact->SetFirstName(u"Ada");
        task().Task = tasks.NewItem();
        task().Task->SetTitle(u"Call Ada");
        note().Note = notes.NewItem();
        note().Note->SetTitle(u"List");
    }
    [[nodiscard]] std::vector<TEditorDialog*> Dialogs() const {
        return {&form(), &Find<TReminderForm>(), &cont(), &task(), &note()};
    }

    TSMLCalendar calendar;
    TSMLContacts contacts;
    TSMLTasks tasks;
    TSMLNotes notes;
    std::vector<std::string> refusals;
};

// Start and end of an event as the editor shows them, "all day" after.
std::string Stored(const TSMLEvent& event) {
    const auto moment = [](TDateTime value) {
        return ToQDateTime(value).toString(QStringLiteral("dd.MM.yy HH:mm")).toStdString();
    };
    return moment(event.Start()) + " - " + moment(event.End()) + (event.AllDay() ? " all day" : "");
}

// The event editor from opening to OK, a case a line of data/editors/event-times.txt:
// the event, the user's steps, what the pickers show, what OK stores or that it refuses.
TEST_F(Editors, EventTimesFromPickersToTheEventAndBack) {
    std::istringstream cases(ReadFile(ORVANTA_TEST_DATA "/editors/event-times.txt"));
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line.starts_with('#')) continue;
        SCOPED_TRACE(line);
        const QStringList c = QString::fromStdString(line).split(" | ");
        const QString now = c.value(4, "14:10");
        clock = [now] { return QDateTime(QDate(2026, 12, 6), QTime::fromString(now, "HH:mm")); };
        refusals.clear();
        TSMLEvent& event = Open(c[0] == "new" ? "" : c[0].toStdString());
        const std::string payload = event.GetText();
        Act(c[1].toStdString());
        EXPECT_EQ(Shown(), c[2].toStdString());
        form().OKBtnClick();
        const bool refused = c.value(3) == "refused";
        EXPECT_EQ(form().isVisible(), refused);
        EXPECT_EQ(refusals,
                  Lines(refused, "The event ends before it starts. Please correct the end."));
        if (refused) {
            EXPECT_EQ(event.GetText(), payload);
            form().reject();
            continue;
        }
        EXPECT_EQ(Stored(event), (c.value(3).isEmpty() ? c[2] : c[3]).toStdString());
        Open(event);
        EXPECT_EQ(Shown(), c[2].toStdString());
        form().reject();
    }
}

TEST_F(Editors, RemindersAndTheirDialog) {
    TSMLEvent& event = Open("20261210T090000/20261210T100000");
    TReminderForm& dialog = Find<TReminderForm>();
    // The dialog in one line: method, number, period, date and time; what is off in brackets.
    const auto shown = [&] {
        const QString n = QString::number(dialog.NumberEd->value());
        return QStringLiteral("%1 %2 %3 %4")
            .arg(dialog.MethodCB->currentText(), dialog.NumberEd->isEnabled() ? n : '(' + n + ')',
                 dialog.PeriodCB->currentText(), Moment(dialog.DateDTP, dialog.TimeDTP))
            .toStdString();
    };
    WhenModal([&](QWidget*) {
        EXPECT_EQ(shown(), "Pop-up 5 minutes before (10.12.26) (09:00)");
        dialog.OKBtnClick();
    });
    form().RemAddBtn->click();
    WhenModal([&](QWidget*) {
        dialog.MethodCB->setCurrentIndex(1);
        dialog.PeriodCB->setCurrentIndex(4);
        dialog.TimeDTP->setTime(QTime(8, 15));
        EXPECT_EQ(shown(), "E-mail (5) at a time 10.12.26 08:15");
        dialog.OKBtnClick();
    });
    form().RemAddBtn->click();
    ASSERT_EQ(form().RemindersLB->count(), 2);
    EXPECT_EQ(form().RemindersLB->item(0)->text(), "Pop-up 5 minutes before");
    EXPECT_EQ(form().RemindersLB->item(1)->text(),
              "E-mail at " + LocaleText(At(2026, 12, 10, 8, 15)));
    EXPECT_FALSE(form().RemEditBtn->isEnabled());
    form().RemindersLB->setCurrentRow(0);
    // A reminder before the start offers the start, not the zero date-time, for "by time".
    WhenModal([&](QWidget*) {
        EXPECT_EQ(shown(), "Pop-up 5 minutes before (10.12.26) (09:00)");
        dialog.reject();
    });
    form().RemEditBtn->click();
    EXPECT_TRUE(form().RemDeleteBtn->isEnabled());
    form().RemDeleteBtn->click();
    EXPECT_EQ(form().RemindersLB->count(), 1);
    // Cancel in the event editor keeps what the reminder operations did.
    form().reject();
    ASSERT_EQ(event.ReminderCount(), 1u);
    EXPECT_EQ(event.GetReminder(0), (TReminder{0, At(2026, 12, 10, 8, 15), ReminderPeriod::ByTime,
                                               ReminderMethod::Email}));
    EXPECT_EQ(event.State, ItemState::Modified);
}

// A key pressed in a control as the user would press it: the control gets it first and
// hands it on to its dialog when it does not use it.
void Press(QWidget* control, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(control, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(control, &release);
}

// Every sample item, opened from its pane and closed with OK without a change, stays as it
// came byte for byte (a floating or zoned time is not rewritten in UTC) and leaves nothing
// to store; a change in one box writes that field alone.
TEST_F(Editors, OKWithoutAChangeLeavesEveryItemAsItCame) {
    for (const CorpusFile& f : CorpusFiles()) {
        SCOPED_TRACE(f.name);
        TDataPane* pane = nullptr;
        for (TDataPane* each : window->Panes())
            if (each->Kind().Data == f.kind) pane = each;
        ASSERT_NE(pane, nullptr);
        TSMLItem* item = pane->SyncClient().NewItem();
        item->Parse(f.text);
        pane->TakeImported({});
        item->State = ItemState::Unchanged;  // as a sync leaves it
        const std::string payload = item->GetText();
        for (int row = 0; pane->SelectedItem() != item && row < pane->RowCount(); ++row)
            pane->SelectRow(row);
        ASSERT_EQ(pane->SelectedItem(), item);
        WhenModal([](QWidget* dialog) {
            static_cast<TEditorDialog*>(dialog)->OKBtnClick();
            if (dialog->isVisible()) static_cast<QDialog*>(dialog)->reject();
        });
        pane->EditBtnClick();
        EXPECT_EQ(item->GetText(), payload);
        EXPECT_EQ(item->State, ItemState::Unchanged);
        EXPECT_EQ(pane->PendingChanges(), 0);
    }
    EXPECT_TRUE(refusals.empty()) << refusals.front();
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// Events, tasks and notes need a title (blanks are none; a note may have a text instead):
// OK is refused with a message and the dialog stays open on the unchanged item. Every
// editor's multi-line box takes Enter as a line break, and the text reaches its item with
// CR LF and shows again with line breaks.
TEST_F(Editors, BlankTitlesAreRefusedAndTextsReachTheirItemsWithCRLF) {
    GiveItems();
    const struct {
        TEditorDialog* dialog;
        QLineEdit* title;  // none: the contact's name has a test of its own
        const char* refusal;
        QPlainTextEdit* box;
        std::function<WideString()> field;
    } cases[] = {
        {&form(), form().WhatEd, "Please enter what the event is: its title is empty.",
         form().DescriptMem, [this] { return form().Event->Description(); }},
        {&cont(), nullptr, "", cont().NotesMM, [this] { return cont().Contact->Notes(); }},
        {&task(), task().WhatEd, "Please enter what the task is: its title is empty.",
         task().DescriptMem, [this] { return task().Task->Description(); }},
        {&note(), note().WhatEd, "Please enter a title or a text: the note is empty.",
         note().DescriptMem, [this] { return note().Note->Body(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dialog->objectName().toStdString());
        c.dialog->show();
        if (c.title) {
            refusals.clear();
            c.title->setText(" \t ");
            c.dialog->OKBtnClick();
            EXPECT_TRUE(c.dialog->isVisible());
            EXPECT_EQ(refusals, Lines{c.refusal});
            c.dialog->reject();
            c.dialog->show();
        }
        c.box->setPlainText("eins");
        c.box->moveCursor(QTextCursor::End);
        Press(c.box, Qt::Key_Return);
        c.box->insertPlainText("zwei");
        ASSERT_TRUE(c.dialog->isVisible());
        c.dialog->OKBtnClick();
        EXPECT_EQ(c.field(), u"eins\r\nzwei");
        c.dialog->show();
        EXPECT_EQ(c.box->toPlainText(), "eins\nzwei");
        c.dialog->reject();
    }
    EXPECT_EQ(note().Note->Title(), u"List");
    note().show();
    note().WhatEd->clear();
    note().DescriptMem->setPlainText("Milk");
    note().OKBtnClick();
    EXPECT_FALSE(note().isVisible());
    EXPECT_EQ(note().Note->Body(), u"Milk");
}

// A new contact needs a name (blanks are none), and Cancel removes it. An existing one opens
// on its first page; a last name alone is enough, and a cleared box means no birthday.
TEST_F(Editors, ContactEditorNeedsANameAndWritesWhatItShows) {
    TEditContForm& form = Find<TEditContForm>();
    form.Contact = nullptr;
    form.show();
    EXPECT_EQ(form.windowTitle(), "New contact");
    EXPECT_FALSE(form.BirthdayTP->Check->isChecked());
    EXPECT_EQ(form.BirthdayTP->Picker->text().trimmed(), "");
    ASSERT_EQ(contacts.Count(), 1u);
    form.Edit(&TSMLContact::FirstName)->setText("   ");
    form.Edit(&TSMLContact::MiddleName)->setText("Middle");
    form.OKBtnClick();
    EXPECT_TRUE(form.isVisible());
    form.reject();
    EXPECT_EQ(contacts.Count(), 0u);

    TSMLContact* contact = contacts.NewItem();
    contact->Parse(VCard({"N:M\xC3\xBCller;J\xC3\xBCrgen;;;", "BDAY:19700131"}));
    form.Contact = contact;
    form.PageControl1->setCurrentIndex(1);
    form.show();
    EXPECT_EQ(form.windowTitle(), "Edit contact");
    EXPECT_EQ(form.PageControl1->currentIndex(), 0);
    EXPECT_EQ(form.Edit(&TSMLContact::LastName)->text(), QString::fromUtf8("M\xC3\xBCller"));
    EXPECT_TRUE(form.BirthdayTP->Check->isChecked());
    form.Edit(&TSMLContact::FirstName)->clear();
    form.Edit(&TSMLContact::BusCity)->setText("Berlin");
    form.BirthdayTP->Check->click();
    EXPECT_EQ(form.BirthdayTP->Picker->text().trimmed(), "");
    form.OKBtnClick();
    EXPECT_EQ(refusals, Lines{"Please enter at least one name"});
    EXPECT_EQ(contact->GetText(),
              VCard({"ADR;WORK;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;;Berlin;;;",
                     "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller;;;;", "BDAY:"}));
    EXPECT_EQ(contacts.Count(), 1u);
}

// No date shows as a blank, never as the zero date-time of 30 December 1899; ticking a
// box with no date offers today at the next full hour.
TEST_F(Editors, EmptyTaskDatesShowBlank) {
    clock = [] { return QDateTime(QDate(2026, 12, 6), QTime(14, 10)); };
    TSMLTask* task = tasks.NewItem();
    task->Parse(VTodo({"SUMMARY:Call", "DUE:20261212T160000"}));
    TEditTaskForm& form = Find<TEditTaskForm>();
    const auto shown = [&] {
        return (Moment(form.DueDateDTP, form.DueTimeDTP) + " / " +
                Moment(form.RemindDateDTP, form.RemindTimeDTP))
            .toStdString();
    };
    form.Task = task;
    form.show();
    EXPECT_EQ(shown(), "12.12.26 16:00 / (none)");
    form.DueCHB->click();
    form.RemindCHB->click();
    EXPECT_EQ(shown(), "(none) / 06.12.26 15:00");
    form.PriorED->setCurrentIndex(form.PriorED->findData(3));
    form.OKBtnClick();
    EXPECT_EQ(task->Due(), 0);
    EXPECT_EQ(task->Alarm(), At(2026, 12, 6, 15));
    EXPECT_EQ(task->Priority(), 3);
    task->SetDue(At(2026, 12, 24));  // at midnight: shows its date
    form.show();
    EXPECT_EQ(shown(), "24.12.26 00:00 / 06.12.26 15:00");
    form.OKBtnClick();
    EXPECT_EQ(task->Due(), At(2026, 12, 24));
}

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
TEST_F(Editors, EveryWindowFitsItsScreen) {
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
    GiveItems();
    for (TEditorDialog* dialog : Dialogs()) {
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

// The keyboard walks each editor's controls in their designed order (the contact's pages
// aside), and every control hands Enter on to its dialog as OK and Escape as Cancel.
TEST_F(Editors, KeyboardOrderEnterAndEscapeInEveryEditor) {
    GiveItems();
    const TReminderForm& reminder = Find<TReminderForm>();
    const struct {
        Lines order;
        std::vector<QWidget*> controls;  // the first begins the order
    } cases[] = {
        {{"WhatEd", "StartDateDTP", "StartTimeDTP", "EndDateDTP", "EndTimeDTP", "AllDayCB",
          "LocationEd", "DescriptMem", "RemindersLB", "RemAddBtn", "RemEditBtn", "RemDeleteBtn",
          "OKBtn", "CancelBtn"},
         {form().WhatEd, form().StartDateDTP, form().EndTimeDTP, form().AllDayCB, form().LocationEd,
          form().RemindersLB}},
        {{"MethodCB", "NumberEd", "PeriodCB", "DateDTP", "TimeDTP", "OKBtn", "CancelBtn"},
         {reminder.MethodCB, reminder.NumberEd, reminder.PeriodCB}},
        {{},
         {cont().Edit(&TSMLContact::FirstName), cont().Edit(&TSMLContact::BusCountry),
          cont().PageControl1, cont().BirthdayTP->Check}},
        {{"WhatEd", "DueCHB", "DueDateDTP", "DueTimeDTP", "RemindDateDTP", "RemindTimeDTP",
          "RemindCHB", "OKBtn", "CancelBtn", "ComplCHB", "PriorED", "DescriptMem"},
         {task().WhatEd, task().DueCHB, task().PriorED}},
        {{"WhatEd", "DescriptMem", "OKBtn", "CancelBtn"}, {note().WhatEd}},
    };
    for (std::size_t i = 0; i < Dialogs().size(); ++i) {
        QDialog* dialog = Dialogs()[i];
        const auto& [order, controls] = cases[i];
        if (!order.empty()) {
            EXPECT_EQ(FocusChain(controls.front(), static_cast<int>(order.size())), order);
        }
        for (QWidget* control : controls) {
            for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                SCOPED_TRACE(control->objectName().toStdString() + " " + std::to_string(key));
                dialog->show();
                Press(control, key);
                EXPECT_FALSE(dialog->isVisible());
                EXPECT_EQ(dialog->result(),
                          key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted);
                dialog->hide();
            }
        }
    }
    EXPECT_TRUE(errors.empty());
}

// Using the reminder buttons once must not make them take Enter from the rest of the
// event editor: a focused button takes Enter, and after it OK again.
TEST_F(Editors, ReminderButtonsDoNotKeepEnter) {
    const auto focus = [](QWidget* control) {
        control->window()->activateWindow();
        QApplication::processEvents();
        control->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    };
    TSMLEvent& event = Open();
    focus(form().RemAddBtn);
    ASSERT_TRUE(form().RemAddBtn->hasFocus());
    bool reminderOpened = false;
    WhenModal([&](QWidget* dialog) {
        reminderOpened = dialog == &Find<TReminderForm>();
        Press(Find<TReminderForm>().NumberEd, Qt::Key_Return);  // OK of the reminder dialog
    });
    Press(form().RemAddBtn, Qt::Key_Return);
    EXPECT_TRUE(reminderOpened);
    ASSERT_TRUE(form().isVisible());
    focus(form().WhatEd);
    // Checked before Enter: a reminder button still default would open a modal dialog.
    ASSERT_TRUE(form().OKBtn->isDefault());
    ASSERT_FALSE(form().RemAddBtn->isDefault());
    form().WhatEd->setText("Standup");
    Press(form().WhatEd, Qt::Key_Return);
    EXPECT_FALSE(form().isVisible());
    EXPECT_EQ(form().result(), QDialog::Accepted);
    EXPECT_EQ(event.Summary(), u"Standup");
    EXPECT_EQ(event.ReminderCount(), 1u);
}

}  // namespace
}  // namespace orvanta
