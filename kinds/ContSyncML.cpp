#include "kinds/ContSyncML.h"

#include <algorithm>
#include <array>

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
#include "kinds/KindTable.h"

namespace orvanta {

// How the value of a property reads.
enum class Reading : std::uint8_t {
    Plain,  // as it stands, without text escapes
    Text,   // text, with the escapes of a vCard 3.0 undone
    Lines,  // text whose line breaks become CR LF
    Date,   // the birthday
};

// A property line of a contact. Of the lines of its name, those are this property's
// whose parameters hold every word of Require and none of Exclude; the properties of
// one name share its lines out among them, and the first line of each is the one read
// and rewritten.
struct ContactProperty {
    std::string_view Name;
    std::array<std::string_view, 2> Require;
    std::array<std::string_view, 2> Exclude;
    std::string_view Params;  // the parameters of a line written anew
    bool QuotedPrintable;     // written quoted-printable UTF-8, else as UTF-8 as it stands
    Reading Read;
};

namespace {

using C = TSMLContact;
using P = ContactPage;

const ContactProperty kName{"N", {}, {}, "", true, Reading::Text};
const ContactProperty kHomeAddress{"ADR", {}, {"WORK"}, "", true, Reading::Text};
const ContactProperty kWorkAddress{"ADR", {"WORK"}, {}, "WORK", true, Reading::Text};
const ContactProperty kOrganisation{"ORG", {}, {}, "", true, Reading::Text};
const ContactProperty kJobTitle{"TITLE", {}, {}, "", true, Reading::Text};
const ContactProperty kNotes{"NOTE", {}, {}, "", true, Reading::Lines};
const ContactProperty kBusFax{"TEL", {"WORK", "FAX"}, {}, "WORK;FAX", false, Reading::Plain};
const ContactProperty kBusPhone{"TEL", {"WORK"}, {"FAX"}, "WORK", false, Reading::Plain};
const ContactProperty kMobile{"TEL", {"CELL"}, {"WORK"}, "CELL", false, Reading::Plain};
const ContactProperty kPhone{"TEL", {}, {"WORK", "CELL"}, "", false, Reading::Plain};
const ContactProperty kBusEMail{"EMAIL", {"WORK"}, {}, "WORK", false, Reading::Plain};
const ContactProperty kEMail{"EMAIL", {}, {"WORK"}, "", false, Reading::Plain};
const ContactProperty kBusWebPage{"URL", {"WORK"}, {}, "WORK", false, Reading::Plain};
const ContactProperty kWebPage{"URL", {}, {"WORK"}, "", false, Reading::Plain};
const ContactProperty kBirthday{"BDAY", {}, {}, "", false, Reading::Date};

const ContactProperty* const kProperties[] = {
    &kName,     &kHomeAddress, &kWorkAddress, &kOrganisation, &kJobTitle,
    &kNotes,    &kBusFax,      &kBusPhone,    &kMobile,       &kPhone,
    &kBusEMail, &kEMail,       &kBusWebPage,  &kWebPage,      &kBirthday,
};
constexpr std::size_t kPropertyCount = std::size(kProperties);

// The editor's captions, marked for the interface's translators under the context
// "ContactField" (its translation tool reads this file); the interface translates them
// when it shows them, and this layer stays without the toolkit.
#define ORVANTA_CAPTION(context, text) text

// Each page's fields in the editor's order, then the components the editor leaves alone.
const ContactField kFields[] = {
    {"FirstName", &C::FirstName, &kName, 1, P::Personal,
     ORVANTA_CAPTION("ContactField", "First name:"), "FNameEd"},
    {"LastName", &C::LastName, &kName, 0, P::Personal,
     ORVANTA_CAPTION("ContactField", "Last name:"), "LNameEd"},
    {"MiddleName", &C::MiddleName, &kName, 2, P::Personal,
     ORVANTA_CAPTION("ContactField", "Middle name:"), "MNameEd"},
    {"Mobile", &C::Mobile, &kMobile, 0, P::Personal, ORVANTA_CAPTION("ContactField", "Mobile:"),
     "MobileEd"},
    {"Phone", &C::Phone, &kPhone, 0, P::Personal, ORVANTA_CAPTION("ContactField", "Phone:"),
     "PhoneEd"},
    {"EMail", &C::EMail, &kEMail, 0, P::Personal, ORVANTA_CAPTION("ContactField", "E-mail:"),
     "EMailEd"},
    {"Address", &C::Address, &kHomeAddress, 2, P::Personal,
     ORVANTA_CAPTION("ContactField", "Address:"), "AddressEd"},
    {"City", &C::City, &kHomeAddress, 3, P::Personal, ORVANTA_CAPTION("ContactField", "City:"),
     "CityEd"},
    {"Region", &C::Region, &kHomeAddress, 4, P::Personal, ORVANTA_CAPTION("ContactField", "State:"),
     "StateEd"},
    {"PostalCode", &C::PostalCode, &kHomeAddress, 5, P::Personal,
     ORVANTA_CAPTION("ContactField", "Postal code:"), "PostalEd"},
    {"Country", &C::Country, &kHomeAddress, 6, P::Personal,
     ORVANTA_CAPTION("ContactField", "Country:"), "CountryEd"},
    {"WebPage", &C::WebPage, &kWebPage, 0, P::Personal,
     ORVANTA_CAPTION("ContactField", "Web page:"), "WebPageEd"},
    {"Birthday", nullptr, &kBirthday, 0, P::Personal, ORVANTA_CAPTION("ContactField", "Birthday:"),
     "BirthdayTP"},
    {"Company", &C::Company, &kOrganisation, 0, P::Business,
     ORVANTA_CAPTION("ContactField", "Company:"), "CompanyEd"},
    {"JobTitle", &C::JobTitle, &kJobTitle, 0, P::Business,
     ORVANTA_CAPTION("ContactField", "Job title:"), "JobTitleEd"},
    {"BusFax", &C::BusFax, &kBusFax, 0, P::Business,
     ORVANTA_CAPTION("ContactField", "Business fax:"), "BusFaxEd"},
    {"BusPhone", &C::BusPhone, &kBusPhone, 0, P::Business,
     ORVANTA_CAPTION("ContactField", "Business phone:"), "BusPhoneEd"},
    {"BusEMail", &C::BusEMail, &kBusEMail, 0, P::Business,
     ORVANTA_CAPTION("ContactField", "Business e-mail:"), "BusEMailEd"},
    {"BusWebPage", &C::BusWebPage, &kBusWebPage, 0, P::Business,
     ORVANTA_CAPTION("ContactField", "Business web page:"), "BusWebPageEd"},
    {"BusAddress", &C::BusAddress, &kWorkAddress, 2, P::Business,
     ORVANTA_CAPTION("ContactField", "Business address:"), "BusAddressEd"},
    {"BusCity", &C::BusCity, &kWorkAddress, 3, P::Business,
     ORVANTA_CAPTION("ContactField", "Business city:"), "BusCityEd"},
    {"BusRegion", &C::BusRegion, &kWorkAddress, 4, P::Business,
     ORVANTA_CAPTION("ContactField", "Business state:"), "BusStateEd"},
    {"BusPostalCode", &C::BusPostalCode, &kWorkAddress, 5, P::Business,
     ORVANTA_CAPTION("ContactField", "Business postal code:"), "BusPostalEd"},
    {"BusCountry", &C::BusCountry, &kWorkAddress, 6, P::Business,
     ORVANTA_CAPTION("ContactField", "Business country:"), "BusCountryEd"},
    {"Notes", &C::Notes, &kNotes, 0, P::Notes, ORVANTA_CAPTION("ContactField", "Notes"), "NotesMM"},
    {"NamePrefix", &C::NamePrefix, &kName, 3, P::None, nullptr, nullptr},
    {"NameSuffix", &C::NameSuffix, &kName, 4, P::None, nullptr, nullptr},
    {"POBox", &C::POBox, &kHomeAddress, 0, P::None, nullptr, nullptr},
    {"ExtAddress", &C::ExtAddress, &kHomeAddress, 1, P::None, nullptr, nullptr},
    {"BusPOBox", &C::BusPOBox, &kWorkAddress, 0, P::None, nullptr, nullptr},
    {"BusExtAddress", &C::BusExtAddress, &kWorkAddress, 1, P::None, nullptr, nullptr},
    {"Department", &C::Department, &kOrganisation, 1, P::None, nullptr, nullptr},
};

constexpr std::size_t kMaxComponents = 7;

std::size_t SlotOf(const ContactProperty& property) {
    return static_cast<std::size_t>(
        std::find(std::begin(kProperties), std::end(kProperties), &property) -
        std::begin(kProperties));
}

// How many components each property's value has, made once from the field list; a
// property read whole has one.
const std::array<std::size_t, kPropertyCount>& ComponentCounts() {
    static const auto table = [] {
        std::array<std::size_t, kPropertyCount> t{};
        for (const ContactField& f : kFields) {
            std::size_t& count = t[SlotOf(*f.Property)];
            count = std::max(count, static_cast<std::size_t>(f.Component) + 1);
        }
        return t;
    }();
    return table;
}

const ContactField& FieldOf(ContactText text) {
    const auto f = std::find_if(std::begin(kFields), std::end(kFields),
                                [text](const ContactField& f) { return f.Text == text; });
    if (!text || f == std::end(kFields)) throw ItemError("This is not a field of a contact.");
    return *f;
}

// The next piece of `text` up to `separator` (outside double quotes), taken off `text`.
std::string_view NextPiece(std::string_view& text, char separator) {
    bool quoted = false;
    std::size_t end = 0;
    for (; end < text.size() && (quoted || text[end] != separator); ++end)
        if (text[end] == '"') quoted = !quoted;
    const std::string_view piece = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    return piece;
}

// Whether a line's parameters (";HOME;VOICE") give the line the type `word` (upper case):
// a bare parameter (vCard 2.1: TEL;WORK) or a value of a TYPE parameter (vCard 3.0:
// TYPE=WORK,VOICE or type=work;type=voice), each a whole word in any case. The values of
// other parameters (a label, a character set) are no types.
bool Holds(std::string_view params, std::string_view word) {
    if (word.empty()) return false;
    while (!params.empty()) {
        std::string_view param = NextPiece(params, ';');
        const std::size_t eq = param.find('=');
        if (eq == std::string_view::npos) {
            if (EqualsUpper(param, word)) return true;
            continue;
        }
        if (!EqualsUpper(param.substr(0, eq), "TYPE")) continue;
        // The values: runs of text between commas and double quotes (TYPE="work,voice").
        param.remove_prefix(eq + 1);
        while (!param.empty()) {
            const std::size_t end = std::min(param.find_first_of(",\""), param.size());
            if (EqualsUpper(param.substr(0, end), word)) return true;
            param.remove_prefix(std::min(end + 1, param.size()));
        }
    }
    return false;
}

// The property a line belongs to (its slot), or kPropertyCount for none. The name is
// matched once per line; parameters only for the properties of that name.
std::size_t PropertyOfLine(std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return kPropertyCount;
    const std::string_view head = line.substr(0, colon);
    const std::size_t nameEnd = std::min(head.find(';'), head.size());
    const std::string_view name = head.substr(0, nameEnd);
    const std::string_view params = head.substr(nameEnd);
    for (std::size_t slot = 0; slot < kPropertyCount; ++slot) {
        const ContactProperty& p = *kProperties[slot];
        if (!EqualsUpper(name, p.Name)) continue;
        const bool selected =
            std::all_of(p.Require.begin(), p.Require.end(),
                        [&](std::string_view w) { return w.empty() || Holds(params, w); }) &&
            std::none_of(p.Exclude.begin(), p.Exclude.end(),
                         [&](std::string_view w) { return Holds(params, w); });
        if (selected) return slot;
    }
    return kPropertyCount;
}

// The parameters of a line that still describe a new value: all but its encoding and
// character set, which the writer sets anew. Each comes with its leading ";".
std::string KeptParams(std::string_view line) {
    const std::string_view head = line.substr(0, line.find(':'));
    std::string kept;
    std::size_t start = head.find(';');
    while (start != std::string_view::npos) {
        const std::size_t end = head.find(';', start + 1);
        const std::string_view param =
            head.substr(start + 1, end == head.npos ? head.npos : end - start - 1);
        const std::string upper = AsciiUpper(param);
        const bool encoding = upper.starts_with("ENCODING=") || upper.starts_with("CHARSET=") ||
                              upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" ||
                              upper == "7BIT";
        if (!param.empty() && !encoding) {
            kept += ';';
            kept += param;
        }
        start = end;
    }
    return kept;
}

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

}  // namespace

std::span<const ContactField> ContactFields() {
    return kFields;
}

TSMLContact::TSMLContact(TSMLContacts* owner) : owner_(owner) {
    Lines = {"BEGIN:VCARD", "VERSION:2.1",
             "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:", "END:VCARD"};
    StartLine = 1;
}

void TSMLContact::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    birthday_ = 0;
    UnfoldLines(Lines);
    escaped_ = UsesTextEscapes(Lines);
    if (const auto line = LineOf(kBirthday))
        birthday_ = ParseDateText(ToUTF8(GetPropertyValue(Lines[*line])));
    State = ItemState::Unchanged;
}

std::optional<std::size_t> TSMLContact::LineOf(const ContactProperty& property) const {
    // The card's own lines: not those of a card nested in it (a vCard 2.1 AGENT), whose
    // name and numbers are another person's.
    const std::size_t slot = SlotOf(property);
    const std::int32_t line =
        WalkOwnLines(Lines, FindComponent(Lines, "VCARD"), [&](std::string_view l) {
            return PropertyNameIs(l, property.Name) && PropertyOfLine(l) == slot;
        });
    if (line < 0) return std::nullopt;
    return static_cast<std::size_t>(line);
}

void TSMLContact::ReadInto(const ContactProperty& property,
                           std::span<WideString* const> into) const {
    if (const auto line = LineOf(property))
        ReadPropertyValues(Lines[*line], escaped_ && property.Read != Reading::Plain, into);
}

WideString TSMLContact::Read(ContactText field) const {
    const ContactField& f = FieldOf(field);
    const ContactProperty& p = *f.Property;
    WideString value;
    if (ComponentCounts()[SlotOf(p)] == 1) {
        const auto line = LineOf(p);
        if (!line) return value;
        value = GetPropertyValue(Lines[*line], -1, escaped_ && p.Read != Reading::Plain);
        return p.Read == Reading::Lines ? WithCRLF(value) : value;
    }
    std::array<WideString*, kMaxComponents> into{};
    const auto k = static_cast<std::size_t>(f.Component);
    into.at(k) = &value;
    ReadInto(p, std::span(into).first(k + 1));
    return value;
}

std::string TSMLContact::PairingKey() const {
    return ToUTF8(LastName()) + '\n' + ToUTF8(FirstName()) + '\n' + ToUTF8(MiddleName());
}

WideString TSMLContact::GetTitle() const {
    WideString last, first;
    WideString* const into[] = {&last, &first};
    ReadInto(kName, into);
    return TrimBlanks(first + u" " + last);
}

void TSMLContact::Set(ContactText field, const WideString& value) {
    const ContactField& f = FieldOf(field);
    const ContactProperty& p = *f.Property;
    const std::size_t count = ComponentCounts()[SlotOf(p)];
    if (count == 1) {
        if (Read(field) != value) Write(p, value);
        return;
    }
    // A structured line is written anew from its other components as they read now.
    std::array<WideString, kMaxComponents> parts{};
    std::array<WideString*, kMaxComponents> into{};
    for (std::size_t k = 0; k < count; ++k)
        into[k] = &parts[k];
    ReadInto(p, std::span(into).first(count));
    WideString& part = parts.at(static_cast<std::size_t>(f.Component));
    if (part == value) return;
    part = value;
    WideString text;
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) text += u';';
        text += EscapeComponent(parts[k]);
    }
    Write(p, text);
}

void TSMLContact::SetBirthday(TDateTime v) {
    if (v == birthday_) return;
    birthday_ = v;
    // A cleared birthday is an empty value: a date such as 18991230 would be stored
    // by the server as a real birthday.
    Write(kBirthday, v != 0 ? FromUTF8(DateToText(v)) : WideString());
}

void TSMLContact::Write(const ContactProperty& property, const WideString& text) {
    const auto found = LineOf(property);
    std::string line(property.Name);
    if (found) {
        line += KeptParams(Lines[*found]);
    } else if (!property.Params.empty()) {
        line += ';';
        line += property.Params;
    }
    if (property.QuotedPrintable) {
        line += ";ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:";
        line += EncodeQP(ToUTF8(text));
    } else {
        line += ':';
        line += ToUTF8(text);
    }
    if (found) {
        Lines.Replace(*found, line);
    } else {
        const auto insertAt = std::clamp<std::ptrdiff_t>(std::ptrdiff_t{StartLine} + 1, 0,
                                                         static_cast<std::ptrdiff_t>(Lines.size()));
        Lines.Insert(static_cast<std::size_t>(insertAt), line);
    }
    MarkModified();
}

void TSMLContact::Delete() {
    const auto& items = owner_->Items;
    const auto it = std::find_if(items.begin(), items.end(),
                                 [this](const auto& item) { return item.get() == this; });
    if (it != items.end()) owner_->DeleteItem(static_cast<std::size_t>(it - items.begin()));
}

// What a server should send of a contact: the properties of the field table with the
// TYPE words that share their lines out, and the words an unmarked line of a home
// telephone, e-mail address, address or web page carries. FN is declared as the name
// shown, which servers derive from N.
std::vector<PropertyCapability> ContactCapabilities() {
    std::vector<PropertyCapability> caps = {
        {"BEGIN", {}}, {"END", {}}, {"VERSION", {}}, {"FN", {}}};
    for (const ContactProperty* property : kProperties) {
        auto cap = std::find_if(caps.begin(), caps.end(),
                                [&](const auto& c) { return c.Name == property->Name; });
        if (cap == caps.end()) cap = caps.insert(caps.end(), {std::string(property->Name), {}});
        for (const auto& words : {property->Require, property->Exclude}) {
            for (const std::string_view word : words) {
                if (!word.empty() &&
                    std::find(cap->Types.begin(), cap->Types.end(), word) == cap->Types.end())
                    cap->Types.emplace_back(word);
            }
        }
    }
    const std::pair<std::string_view, std::string_view> unmarked[] = {
        {"TEL", "HOME"},       {"TEL", "VOICE"}, {"EMAIL", "HOME"},
        {"EMAIL", "INTERNET"}, {"ADR", "HOME"},  {"URL", "HOME"}};
    for (const auto& [name, word] : unmarked) {
        for (auto& cap : caps) {
            if (cap.Name == name) cap.Types.emplace_back(word);
        }
    }
    return caps;
}

TSMLContacts::TSMLContacts() : TSMLStore(KindNamed("card").Defaults) {}

}  // namespace orvanta
