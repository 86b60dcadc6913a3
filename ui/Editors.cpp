#include "ui/Editors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "formats/ItemKinds.h"
#include "kinds/TaskSyncML.h"
#include "ui/Environment.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

namespace {

// The reminder dialog's choices, in the order of ReminderMethod and ReminderPeriod.
const char* const kMethodNames[] = {QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "Pop-up"),
                                    QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "E-mail")};
const char* const kPeriodNames[] = {
    QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "minutes before"),
    QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "hours before"),
    QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "days before"),
    QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "weeks before"),
    QT_TRANSLATE_NOOP("orvanta::ui::TReminderForm", "at a time")};
// A reminder before the start as the event editor lists it, by its period.
const char* const kBeforeTexts[] = {
    QT_TRANSLATE_N_NOOP("orvanta::ui::TEditEventForm", "%n minute(s) before"),
    QT_TRANSLATE_N_NOOP("orvanta::ui::TEditEventForm", "%n hour(s) before"),
    QT_TRANSLATE_N_NOOP("orvanta::ui::TEditEventForm", "%n day(s) before"),
    QT_TRANSLATE_N_NOOP("orvanta::ui::TEditEventForm", "%n week(s) before")};

// The value a control shows, to tell whether the user changed it.
QVariant ShownValue(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->text();
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(control)) return memo->toPlainText();
    if (const auto* box = qobject_cast<const QCheckBox*>(control)) return box->isChecked();
    if (const auto* picker = qobject_cast<const QDateTimeEdit*>(control)) return picker->dateTime();
    if (const auto* spin = qobject_cast<const QSpinBox*>(control)) return spin->value();
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) return combo->currentData();
    return {};
}

// A moment rounded to the nearest whole hour (halves to even), and to the next.
TDateTime ToTheHour(const QDateTime& moment) {
    return std::nearbyint(FromQDateTime(moment) * 24.0) / 24.0;
}
TDateTime NextHour(const QDateTime& moment) {
    return std::ceil(FromQDateTime(moment) * 24.0) / 24.0;
}

// A time picker holds its time of day on one fixed date (the toolkit keeps a time-only
// picker on a single day).
const QDate kTimeDay(2000, 1, 1);
bool IsTimePicker(const QDateTimeEdit* picker) {
    return !(picker->displayedSections() & QDateTimeEdit::DateSections_Mask);
}

// A date picker at its lowest value shows a blank and stands for the zero date-time: no
// date. A time picker has no such value: cleared, it holds 00:00.
bool IsEmpty(const QDateTimeEdit* picker) {
    return !IsTimePicker(picker) && picker->dateTime() == picker->minimumDateTime();
}
void Clear(QDateTimeEdit* picker) {
    picker->setDateTime(IsTimePicker(picker) ? QDateTime(kTimeDay, QTime(0, 0))
                                             : picker->minimumDateTime());
}
TDateTime PickedDate(const QDateTimeEdit* picker) {
    return IsEmpty(picker) ? 0 : DatePart(picker->dateTime());
}
TDateTime PickedTime(const QDateTimeEdit* picker) {
    return IsEmpty(picker) ? 0 : TimePart(picker->dateTime());
}
// Shows a value; the zero date-time shows as no date.
void Pick(QDateTimeEdit* picker, TDateTime value) {
    if (value == 0) {
        Clear(picker);
    } else if (IsTimePicker(picker)) {
        picker->setDateTime(QDateTime(kTimeDay, ToQDateTime(value).time()));
    } else {
        picker->setDateTime(ToQDateTime(value));
    }
}

// Whole minutes, in which the editors move times.
long long Minutes(TDateTime value) {
    return std::llround(value * 24 * 60);
}

QPlainTextEdit* Memo(const char* name) {
    auto* memo = Named(new QPlainTextEdit, name);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    // Three lines at least; the dialogs give it whatever room is left.
    memo->setMinimumHeight(memo->fontMetrics().lineSpacing() * 3 + 2 * memo->frameWidth() + 8);
    return memo;
}

}  // namespace

QDateTimeEdit* DatePicker(const char* name) {
    auto* picker = Named(new QDateTimeEdit, name);
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    picker->setCalendarPopup(true);
    // The lowest value is "no date" and shows as a blank.
    picker->setMinimumDate(QDate(1752, 9, 14));
    picker->setSpecialValueText(QStringLiteral(" "));
    return picker;
}

QDateTimeEdit* TimePicker(const char* name) {
    auto* picker = Named(new QDateTimeEdit(QDateTime(kTimeDay, QTime(0, 0))), name);
    picker->setDisplayFormat(TimeFormat());
    return picker;
}

// ---- shared dialog frame ----

TEditorDialog::TEditorDialog(const char* name, const QString& newCaption, const QString& caption,
                             const TEnvironment& environment, QWidget* parent)
    : QDialog(parent), environment_(environment), newCaption_(newCaption), caption_(caption) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    setModal(true);
    // Made as children of the dialog, so that OK becomes the dialog's own default button:
    // Enter in any control that does not take Enter itself means OK. A button that has
    // the keyboard focus takes Enter only while it has it; then OK is the default again.
    OKBtn = Named(new QPushButton(tr("OK"), this), "OKBtn");
    CancelBtn = Named(new QPushButton(tr("Cancel"), this), "CancelBtn");
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this,
            [this] { environment_.Guarded([this] { OKBtnClick(); }); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    Refuse = [this](const QString& message) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("RefusalBox"));
        box.exec();
    };
}

void TEditorDialog::RememberShown() {
    shown_.clear();
    for (const QWidget* control : findChildren<QWidget*>())
        if (QVariant value = ShownValue(control); value.isValid()) shown_[control] = value;
}

bool TEditorDialog::Changed(std::initializer_list<const QWidget*> controls) const {
    return std::any_of(controls.begin(), controls.end(), [this](const QWidget* control) {
        const auto shown = shown_.find(control);
        return shown == shown_.end() || shown->second != ShownValue(control);
    });
}

bool TEditorDialog::RefuseBlank(const QString& text, const QString& message) {
    if (!TrimBlanks(FromQt(text)).empty()) return false;
    Refuse(message);
    return true;
}

void TEditorDialog::setVisible(bool visible) {
    if (visible && !isVisible()) FitToScreen();
    QDialog::setVisible(visible);
}

void TEditorDialog::FitToScreen() {
    const QScreen* where = parentWidget() ? parentWidget()->screen() : screen();
    if (!where) return;
    // Room for the window frame and its title bar around the dialog.
    const QSize room = where->availableGeometry().size() - QSize(16, 48);
    if (layout() && layout()->sizeConstraint() == QLayout::SetFixedSize) return;
    resize(size().boundedTo(room).expandedTo(minimumSizeHint()));
}

void TEditorDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    environment_.Guarded([this] { FormShow(); });
    setWindowTitle(Adding ? newCaption_ : caption_);
    // What the user sees now is what the item holds: OK writes only what differs from it.
    RememberShown();
}

QDateTime TEditorDialog::Now() const {
    return environment_.Now();
}

TDateTime TEditorDialog::Today() const {
    return DatePart(Now());
}

QWidget* TEditorDialog::ButtonRow() {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    layout->addWidget(OKBtn);
    layout->addWidget(CancelBtn);
    return row;
}

// ---- reminder dialog ----

TReminderForm::TReminderForm(const TEnvironment& environment, QWidget* parent)
    : TEditorDialog("ReminderForm", tr("New reminder"), tr("Edit reminder"), environment, parent) {
    MethodCB = Named(new QComboBox, "MethodCB");
    for (const char* m : kMethodNames)
        MethodCB->addItem(tr(m));
    NumberEd = Named(new QSpinBox, "NumberEd");
    NumberEd->setRange(0, 999);
    NumberEd->setValue(5);
    PeriodCB = Named(new QComboBox, "PeriodCB");
    for (const char* p : kPeriodNames)
        PeriodCB->addItem(tr(p));
    DateDTP = DatePicker("DateDTP");
    TimeDTP = TimePicker("TimeDTP");
    DateDTP->setEnabled(false);
    TimeDTP->setEnabled(false);

    auto* layout = new QGridLayout(this);
    // A small dialog of fixed size: nothing in it would grow.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(MethodCB, 0, 0);
    layout->addWidget(NumberEd, 0, 1);
    layout->addWidget(PeriodCB, 0, 2);
    layout->addWidget(DateDTP, 1, 0, 1, 2);
    layout->addWidget(TimeDTP, 1, 2);
    layout->addWidget(ButtonRow(), 2, 0, 1, 3);
    SetTabOrder({MethodCB, NumberEd, PeriodCB, DateDTP, TimeDTP, OKBtn, CancelBtn});
    connect(PeriodCB, &QComboBox::currentIndexChanged, this, [this] { PeriodCBChange(); });
}

void TReminderForm::PeriodCBChange() {
    const bool byTime = PeriodCB->currentIndex() == static_cast<int>(ReminderPeriod::ByTime);
    DateDTP->setEnabled(byTime);
    TimeDTP->setEnabled(byTime);
    NumberEd->setEnabled(!byTime);
}

// ---- event editor ----

TEditEventForm::TEditEventForm(const TEnvironment& environment, QWidget* parent)
    : TEditorDialog("EditEventForm", tr("New event"), tr("Edit event"), environment, parent) {
    WhatEd = Named(new QLineEdit, "WhatEd");
    StartDateDTP = DatePicker("StartDateDTP");
    StartTimeDTP = TimePicker("StartTimeDTP");
    EndDateDTP = DatePicker("EndDateDTP");
    EndTimeDTP = TimePicker("EndTimeDTP");
    AllDayCB = Named(new QCheckBox(tr("All day")), "AllDayCB");
    LocationEd = Named(new QLineEdit, "LocationEd");
    DescriptMem = Memo("DescriptMem");
    RemindersLB = Named(new QListWidget, "RemindersLB");
    RemAddBtn = Named(new QPushButton(tr("Add...")), "RemAddBtn");
    RemEditBtn = Named(new QPushButton(tr("Edit...")), "RemEditBtn");
    RemDeleteBtn = Named(new QPushButton(tr("Delete")), "RemDeleteBtn");
    RemEditBtn->setEnabled(false);
    RemDeleteBtn->setEnabled(false);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(tr("What:")), 0, 0);
    form->addWidget(WhatEd, 0, 1, 1, 5);
    form->addWidget(new QLabel(tr("When:")), 1, 0);
    form->addWidget(StartDateDTP, 1, 1);
    form->addWidget(StartTimeDTP, 1, 2);
    form->addWidget(new QLabel(tr("to")), 1, 3, Qt::AlignCenter);
    form->addWidget(EndDateDTP, 1, 4);
    form->addWidget(EndTimeDTP, 1, 5);
    form->addWidget(AllDayCB, 2, 1);
    form->addWidget(new QLabel(tr("Where:")), 3, 0);
    form->addWidget(LocationEd, 3, 1, 1, 5);
    form->addWidget(new QLabel(tr("Description:")), 4, 0, Qt::AlignTop);
    form->addWidget(DescriptMem, 4, 1, 1, 5);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form, 3);
    layout->addWidget(ListWithButtons(new QGroupBox(tr("Reminders")), RemindersLB,
                                      {RemAddBtn, RemEditBtn, RemDeleteBtn}),
                      2);
    layout->addWidget(ButtonRow());
    resize(450, 373);
    SetTabOrder({WhatEd, StartDateDTP, StartTimeDTP, EndDateDTP, EndTimeDTP, AllDayCB, LocationEd,
                 DescriptMem, RemindersLB, RemAddBtn, RemEditBtn, RemDeleteBtn, OKBtn, CancelBtn});

    connect(AllDayCB, &QCheckBox::clicked, this, [this] { AllDayCBClick(); });
    for (QDateTimeEdit* start : {StartDateDTP, StartTimeDTP})
        connect(start, &QDateTimeEdit::dateTimeChanged, this, [this] { StartMoved(); });
    connect(RemindersLB, &QListWidget::itemSelectionChanged, this, [this] { RemindersLBClick(); });
    connect(RemindersLB, &QListWidget::itemDoubleClicked, this,
            [this] { Environment().Guarded([this] { RemEditBtnClick(); }); });
    connect(RemAddBtn, &QPushButton::clicked, this,
            [this] { Environment().Guarded([this] { RemAddBtnClick(); }); });
    connect(RemEditBtn, &QPushButton::clicked, this,
            [this] { Environment().Guarded([this] { RemEditBtnClick(); }); });
    connect(RemDeleteBtn, &QPushButton::clicked, this,
            [this] { Environment().Guarded([this] { RemDeleteBtnClick(); }); });
}

TDateTime TEditEventForm::ShownStart() const {
    return PickedDate(StartDateDTP) + PickedTime(StartTimeDTP);
}

TDateTime TEditEventForm::ShownEnd() const {
    return PickedDate(EndDateDTP) + PickedTime(EndTimeDTP);
}

void TEditEventForm::ShowTimes(TDateTime startDate, TDateTime startTime, TDateTime endDate,
                               TDateTime endTime) {
    holdEnd_ = true;
    Pick(StartDateDTP, startDate);
    Pick(StartTimeDTP, startTime);
    Pick(EndDateDTP, endDate);
    Pick(EndTimeDTP, endTime);
    holdEnd_ = false;
    shownStart_ = Minutes(ShownStart());
}

void TEditEventForm::StartMoved() {
    if (holdEnd_) return;
    // The end keeps its distance from the start.
    const long long start = Minutes(ShownStart());
    const TDateTime end =
        static_cast<TDateTime>(Minutes(ShownEnd()) + start - shownStart_) / (24 * 60);
    holdEnd_ = true;
    Pick(EndDateDTP, std::floor(end));
    Pick(EndTimeDTP, end);
    holdEnd_ = false;
    shownStart_ = start;
}

// Now to the hour on the start date, and one hour later on the end date (the day after
// when that hour crosses midnight).
void TEditEventForm::ProposeTimes() {
    const TDateTime now = ToTheHour(Now());
    const TDateTime time = now - std::floor(now);
    const TDateTime end = PickedDate(EndDateDTP) + time + 1.0 / 24.0;
    ShowTimes(PickedDate(StartDateDTP), PickedDate(StartDateDTP) + time, std::floor(end + 1e-9),
              end);
}

void TEditEventForm::FormShow() {
    WhatEd->setText(ToQt(Event->GetTitle()));
    LocationEd->setText(ToQt(Event->Location()));
    DescriptMem->setPlainText(ToMultiLine(Event->Description()));
    // An event without a start is shown times it does not hold: OK gives it them.
    proposed_ = Event->Start() == 0;
    if (proposed_) {
        ShowTimes(Today(), Today(), Today(), Today());
        ProposeTimes();
        AllDayCB->setChecked(false);
    } else {
        // An all-day event ends, exclusively, on the day after its last day; the editor
        // shows and edits the last day.
        // An event that gives no end (End zero) ends when it starts.
        const TDateTime end = Event->AllDay()
                                  ? std::max(Event->End() - 1, std::floor(Event->Start()))
                                  : std::max(Event->End(), Event->Start());
        ShowTimes(Event->Start(), Event->Start(), end, end);
        AllDayCB->setChecked(Event->AllDay());
    }
    StartTimeDTP->setEnabled(!AllDayCB->isChecked());
    EndTimeDTP->setEnabled(!AllDayCB->isChecked());
    FillReminders();
    WhatEd->setFocus();
}

void TEditEventForm::AllDayCBClick() {
    const bool allDay = AllDayCB->isChecked();
    StartTimeDTP->setEnabled(!allDay);
    EndTimeDTP->setEnabled(!allDay);
    if (allDay) {
        ShowTimes(PickedDate(StartDateDTP), Today(), PickedDate(EndDateDTP), Today());
    } else {
        ProposeTimes();
    }
}

void TEditEventForm::OKBtnClick() {
    const bool allDay = AllDayCB->isChecked();
    const TDateTime start = allDay ? PickedDate(StartDateDTP) : ShownStart();
    const TDateTime end = allDay ? PickedDate(EndDateDTP) : ShownEnd();
    if (RefuseBlank(WhatEd->text(), tr("Please enter what the event is: its title is empty.")))
        return;
    if (end < start) {
        Refuse(tr("The event ends before it starts. Please correct the end."));
        return;
    }
    // Only what the user changed is written: an untouched time keeps its line as it came
    // (a floating time stays floating, a zoned one keeps its zone).
    if (Changed({WhatEd})) Event->SetTitle(FromQt(WhatEd->text()));
    if (proposed_ || Changed({AllDayCB, StartDateDTP, StartTimeDTP, EndDateDTP, EndTimeDTP})) {
        Event->SetAllDay(allDay);
        Event->SetStart(start);
        Event->SetEnd(allDay ? end + 1 : end);
    }
    if (Changed({LocationEd})) Event->SetLocation(FromQt(LocationEd->text()));
    if (Changed({DescriptMem})) Event->SetDescription(FromMultiLine(DescriptMem->toPlainText()));
    accept();
}

void TEditEventForm::FillReminders() {
    RemindersLB->clear();
    for (std::size_t i = 0; i < Event->ReminderCount(); ++i) {
        const TReminder r = Event->GetReminder(i);
        const QString method = QCoreApplication::translate(
            "orvanta::ui::TReminderForm", kMethodNames[static_cast<int>(r.Method)]);
        const QString when = r.Period == ReminderPeriod::ByTime
                                 ? tr("at %1", "a reminder's moment").arg(LocaleText(r.Time))
                                 : tr(kBeforeTexts[static_cast<int>(r.Period)], nullptr, r.Number);
        RemindersLB->addItem(tr("%1 %2", "a reminder: its method, then when").arg(method, when));
    }
    UpdateReminderButtons();
}

void TEditEventForm::UpdateReminderButtons() {
    const bool selected = !RemindersLB->selectedItems().isEmpty();
    RemEditBtn->setEnabled(selected);
    RemDeleteBtn->setEnabled(selected);
}

namespace {

TReminder ReminderFrom(const TReminderForm& form) {
    TReminder r;
    r.Method = static_cast<ReminderMethod>(form.MethodCB->currentIndex());
    r.Period = static_cast<ReminderPeriod>(form.PeriodCB->currentIndex());
    if (r.Period == ReminderPeriod::ByTime) {
        r.Time = PickedDate(form.DateDTP) + PickedTime(form.TimeDTP);
    } else {
        r.Number = form.NumberEd->value();
    }
    return r;
}

}  // namespace

void TEditEventForm::RemAddBtnClick() {
    ReminderDialog->Adding = true;
    ReminderDialog->MethodCB->setCurrentIndex(0);
    ReminderDialog->NumberEd->setValue(5);
    Pick(ReminderDialog->DateDTP, PickedDate(StartDateDTP));
    Pick(ReminderDialog->TimeDTP, ShownStart());
    ReminderDialog->PeriodCB->setCurrentIndex(0);
    if (ReminderDialog->exec() != QDialog::Accepted) return;
    Event->AddReminder(ReminderFrom(*ReminderDialog));
    FillReminders();
}

void TEditEventForm::RemEditBtnClick() {
    const int row = RemindersLB->currentRow();
    if (row < 0 || RemindersLB->selectedItems().isEmpty()) return;
    const TReminder r = Event->GetReminder(static_cast<std::size_t>(row));
    ReminderDialog->Adding = false;
    ReminderDialog->MethodCB->setCurrentIndex(static_cast<int>(r.Method));
    ReminderDialog->NumberEd->setValue(r.Number);
    // A reminder before the start has no moment of its own: the pickers offer the start.
    const TDateTime moment = r.Time != 0 ? r.Time : ShownStart();
    Pick(ReminderDialog->DateDTP, std::floor(moment));
    Pick(ReminderDialog->TimeDTP, moment);
    ReminderDialog->PeriodCB->setCurrentIndex(static_cast<int>(r.Period));
    if (ReminderDialog->exec() != QDialog::Accepted) return;
    Event->SetReminder(static_cast<std::size_t>(row), ReminderFrom(*ReminderDialog));
    FillReminders();
}

void TEditEventForm::RemDeleteBtnClick() {
    const int row = RemindersLB->currentRow();
    if (row < 0 || RemindersLB->selectedItems().isEmpty()) return;
    Event->DeleteReminder(static_cast<std::size_t>(row));
    delete RemindersLB->takeItem(row);
    RemindersLB->clearSelection();
    UpdateReminderButtons();
}

// ---- contact editor ----

TCheckedDatePicker::TCheckedDatePicker(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(name));
    Check = Named(new QCheckBox, "BirthdayCheck");
    Picker = DatePicker("BirthdayDate");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Check);
    layout->addWidget(Picker, 1);
    connect(Check, &QCheckBox::toggled, Picker, &QWidget::setEnabled);
    setFocusProxy(Check);
}

namespace {

// A page that asks for room for all of its fields, and scrolls only when it gets less.
class TScrollPage final : public QScrollArea {
public:
    [[nodiscard]] QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame, frame);
    }
};

}  // namespace

TEditContForm::TEditContForm(const TEnvironment& environment, QWidget* parent)
    : TEditorDialog("EditContForm", tr("New contact"), tr("Edit contact"), environment, parent) {
    setSizeGripEnabled(true);
    PageControl1 = Named(new QTabWidget, "PageControl1");
    // Each page scrolls when the screen has less room than its fields (a small screen at
    // a large scale), so that the dialog and its buttons stay on the screen.
    const auto page = [this](const char* name, const QString& caption) {
        auto* scroll = Named(new TScrollPage, name);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        auto* sheet = new QWidget;
        scroll->setWidget(sheet);
        PageControl1->addTab(scroll, caption);
        return sheet;
    };
    const auto form = [](QWidget* sheet) {
        auto* layout = new QFormLayout(sheet);
        layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        return layout;
    };
    QFormLayout* personal = form(page("TabSheet1", tr("Personal")));
    QFormLayout* business = form(page("TabSheet2", tr("Business")));
    auto* notes = new QVBoxLayout(page("TabSheet5", tr("Notes")));

    // A control per field of the contact, in the order of the fields and the keyboard.
    std::vector<QWidget*> order{PageControl1};
    for (const ContactField& f : ContactFields()) {
        if (f.Page == ContactPage::None) continue;
        if (f.Page == ContactPage::Notes) {
            NotesMM = Memo(f.Control);
            notes->addWidget(NotesMM);
            order.push_back(NotesMM);
            continue;
        }
        QFormLayout* sheet = f.Page == ContactPage::Personal ? personal : business;
        if (f.Text) {
            auto* edit = Named(new QLineEdit, f.Control);
            sheet->addRow(new QLabel(QCoreApplication::translate("ContactField", f.Label)), edit);
            edits_.emplace_back(f.Text, edit);
            order.push_back(edit);
        } else {
            BirthdayTP = new TCheckedDatePicker(f.Control);
            sheet->addRow(new QLabel(QCoreApplication::translate("ContactField", f.Label)),
                          BirthdayTP);
            order.insert(order.end(), {BirthdayTP->Check, BirthdayTP->Picker});
        }
    }
    order.insert(order.end(), {OKBtn, CancelBtn});

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(ButtonRow());
    resize(sizeHint().expandedTo(QSize(398, 0)));
    SetTabOrder(order);

    connect(BirthdayTP->Check, &QCheckBox::clicked, this, [this] { BirthdayTPClick(); });
}

QLineEdit* TEditContForm::Edit(ContactText field) const {
    for (const auto& [text, edit] : edits_) {
        if (text == field) return edit;
    }
    return nullptr;
}

void TEditContForm::FormShow() {
    Adding = !Contact;
    if (Adding) {
        for (const auto& [field, edit] : edits_)
            edit->clear();
        NotesMM->clear();
        Pick(BirthdayTP->Picker, 0);
        BirthdayTP->Check->setChecked(false);
        Contact = Contacts->NewItem();
    } else {
        for (const auto& [field, edit] : edits_)
            edit->setText(ToQt((Contact->*field)()));
        NotesMM->setPlainText(ToMultiLine(Contact->Notes()));
        Pick(BirthdayTP->Picker, Contact->Birthday());
        BirthdayTP->Check->setChecked(Contact->Birthday() != 0);
    }
    PageControl1->setCurrentIndex(0);
    Edit(&TSMLContact::FirstName)->setFocus();
}

void TEditContForm::OKBtnClick() {
    const QString names =
        Edit(&TSMLContact::FirstName)->text() + Edit(&TSMLContact::LastName)->text();
    if (TrimBlanks(FromQt(names)).empty()) {
        Refuse(tr("Please enter at least one name"));
        return;
    }
    for (const auto& [field, edit] : edits_)
        if (Changed({edit})) Contact->Set(field, FromQt(edit->text()));
    if (Changed({NotesMM})) Contact->SetNotes(FromMultiLine(NotesMM->toPlainText()));
    // A cleared check box means no birthday, however it was cleared.
    if (Changed({BirthdayTP->Check, BirthdayTP->Picker}))
        Contact->SetBirthday(BirthdayTP->Check->isChecked() ? PickedDate(BirthdayTP->Picker) : 0);
    accept();
}

void TEditContForm::BirthdayTPClick() {
    // Cleared: no birthday; ticked while none is shown: today, to be changed from there.
    if (!BirthdayTP->Check->isChecked()) {
        Clear(BirthdayTP->Picker);
    } else if (IsEmpty(BirthdayTP->Picker)) {
        Pick(BirthdayTP->Picker, Today());
    }
}

void TEditContForm::done(int result) {
    if (result != QDialog::Accepted && Adding && Contact) {
        TSMLContact* created = std::exchange(Contact, nullptr);
        created->Delete();
    }
    QDialog::done(result);
}

// ---- task editor ----

TEditTaskForm::TEditTaskForm(const TEnvironment& environment, QWidget* parent)
    : TEditorDialog("EditTaskForm", tr("New task"), tr("Edit task"), environment, parent) {
    WhatEd = Named(new QLineEdit, "WhatEd");
    DueCHB = Named(new QCheckBox, "DueCHB");
    DueDateDTP = DatePicker("DueDateDTP");
    DueTimeDTP = TimePicker("DueTimeDTP");
    RemindDateDTP = DatePicker("RemindDateDTP");
    RemindTimeDTP = TimePicker("RemindTimeDTP");
    RemindCHB = Named(new QCheckBox, "RemindCHB");
    ComplCHB = Named(new QCheckBox(tr("Completed")), "ComplCHB");
    PriorED = Named(new QComboBox, "PriorED");
    for (const int priority : {0, 1, 2, 3})
        PriorED->addItem(PriorityName(priority), priority);
    DescriptMem = Memo("DescriptMem");

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(tr("What:")), 0, 0);
    form->addWidget(WhatEd, 0, 1, 1, 4);
    form->addWidget(new QLabel(tr("Due:")), 1, 0);
    form->addWidget(DueCHB, 1, 1);
    form->addWidget(DueDateDTP, 1, 2);
    form->addWidget(DueTimeDTP, 1, 3);
    form->addWidget(new QLabel(tr("Remind:")), 2, 0);
    form->addWidget(RemindCHB, 2, 1);
    form->addWidget(RemindDateDTP, 2, 2);
    form->addWidget(RemindTimeDTP, 2, 3);
    form->addWidget(ComplCHB, 3, 1, 1, 2);
    auto* priority = new QHBoxLayout;
    priority->addWidget(new QLabel(tr("Priority:")));
    priority->addWidget(PriorED);
    priority->addStretch();
    form->addLayout(priority, 4, 0, 1, 5);
    form->addWidget(new QLabel(tr("Description:")), 5, 0, 1, 5);
    form->addWidget(DescriptMem, 6, 0, 1, 5);
    form->setColumnStretch(4, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(ButtonRow());
    resize(450, 300);

    SetTabOrder({WhatEd, DueCHB, DueDateDTP, DueTimeDTP, RemindDateDTP, RemindTimeDTP, RemindCHB,
                 OKBtn, CancelBtn, ComplCHB, PriorED, DescriptMem});

    connect(DueCHB, &QCheckBox::clicked, this, [this] { DueCHBClick(); });
    connect(RemindCHB, &QCheckBox::clicked, this, [this] { RemindCHBClick(); });
}

namespace {

// A check box switching a pair of pickers; cleared, they show no date and hold the zero
// date-time. Ticked while they show none, they offer today at the next full hour.
void CheckedPair(const QCheckBox* box, QDateTimeEdit* date, QDateTimeEdit* time,
                 const QDateTime& now) {
    date->setEnabled(box->isChecked());
    time->setEnabled(box->isChecked());
    if (!box->isChecked()) {
        Clear(date);
        Clear(time);
    } else if (IsEmpty(date)) {
        Pick(date, DatePart(now));
        Pick(time, NextHour(now));
    }
}

void ShowMoment(QCheckBox* box, QDateTimeEdit* date, QDateTimeEdit* time, TDateTime value,
                const QDateTime& now) {
    box->setChecked(value != 0);
    if (value != 0) {
        Pick(date, std::floor(value));
        Pick(time, value);
    }
    CheckedPair(box, date, time, now);
}

}  // namespace

void TEditTaskForm::DueCHBClick() {
    CheckedPair(DueCHB, DueDateDTP, DueTimeDTP, Now());
}

void TEditTaskForm::RemindCHBClick() {
    CheckedPair(RemindCHB, RemindDateDTP, RemindTimeDTP, Now());
}

void TEditTaskForm::FormShow() {
    WhatEd->setText(ToQt(Task->GetTitle()));
    DescriptMem->setPlainText(ToMultiLine(Task->Description()));
    ShowMoment(DueCHB, DueDateDTP, DueTimeDTP, Task->Due(), Now());
    ShowMoment(RemindCHB, RemindDateDTP, RemindTimeDTP, Task->Alarm(), Now());
    ComplCHB->setChecked(Task->Completed());
    // A priority past the names (another program's scale) keeps its value unless changed.
    while (PriorED->count() > 4)
        PriorED->removeItem(4);
    const int priority = std::max(0, Task->Priority());
    if (PriorED->findData(priority) < 0) PriorED->addItem(PriorityName(priority), priority);
    PriorED->setCurrentIndex(PriorED->findData(priority));
    WhatEd->setFocus();
}

void TEditTaskForm::OKBtnClick() {
    if (RefuseBlank(WhatEd->text(), tr("Please enter what the task is: its title is empty.")))
        return;
    if (Changed({WhatEd})) Task->SetTitle(FromQt(WhatEd->text()));
    if (Changed({DescriptMem})) Task->SetDescription(FromMultiLine(DescriptMem->toPlainText()));
    if (Changed({DueCHB, DueDateDTP, DueTimeDTP}))
        Task->SetDue(PickedDate(DueDateDTP) + PickedTime(DueTimeDTP));
    if (Changed({RemindCHB, RemindDateDTP, RemindTimeDTP}))
        Task->SetAlarm(PickedDate(RemindDateDTP) + PickedTime(RemindTimeDTP));
    if (Changed({ComplCHB})) Task->SetCompleted(ComplCHB->isChecked());
    if (Changed({PriorED})) Task->SetPriority(PriorED->currentData().toInt());
    accept();
}

// ---- note editor ----

TEditNoteForm::TEditNoteForm(const TEnvironment& environment, QWidget* parent)
    : TEditorDialog("EditNoteForm", tr("New note"), tr("Edit note"), environment, parent) {
    WhatEd = Named(new QLineEdit, "WhatEd");
    DescriptMem = Memo("DescriptMem");
    auto* layout = new QVBoxLayout(this);
    auto* title = new QFormLayout;
    title->addRow(new QLabel(tr("Title:")), WhatEd);
    layout->addLayout(title);
    layout->addWidget(new QLabel(tr("Note:")));
    layout->addWidget(DescriptMem, 1);
    layout->addWidget(ButtonRow());
    resize(450, 300);
    SetTabOrder({WhatEd, DescriptMem, OKBtn, CancelBtn});
}

void TEditNoteForm::FormShow() {
    WhatEd->setText(ToQt(Note->GetTitle()));
    DescriptMem->setPlainText(ToMultiLine(Note->Body()));
    WhatEd->setFocus();
}

void TEditNoteForm::OKBtnClick() {
    // The list names a note without a title by its first line: a title or a text will do.
    if (RefuseBlank(WhatEd->text() + DescriptMem->toPlainText(),
                    tr("Please enter a title or a text: the note is empty.")))
        return;
    if (Changed({WhatEd})) Note->SetTitle(FromQt(WhatEd->text()));
    if (Changed({DescriptMem})) Note->SetBody(FromMultiLine(DescriptMem->toPlainText()));
    accept();
}

}  // namespace orvanta::ui
