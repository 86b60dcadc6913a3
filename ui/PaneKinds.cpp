#include "ui/PaneKinds.h"

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

TSMLItem* TItemEditor::Add(TSMLBase& client) {
    TSMLItem* item = client.NewItem();
    bool ok = false;
    environment_.Guarded([&] { ok = Edit(client, *item); });
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
    bool Edit(TSMLBase&, TSMLItem& item) override {
        (*dialog_).*Field = &static_cast<Item&>(item);
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
    bool Edit(TSMLBase&, TSMLItem& item) override {
        dialog_->Event = &static_cast<TSMLEvent&>(item);
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
    bool Edit(TSMLBase& client, TSMLItem& item) override {
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
          "Calendar",
          "Events",
          "EventsLB",
          "EventAddBtn",
          "EventEditBtn",
          "EventDeleteBtn",
          "Calendars",
          true,
          Make<TEventEditor>,
          {{"Title", Title},
           {"Start", [](const TSMLItem& i) { return Moment(AsEvent(i).Start()); },
            [](const TSMLItem& i) { return MomentKey(AsEvent(i).Start()); }},
           {"End", [](const TSMLItem& i) { return Moment(ShownEnd(AsEvent(i))); },
            [](const TSMLItem& i) { return MomentKey(AsEvent(i).End()); }},
           {"Location", [](const TSMLItem& i) { return QVariant(ToQt(AsEvent(i).Location())); }}},
          1}},
        {"card",
         {nullptr,
          "MainContForm",
          "Contacts",
          "Contacts",
          "ContactsLB",
          "ConAddBtn",
          "ConEditBtn",
          "ConDeleteBtn",
          "Address books",
          false,
          Make<TContactEditor>,
          {{"Name", Title},
           {"Phone",
            [](const TSMLItem& i) {
                return FirstOf(i,
                               {&TSMLContact::Phone, &TSMLContact::Mobile, &TSMLContact::BusPhone});
            }},
           {"E-mail",
            [](const TSMLItem& i) {
                return FirstOf(i, {&TSMLContact::EMail, &TSMLContact::BusEMail});
            }},
           {"Company", [](const TSMLItem& i) { return QVariant(ToQt(AsContact(i).Company())); }}},
          0}},
        {"task",
         {nullptr,
          "MainTaskForm",
          "Tasks",
          "Tasks",
          "TasksLB",
          "TaskAddBtn",
          "TaskEditBtn",
          "TaskDeleteBtn",
          "Calendars",
          true,
          Make<TFieldEditor<TEditTaskForm, TSMLTask, &TEditTaskForm::Task>>,
          {{"Title", Title},
           {"Due", [](const TSMLItem& i) { return Moment(AsTask(i).Due()); },
            [](const TSMLItem& i) { return MomentKey(AsTask(i).Due()); }},
           {"Priority",
            [](const TSMLItem& i) {
                const int p = AsTask(i).Priority();
                return p == 0 ? QVariant(QString()) : QVariant(p);
            },
            [](const TSMLItem& i) {
                const int p = AsTask(i).Priority();
                return QVariant(p == 0 ? std::numeric_limits<int>::max() : p);
            }},
           {"Done",
            [](const TSMLItem& i) {
                return QVariant(AsTask(i).Completed() ? QStringLiteral("done") : QString());
            }}},
          1}},
        {"vnote",
         {nullptr,
          "MainNoteForm",
          "Notes",
          "Notes",
          "NotesLB",
          "NoteAddBtn",
          "NoteEditBtn",
          "NoteDeleteBtn",
          "Notes",
          true,
          Make<TFieldEditor<TEditNoteForm, TSMLNote, &TEditNoteForm::Note>>,
          {{"First line", [](const TSMLItem& i) { return QVariant(NoteFirstLine(AsNote(i))); }},
           {"Size",
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
