#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

// Files of vCard, vCalendar / iCalendar and vNote objects as address books and calendars
// write them (.vcf, .vcs, .ics, .vnt): cut into one payload per item, and items joined
// back into one file.

struct ObjectFileItems {
    // One payload per item of the kind asked for, each line ended by CR LF.
    std::vector<std::string> Payloads;
    // Items in the file of another kind (a task in a calendar file asked for events).
    std::size_t OtherKinds = 0;
};

// The items of `component` ("VCARD", "VNOTE", or "VEVENT" / "VTODO" / "VJOURNAL" inside
// a VCALENDAR) in a file's text.
//  - Every top-level BEGIN:VCARD or BEGIN:VNOTE object is one payload, nested objects
//    (a vCard 2.1 AGENT) included.
//  - A VCALENDAR gives one payload per item component: the calendar's own lines and its
//    other blocks (VTIMEZONE) around that one component, in the file's order, so that a
//    calendar of one event comes out as it went in. Components sharing a UID (a recurring
//    event and its exceptions) stay together in one payload.
//  - Names of BEGIN and END are matched without regard to case; text outside objects
//    (blank lines between them) is passed over; a UTF-8 byte-order mark is dropped.
// Throws ItemError when an object is not closed before the end of the text.
[[nodiscard]] ObjectFileItems SplitObjectFile(std::string_view text, std::string_view component);

// The payloads one after another, each ended by a line break: a vCard, iCalendar and vNote
// file holds any number of objects.
[[nodiscard]] std::string JoinObjectFile(const std::vector<std::string>& payloads);

}  // namespace orvanta
