#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

// Files of vCard, vCalendar / iCalendar and vNote objects as address books and calendars
// write them (.vcf, .vcs, .ics, .vnt): cut into one payload per item, and items joined
// back into one file.

// The items of `component` in a file's text, handed to `take` one at a time in the
// file's order with the line where each begins; returns how many items of other kinds
// the file holds (a task in a calendar file asked for events). Each payload's lines end
// in CR LF. `component` is "VCARD", "VNOTE" (vNote files, and the vText notes this
// program writes), or "VEVENT", "VTODO", "VJOURNAL" (components of a VCALENDAR); any
// other is refused (ItemError).
//  - Every top-level object of the kind is one payload, nested objects (a vCard 2.1
//    AGENT) included.
//  - A VCALENDAR gives one payload per item component: the calendar's own lines around
//    that component, with the VTIMEZONE blocks of the TZIDs it uses, in the file's order,
//    so that a calendar of one event comes out as it went in. Components sharing a UID (a
//    recurring event and its exceptions) stay together in one payload.
//  - Lines are read as the items read them: folded lines are unfolded first, so a
//    continuation that reads "END:..." ends nothing. BEGIN and END name their blocks in
//    any letter case, with blanks around the name. Text outside objects (blank lines
//    between them) is passed over; a UTF-8 byte-order mark is dropped, and a file with
//    a UTF-16 byte-order mark is read as UTF-16.
// Time and memory grow with the file and the payloads: each payload is built once, and
// groups and time zones are found through maps.
// Throws ItemError, naming the line, for a file that holds a NUL byte (no vCard,
// vCalendar or vNote text holds one, and no SyncML message could carry it to the
// server), an END that closes no open object, and an object not closed before the end.
// A calendar whose items would repeat its shared lines and time zones beyond 64 times the
// file's size (and 16 MB) is refused as well.
std::size_t ReadObjectFile(std::string_view text, std::string_view component,
                           const std::function<void(std::string& payload, std::size_t line)>& take);

struct ObjectFileItems {
    // One payload per item of the kind asked for, each line ended by CR LF.
    std::vector<std::string> Payloads;
    // Items in the file of another kind (a task in a calendar file asked for events).
    std::size_t OtherKinds = 0;
};

// The items of ReadObjectFile all at once.
[[nodiscard]] ObjectFileItems SplitObjectFile(std::string_view text, std::string_view component);

// The payloads one after another, each ended by a line break: a vCard, iCalendar and vNote
// file holds any number of objects.
[[nodiscard]] std::string JoinObjectFile(const std::vector<std::string>& payloads);

}  // namespace orvanta
