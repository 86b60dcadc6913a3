#pragma once

#include <cstdint>
#include <span>

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLContacts;
class TSMLContact;
struct ContactProperty;

// Where the contact editor shows a field: on one of its pages, or not at all.
enum class ContactPage : std::uint8_t { None, Personal, Business, Notes };

// One field of a contact: the member that holds it, the property line and component it
// is read from and written to, and its place in the editor. ContactFields() lists them
// all; the reader, the setters and the editor go by that list.
struct ContactField {
    const char* Name;                 // the field's name, as the fields list shows it
    WideString TSMLContact::*Text;    // the member; null for the birthday, a date
    const ContactProperty* Property;  // its line
    int Component;                    // its component of a structured value
    ContactPage Page;
    const char* Label;    // the editor's caption
    const char* Control;  // the object name of the editor's control
};

// Every contact field, in the editor's order within each page.
[[nodiscard]] std::span<const ContactField> ContactFields();

// One contact: a vCard 2.1 text read into 31 text fields and a birthday.
class TSMLContact : public TSMLItem {
public:
    explicit TSMLContact(TSMLContacts* owner);

    TSMLContacts* Owner;
    WideString FirstName, LastName, MiddleName, NamePrefix, NameSuffix;
    WideString Mobile, Phone, EMail;
    WideString POBox, ExtAddress, Address, City, Region, Country, PostalCode;
    WideString BusPOBox, BusExtAddress, BusAddress, BusCountry;
    WideString Company, Department;
    WideString BusCity, BusFax, BusRegion, JobTitle, BusPhone, BusPostalCode, BusEMail;
    WideString BusWebPage, WebPage;
    WideString Notes;        // line breaks CR LF
    TDateTime Birthday = 0;  // a date; 0 none

    // Reads each field from the first line that carries it.
    void Parse(std::string_view text) override;
    // First name, a blank and last name, trimmed.
    [[nodiscard]] WideString GetTitle() const override;
    // A contact's title is made of its names; it is not set as a whole.
    void SetTitle(const WideString&) override {}

    // Sets a text field of ContactFields() and rewrites the line it was read from,
    // keeping that line's parameters; a line is added only when there was none.
    void Set(WideString TSMLContact::*field, const WideString& value);

    void SetFirstName(const WideString& v) { Set(&TSMLContact::FirstName, v); }
    void SetLastName(const WideString& v) { Set(&TSMLContact::LastName, v); }
    void SetMiddleName(const WideString& v) { Set(&TSMLContact::MiddleName, v); }
    void SetMobile(const WideString& v) { Set(&TSMLContact::Mobile, v); }
    void SetPhone(const WideString& v) { Set(&TSMLContact::Phone, v); }
    void SetEMail(const WideString& v) { Set(&TSMLContact::EMail, v); }
    void SetAddress(const WideString& v) { Set(&TSMLContact::Address, v); }
    void SetCity(const WideString& v) { Set(&TSMLContact::City, v); }
    void SetRegion(const WideString& v) { Set(&TSMLContact::Region, v); }
    void SetPostalCode(const WideString& v) { Set(&TSMLContact::PostalCode, v); }
    void SetCountry(const WideString& v) { Set(&TSMLContact::Country, v); }
    void SetWebPage(const WideString& v) { Set(&TSMLContact::WebPage, v); }
    void SetCompany(const WideString& v) { Set(&TSMLContact::Company, v); }
    void SetJobTitle(const WideString& v) { Set(&TSMLContact::JobTitle, v); }
    void SetBusFax(const WideString& v) { Set(&TSMLContact::BusFax, v); }
    void SetBusPhone(const WideString& v) { Set(&TSMLContact::BusPhone, v); }
    void SetBusEMail(const WideString& v) { Set(&TSMLContact::BusEMail, v); }
    void SetBusWebPage(const WideString& v) { Set(&TSMLContact::BusWebPage, v); }
    void SetBusAddress(const WideString& v) { Set(&TSMLContact::BusAddress, v); }
    void SetBusCity(const WideString& v) { Set(&TSMLContact::BusCity, v); }
    void SetBusRegion(const WideString& v) { Set(&TSMLContact::BusRegion, v); }
    void SetBusPostalCode(const WideString& v) { Set(&TSMLContact::BusPostalCode, v); }
    void SetBusCountry(const WideString& v) { Set(&TSMLContact::BusCountry, v); }
    void SetNotes(const WideString& v) { Set(&TSMLContact::Notes, v); }
    // A cleared birthday (0) is written as an empty value.
    void SetBirthday(TDateTime v);

    // Removes the contact through its owner: a new one is destroyed (with it this
    // object), any other is marked deleted.
    void Delete();

private:
    // Writes the property from the fields (or the text) it carries.
    void Write(const ContactProperty& property, const WideString& text);
    [[nodiscard]] WideString ValueOf(const ContactProperty& property) const;
};

class TSMLContacts final : public TSMLStore<TSMLContacts, TSMLContact> {
public:
    TSMLContacts();
};

}  // namespace orvanta
