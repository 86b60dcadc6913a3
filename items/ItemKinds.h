#pragma once

#include <string_view>
#include <vector>

#include "items/SyncMLItem.h"

namespace orvanta {

// Helpers the four item kinds share.

// Index of the first "BEGIN:<component>" line (exact, case-sensitive value), or -1.
[[nodiscard]] std::int32_t FindComponent(const std::vector<std::string>& lines,
                                         std::string_view component);

// Reads the whole value of the last line named `name` from line `from` on into field.
// With skipNested, lines of blocks nested in the component (a VALARM) are passed over.
void ReadTitle(const TSMLItem& item, std::string_view name, WideString& field, std::int32_t from,
               bool skipNested = true);

// Stores value in field and writes it quoted-printable, unless it is unchanged.
void WriteTitle(TSMLItem& item, std::string_view name, WideString& field, const WideString& value);

// Removes blanks and control characters (codes below 33) from both ends.
[[nodiscard]] WideString TrimBlanks(const WideString& text);

}  // namespace orvanta
