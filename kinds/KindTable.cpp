#include "kinds/KindTable.h"

#include "formats/Failure.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"

namespace orvanta {

namespace {

template <class Client>
std::unique_ptr<TSMLBase> Make() {
    return std::make_unique<Client>();
}

template <class Client>
bool IsA(const TSMLBase& client) {
    return dynamic_cast<const Client*>(&client) != nullptr;
}

// The item as its kind's type; an item of another kind fails.
template <class Item>
const Item& As(const TSMLItem& item) {
    const auto* typed = dynamic_cast<const Item*>(&item);
    if (!typed) throw ItemError("The item is not of the kind its fields were asked for");
    return *typed;
}

std::vector<ItemField> EventFields(const TSMLItem& item) {
    const auto& e = As<TSMLEvent>(item);
    return {{"Summary", e.Summary()},         {"Location", e.Location()},
            {"Description", e.Description()}, {"Start", LocalMoment{e.Start()}},
            {"End", LocalMoment{e.End()}},    {"AllDay", e.AllDay()},
            {"Reminders", e.Reminders()}};
}

// Every field of the contact table, under its name; the birthday is a date.
std::vector<ItemField> ContactFieldsOf(const TSMLItem& item) {
    const auto& c = As<TSMLContact>(item);
    std::vector<ItemField> fields;
    for (const ContactField& field : ContactFields()) {
        fields.push_back({field.Name, field.Text ? FieldValue((c.*field.Text)())
                                                 : FieldValue(CalendarDate{c.Birthday()})});
    }
    return fields;
}

std::vector<ItemField> TaskFields(const TSMLItem& item) {
    const auto& t = As<TSMLTask>(item);
    return {{"Summary", t.Summary()},      {"Description", t.Description()},
            {"Due", LocalMoment{t.Due()}}, {"Alarm", LocalMoment{t.Alarm()}},
            {"Completed", t.Completed()},  {"Priority", t.Priority()}};
}

std::vector<ItemField> NoteFields(const TSMLItem& item) {
    const auto& n = As<TSMLNote>(item);
    return {{"Title", n.Title()}, {"Body", n.Body()}};
}

}  // namespace

std::span<const DataKind> DataKinds() {
    static const std::vector<DataKind> kinds = [] {
        std::vector<DataKind> table{
            {"cal",
             {"", "caldb", "text/x-vcalendar", "2.0", "CalSyncML"},
             "VEVENT",
             {"ics", "vcs"},
             "event",
             "events",
             Make<TSMLCalendar>,
             IsA<TSMLCalendar>,
             EventFields},
            {"card",
             {"", "contdb", "text/x-vcard", "2.1", "ContSyncML", ContactCapabilities()},
             "VCARD",
             {"vcf", "vcard"},
             "contact",
             "contacts",
             Make<TSMLContacts>,
             IsA<TSMLContacts>,
             ContactFieldsOf},
            // The task payloads are vCalendar 1.0: declared as such, the server hands them
            // back as they were stored (declared 2.0 it converts them, and priorities and
            // alarms change).
            {"task",
             {"", "taskdb", "text/x-vcalendar", "1.0", "TaskSyncML"},
             "VTODO",
             {"vcs", "ics"},
             "task",
             "tasks",
             Make<TSMLTasks>,
             IsA<TSMLTasks>,
             TaskFields},
            {"vnote",
             {"", "notedb", "text/x-vnote", "1.1", "NoteSyncML"},
             "VNOTE",
             {"vnt"},
             "note",
             "notes",
             Make<TSMLNotes>,
             IsA<TSMLNotes>,
             NoteFields},
        };
        for (DataKind& kind : table)
            kind.Defaults.DataSource = kind.Keyword;
        return table;
    }();
    return kinds;
}

const DataKind& KindNamed(std::string_view keyword) {
    std::string known;
    for (const DataKind& kind : DataKinds()) {
        if (kind.Keyword == keyword) return kind;
        known += (known.empty() ? "" : ", ") + kind.Keyword;
    }
    throw Failure("There is no kind of data \"" + std::string(keyword) + "\"; the kinds are " +
                  known);
}

const DataKind& KindOf(const TSMLBase& client) {
    for (const DataKind& kind : DataKinds()) {
        if (kind.Holds(client)) return kind;
    }
    throw Failure("The data store's client is of no kind of data this program knows");
}

}  // namespace orvanta
