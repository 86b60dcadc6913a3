#pragma once

#include <QApplication>
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Editors.h"
#include "ui/Forms.h"
#include "ui/UiSupport.h"

namespace orvanta::test {

// Runs `action` on the next modal dialog as soon as it is open (Qt runs modal dialogs
// in their own event loop, so a test cannot act on them after exec() returns).
inline void WhenModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            action(modal);
        } else {
            WhenModal(action);
        }
    });
}

// Runs the event loop until the pane's exchange has ended (at most `seconds`); false
// when it still runs.
inline bool Settle(const ui::TDataPane& pane, int seconds = 30) {
    QElapsedTimer clock;
    clock.start();
    while (pane.Busy() && clock.elapsed() < seconds * 1000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return !pane.Busy();
}

// Presses a pane's button and waits for the exchange it starts.
inline void RunExchange(ui::TDataPane& pane, void (ui::TDataPane::*handler)()) {
    (pane.*handler)();
    ASSERT_TRUE(Settle(pane)) << "the exchange did not end";
}

// The first column of a pane's rows, in the order the table shows them.
inline std::vector<std::string> Rows(const ui::TDataPane& pane, int column = 0) {
    std::vector<std::string> rows;
    for (int i = 0; i < pane.RowCount(); ++i)
        rows.push_back(pane.Cell(i, column).toStdString());
    return rows;
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

// The forms of the test's main window, found by their names.
struct TestForms {
    ui::TMainForm* MainForm = nullptr;
    ui::TDataPane* MainCalForm = nullptr;
    ui::TDataPane* MainContForm = nullptr;
    ui::TDataPane* MainTaskForm = nullptr;
    ui::TDataPane* MainNoteForm = nullptr;
    ui::TEditContForm* EditContForm = nullptr;
    ui::TEditEventForm* EditEventForm = nullptr;
    ui::TEditNoteForm* EditNoteForm = nullptr;
    ui::TReminderForm* ReminderForm = nullptr;
    ui::TEditTaskForm* EditTaskForm = nullptr;
};

inline TestForms& CurrentForms() {
    static TestForms forms;
    return forms;
}
// The forms of the window the running test made (the lambdas that act on modal dialogs
// reach them here).
inline const TestForms& Forms() {
    return CurrentForms();
}

// A main window made anew for each test; failures the program would show in a message
// box are collected instead.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::SetErrorReporter([this](const QString& text) { errors.push_back(text.toStdString()); });
        QSettings().clear();  // every test starts as the first start of the program
        window = std::make_unique<ui::TMainForm>();
        TestForms& f = CurrentForms();
        f.MainForm = window.get();
        const auto pane = [this](const char* name) {
            return window->findChild<ui::TDataPane*>(QString::fromLatin1(name));
        };
        f.MainCalForm = pane("MainCalForm");
        f.MainContForm = pane("MainContForm");
        f.MainTaskForm = pane("MainTaskForm");
        f.MainNoteForm = pane("MainNoteForm");
        f.EditContForm = window->findChild<ui::TEditContForm*>();
        f.EditEventForm = window->findChild<ui::TEditEventForm*>();
        f.EditNoteForm = window->findChild<ui::TEditNoteForm*>();
        f.ReminderForm = window->findChild<ui::TReminderForm*>();
        f.EditTaskForm = window->findChild<ui::TEditTaskForm*>();
    }
    void TearDown() override {
        window.reset();
        CurrentForms() = TestForms{};
        ui::SetErrorReporter(nullptr);
        ui::SetClock(nullptr);
    }
    std::unique_ptr<ui::TMainForm> window;
    std::vector<std::string> errors;
};

}  // namespace orvanta::test
