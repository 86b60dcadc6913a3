#pragma once

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

// Index of the line that opens the item's own `component` (upper case), or -1: the first
// one at the top level or directly inside a VCALENDAR, never one nested in another
// block (a VEVENT inside a VTIMEZONE is not the item).
[[nodiscard]] std::int32_t FindComponent(const ItemLines& lines, std::string_view component);

// Whether the payload's text values carry backslash escapes: iCalendar 2.0 and vCard 3.0
// (VERSION 2.0 or 3.0); vCalendar 1.0, vCard 2.1 and vNote write text as it stands.
[[nodiscard]] bool UsesTextEscapes(const ItemLines& lines);

// Every line break (CR LF, lone LF, lone CR) made CR LF.
[[nodiscard]] WideString WithCRLF(const WideString& text);

// Stores value in field and writes the property quoted-printable, unless it is unchanged.
void WriteText(TSMLItem& item, std::string_view name, WideString& field, const WideString& value);

// Removes blanks and control characters (codes below 33) from both ends.
[[nodiscard]] WideString TrimBlanks(const WideString& text);

}  // namespace orvanta
