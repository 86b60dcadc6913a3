#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Payloads.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

QTime TimeOf(const QDateTimeEdit* picker) {
    return picker->dateTime().time();
}

class EventEditor : public UiTest {
protected:
    TSMLCalendar calendar;
    std::vector<std::string> refusals;
    void SetUp() override {
        UiTest::SetUp();
        form().Refuse = [this](const QString& m) { refusals.push_back(m.toStdString()); };
    }
    TEditEventForm& form() { return *Forms().EditEventForm; }
    void Open(TSMLEvent* event) {
        form().Event = event;
        form().show();
    }
};

TEST_F(EventEditor, NewEventProposesNowToTheHour) {
    const struct {
        QTime now;
        QTime start, end;
    } cases[] = {
        {QTime(10, 29), QTime(10, 0), QTime(11, 0)},
        {QTime(10, 31), QTime(11, 0), QTime(12, 0)},
        {QTime(23, 45), QTime(0, 0), QTime(1, 0)},
    };
    for (const auto& c : cases) {
        SetClock([&] { return QDateTime(QDate(2026, 12, 6), c.now); });
        TSMLEvent* event = calendar.NewItem();
        Open(event);
        EXPECT_EQ(form().windowTitle(), "Edit event");
        EXPECT_EQ(form().StartDateDTP->date(), QDate(2026, 12, 6));
        EXPECT_EQ(TimeOf(form().StartTimeDTP), c.start);
        EXPECT_EQ(TimeOf(form().EndTimeDTP), c.end);
        EXPECT_FALSE(form().AllDayCB->isChecked());
        form().OKBtnClick();
        EXPECT_EQ(event->Start, At(2026, 12, 6, c.start.hour()));
        EXPECT_EQ(event->End, At(2026, 12, 6, c.end.hour()));
    }
}

TEST_F(EventEditor, AllDayTickingAndExistingEvents) {
    SetClock([] { return QDateTime(QDate(2026, 12, 6), QTime(14, 10)); });
    TSMLEvent* event = calendar.NewItem();
    Open(event);
    form().AllDayCB->click();
    EXPECT_FALSE(form().StartTimeDTP->isEnabled());
    EXPECT_EQ(TimeOf(form().StartTimeDTP), QTime(0, 0));
    EXPECT_EQ(TimeOf(form().EndTimeDTP), QTime(0, 0));
    form().EndDateDTP->setDate(QDate(2026, 12, 6));
    form().OKBtnClick();
    // From the 6th to the 6th all day ends, exclusively, on the 7th.
    EXPECT_TRUE(event->AllDay);
    EXPECT_EQ(event->End, At(2026, 12, 7));

    Open(event);  // shown as it was entered: the 6th to the 6th
    EXPECT_TRUE(form().AllDayCB->isChecked());
    EXPECT_EQ(form().EndDateDTP->date(), QDate(2026, 12, 6));
    form().AllDayCB->click();  // cleared: now to the hour and one hour later
    EXPECT_TRUE(form().StartTimeDTP->isEnabled());
    EXPECT_EQ(TimeOf(form().StartTimeDTP), QTime(14, 0));
    EXPECT_EQ(TimeOf(form().EndTimeDTP), QTime(15, 0));
    form().reject();

    // A timed event opened right after shows its own times, pickers enabled.
    TSMLEvent* timed = calendar.NewItem();
    timed->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20261210T090000\r\n"
        "DTEND:20261210T093000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    Open(timed);
    EXPECT_TRUE(form().StartTimeDTP->isEnabled());
    EXPECT_EQ(TimeOf(form().StartTimeDTP), QTime(9, 0));
    EXPECT_EQ(TimeOf(form().EndTimeDTP), QTime(9, 30));
    form().reject();
}

// All-day events are entered and shown by their last day; the event keeps the day after.
TEST_F(EventEditor, AllDayEventsShowTheirLastDay) {
    const struct {
        QDate start, last;
        TDateTime storedEnd;
    } cases[] = {
        {QDate(2026, 12, 18), QDate(2026, 12, 18), At(2026, 12, 19)},
        {QDate(2026, 12, 18), QDate(2026, 12, 20), At(2026, 12, 21)},
        {QDate(2026, 12, 31), QDate(2027, 1, 1), At(2027, 1, 2)},
    };
    for (const auto& c : cases) {
        TSMLEvent* event = calendar.NewItem();
        Open(event);
        form().AllDayCB->click();
        form().StartDateDTP->setDate(c.start);
        form().EndDateDTP->setDate(c.last);
        form().OKBtnClick();
        EXPECT_EQ(event->End, c.storedEnd);
        Open(event);
        EXPECT_EQ(form().StartDateDTP->date(), c.start);
        EXPECT_EQ(form().EndDateDTP->date(), c.last);
        form().reject();
    }
}

// Moving the start moves the end along, keeping the length of the event.
TEST_F(EventEditor, EndFollowsTheStart) {
    TSMLEvent* event = calendar.NewItem();
    event->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20261210T100000\r\n"
        "DTEND:20261210T113000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    Open(event);
    form().StartDateDTP->setDate(QDate(2026, 12, 12));
    EXPECT_EQ(form().EndDateDTP->date(), QDate(2026, 12, 12));
    EXPECT_EQ(TimeOf(form().EndTimeDTP), QTime(11, 30));
    form().StartTimeDTP->setTime(QTime(23, 0));  // past midnight: the end moves a day on
    EXPECT_EQ(form().EndDateDTP->date(), QDate(2026, 12, 13));
    EXPECT_EQ(TimeOf(form().EndTimeDTP), QTime(0, 30));
    form().EndTimeDTP->setTime(QTime(2, 0));  // the end alone: the start stays
    EXPECT_EQ(TimeOf(form().StartTimeDTP), QTime(23, 0));
    form().OKBtnClick();
    EXPECT_EQ(event->Start, At(2026, 12, 12, 23));
    EXPECT_EQ(event->End, At(2026, 12, 13, 2));

    Open(event);
    form().AllDayCB->click();  // all day, the 12th to the 13th
    form().StartDateDTP->setDate(QDate(2026, 12, 20));
    EXPECT_EQ(form().EndDateDTP->date(), QDate(2026, 12, 21));
    form().reject();
}

// An event read without an end shows its start as its end, never 30 Dec 1899, and OK
// takes it as it is shown.
TEST_F(EventEditor, EventWithoutEndShowsItsStart) {
    TSMLEvent* event = calendar.NewItem();
    event->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20261210T100000\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n");
    event->End = 0;  // as a payload without DTEND reads when nothing fills it in
    Open(event);
    EXPECT_EQ(form().EndDateDTP->date(), QDate(2026, 12, 10));
    EXPECT_EQ(TimeOf(form().EndTimeDTP), QTime(10, 0));
    form().OKBtnClick();
    EXPECT_TRUE(refusals.empty());
    EXPECT_EQ(event->End, At(2026, 12, 10, 10));
}

// An end before the start is refused with a message; the dialog stays open and the
// event keeps its values. Ending when it starts is fine.
TEST_F(EventEditor, EndBeforeStartIsRefused) {
    TSMLEvent* event = calendar.NewItem();
    event->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nDTSTART:20261210T100000\r\n"
        "DTEND:20261210T110000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    const std::string payload = event->GetText();
    const struct {
        bool allDay;
        QDate endDate;
        QTime endTime;
        bool refused;
    } cases[] = {
        {false, QDate(2026, 12, 10), QTime(9, 59), true},
        {false, QDate(2026, 12, 9), QTime(12, 0), true},
        {true, QDate(2026, 12, 9), QTime(0, 0), true},
        {false, QDate(2026, 12, 10), QTime(10, 0), false},
        {true, QDate(2026, 12, 10), QTime(0, 0), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.endDate.toString().toStdString() + " " + c.endTime.toString().toStdString());
        refusals.clear();
        Open(event);
        if (c.allDay) form().AllDayCB->click();
        form().EndDateDTP->setDate(c.endDate);
        form().EndTimeDTP->setTime(c.endTime);
        form().OKBtnClick();
        EXPECT_EQ(form().isVisible(), c.refused);
        EXPECT_EQ(refusals, c.refused ? std::vector<std::string>{"The event ends before it "
                                                                 "starts. Please correct the end."}
                                      : std::vector<std::string>{});
        if (c.refused) {
            EXPECT_EQ(event->GetText(), payload);
        }
        form().reject();
    }
}

TEST_F(EventEditor, RemindersAndTheirDialog) {
    TSMLEvent* event = calendar.NewItem();
    event->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\n"
        "DTSTART:20261210T090000\r\nDTEND:20261210T100000\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
    Open(event);
    TReminderForm& dialog = *Forms().ReminderForm;
    WhenModal([&](QWidget*) {
        EXPECT_EQ(dialog.MethodCB->currentText(), "Pop-up");
        EXPECT_EQ(dialog.NumberEd->value(), 5);
        EXPECT_EQ(dialog.PeriodCB->currentText(), "minutes");
        EXPECT_FALSE(dialog.DateDTP->isEnabled());
        EXPECT_EQ(dialog.DateDTP->date(), QDate(2026, 12, 10));
        dialog.OKBtnClick();
    });
    form().RemAddBtn->click();
    WhenModal([&](QWidget*) {
        dialog.MethodCB->setCurrentIndex(1);
        dialog.PeriodCB->setCurrentIndex(4);
        EXPECT_TRUE(dialog.DateDTP->isEnabled());
        EXPECT_FALSE(dialog.NumberEd->isEnabled());
        dialog.TimeDTP->setTime(QTime(8, 15));
        dialog.OKBtnClick();
    });
    form().RemAddBtn->click();
    ASSERT_EQ(form().RemindersLB->count(), 2);
    EXPECT_EQ(form().RemindersLB->item(0)->text(), "Pop-up 5 minutes");
    EXPECT_EQ(form().RemindersLB->item(1)->text(),
              "Email on " + LocaleText(At(2026, 12, 10, 8, 15)));
    EXPECT_FALSE(form().RemEditBtn->isEnabled());
    form().RemindersLB->setCurrentRow(0);
    // A reminder before the start offers the start, not the zero date-time, for "by time".
    WhenModal([&](QWidget*) {
        EXPECT_EQ(dialog.DateDTP->date(), QDate(2026, 12, 10));
        EXPECT_EQ(TimeOf(dialog.TimeDTP), QTime(9, 0));
        dialog.reject();
    });
    form().RemEditBtn->click();
    EXPECT_TRUE(form().RemDeleteBtn->isEnabled());
    form().RemDeleteBtn->click();
    EXPECT_EQ(form().RemindersLB->count(), 1);
    // Cancel in the event editor keeps what the reminder operations did.
    form().reject();
    ASSERT_EQ(event->ReminderCount(), 1u);
    EXPECT_EQ(event->GetReminder(0), (TReminder{0, At(2026, 12, 10, 8, 15), ReminderPeriod::ByTime,
                                                ReminderMethod::Email}));
    EXPECT_EQ(event->State, ItemState::Modified);
}

TEST_F(EventEditor, DescriptionLinesReachTheEventWithCRLF) {
    TSMLEvent* event = calendar.NewItem();
    Open(event);
    form().DescriptMem->setPlainText("eins\nzwei");
    form().OKBtnClick();
    EXPECT_EQ(event->Description, u"eins\r\nzwei");
}

class ContactEditor : public UiTest {
protected:
    TSMLContacts contacts;
    TEditContForm& form() { return *Forms().EditContForm; }
    std::vector<std::string> refusals;
    void SetUp() override {
        UiTest::SetUp();
        form().Refuse = [this](const QString& m) { refusals.push_back(m.toStdString()); };
        form().Contacts = &contacts;
    }
};

TEST_F(ContactEditor, AddRefusesNamelessAndCancelRemovesTheContact) {
    form().Contact = nullptr;
    form().show();
    EXPECT_EQ(form().windowTitle(), "Create contact");
    EXPECT_EQ(form().PageControl1->currentIndex(), 0);
    EXPECT_FALSE(form().BirthdayTP->Check->isChecked());
    EXPECT_EQ(form().BirthdayTP->Picker->text().trimmed(), "");
    ASSERT_EQ(contacts.Count(), 1u);
    form().Edit(&TSMLContact::FirstName)->setText("   ");
    form().Edit(&TSMLContact::MiddleName)->setText("Middle");
    form().OKBtnClick();
    EXPECT_EQ(refusals, std::vector<std::string>{"Please enter at least one name"});
    EXPECT_TRUE(form().isVisible());
    form().reject();
    EXPECT_EQ(contacts.Count(), 0u);
}

TEST_F(ContactEditor, EditWritesEveryFieldAndTheBirthdayBox) {
    TSMLContact* contact = contacts.NewItem();
    contact->Parse(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:M\xC3\xBCller;J\xC3\xBCrgen;;;\r\nBDAY:19700131\r\n"
        "END:VCARD\r\n");
    form().Contact = contact;
    form().show();
    EXPECT_EQ(form().windowTitle(), "Edit contact");
    EXPECT_EQ(form().Edit(&TSMLContact::LastName)->text(), QString::fromUtf8("M\xC3\xBCller"));
    EXPECT_TRUE(form().BirthdayTP->Check->isChecked());
    form().Edit(&TSMLContact::FirstName)->clear();  // a last name alone is enough
    form().Edit(&TSMLContact::BusCity)->setText("Berlin");
    form().NotesMM->setPlainText("a\nb");
    form().BirthdayTP->Check->click();  // cleared: no birthday
    EXPECT_EQ(form().BirthdayTP->Picker->text().trimmed(), "");
    form().OKBtnClick();
    EXPECT_TRUE(refusals.empty());
    EXPECT_EQ(contact->FirstName, u"");
    EXPECT_EQ(contact->BusCity, u"Berlin");
    EXPECT_EQ(contact->Notes, u"a\r\nb");
    EXPECT_EQ(contact->Birthday, 0);
    EXPECT_EQ(contacts.Count(), 1u);
}

TEST_F(ContactEditor, LabelsReadAsDesigned) {
    std::vector<std::string> labels;
    for (const QLabel* label : form().findChildren<QLabel*>())
        labels.push_back(label->text().toStdString());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Bitrhday:"), labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Business webpage:"), labels.end());
}

// The keyboard walks the controls in their designed order.
std::vector<std::string> FocusChain(QWidget* first, int steps) {
    std::vector<std::string> names;
    QWidget* w = first;
    for (int i = 0; i < steps; ++i) {
        names.push_back(w->objectName().toStdString());
        do {
            w = w->nextInFocusChain();
            // Unnamed parts and the inner line edits of spin boxes are not controls.
        } while (w->objectName().isEmpty() || w->objectName().startsWith("qt_") ||
                 w->focusPolicy() == Qt::NoFocus);
    }
    return names;
}

TEST_F(UiTest, TabOrderFollowsTheDesign) {
    EXPECT_EQ(FocusChain(Forms().EditEventForm->WhatEd, 14),
              (std::vector<std::string>{"WhatEd", "StartDateDTP", "StartTimeDTP", "EndDateDTP",
                                        "EndTimeDTP", "AllDayCB", "LocationEd", "DescriptMem",
                                        "RemindersLB", "RemAddBtn", "RemEditBtn", "RemDeleteBtn",
                                        "OKBtn", "CancelBtn"}));
    EXPECT_EQ(
        FocusChain(Forms().MainCalForm->ServerEd, 14),
        (std::vector<std::string>{"ServerEd", "DSEd", "UserNameEd", "PasswordEd", "CheckBox1",
                                  "ProxyEd", "PortEd", "ConnectBtn", "FilterEd", "EventsLB",
                                  "EventAddBtn", "EventEditBtn", "EventDeleteBtn", "StoreBtn"}));
    EXPECT_EQ(FocusChain(Forms().ReminderForm->MethodCB, 7),
              (std::vector<std::string>{"MethodCB", "NumberEd", "PeriodCB", "DateDTP", "TimeDTP",
                                        "OKBtn", "CancelBtn"}));
}

// No date shows as a blank, never as the zero date-time of 30 December 1899; ticking a
// box with no date offers today at the next full hour.
TEST_F(UiTest, EmptyTaskDatesShowBlank) {
    SetClock([] { return QDateTime(QDate(2026, 12, 6), QTime(14, 10)); });
    TSMLTasks tasks;
    TSMLTask* task = tasks.NewItem();
    task->Parse(
        "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\nDUE:20261212T160000Z\r\nEND:VTODO\r\n"
        "END:VCALENDAR\r\n");
    TEditTaskForm& form = *Forms().EditTaskForm;
    form.Task = task;
    form.show();
    EXPECT_TRUE(form.DueCHB->isChecked());
    EXPECT_FALSE(form.RemindCHB->isChecked());
    EXPECT_FALSE(form.RemindDateDTP->isEnabled());
    EXPECT_EQ(form.RemindDateDTP->text().trimmed(), "");
    form.DueCHB->click();  // cleared: no due date
    EXPECT_EQ(form.DueDateDTP->text().trimmed(), "");
    form.RemindCHB->click();
    EXPECT_EQ(form.RemindDateDTP->date(), QDate(2026, 12, 6));
    EXPECT_EQ(TimeOf(form.RemindTimeDTP), QTime(15, 0));
    form.PriorED->setValue(3);
    form.OKBtnClick();
    EXPECT_EQ(task->Due, 0);
    EXPECT_EQ(task->Alarm, At(2026, 12, 6, 15));
    EXPECT_EQ(task->Priority, 3);

    // A due date at midnight shows its date.
    task->SetDue(At(2026, 12, 24));
    form.show();
    EXPECT_EQ(form.DueDateDTP->date(), QDate(2026, 12, 24));
    EXPECT_EQ(TimeOf(form.DueTimeDTP), QTime(0, 0));
    form.OKBtnClick();
    EXPECT_EQ(task->Due, At(2026, 12, 24));
}

// Times read in hours and minutes in every locale, and no date reads as nothing.
TEST_F(UiTest, TimesWithoutSeconds) {
    for (const char* name : {"C", "en_US", "de_DE", "fr_FR", "ja_JP"}) {
        SCOPED_TRACE(name);
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        const QString format = TimeFormat();
        EXPECT_FALSE(format.contains('s')) << format.toStdString();
        EXPECT_TRUE(format.contains("mm")) << format.toStdString();
        EXPECT_EQ(LocaleText(0), "");
        const QDate day(2026, 12, 10);
        EXPECT_EQ(LocaleText(At(2026, 12, 10)), QLocale().toString(day, QLocale::ShortFormat));
        EXPECT_FALSE(LocaleText(At(2026, 12, 10, 8, 15) + 30.0 / 86400).contains("30"));
    }
    QLocale::setDefault(QLocale::system());
}

// Whether `window` lies on its screen's free area, is not squeezed below what its content
// needs, and shows `button` (its OK) whole on the screen.
void ExpectFitsItsScreen(QWidget* window, QWidget* button = nullptr) {
    SCOPED_TRACE(window->objectName().toStdString());
    QApplication::processEvents();
    ASSERT_TRUE(window->isVisible());
    const QRect room = window->screen()->availableGeometry();
    const auto text = [](const QRect& r) {
        return std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
               std::to_string(r.x()) + "+" + std::to_string(r.y());
    };
    EXPECT_TRUE(room.contains(window->frameGeometry()))
        << text(window->frameGeometry()) << " on " << text(room);
    EXPECT_GE(window->width(), window->minimumSizeHint().width());
    EXPECT_GE(window->height(), window->minimumSizeHint().height());
    if (!button) return;
    EXPECT_TRUE(button->isVisibleTo(window));
    const QRect shown(button->mapToGlobal(QPoint(0, 0)), button->size());
    EXPECT_TRUE(room.contains(shown)) << text(shown) << " on " << text(room);
}

// The main window and every editor open on the screen they are on, with their OK buttons
// in reach; ctest runs this once more on 1280x800 at 200% (640x400 logical pixels). The
// small reminder dialog keeps one size and cannot be maximised.
TEST_F(UiTest, EveryWindowFitsItsScreen) {
    const auto& f = Forms();
    window->show();
    ExpectFitsItsScreen(window.get());
    // The whole server address shows in its box.
    const QLineEdit* server = f.MainCalForm->ServerEd;
    EXPECT_GE(server->contentsRect().width(),
              server->fontMetrics().horizontalAdvance(server->text()));

    TSMLCalendar calendar;
    TSMLContacts contacts;
    TSMLTasks tasks;
    TSMLNotes notes;
    f.EditEventForm->Event = calendar.NewItem();
    f.EditContForm->Contacts = &contacts;
    f.EditContForm->Contact = contacts.NewItem();
    f.EditTaskForm->Task = tasks.NewItem();
    f.EditNoteForm->Note = notes.NewItem();
    for (TEditorDialog* dialog : std::initializer_list<TEditorDialog*>{
             f.EditEventForm, f.ReminderForm, f.EditContForm, f.EditTaskForm, f.EditNoteForm}) {
        dialog->show();
        ExpectFitsItsScreen(dialog, dialog->OKBtn);
        // Pages scroll only when the screen has too little room for their fields.
        const QRect room = dialog->screen()->availableGeometry();
        for (const QScrollArea* page : dialog->findChildren<QScrollArea*>()) {
            const int needed = page->widget()->sizeHint().height();
            if (room.height() < dialog->height() - page->viewport()->height() + needed + 48) {
                continue;
            }
            EXPECT_GE(page->viewport()->height(), needed) << page->objectName().toStdString();
        }
        dialog->reject();
    }
    f.ReminderForm->show();
    EXPECT_EQ(f.ReminderForm->minimumSize(), f.ReminderForm->maximumSize());
    f.ReminderForm->reject();
    EXPECT_TRUE(errors.empty());
}

// A key pressed in a control as the user would press it: the control gets it first and
// hands it on to its dialog when it does not use it.
void Press(QWidget* control, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(control, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(control, &release);
}

// Gives a control the keyboard focus in its (active) window.
void Focus(QWidget* control) {
    control->window()->activateWindow();
    QApplication::processEvents();
    control->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
}

TEST_F(UiTest, EnterMeansOKAndEscapeCancelInEveryEditor) {
    TSMLCalendar calendar;
    TSMLContacts contacts;
    TSMLTasks tasks;
    TSMLNotes notes;
    const auto& f = Forms();
    f.EditEventForm->Event = calendar.NewItem();
    f.EditContForm->Contacts = &contacts;
    f.EditContForm->Contact = contacts.NewItem();
    f.EditContForm->Edit(&TSMLContact::FirstName)->setText("Ada");
    f.EditContForm->Contact->SetFirstName(u"Ada");
    f.EditTaskForm->Task = tasks.NewItem();
    f.EditNoteForm->Note = notes.NewItem();
    const struct {
        QDialog* dialog;
        std::vector<QWidget*> controls;  // each passes Enter on to the dialog
    } editors[] = {
        {f.EditEventForm,
         {f.EditEventForm->WhatEd, f.EditEventForm->StartDateDTP, f.EditEventForm->EndTimeDTP,
          f.EditEventForm->AllDayCB, f.EditEventForm->LocationEd, f.EditEventForm->RemindersLB}},
        {f.ReminderForm,
         {f.ReminderForm->MethodCB, f.ReminderForm->NumberEd, f.ReminderForm->PeriodCB}},
        {f.EditContForm,
         {f.EditContForm->Edit(&TSMLContact::FirstName),
          f.EditContForm->Edit(&TSMLContact::BusCountry), f.EditContForm->PageControl1,
          f.EditContForm->BirthdayTP->Check}},
        {f.EditTaskForm, {f.EditTaskForm->WhatEd, f.EditTaskForm->DueCHB, f.EditTaskForm->PriorED}},
        {f.EditNoteForm, {f.EditNoteForm->WhatEd}},
    };
    for (const auto& e : editors) {
        for (QWidget* control : e.controls) {
            for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                SCOPED_TRACE(e.dialog->objectName().toStdString() + " " +
                             control->objectName().toStdString() + " " + std::to_string(key));
                e.dialog->show();
                Press(control, key);
                EXPECT_FALSE(e.dialog->isVisible());
                EXPECT_EQ(e.dialog->result(),
                          key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted);
                e.dialog->hide();
            }
        }
    }
    // A multi-line box takes Enter as a line break.
    f.EditNoteForm->show();
    f.EditNoteForm->DescriptMem->setPlainText("a");
    f.EditNoteForm->DescriptMem->moveCursor(QTextCursor::End);
    Press(f.EditNoteForm->DescriptMem, Qt::Key_Return);
    EXPECT_TRUE(f.EditNoteForm->isVisible());
    EXPECT_EQ(f.EditNoteForm->DescriptMem->toPlainText(), "a\n");
    f.EditNoteForm->reject();
    EXPECT_TRUE(errors.empty());
}

// Using the reminder buttons once must not make them take Enter from the rest of the
// event editor: a focused button takes Enter, and after it OK again.
TEST_F(UiTest, ReminderButtonsDoNotKeepEnter) {
    TSMLCalendar calendar;
    TEditEventForm& form = *Forms().EditEventForm;
    form.Event = calendar.NewItem();
    form.show();
    Focus(form.RemAddBtn);
    ASSERT_TRUE(form.RemAddBtn->hasFocus());
    bool reminderOpened = false;
    WhenModal([&](QWidget* dialog) {
        reminderOpened = dialog == Forms().ReminderForm;
        Press(Forms().ReminderForm->NumberEd, Qt::Key_Return);  // OK of the reminder dialog
    });
    Press(form.RemAddBtn, Qt::Key_Return);
    EXPECT_TRUE(reminderOpened);
    EXPECT_EQ(form.Event->ReminderCount(), 1u);
    ASSERT_TRUE(form.isVisible());
    Focus(form.WhatEd);
    // Checked before Enter: a reminder button still default would open a modal dialog.
    ASSERT_TRUE(form.OKBtn->isDefault());
    ASSERT_FALSE(form.RemAddBtn->isDefault());
    form.WhatEd->setText("Standup");
    Press(form.WhatEd, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Event->Summary, u"Standup");
    EXPECT_EQ(form.Event->ReminderCount(), 1u);
}

TEST_F(UiTest, NoteTextReachesTheNoteWithCRLF) {
    TSMLNotes notes;
    TSMLNote* note = notes.NewItem();
    TEditNoteForm& form = *Forms().EditNoteForm;
    form.Note = note;
    form.show();
    form.WhatEd->setText("Liste");
    form.DescriptMem->setPlainText("Milch\nEier");
    form.OKBtnClick();
    EXPECT_EQ(note->Title, u"Liste");
    EXPECT_EQ(note->Body, u"Milch\r\nEier");
}

}  // namespace
}  // namespace orvanta
