#pragma once

#include <QDateTime>
#include <QDialog>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "formats/DateTime.h"
#include "formats/TextCodec.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace orvanta {
class TSMLContact;
class TSMLContacts;
class TSMLEvent;
class TSMLNote;
class TSMLTask;
using ContactText = WideString (TSMLContact::*)() const;
}  // namespace orvanta

namespace orvanta::ui {

struct TEnvironment;

// A date picker or a time picker: both hold a full date-time value.
[[nodiscard]] QDateTimeEdit* DatePicker(const char* name);
[[nodiscard]] QDateTimeEdit* TimePicker(const char* name);

// The dialogs share their OK and Cancel buttons: OK runs OKBtnClick, which accepts.
class TEditorDialog : public QDialog {
    Q_OBJECT

public:
    // newCaption titles the dialog when it opens on a new item, caption otherwise.
    TEditorDialog(const char* name, const QString& newCaption, const QString& caption,
                  const TEnvironment& environment, QWidget* parent = nullptr);

    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    // Writes the controls into the item and closes with OK.
    virtual void OKBtnClick() = 0;
    // Sets every control from the item; runs on every show.
    virtual void FormShow() = 0;

    // Shows the message that refuses OK (the dialog stays open); tests replace it.
    using Refusal = std::function<void(const QString&)>;
    Refusal Refuse;

    // The dialog opens on a new item ("New event") rather than an existing one.
    bool Adding = false;

    // Shown at most as large as the screen's free area, at least as large as its content.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void FitToScreen();
    // The environment's current local date-time, and its date.
    [[nodiscard]] QDateTime Now() const;
    [[nodiscard]] TDateTime Today() const;
    [[nodiscard]] const TEnvironment& Environment() const { return environment_; }
    // The row of OK and Cancel, to put at the bottom of the dialog's layout.
    [[nodiscard]] QWidget* ButtonRow();
    // Whether any of the controls shows another value than when the dialog opened: OK
    // writes only the fields the user changed, so an item opened and closed with OK stays
    // as it came, byte for byte.
    [[nodiscard]] bool Changed(std::initializer_list<const QWidget*> controls) const;
    // Refuses OK with the message when the text is blank; true when it did.
    bool RefuseBlank(const QString& text, const QString& message);

private:
    void RememberShown();

    const TEnvironment& environment_;
    const QString newCaption_;
    const QString caption_;
    std::map<const QWidget*, QVariant> shown_;  // each control's value as the dialog opened
};

class TReminderForm final : public TEditorDialog {
    Q_OBJECT

public:
    explicit TReminderForm(const TEnvironment& environment, QWidget* parent = nullptr);
    void OKBtnClick() override { accept(); }
    void FormShow() override { PeriodCBChange(); }
    void PeriodCBChange();

    QComboBox* MethodCB;
    QSpinBox* NumberEd;
    QComboBox* PeriodCB;
    QDateTimeEdit* DateDTP;
    QDateTimeEdit* TimeDTP;
};

class TEditEventForm final : public TEditorDialog {
    Q_OBJECT

public:
    explicit TEditEventForm(const TEnvironment& environment, QWidget* parent = nullptr);
    void FormShow() override;
    void OKBtnClick() override;
    void AllDayCBClick();
    void RemindersLBClick() { UpdateReminderButtons(); }
    void RemAddBtnClick();
    void RemEditBtnClick();
    void RemDeleteBtnClick();
    void FillReminders();
    void UpdateReminderButtons();

    TSMLEvent* Event = nullptr;
    TReminderForm* ReminderDialog = nullptr;  // the program's ReminderForm

    QLineEdit* WhatEd;
    QDateTimeEdit* StartDateDTP;
    QDateTimeEdit* StartTimeDTP;
    QDateTimeEdit* EndDateDTP;
    QDateTimeEdit* EndTimeDTP;
    QCheckBox* AllDayCB;
    QLineEdit* LocationEd;
    QPlainTextEdit* DescriptMem;
    QListWidget* RemindersLB;
    QPushButton* RemAddBtn;
    QPushButton* RemEditBtn;
    QPushButton* RemDeleteBtn;

private:
    void ProposeTimes();
    // The start and end as the pickers show them.
    [[nodiscard]] TDateTime ShownStart() const;
    [[nodiscard]] TDateTime ShownEnd() const;
    // Sets the four pickers without moving the end along.
    void ShowTimes(TDateTime startDate, TDateTime startTime, TDateTime endDate, TDateTime endTime);
    // The user moved the start: the end follows, keeping the event's length.
    void StartMoved();

    long long shownStart_ = 0;  // in minutes
    bool proposed_ = false;     // the times shown are proposed, the event has none
    bool holdEnd_ = false;
};

// A date picker with its own check box: cleared means no date.
class TCheckedDatePicker final : public QWidget {
    Q_OBJECT

public:
    explicit TCheckedDatePicker(const char* name, QWidget* parent = nullptr);
    QCheckBox* Check;
    QDateTimeEdit* Picker;
};

class TEditContForm final : public TEditorDialog {
    Q_OBJECT

public:
    explicit TEditContForm(const TEnvironment& environment, QWidget* parent = nullptr);
    void FormShow() override;
    void OKBtnClick() override;
    void BirthdayTPClick();
    void done(int result) override;  // FormClose

    TSMLContacts* Contacts = nullptr;
    TSMLContact* Contact = nullptr;

    // The box of a text field of ContactFields() that the editor shows, else null.
    [[nodiscard]] QLineEdit* Edit(ContactText field) const;

    QTabWidget* PageControl1;
    TCheckedDatePicker* BirthdayTP = nullptr;
    QPlainTextEdit* NotesMM = nullptr;

private:
    // The text boxes of the personal and business pages, in the fields' order.
    std::vector<std::pair<ContactText, QLineEdit*>> edits_;
};

class TEditTaskForm final : public TEditorDialog {
    Q_OBJECT

public:
    explicit TEditTaskForm(const TEnvironment& environment, QWidget* parent = nullptr);
    void FormShow() override;
    void OKBtnClick() override;
    void DueCHBClick();
    void RemindCHBClick();

    TSMLTask* Task = nullptr;

    QLineEdit* WhatEd;
    QCheckBox* DueCHB;
    QDateTimeEdit* DueDateDTP;
    QDateTimeEdit* DueTimeDTP;
    QDateTimeEdit* RemindDateDTP;
    QDateTimeEdit* RemindTimeDTP;
    QCheckBox* RemindCHB;
    QCheckBox* ComplCHB;
    QComboBox* PriorED;  // the priority by name; its data is the value
    QPlainTextEdit* DescriptMem;
};

class TEditNoteForm final : public TEditorDialog {
    Q_OBJECT

public:
    explicit TEditNoteForm(const TEnvironment& environment, QWidget* parent = nullptr);
    void FormShow() override;
    void OKBtnClick() override;

    TSMLNote* Note = nullptr;

    QLineEdit* WhatEd;
    QPlainTextEdit* DescriptMem;
};

}  // namespace orvanta::ui
