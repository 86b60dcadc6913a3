#include "items/ContSyncML.h"

#include "items/ItemKinds.h"

namespace orvanta {

TSMLContact::TSMLContact(TSMLContacts* owner) : Owner(owner) {
    Lines = {"BEGIN:VCARD", "VERSION:2.1",
             "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:", "END:VCARD"};
    StartLine = 1;
}

void TSMLContact::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    LastName.clear();
    FirstName.clear();
    UnfoldLines(Lines);
    // Read backwards so that the first occurrence of a property wins.
    for (std::size_t i = Lines.size(); i-- > 0;) {
        if (GetPropertyName(Lines[i]) == "N") {
            LastName = GetPropertyValue(Lines[i], 0);
            FirstName = GetPropertyValue(Lines[i], 1);
        }
    }
    State = ItemState::Unchanged;
}

WideString TSMLContact::GetTitle() const {
    return TrimBlanks(FirstName + u" " + LastName);
}

TSMLContacts::TSMLContacts() : TSMLStore({"card", "contdb", "text/x-vcard", "2.1", "ContSyncML"}) {}

}  // namespace orvanta
