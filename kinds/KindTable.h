#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/SyncMLBase.h"
#include "kinds/CalSyncML.h"

namespace orvanta {

// A local moment and a date as an item's fields hold them; 0 is none.
struct LocalMoment {
    TDateTime Value = 0;
};
struct CalendarDate {
    TDateTime Value = 0;
};

// The value of one field of an item: a text (line breaks CR LF), a moment, a date, a
// flag, a number or an event's reminders.
using FieldValue =
    std::variant<WideString, LocalMoment, CalendarDate, bool, std::int32_t, std::vector<TReminder>>;

struct ItemField {
    const char* Name;
    FieldValue Value;
};

// One kind of data: what the layers above tell the kinds apart by. DataKinds() is the
// one list of them; the window's panes, import and export and the command-line tools
// walk it, and a keyword or a client that is not in it is an error, never a default.
struct DataKind {
    // cal, card, task, vnote: the kind's name on the command line and the default data
    // source, the server's store, of its client.
    std::string Keyword;
    StoreDefaults Defaults;  // the fixed settings of its client; DataSource is Keyword
    // Its items in files (.ics, .vcf ...): the object that holds one and the file name
    // extensions, without the dot, the one an export writes first.
    std::string Component;
    std::vector<std::string> Extensions;
    std::string One;   // one item: "event"
    std::string Many;  // several: "events"
    // A client of the kind with its defaults and no items.
    std::unique_ptr<TSMLBase> (*MakeClient)();
    // Whether a client is of this kind.
    bool (*Holds)(const TSMLBase& client);
    // Every field of an item of this kind (made by its client), in a fixed order.
    std::vector<ItemField> (*Fields)(const TSMLItem& item);
};

// The kinds in the order of the window's tabs: calendar, contacts, tasks, notes.
[[nodiscard]] std::span<const DataKind> DataKinds();
// The kind of the keyword; an unknown keyword fails with a message naming the kinds.
[[nodiscard]] const DataKind& KindNamed(std::string_view keyword);
// The kind of the client; a client of no kind in the table fails.
[[nodiscard]] const DataKind& KindOf(const TSMLBase& client);

}  // namespace orvanta
