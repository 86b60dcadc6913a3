#pragma once

#include <string_view>
#include <vector>

#include "formats/SyncMLItem.h"

namespace orvanta {

// Helpers the four item kinds share.

// Index of the first "BEGIN:<component>" line (exact, case-sensitive value), or -1.
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
