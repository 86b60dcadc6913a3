#include "kinds/ContSyncML.h"

#include <algorithm>
#include <array>
#include <vector>

#include "formats/ItemKinds.h"

namespace orvanta {

// How one property is written: the selection of the line to replace, the parameters
// written, the writer, and the fields that make its value (one, or the components of
// a structured value in order).
struct TSMLContact::PropertyWriter {
    const char* Name;
    ParamList Params;
    bool QuotedPrintable;
    std::vector<Field> Components;
    const char* Exclude = "";  // lines whose parameters hold this are another field's
};

namespace {

using C = TSMLContact;

const C::PropertyWriter kName{
    "N", {}, true, {&C::LastName, &C::FirstName, &C::MiddleName, &C::NamePrefix, &C::NameSuffix}};
const C::PropertyWriter kHomeAddress{
    "ADR",
    {""},
    true,
    {&C::POBox, &C::ExtAddress, &C::Address, &C::City, &C::Region, &C::PostalCode, &C::Country}};
const C::PropertyWriter kWorkAddress{"ADR",
                                     {"WORK"},
                                     true,
                                     {&C::BusPOBox, &C::BusExtAddress, &C::BusAddress, &C::BusCity,
                                      &C::BusRegion, &C::BusPostalCode, &C::BusCountry}};
const C::PropertyWriter kOrganisation{"ORG", {}, true, {&C::Company, &C::Department}};
const C::PropertyWriter kJobTitle{"TITLE", {}, true, {&C::JobTitle}};
const C::PropertyWriter kNotes{"NOTE", {}, true, {&C::Notes}};
const C::PropertyWriter kMobile{"TEL", {"CELL"}, false, {&C::Mobile}, "WORK"};
const C::PropertyWriter kPhone{"TEL", {""}, false, {&C::Phone}};
const C::PropertyWriter kBusPhone{"TEL", {"WORK"}, false, {&C::BusPhone}, "FAX"};
const C::PropertyWriter kBusFax{"TEL", {"WORK", "FAX"}, false, {&C::BusFax}};
const C::PropertyWriter kEMail{"EMAIL", {""}, false, {&C::EMail}};
const C::PropertyWriter kBusEMail{"EMAIL", {"WORK"}, false, {&C::BusEMail}};
const C::PropertyWriter kWebPage{"URL", {""}, false, {&C::WebPage}};
const C::PropertyWriter kBusWebPage{"URL", {"WORK"}, false, {&C::BusWebPage}};

// A component of a structured value: a ";" or "\" inside it is escaped, so it does not
// cut the value or swallow the separator after it.
WideString EscapeComponent(const WideString& text) {
    WideString out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        if (c == u';' || c == u'\\') out += u'\\';
        out += c;
    }
    return out;
}

bool Has(std::string_view params, std::string_view word) {
    return params.find(word) != std::string_view::npos;
}

}  // namespace

TSMLContact::TSMLContact(TSMLContacts* owner) : Owner(owner) {
    Lines = {"BEGIN:VCARD", "VERSION:2.1",
             "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:", "END:VCARD"};
    StartLine = 1;
}

void TSMLContact::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    for (const PropertyWriter* w :
         {&kName, &kHomeAddress, &kWorkAddress, &kOrganisation, &kJobTitle, &kNotes, &kMobile,
          &kPhone, &kBusPhone, &kBusFax, &kEMail, &kBusEMail, &kWebPage, &kBusWebPage}) {
        for (const Field f : w->Components)
            (this->*f).clear();
    }
    Birthday = 0;
    UnfoldLines(Lines);
    const bool escaped = UsesTextEscapes(Lines);

    const auto readAll = [&](const PropertyWriter& w, const std::string& line) {
        for (std::size_t k = 0; k < w.Components.size(); ++k) {
            this->*w.Components[k] = GetPropertyValue(line, static_cast<int>(k), escaped);
        }
    };
    // Backwards, so that the first occurrence of a property wins.
    for (std::size_t i = Lines.size(); i-- > 0;) {
        const std::string& line = Lines[i];
        const std::string name = GetPropertyName(line);
        if (name.empty()) continue;
        const std::string params = GetPropertyParamText(line);
        const bool work = Has(params, "WORK");
        if (name == "N") {
            readAll(kName, line);
        } else if (name == "TEL") {
            Field f = work ? (Has(params, "FAX") ? &C::BusFax : &C::BusPhone)
                           : (Has(params, "CELL") ? &C::Mobile : &C::Phone);
            this->*f = GetPropertyValue(line);
        } else if (name == "EMAIL") {
            (work ? BusEMail : EMail) = GetPropertyValue(line);
        } else if (name == "ADR") {
            readAll(work ? kWorkAddress : kHomeAddress, line);
        } else if (name == "URL") {
            (work ? BusWebPage : WebPage) = GetPropertyValue(line);
        } else if (name == "ORG") {
            readAll(kOrganisation, line);
        } else if (name == "TITLE") {
            JobTitle = GetPropertyValue(line, -1, escaped);
        } else if (name == "BDAY") {
            Birthday = ParseDateText(ToUTF8(GetPropertyValue(line)));
        } else if (name == "NOTE") {
            Notes = WithCRLF(GetPropertyValue(line, -1, escaped));
        }
    }
    State = ItemState::Unchanged;
}

WideString TSMLContact::GetTitle() const {
    return TrimBlanks(FirstName + u" " + LastName);
}

void TSMLContact::Write(const PropertyWriter& w, Field field, const WideString& value) {
    if (this->*field == value) return;
    this->*field = value;
    WideString text;
    if (w.Components.size() == 1) {
        text = value;
    } else {
        for (std::size_t k = 0; k < w.Components.size(); ++k) {
            if (k > 0) text += u';';
            text += EscapeComponent(this->*w.Components[k]);
        }
    }
    if (w.QuotedPrintable) {
        SetPropertyQP(w.Name, w.Params, text, {}, w.Exclude);
    } else {
        SetProperty(w.Name, w.Params, text, {}, w.Exclude);
    }
}

void TSMLContact::SetFirstName(const WideString& v) {
    Write(kName, &C::FirstName, v);
}
void TSMLContact::SetLastName(const WideString& v) {
    Write(kName, &C::LastName, v);
}
void TSMLContact::SetMiddleName(const WideString& v) {
    Write(kName, &C::MiddleName, v);
}
void TSMLContact::SetMobile(const WideString& v) {
    Write(kMobile, &C::Mobile, v);
}
void TSMLContact::SetPhone(const WideString& v) {
    Write(kPhone, &C::Phone, v);
}
void TSMLContact::SetEMail(const WideString& v) {
    Write(kEMail, &C::EMail, v);
}
void TSMLContact::SetAddress(const WideString& v) {
    Write(kHomeAddress, &C::Address, v);
}
void TSMLContact::SetCity(const WideString& v) {
    Write(kHomeAddress, &C::City, v);
}
void TSMLContact::SetRegion(const WideString& v) {
    Write(kHomeAddress, &C::Region, v);
}
void TSMLContact::SetPostalCode(const WideString& v) {
    Write(kHomeAddress, &C::PostalCode, v);
}
void TSMLContact::SetCountry(const WideString& v) {
    Write(kHomeAddress, &C::Country, v);
}
void TSMLContact::SetWebPage(const WideString& v) {
    Write(kWebPage, &C::WebPage, v);
}
void TSMLContact::SetCompany(const WideString& v) {
    Write(kOrganisation, &C::Company, v);
}
void TSMLContact::SetJobTitle(const WideString& v) {
    Write(kJobTitle, &C::JobTitle, v);
}
void TSMLContact::SetBusFax(const WideString& v) {
    Write(kBusFax, &C::BusFax, v);
}
void TSMLContact::SetBusPhone(const WideString& v) {
    Write(kBusPhone, &C::BusPhone, v);
}
void TSMLContact::SetBusEMail(const WideString& v) {
    Write(kBusEMail, &C::BusEMail, v);
}
void TSMLContact::SetBusWebPage(const WideString& v) {
    Write(kBusWebPage, &C::BusWebPage, v);
}
void TSMLContact::SetBusAddress(const WideString& v) {
    Write(kWorkAddress, &C::BusAddress, v);
}
void TSMLContact::SetBusCity(const WideString& v) {
    Write(kWorkAddress, &C::BusCity, v);
}
void TSMLContact::SetBusRegion(const WideString& v) {
    Write(kWorkAddress, &C::BusRegion, v);
}
void TSMLContact::SetBusPostalCode(const WideString& v) {
    Write(kWorkAddress, &C::BusPostalCode, v);
}
void TSMLContact::SetBusCountry(const WideString& v) {
    Write(kWorkAddress, &C::BusCountry, v);
}
void TSMLContact::SetNotes(const WideString& v) {
    Write(kNotes, &C::Notes, v);
}

void TSMLContact::SetBirthday(TDateTime v) {
    if (v == Birthday) return;
    Birthday = v;
    // A cleared birthday is an empty value: a date such as 18991230 would be stored
    // by the server as a real birthday.
    SetProperty("BDAY", {}, v != 0 ? FromUTF8(DateToText(v)) : WideString());
}

void TSMLContact::Delete() {
    const auto& items = Owner->Items;
    const auto it = std::find_if(items.begin(), items.end(),
                                 [this](const auto& item) { return item.get() == this; });
    if (it != items.end()) Owner->DeleteItem(static_cast<std::size_t>(it - items.begin()));
}

TSMLContacts::TSMLContacts() : TSMLStore({"card", "contdb", "text/x-vcard", "2.1", "ContSyncML"}) {}

}  // namespace orvanta
