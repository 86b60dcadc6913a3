#pragma once

#include <QDateTime>
#include <QIcon>
#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <initializer_list>
#include <vector>

#include "formats/DateTime.h"
#include "formats/TextCodec.h"

namespace orvanta::ui {

// A widget with its object name: the name of the control in the design, by which tests
// and users find it.
template <class W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A group box holding a list with a column of buttons at its right, as the panes and
// the event editor's reminders show their items.
[[nodiscard]] QWidget* ListWithButtons(QWidget* group, QWidget* list,
                                       std::initializer_list<QWidget*> buttons);

// Sets the keyboard order of the controls, in the order given.
void SetTabOrder(const std::vector<QWidget*>& order);

// Wide text of the items and the toolkit's strings are both UTF-16.
[[nodiscard]] inline QString ToQt(const WideString& text) {
    return QString::fromStdU16String(text);
}
[[nodiscard]] inline WideString FromQt(const QString& text) {
    return text.toStdU16String();
}

// Text of a multi-line box: its lines joined by CR LF, and back.
[[nodiscard]] WideString FromMultiLine(const QString& text);
[[nodiscard]] QString ToMultiLine(const WideString& text);

// Date-time values (days since 30 December 1899, local time) and the toolkit's.
[[nodiscard]] QDateTime ToQDateTime(TDateTime value);
[[nodiscard]] TDateTime FromQDateTime(const QDateTime& value);
// The date part of a date picker and the time of day of a time picker.
[[nodiscard]] TDateTime DatePart(const QDateTime& value);
[[nodiscard]] TDateTime TimePart(const QDateTime& value);

// A moment in the user's locale: the short date and, unless it is midnight, a blank and
// the time; empty for the zero date-time (no date).
[[nodiscard]] QString LocaleText(TDateTime value);
// The locale's time format in hours and minutes, without seconds and time zone (values
// are local times).
[[nodiscard]] QString TimeFormat();

// The program's icon: two arrows round a ring on a blue tile (ui/orvanta.svg), at every
// size the build rendered.
[[nodiscard]] QIcon AppIcon();

// "1 change", "3 changes".
[[nodiscard]] QString Changes(int count);

// A task's priority by name: vCalendar 1.0 counts down from 1, the highest, so 1 is
// "High", 2 "Normal" and 3 "Low"; 0 (or less) is "None", and a value past 3, which other
// programs' scales give, "Low (5)".
[[nodiscard]] QString PriorityName(int priority);

// Asks the user before something is lost: a message box with the question icon, the
// caption "Orvanta", the buttons given and the default one. Returns the button chosen
// (Escape and the close button give Cancel or No, whichever is offered).
[[nodiscard]] QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton preferred);

// A failure's message as the user reads it (TEnvironment::ReportError shows it): ended
// by a full stop.
[[nodiscard]] QString ErrorText(const QString& message);

}  // namespace orvanta::ui
