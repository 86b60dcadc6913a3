#include "kinds/NoteSyncML.h"

#include "formats/ItemKinds.h"
#include "kinds/KindTable.h"

namespace orvanta {

TSMLNote::TSMLNote(TSMLNotes* owner) : owner_(owner) {
    Lines = {"BEGIN:vText", "VERSION:1.1", "END:vText"};
    StartLine = 0;
}

void TSMLNote::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    title_.clear();
    body_.clear();
    UnfoldLines(Lines);
    // Every line counts, whatever component it stands in; StartLine stays.
    for (const std::string_view line : Lines) {
        const std::string name = GetPropertyName(line);
        if (name == "SUMMARY") {
            title_ = GetPropertyValue(line);
        } else if (name == "BODY") {
            body_ = WithCRLF(GetPropertyValue(line));
        }
    }
    State = ItemState::Unchanged;
}

void TSMLNote::SetTitle(const WideString& value) {
    WriteText(*this, "SUMMARY", title_, value);
}

void TSMLNote::SetBody(const WideString& value) {
    if (value == body_) return;
    body_ = value;
    // Written with LF line breaks, each of which becomes "=0A".
    WideString text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == u'\r') {
            if (i + 1 < value.size() && value[i + 1] == u'\n') ++i;
            text += u'\n';
        } else {
            text += value[i];
        }
    }
    SetPropertyQP("BODY", {}, text);
}

TSMLNotes::TSMLNotes() : TSMLStore(KindNamed("vnote").Defaults) {}

}  // namespace orvanta
