#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "formats/SyncMLItem.h"

namespace orvanta {

// Helpers the four item kinds share.

// The block a BEGIN or END line opens or closes (`keyword` "BEGIN" or "END"): its name
// as the line writes it, without the blanks around it; empty for any other line. Names
// hold no matter the letter case (RFC 5545 3.1), so "begin:vevent " opens a VEVENT.
[[nodiscard]] std::string_view BlockName(std::string_view line, std::string_view keyword);
// Whether the line opens or closes a block of that name (upper case): the one rule by
// which the items and the files cut into items tell their blocks.
[[nodiscard]] bool IsBlockLine(std::string_view line, std::string_view keyword,
                               std::string_view upperName);

// Whether line `at` of the lines (any index) opens a block of that name (upper case).
[[nodiscard]] bool OpensBlock(const ItemLines& lines, std::int32_t at, std::string_view upperName);

// The own lines of the block that line `open` opens (-1: the payload's top level), handed
// to `take(line)` in order until it returns true: the lines after `open` up to the END
// that closes the block, without the blocks nested in it (an event's VALARM, the vCard of
// a contact's AGENT) and without BEGIN and END lines. Returns the line `take` stopped at,
// or -1. What an item reads and what its setters rewrite are found by this one walk.
template <class Take>
std::int32_t WalkOwnLines(const ItemLines& lines, std::int32_t open, Take take) {
    std::size_t depth = 0;
    for (auto i = static_cast<std::size_t>(std::max(open, std::int32_t{-1}) + 1); i < lines.size();
         ++i) {
        const std::string_view line = lines[i];
        // Most lines are told from BEGIN and END by their first letter, in either case.
        const char first = line.empty() ? '\0' : static_cast<char>(line.front() & ~0x20);
        if (first == 'B' && !BlockName(line, "BEGIN").empty()) {
            ++depth;
        } else if (first == 'E' && !BlockName(line, "END").empty()) {
            if (depth-- == 0) break;
        } else if (depth == 0 && take(line)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

// Index of the line that opens the item's own `component` (upper case), or -1: the first
// one at the top level or directly inside a VCALENDAR, never one nested in another
// block (a VEVENT inside a VTIMEZONE is not the item).
[[nodiscard]] std::int32_t FindComponent(const ItemLines& lines, std::string_view component);

// Whether the payload's text values carry backslash escapes: iCalendar 2.0 and vCard 3.0
// (VERSION 2.0 or 3.0); vCalendar 1.0, vCard 2.1 and vNote write text as it stands.
[[nodiscard]] bool UsesTextEscapes(const ItemLines& lines);

// Every line break (CR LF, lone LF, lone CR) made CR LF.
[[nodiscard]] WideString WithCRLF(const WideString& text);

// The text of the item's first own line of the property, the line its setters rewrite
// (FindProperty's), decoded as GetPropertyValue decodes it; empty without one. Items keep
// no copies of their texts: each is read from its line when asked for.
[[nodiscard]] WideString ReadText(const TSMLItem& item, std::string_view name, bool textEscapes);

// Writes the property quoted-printable with the value, unless it reads as `current` and
// that is the value already.
void WriteText(TSMLItem& item, std::string_view name, const WideString& current,
               const WideString& value);

// Removes blanks and control characters (codes below 33) from both ends.
[[nodiscard]] WideString TrimBlanks(const WideString& text);

}  // namespace orvanta
