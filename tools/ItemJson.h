#pragma once

#include <string>
#include <string_view>

#include "formats/DateTime.h"

namespace orvanta {

struct DataKind;
class TSMLItem;

// The text as a JSON string, quotes included.
[[nodiscard]] std::string JsonQuoted(std::string_view utf8);
// A local moment as a JSON string, ISO 8601 with the UTC offset in force at that moment;
// 0 is null.
[[nodiscard]] std::string JsonMoment(TDateTime local);

// An item as one JSON object with every field of its kind, as the editors see them:
// {"id":ID,"title":...,FIELD:VALUE...}. Date-times are local ISO 8601 with the UTC offset
// in force at that moment, dates "YYYY-MM-DD", a missing date or time null.
[[nodiscard]] std::string ItemJson(const DataKind& kind, const TSMLItem& item, std::string_view id);

}  // namespace orvanta
