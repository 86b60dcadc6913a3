#include "items/CalSyncML.h"

#include "items/ItemKinds.h"

namespace orvanta {

TSMLEvent::TSMLEvent(TSMLCalendar* owner) : Owner(owner) {
    Lines = {"BEGIN:VCALENDAR", "CALSCALE:GREGORIAN", "BEGIN:VEVENT", "END:VEVENT",
             "END:VCALENDAR"};
    StartLine = 2;
}

void TSMLEvent::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    Summary.clear();
    UnfoldLines(Lines, /*softBreaks=*/false);
    StartLine = 0;
    if (const std::int32_t component = FindComponent(Lines, "VEVENT"); component >= 0) {
        StartLine = component;
        ReadTitle(*this, "SUMMARY", Summary, component);
    }
    State = ItemState::Unchanged;
}

void TSMLEvent::SetTitle(const WideString& value) {
    WriteTitle(*this, "SUMMARY", Summary, value);
}

TSMLCalendar::TSMLCalendar()
    : TSMLStore({"cal", "caldb", "text/x-vcalendar", "2.0", "CalSyncML"}) {}

}  // namespace orvanta
