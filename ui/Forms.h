#pragma once

#include <QWidget>

#include <memory>

#include "ui/DataPane.h"
#include "ui/Editors.h"

class QStackedWidget;
class QTabBar;

namespace orvanta {
class TSMLCalendar;
class TSMLContacts;
class TSMLNotes;
class TSMLTasks;
}  // namespace orvanta

namespace orvanta::ui {

class TMainCalForm final : public TDataPane {
    Q_OBJECT
public:
    explicit TMainCalForm(QWidget* parent = nullptr);

protected:
    QString RowText(const TSMLItem& item) const override;
    bool Edit(TSMLItem& item) override;
};

class TMainContForm final : public TDataPane {
    Q_OBJECT
public:
    explicit TMainContForm(QWidget* parent = nullptr);

protected:
    bool Edit(TSMLItem& item) override;
    // The contact editor makes the new contact itself.
    TSMLItem* AddItem() override;
};

class TMainTaskForm final : public TDataPane {
    Q_OBJECT
public:
    explicit TMainTaskForm(QWidget* parent = nullptr);

protected:
    bool Edit(TSMLItem& item) override;
};

class TMainNoteForm final : public TDataPane {
    Q_OBJECT
public:
    explicit TMainNoteForm(QWidget* parent = nullptr);

protected:
    bool Edit(TSMLItem& item) override;
};

// The main window: a tab bar and a panel that stacks the four panes.
class TMainForm final : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    void FormShow();
    void TabControl1Change();

    QTabBar* TabControl1;
    QStackedWidget* Panel1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool docked_ = false;
};

// The program's forms, one instance each, created in this order and reachable by name.
struct TForms {
    TMainForm* MainForm = nullptr;
    TMainCalForm* MainCalForm = nullptr;
    TMainContForm* MainContForm = nullptr;
    TMainNoteForm* MainNoteForm = nullptr;
    TMainTaskForm* MainTaskForm = nullptr;
    TEditContForm* EditContForm = nullptr;
    TEditEventForm* EditEventForm = nullptr;
    TEditNoteForm* EditNoteForm = nullptr;
    TReminderForm* ReminderForm = nullptr;
    TEditTaskForm* EditTaskForm = nullptr;
};

[[nodiscard]] TForms& Forms();
// Creates the ten forms; DestroyForms frees them (the panes free their sync clients).
void CreateForms();
void DestroyForms();

}  // namespace orvanta::ui
