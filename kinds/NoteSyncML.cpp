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
    UnfoldLines(Lines);
    // The note's own block: a VNOTE, or the vText this program writes; without either,
    // the payload's top level, whose lines are then the note's.
    StartLine = FindComponent(Lines, "VNOTE");
    if (StartLine < 0) StartLine = FindComponent(Lines, "VTEXT");
    State = ItemState::Unchanged;
}

// A vNote writes its text as it stands, without escapes.
WideString TSMLNote::Title() const {
    return ReadText(*this, "SUMMARY", false);
}

WideString TSMLNote::Body() const {
    return WithCRLF(ReadText(*this, "BODY", false));
}

std::string TSMLNote::PairingKey() const {
    return ToUTF8(Title()) + '\n' + ToUTF8(Body());
}

void TSMLNote::SetTitle(const WideString& value) {
    WriteText(*this, "SUMMARY", Title(), value);
}

void TSMLNote::SetBody(const WideString& value) {
    if (value == Body()) return;
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
