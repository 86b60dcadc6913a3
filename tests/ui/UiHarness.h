#pragma once

#include <QtTest>
#include <QtWidgets>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/Corpus.h"
#include "support/Payloads.h"
#include "ui/Editors.h"
#include "ui/Environment.h"
#include "ui/Forms.h"
#include "ui/Settings.h"
#include "ui/UiSupport.h"

namespace orvanta::test {

// Runs `action` on the next modal dialog as soon as it is open (Qt runs modal dialogs
// in their own event loop, so a test cannot act on them after exec() returns). A dialog
// the action leaves open fails the test and is cancelled, rather than holding it.
inline void WhenModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return WhenModal(action);
        action(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) {
            ADD_FAILURE() << dialog->objectName().toStdString() << " left open";
            dialog->reject();
        }
    });
}

// Runs `action`, and `inside` on each modal dialog that opens meanwhile but those of
// `own`: what `inside` saw. A dialog `inside` leaves open fails the test and is
// cancelled at once, so that a fault never holds a test in a dialog's event loop.
inline std::vector<std::string> OnDialog(
    const std::function<void()>& action,
    const std::function<std::vector<std::string>(QDialog&)>& inside,
    const std::vector<QDialog*>& own = {}) {
    std::vector<std::string> seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || std::ranges::find(own, dialog) != own.end()) return;
        poll.stop();  // while `inside` runs event loops of its own
        for (std::string& line : inside(*dialog))
            seen.push_back(std::move(line));
        if (dialog->isVisible()) {
            ADD_FAILURE() << dialog->objectName().toStdString() << " left open";
            seen.push_back(dialog->objectName().toStdString() + " left open");
            dialog->reject();
        }
        poll.start();
    });
    poll.start(0);
    action();
    return seen;
}

// Types `text` into the next editor's box named `box` (none: no change) and presses OK.
inline void AcceptEditor(const char* box = nullptr, const QString& text = {}) {
    WhenModal([box, text](QWidget* dialog) {
        if (box) dialog->findChild<QLineEdit*>(QString::fromLatin1(box))->setText(text);
        static_cast<ui::TEditorDialog*>(dialog)->OKBtnClick();
    });
}

// Runs the event loop until `done` holds, at most `ms` milliseconds; whether it holds.
inline bool Until(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Runs the event loop until the pane's exchange has ended; false when it still runs.
inline bool Settle(const ui::TDataPane& pane, int seconds = 30) {
    return Until([&pane] { return !pane.Busy(); }, seconds * 1000);
}

// Presses a pane's button and waits for the exchange it starts.
inline void RunExchange(ui::TDataPane& pane, void (ui::TDataPane::*handler)()) {
    (pane.*handler)();
    ASSERT_TRUE(Settle(pane)) << "the exchange did not end";
}

// A pane's rows in the order the table shows them: their first cells, or all their
// cells between bars.
inline std::vector<std::string> Rows(const ui::TDataPane& pane, bool allColumns = false) {
    std::vector<std::string> rows;
    const int columns = allColumns ? pane.List->model()->columnCount() : 1;
    for (int row = 0; row < pane.RowCount(); ++row) {
        rows.emplace_back();
        for (int column = 0; column < columns; ++column)
            rows.back() += (column ? "|" : "") + pane.Cell(row, column).toStdString();
    }
    return rows;
}

// The pane's buttons in one line: the caption of Sync (or Connect), then Add, Edit,
// Delete and Store, each after + when it is enabled and - when not.
inline std::string Buttons(const ui::TDataPane& pane) {
    std::string line = pane.SyncBtn->text().toStdString();
    const char* names[] = {"Add", "Edit", "Delete", "Store"};
    const QPushButton* buttons[] = {pane.AddBtn, pane.EditBtn, pane.DeleteBtn, pane.StoreBtn};
    for (int i = 0; i < 4; ++i)
        line += (buttons[i]->isEnabled() ? " +" : " -") + std::string(names[i]);
    return line;
}

// A client's items, their titles and states.
inline std::vector<std::string> ItemStates(const TSMLBase& client) {
    static const char* const kStates[] = {"unchanged", "new", "modified", "deleted"};
    std::vector<std::string> items;
    for (const auto& item : client.Items)
        items.push_back((item->GetTitle().empty() ? "(no title)" : ToUTF8(item->GetTitle())) + " " +
                        kStates[static_cast<int>(item->State)]);
    return items.empty() ? std::vector<std::string>{"(none)"} : items;
}

// The names of the `steps` controls the keyboard walks from `first` on.
inline std::vector<std::string> FocusChain(QWidget* first, int steps) {
    std::vector<std::string> names;
    QWidget* w = first;
    for (int i = 0; i < steps; ++i) {
        names.push_back(w->objectName().toStdString());
        do {
            w = w->nextInFocusChain();
            // Unnamed parts and the inner line edits of spin boxes are not controls, nor
            // are controls hidden for now.
        } while (w->objectName().isEmpty() || w->objectName().startsWith("qt_") ||
                 w->focusPolicy() == Qt::NoFocus || w->isHidden());
    }
    return names;
}

// What a control shows: a box its text, a check box on or off, a button its caption, a
// date picker dd.MM.yy ("none" for no date), a time picker HH:mm, a list its rows; in
// brackets when it is disabled.
inline std::string Showing(const QWidget* w) {
    QString text;
    if (const auto* box = qobject_cast<const QLineEdit*>(w)) {
        text = box->text().isEmpty() ? "''" : box->text();
    } else if (const auto* memo = qobject_cast<const QPlainTextEdit*>(w)) {
        text = QString::fromStdString(Escaped(memo->toPlainText().toStdString()));
    } else if (const auto* check = qobject_cast<const QCheckBox*>(w)) {
        text = check->isChecked() ? "on" : "off";
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        text = QString(button->text()).remove('&');
    } else if (const auto* picker = qobject_cast<const QDateTimeEdit*>(w)) {
        const bool date = picker->displayedSections() & QDateTimeEdit::DateSections_Mask;
        text = !date                                ? picker->time().toString("HH:mm")
               : picker->text().trimmed().isEmpty() ? "none"
                                                    : picker->date().toString("dd.MM.yy");
    } else if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        text = combo->currentText();
    } else if (const auto* spin = qobject_cast<const QSpinBox*>(w)) {
        text = QString::number(spin->value());
    } else if (const auto* pages = qobject_cast<const QTabWidget*>(w)) {
        text = pages->tabText(pages->currentIndex());
    } else if (const auto* list = qobject_cast<const QListWidget*>(w)) {
        QStringList rows;
        for (int row = 0; row < list->count(); ++row)
            rows.push_back(list->item(row)->text());
        text = '[' + rows.join(" | ") + ']';
    }
    return (w->isEnabled() ? text : '(' + text + ')').toStdString();
}

// What the controls of `dialog` named in `names` (between blanks) show, in one line.
inline std::string Showing(const QWidget* dialog, const std::string& names) {
    std::string line;
    std::istringstream each(names);
    for (std::string name; each >> name;) {
        const auto* control = dialog->findChild<QWidget*>(QString::fromStdString(name));
        line += (line.empty() ? "" : " ") + (control ? Showing(control) : "(no " + name + ")");
    }
    return line;
}

// Answers the next question the program asks with `button`, and keeps its text.
inline void Answer(QMessageBox::StandardButton button, QString* text = nullptr) {
    WhenModal([button, text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << "expected a question, got " << modal->objectName().toStdString();
        if (text) *text = box->text();
        box->button(button)->click();
    });
}

// Sets a control as the user would leave it: a box's text, a check box "on" or "off", a
// date picker's dd.MM.yy, a time picker's HH:mm, a spin box's number, a combo box's entry
// (its text or value), a page's or a list's row by number.
inline void SetControl(QWidget* w, const QString& value) {
    if (auto* box = qobject_cast<QLineEdit*>(w)) {
        box->setText(value);
    } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
        memo->setPlainText(value);
        memo->moveCursor(QTextCursor::End);
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        check->setChecked(value == "on");
    } else if (auto* picker = qobject_cast<QDateTimeEdit*>(w)) {
        if (value.contains(':')) {
            picker->setTime(QTime::fromString(value, "HH:mm"));
        } else {
            picker->setDate(QDate::fromString(value, "dd.MM.yy").addYears(100));
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        spin->setValue(value.toInt());
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int text = combo->findText(value);
        combo->setCurrentIndex(text >= 0 ? text : combo->findData(value.toInt()));
    } else if (auto* pages = qobject_cast<QTabWidget*>(w)) {
        pages->setCurrentIndex(value.toInt());
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
        list->setCurrentRow(value.toInt());
    } else {
        ADD_FAILURE() << "cannot set " << w->objectName().toStdString();
    }
}

// The steps the pane and editor scripts run on the dialog in front, on its controls by
// object name:
//   set NAME VALUE   as SetControl says (the value escaped as \r, \n, \xHH)
//   type NAME TEXT, key NAME KEY, click NAME, ok, cancel (the dialog's OK and Cancel)
//   focus [NAME]     (the focus to NAME, and) which control has it
//   keys NAME...     Return, Enter and Escape in each control, the dialog shown anew for
//                    each: "ok" or "cancel" as it closed, else "open"
//   show NAME...     what the controls show, as Showing says
//   order NAME       the controls the keyboard walks from NAME round to it
// After click, key, ok and cancel: whether the dialog is still "open" or closed with "ok"
// or "cancel". The "| " lines under a step are steps run in the dialog it opens; a dialog
// they leave open, and any other dialog that opens, is closed at once as a failure.
class DialogSteps {
protected:
    virtual ~DialogSteps() = default;
    virtual Lines Step(const std::string& line, const Lines& input) = 0;

    [[nodiscard]] QWidget* Control(const std::string& name) const {
        auto* control = front_.back()->findChild<QWidget*>(QString::fromStdString(name));
        if (!control) ADD_FAILURE() << "no control " << name;
        return control;
    }
    // Whether the dialog in front is open, or how it closed.
    [[nodiscard]] std::string State() const {
        const QDialog* dialog = front_.back();
        return dialog->isVisible()                     ? "open"
               : dialog->result() == QDialog::Accepted ? "ok"
                                                       : "cancel";
    }

    // Runs `action`, and the steps `inside` in the dialog it opens.
    Lines Acting(const std::function<void()>& action, const Lines& inside) {
        return OnDialog(
            action,
            [&](QDialog& dialog) {
                Lines out{dialog.objectName().toStdString() + " opens"};
                front_.push_back(&dialog);
                for (const std::string& step : inside)
                    for (std::string& line : Step(step, {}))
                        out.push_back("> " + line);
                front_.pop_back();
                return out;
            },
            front_);
    }

    // Runs `line` when it is one of the steps above: whether it is.
    bool DialogStep(const std::string& line, const Lines& input, Lines& out) {
        if (front_.empty()) return false;
        std::istringstream words(line);
        std::string verb, name;
        words >> verb >> name;
        const std::string rest = line.size() > verb.size() + name.size() + 2
                                     ? line.substr(verb.size() + name.size() + 2)
                                     : "";
        const QString value = QString::fromStdString(Unescaped(rest));
        QDialog* dialog = front_.back();
        if (verb == "set") {
            SetControl(Control(name), value);
        } else if (verb == "type") {
            QTest::keyClicks(Control(name), value);
        } else if (verb == "focus") {
            dialog->activateWindow();
            QApplication::processEvents();
            if (!name.empty()) Control(name)->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            const QWidget* focus =
                name.empty() ? dialog->focusWidget() : QApplication::focusWidget();
            out.push_back(focus->objectName().toStdString());
        } else if (verb == "click" || verb == "key" || verb == "ok" || verb == "cancel") {
            out = Acting(
                [&] {
                    auto* editor = qobject_cast<ui::TEditorDialog*>(dialog);
                    if (verb == "click") qobject_cast<QAbstractButton*>(Control(name))->click();
                    if (verb == "ok") editor ? editor->OKBtnClick() : dialog->accept();
                    if (verb == "cancel") dialog->reject();
                    if (verb != "key") return;
                    const QKeyCombination key = QKeySequence::fromString(value)[0];
                    QTest::keyClick(Control(name), key.key(), key.keyboardModifiers());
                },
                input);
            out.push_back(State());
        } else if (verb == "keys") {
            for (std::istringstream names(line.substr(5)); names >> name;) {
                QWidget* control = Control(name);
                for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                    dialog->show();
                    Lines opened = Acting([&] { QTest::keyClick(control, key); }, {});
                    out.insert(out.end(), opened.begin(), opened.end());
                    name += " " + State();
                    dialog->hide();
                }
                out.push_back(name);
            }
        } else if (verb == "show") {
            out.push_back(Showing(dialog, line.substr(5)));
        } else if (verb == "order") {
            Lines walk = FocusChain(Control(name), 40);
            walk.erase(std::find(walk.begin() + 1, walk.end(), name), walk.end());
            out.push_back(Joined(walk, " "));
            out.back().pop_back();
        } else {
            return false;
        }
        return true;
    }

    std::vector<QDialog*> front_;  // the dialogs the steps act on, the last in front
};

// A keyring in memory in place of the system's; with `failure` set, every call fails
// with it.
struct MemoryKeyring {
    std::map<QString, QString> entries;
    QString failure;

    [[nodiscard]] ui::TKeyring Keyring() {
        return {[this](const QString& key, auto done) {
                    const auto found = entries.find(key);
                    const bool ok = failure.isEmpty() && found != entries.end();
                    done(ok ? found->second : QString(), failure);
                },
                [this](const QString& key, const QString& password, auto done) {
                    if (failure.isEmpty()) entries[key] = password;
                    done(failure);
                },
                [this](const QString& key) { entries.erase(key); }};
    }
};

// A main window made anew for each test, as at the program's first start, with the
// test's environment: failures the program would show in a message box are collected,
// the clock is `clock` when set, the file dialogs are `chooser` (a dialog the test did not
// expect fails it), the keyring is in memory, never the user's, and the replica is a
// file of the test's own folder, which the windows of one test share.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().clear();
        window = NewWindow();
    }
    void TearDown() override {
        window.reset();
        QLocale::setDefault(QLocale::system());
    }
    [[nodiscard]] ui::TEnvironment Environment() {
        return {
            [this] { return clock ? clock() : QDateTime::currentDateTime(); },
            [this](const QString& text, const QString& detail) {
                errors.push_back(
                    (detail.isEmpty() ? text : text + QLatin1Char('\n') + detail).toStdString());
            },
            [this](QWidget* parent, bool save, const QString& caption, const QString& filter,
                   const QString& suffix) {
                if (chooser) return chooser(parent, save, caption, filter, suffix);
                ADD_FAILURE() << "a file dialog opened: " << caption.toStdString();
                return QStringList{};
            },
            keyring.Keyring(), replicaDir.filePath(QStringLiteral("replica.sqlite"))};
    }
    // Gives the window an account: the server at `url`, user "ada", password "pw" unless
    // others are given.
    void SetAccount(const std::string& url, bool keepCopy = true, const char* user = "ada",
                    const char* password = "pw") {
        ui::AccountSettings account = window->Account().Settings();
        account.ServerURL = QString::fromStdString(url);
        account.User = QString::fromLatin1(user);
        account.Password = QString::fromLatin1(password);
        account.KeepCopy = keepCopy;
        window->Account().SetSettings(account);
    }
    [[nodiscard]] std::unique_ptr<ui::TMainForm> NewWindow() {
        return std::make_unique<ui::TMainForm>(Environment());
    }
    // The window's dialog of a type, and the pane of a tab.
    template <class Form>
    [[nodiscard]] Form& Find() const {
        return *window->findChild<Form*>();
    }
    [[nodiscard]] ui::TDataPane& Tab(int index) const {
        return *window->Panes()[static_cast<std::size_t>(index)];
    }

    ui::LocalClock clock;
    ui::FileChooser chooser;
    MemoryKeyring keyring;
    QTemporaryDir replicaDir;
    std::vector<std::string> errors;
    std::unique_ptr<ui::TMainForm> window;  // last: it reports to the members above
};

}  // namespace orvanta::test
