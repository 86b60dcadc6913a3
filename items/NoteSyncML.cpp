#include "items/NoteSyncML.h"

#include "items/ItemKinds.h"

namespace orvanta {

TSMLNote::TSMLNote(TSMLNotes* owner) : Owner(owner) {
    Lines = {"BEGIN:vText", "VERSION:1.1", "END:vText"};
    StartLine = 0;
}

void TSMLNote::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    Title.clear();
    UnfoldLines(Lines);
    // Notes read every line whatever component it stands in; StartLine stays.
    ReadTitle(*this, "SUMMARY", Title, 0, /*skipNested=*/false);
    State = ItemState::Unchanged;
}

void TSMLNote::SetTitle(const WideString& value) {
    WriteTitle(*this, "SUMMARY", Title, value);
}

TSMLNotes::TSMLNotes() : TSMLStore({"vnote", "notedb", "text/x-vnote", "1.1", "NoteSyncML"}) {}

}  // namespace orvanta
