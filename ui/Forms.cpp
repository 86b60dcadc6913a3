#include "ui/Forms.h"

#include <QShowEvent>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

namespace {

const PaneKind kCalendar{"MainCalForm",  "Events",         "EventsLB", "EventAddBtn",
                         "EventEditBtn", "EventDeleteBtn", "cal",      true};
const PaneKind kContacts{"MainContForm", "Contacts",     "ContactsLB", "ConAddBtn",
                         "ConEditBtn",   "ConDeleteBtn", "card",       false};
const PaneKind kTasks{"MainTaskForm", "Tasks",         "TasksLB", "TaskAddBtn",
                      "TaskEditBtn",  "TaskDeleteBtn", "task",    true};
const PaneKind kNotes{"MainNoteForm", "Notes",         "NotesLB", "NoteAddBtn",
                      "NoteEditBtn",  "NoteDeleteBtn", "vnote",   true};

bool Accepted(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

TForms& Forms() {
    static TForms forms;
    return forms;
}

TMainCalForm::TMainCalForm(QWidget* parent)
    : TDataPane(kCalendar, std::make_unique<TSMLCalendar>(), parent) {}

QString TMainCalForm::RowText(const TSMLItem& item) const {
    const auto& event = static_cast<const TSMLEvent&>(item);
    return QStringLiteral("%1 - %2  %3")
        .arg(LocaleText(event.Start), LocaleText(event.End), ToQt(event.GetTitle()));
}

bool TMainCalForm::Edit(TSMLItem& item) {
    Forms().EditEventForm->Event = &static_cast<TSMLEvent&>(item);
    return Accepted(*Forms().EditEventForm);
}

TMainContForm::TMainContForm(QWidget* parent)
    : TDataPane(kContacts, std::make_unique<TSMLContacts>(), parent) {}

bool TMainContForm::Edit(TSMLItem& item) {
    TEditContForm& editor = *Forms().EditContForm;
    editor.Contacts = &static_cast<TSMLContacts&>(SyncClient());
    editor.Contact = &static_cast<TSMLContact&>(item);
    return Accepted(editor);
}

TSMLItem* TMainContForm::AddItem() {
    TEditContForm& editor = *Forms().EditContForm;
    editor.Contacts = &static_cast<TSMLContacts&>(SyncClient());
    editor.Contact = nullptr;
    return Accepted(editor) ? editor.Contact : nullptr;
}

TMainTaskForm::TMainTaskForm(QWidget* parent)
    : TDataPane(kTasks, std::make_unique<TSMLTasks>(), parent) {}

bool TMainTaskForm::Edit(TSMLItem& item) {
    Forms().EditTaskForm->Task = &static_cast<TSMLTask&>(item);
    return Accepted(*Forms().EditTaskForm);
}

TMainNoteForm::TMainNoteForm(QWidget* parent)
    : TDataPane(kNotes, std::make_unique<TSMLNotes>(), parent) {}

bool TMainNoteForm::Edit(TSMLItem& item) {
    Forms().EditNoteForm->Note = &static_cast<TSMLNote&>(item);
    return Accepted(*Forms().EditNoteForm);
}

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Orvanta"));
    TabControl1 = new QTabBar;
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    for (const char* tab : {"Calendar", "Contacts", "Tasks", "Notes"})
        TabControl1->addTab(tr(tab));
    Panel1 = new QStackedWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TabControl1);
    layout->addWidget(Panel1, 1);
    resize(640, 480);
    connect(TabControl1, &QTabBar::currentChanged, this, [this] { TabControl1Change(); });
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!docked_) FormShow();
}

void TMainForm::FormShow() {
    docked_ = true;
    const TForms& f = Forms();
    for (QWidget* pane : std::initializer_list<QWidget*>{f.MainCalForm, f.MainContForm,
                                                         f.MainTaskForm, f.MainNoteForm}) {
        if (pane && Panel1->indexOf(pane) < 0) Panel1->addWidget(pane);
    }
    TabControl1->setCurrentIndex(0);
    TabControl1Change();
}

void TMainForm::TabControl1Change() {
    // Each pane keeps its settings, list and selection while another one is in front.
    if (TabControl1->currentIndex() < Panel1->count()) {
        Panel1->setCurrentIndex(TabControl1->currentIndex());
    }
}

void CreateForms() {
    TForms& f = Forms();
    f.MainForm = new TMainForm;
    f.MainCalForm = new TMainCalForm;
    f.MainContForm = new TMainContForm;
    f.MainNoteForm = new TMainNoteForm;
    f.MainTaskForm = new TMainTaskForm;
    f.EditContForm = new TEditContForm(f.MainForm);
    f.EditEventForm = new TEditEventForm(f.MainForm);
    f.EditNoteForm = new TEditNoteForm(f.MainForm);
    f.ReminderForm = new TReminderForm(f.MainForm);
    f.EditTaskForm = new TEditTaskForm(f.MainForm);
    f.EditEventForm->ReminderDialog = f.ReminderForm;
}

void DestroyForms() {
    TForms& f = Forms();
    // The panes docked in the main window go with it; the dialogs are its children.
    for (QWidget* pane : std::initializer_list<QWidget*>{f.MainCalForm, f.MainContForm,
                                                         f.MainTaskForm, f.MainNoteForm}) {
        if (pane && !pane->parent()) delete pane;
    }
    delete f.MainForm;
    f = TForms{};
}

}  // namespace orvanta::ui
