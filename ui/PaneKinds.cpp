#include "ui/PaneKinds.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <limits>
#include <utility>

#include "formats/Failure.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "ui/Editors.h"
#include "ui/Environment.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

QString PaneText(const char* text) {
    return QCoreApplication::translate("PaneKind", text);
}

QString PaneCount(const char* text, int n) {
    return QCoreApplication::translate("PaneKind", text, nullptr, n);
}

TSMLItem* TItemEditor::Add(TSMLBase& client) {
    TSMLItem* item = client.NewItem();
    bool ok = false;
    environment_.Guarded([&] { ok = Open(client, *item, true); });
    if (ok) return item;
    for (std::size_t i = 0; i < client.Items.size(); ++i) {
        if (client.Items[i].get() == item) client.DeleteItem(i);
    }
    return nullptr;
}

namespace {

bool Accepted(QDialog* dialog) {
    return dialog && dialog->exec() == QDialog::Accepted;
}

// The editor of a kind whose dialog has one item field (Event, Task, Note).
template <class Dialog, class Item, Item* Dialog::*Field>
class TFieldEditor final : public TItemEditor {
public:
    TFieldEditor(QWidget* parent, const TEnvironment& env)
        : TItemEditor(env), dialog_(new Dialog(env, parent)) {}
    bool Open(TSMLBase&, TSMLItem& item, bool adding) override {
        (*dialog_).*Field = &static_cast<Item&>(item);
        dialog_->Adding = adding;
        return Accepted(dialog_);
    }

protected:
    QPointer<Dialog> dialog_;
};

class TEventEditor final : public TItemEditor {
public:
    TEventEditor(QWidget* parent, const TEnvironment& env)
        : TItemEditor(env),
          dialog_(new TEditEventForm(env, parent)),
          reminders_(new TReminderForm(env, parent)) {
        dialog_->ReminderDialog = reminders_;
    }
    bool Open(TSMLBase&, TSMLItem& item, bool adding) override {
        dialog_->Event = &static_cast<TSMLEvent&>(item);
        dialog_->Adding = adding;
        return Accepted(dialog_);
    }

private:
    QPointer<TEditEventForm> dialog_;
    QPointer<TReminderForm> reminders_;
};

// The contact editor makes a new contact itself when it is shown, and removes it again
// when it closes without OK.
class TContactEditor final : public TItemEditor {
public:
    TContactEditor(QWidget* parent, const TEnvironment& env)
        : TItemEditor(env), dialog_(new TEditContForm(env, parent)) {}
    bool Open(TSMLBase& client, TSMLItem& item, bool) override {
        dialog_->Contacts = &static_cast<TSMLContacts&>(client);
        dialog_->Contact = &static_cast<TSMLContact&>(item);
        return Accepted(dialog_);
    }
    TSMLItem* Add(TSMLBase& client) override {
        dialog_->Contacts = &static_cast<TSMLContacts&>(client);
        dialog_->Contact = nullptr;
        bool ok = false;
        environment_.Guarded([&] { ok = Accepted(dialog_); });
        return ok ? dialog_->Contact : nullptr;
    }

private:
    QPointer<TEditContForm> dialog_;
};

template <class Editor>
std::unique_ptr<TItemEditor> Make(QWidget* parent, const TEnvironment& env) {
    return std::make_unique<Editor>(parent, env);
}

// A moment as the editors show it: the short date, and the time in hours and minutes
// unless it is midnight. No moment (0) shows nothing.
QVariant Moment(TDateTime value) {
    return LocaleText(value);
}

// Items without the moment sort after every item with one.
QVariant MomentKey(TDateTime value) {
    return value == 0 ? std::numeric_limits<double>::max() : value;
}

const TSMLEvent& AsEvent(const TSMLItem& item) {
    return static_cast<const TSMLEvent&>(item);
}
const TSMLContact& AsContact(const TSMLItem& item) {
    return static_cast<const TSMLContact&>(item);
}
const TSMLTask& AsTask(const TSMLItem& item) {
    return static_cast<const TSMLTask&>(item);
}
const TSMLNote& AsNote(const TSMLItem& item) {
    return static_cast<const TSMLNote&>(item);
}

QVariant Title(const TSMLItem& item) {
    return ToQt(item.GetTitle());
}

// The first of the contact's fields that is not empty.
QVariant FirstOf(const TSMLItem& item, std::initializer_list<ContactText> fields) {
    const TSMLContact& contact = AsContact(item);
    for (const ContactText field : fields) {
        const WideString text = (contact.*field)();
        if (!text.empty()) return ToQt(text);
    }
    return QString();
}

// The last day an event covers: an all-day event's stored end is the day after it.
TDateTime ShownEnd(const TSMLEvent& event) {
    return event.AllDay() && event.End() >= event.Start() + 1 ? event.End() - 1 : event.End();
}

QString NoteFirstLine(const TSMLNote& note) {
    if (!note.Title().empty()) return ToQt(note.Title());
    const QString body = ToMultiLine(note.Body());
    return body.left(body.indexOf(QLatin1Char('\n')));
}

// The interface's part of each kind, under the kind's keyword.
const std::vector<std::pair<const char*, PaneKind>>& PaneParts() {
    static const std::vector<std::pair<const char*, PaneKind>> parts{
        {"cal",
         {nullptr,
          "MainCalForm",
          QT_TRANSLATE_NOOP("PaneKind", "Calendar"),
          QT_TRANSLATE_NOOP("PaneKind", "Events"),
          "EventsLB",
          "EventAddBtn",
          "EventEditBtn",
          "EventDeleteBtn",
          QT_TRANSLATE_NOOP("PaneKind", "Calendars"),
          QT_TRANSLATE_NOOP("PaneKind", "events"),
          QT_TRANSLATE_N_NOOP("PaneKind", "%n event(s)"),
          true,
          Make<TEventEditor>,
          {{QT_TRANSLATE_NOOP("PaneKind", "Title"), Title},
           {QT_TRANSLATE_NOOP("PaneKind", "Start"),
            [](const TSMLItem& i) { return Moment(AsEvent(i).Start()); },
            [](const TSMLItem& i) { return MomentKey(AsEvent(i).Start()); }},
           {QT_TRANSLATE_NOOP("PaneKind", "End"),
            [](const TSMLItem& i) { return Moment(ShownEnd(AsEvent(i))); },
            [](const TSMLItem& i) { return MomentKey(AsEvent(i).End()); }},
           {QT_TRANSLATE_NOOP("PaneKind", "Location"),
            [](const TSMLItem& i) { return QVariant(ToQt(AsEvent(i).Location())); }}},
          1}},
        {"card",
         {nullptr,
          "MainContForm",
          QT_TRANSLATE_NOOP("PaneKind", "Contacts"),
          QT_TRANSLATE_NOOP("PaneKind", "Contacts"),
          "ContactsLB",
          "ConAddBtn",
          "ConEditBtn",
          "ConDeleteBtn",
          QT_TRANSLATE_NOOP("PaneKind", "Address books"),
          QT_TRANSLATE_NOOP("PaneKind", "contacts"),
          QT_TRANSLATE_N_NOOP("PaneKind", "%n contact(s)"),
          false,
          Make<TContactEditor>,
          {{QT_TRANSLATE_NOOP("PaneKind", "Name"), Title},
           {QT_TRANSLATE_NOOP("PaneKind", "Phone"),
            [](const TSMLItem& i) {
                return FirstOf(i,
                               {&TSMLContact::Phone, &TSMLContact::Mobile, &TSMLContact::BusPhone});
            }},
           {QT_TRANSLATE_NOOP("PaneKind", "E-mail"),
            [](const TSMLItem& i) {
                return FirstOf(i, {&TSMLContact::EMail, &TSMLContact::BusEMail});
            }},
           {QT_TRANSLATE_NOOP("PaneKind", "Company"),
            [](const TSMLItem& i) { return QVariant(ToQt(AsContact(i).Company())); }}},
          0}},
        {"task",
         {nullptr,
          "MainTaskForm",
          QT_TRANSLATE_NOOP("PaneKind", "Tasks"),
          QT_TRANSLATE_NOOP("PaneKind", "Tasks"),
          "TasksLB",
          "TaskAddBtn",
          "TaskEditBtn",
          "TaskDeleteBtn",
          QT_TRANSLATE_NOOP("PaneKind", "Calendars"),
          QT_TRANSLATE_NOOP("PaneKind", "tasks"),
          QT_TRANSLATE_N_NOOP("PaneKind", "%n task(s)"),
          true,
          Make<TFieldEditor<TEditTaskForm, TSMLTask, &TEditTaskForm::Task>>,
          {{QT_TRANSLATE_NOOP("PaneKind", "Title"), Title},
           {QT_TRANSLATE_NOOP("PaneKind", "Due"),
            [](const TSMLItem& i) { return Moment(AsTask(i).Due()); },
            [](const TSMLItem& i) { return MomentKey(AsTask(i).Due()); }},
           {QT_TRANSLATE_NOOP("PaneKind", "Priority"),
            [](const TSMLItem& i) {
                const int p = AsTask(i).Priority();
                return QVariant(p <= 0 ? QString() : PriorityName(p));
            },
            [](const TSMLItem& i) {
                const int p = AsTask(i).Priority();
                return QVariant(p <= 0 ? std::numeric_limits<int>::max() : p);
            }},
           {QT_TRANSLATE_NOOP("PaneKind", "Done"),
            [](const TSMLItem& i) {
                return QVariant(AsTask(i).Completed()
                                    ? PaneText(QT_TRANSLATE_NOOP("PaneKind", "done"))
                                    : QString());
            }}},
          1}},
        {"vnote",
         {nullptr,
          "MainNoteForm",
          QT_TRANSLATE_NOOP("PaneKind", "Notes"),
          QT_TRANSLATE_NOOP("PaneKind", "Notes"),
          "NotesLB",
          "NoteAddBtn",
          "NoteEditBtn",
          "NoteDeleteBtn",
          QT_TRANSLATE_NOOP("PaneKind", "Notes"),
          QT_TRANSLATE_NOOP("PaneKind", "notes"),
          QT_TRANSLATE_N_NOOP("PaneKind", "%n note(s)"),
          true,
          Make<TFieldEditor<TEditNoteForm, TSMLNote, &TEditNoteForm::Note>>,
          {{QT_TRANSLATE_NOOP("PaneKind", "First line"),
            [](const TSMLItem& i) { return QVariant(NoteFirstLine(AsNote(i))); }},
           {QT_TRANSLATE_NOOP("PaneKind", "Size"),
            [](const TSMLItem& i) {
                return QVariant(static_cast<qlonglong>(AsNote(i).Body().size()));
            }}},
          -1}},
    };
    return parts;
}

}  // namespace

const std::vector<PaneKind>& PaneKinds() {
    static const std::vector<PaneKind> kinds = [] {
        std::vector<PaneKind> panes;
        for (const DataKind& data : DataKinds()) {
            const auto& parts = PaneParts();
            const auto part = std::find_if(parts.begin(), parts.end(),
                                           [&](const auto& p) { return p.first == data.Keyword; });
            if (part == parts.end()) {
                throw Failure("The kind of data \"" + data.Keyword + "\" has no pane");
            }
            panes.push_back(part->second);
            panes.back().Data = &data;
        }
        // A part under a keyword of no kind.
        for (const auto& [keyword, part] : PaneParts())
            (void)KindNamed(keyword);
        return panes;
    }();
    return kinds;
}

const PaneKind& PaneKindOf(const TSMLBase& client) {
    const DataKind& data = KindOf(client);
    for (const PaneKind& kind : PaneKinds()) {
        if (kind.Data == &data) return kind;
    }
    throw Failure("The kind of data \"" + data.Keyword + "\" has no pane");
}

}  // namespace orvanta::ui
