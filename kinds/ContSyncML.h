#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLContacts;
class TSMLContact;
struct ContactProperty;

// Where the contact editor shows a field: on one of its pages, or not at all.
enum class ContactPage : std::uint8_t { None, Personal, Business, Notes };

// The reader of a contact's text field, e.g. &TSMLContact::FirstName.
using ContactText = WideString (TSMLContact::*)() const;

// One field of a contact: its reader, the property line and component it is read from
// and written to, and its place in the editor. ContactFields() lists them all; the
// readers, the setters and the editor go by that list.
struct ContactField {
    const char* Name;                 // the field's name, as the fields list shows it
    ContactText Text;                 // its reader; null for the birthday, a date
    const ContactProperty* Property;  // its line
    int Component;                    // its component of a structured value
    ContactPage Page;
    const char* Label;    // the editor's caption, in English (the interface translates it)
    const char* Control;  // the object name of the editor's control
};

// Every contact field, in the editor's order within each page.
[[nodiscard]] std::span<const ContactField> ContactFields();

// What a server should send of a contact: the properties of the field table with the
// TYPE words that share their lines out, declared in the device information.
[[nodiscard]] std::vector<PropertyCapability> ContactCapabilities();

// One contact: a vCard 2.1 text with 31 text fields and a birthday. The text fields are
// read from the lines when asked for (the first of the card's own lines of each field's
// property, never one of a card nested in it); only the birthday, checked when the text
// is read, is held apart.
class TSMLContact : public TSMLItem {
public:
    explicit TSMLContact(TSMLContacts* owner);

    [[nodiscard]] TSMLContacts* Owner() const { return owner_; }
    // A date; 0 none. Read with the text and changed only by SetBirthday.
    [[nodiscard]] TDateTime Birthday() const { return birthday_; }

    [[nodiscard]] WideString FirstName() const { return Read(&TSMLContact::FirstName); }
    [[nodiscard]] WideString LastName() const { return Read(&TSMLContact::LastName); }
    [[nodiscard]] WideString MiddleName() const { return Read(&TSMLContact::MiddleName); }
    [[nodiscard]] WideString NamePrefix() const { return Read(&TSMLContact::NamePrefix); }
    [[nodiscard]] WideString NameSuffix() const { return Read(&TSMLContact::NameSuffix); }
    [[nodiscard]] WideString Mobile() const { return Read(&TSMLContact::Mobile); }
    [[nodiscard]] WideString Phone() const { return Read(&TSMLContact::Phone); }
    [[nodiscard]] WideString EMail() const { return Read(&TSMLContact::EMail); }
    [[nodiscard]] WideString POBox() const { return Read(&TSMLContact::POBox); }
    [[nodiscard]] WideString ExtAddress() const { return Read(&TSMLContact::ExtAddress); }
    [[nodiscard]] WideString Address() const { return Read(&TSMLContact::Address); }
    [[nodiscard]] WideString City() const { return Read(&TSMLContact::City); }
    [[nodiscard]] WideString Region() const { return Read(&TSMLContact::Region); }
    [[nodiscard]] WideString Country() const { return Read(&TSMLContact::Country); }
    [[nodiscard]] WideString PostalCode() const { return Read(&TSMLContact::PostalCode); }
    [[nodiscard]] WideString BusPOBox() const { return Read(&TSMLContact::BusPOBox); }
    [[nodiscard]] WideString BusExtAddress() const { return Read(&TSMLContact::BusExtAddress); }
    [[nodiscard]] WideString BusAddress() const { return Read(&TSMLContact::BusAddress); }
    [[nodiscard]] WideString BusCountry() const { return Read(&TSMLContact::BusCountry); }
    [[nodiscard]] WideString Company() const { return Read(&TSMLContact::Company); }
    [[nodiscard]] WideString Department() const { return Read(&TSMLContact::Department); }
    [[nodiscard]] WideString BusCity() const { return Read(&TSMLContact::BusCity); }
    [[nodiscard]] WideString BusFax() const { return Read(&TSMLContact::BusFax); }
    [[nodiscard]] WideString BusRegion() const { return Read(&TSMLContact::BusRegion); }
    [[nodiscard]] WideString JobTitle() const { return Read(&TSMLContact::JobTitle); }
    [[nodiscard]] WideString BusPhone() const { return Read(&TSMLContact::BusPhone); }
    [[nodiscard]] WideString BusPostalCode() const { return Read(&TSMLContact::BusPostalCode); }
    [[nodiscard]] WideString BusEMail() const { return Read(&TSMLContact::BusEMail); }
    [[nodiscard]] WideString BusWebPage() const { return Read(&TSMLContact::BusWebPage); }
    [[nodiscard]] WideString WebPage() const { return Read(&TSMLContact::WebPage); }
    // Line breaks CR LF.
    [[nodiscard]] WideString Notes() const { return Read(&TSMLContact::Notes); }

    // Reads the lines and the birthday; a birthday that is not a date fails.
    void Parse(std::string_view text) override;
    // First name, a blank and last name, trimmed.
    [[nodiscard]] WideString GetTitle() const override;
    // A contact's title is made of its names; it is not set as a whole.
    void SetTitle(const WideString&) override {}
    // The last, first and middle names (the server fills in a formatted name of its own).
    [[nodiscard]] std::string PairingKey() const override;

    // Sets a text field of ContactFields() and rewrites the line it was read from,
    // keeping that line's parameters; a line is added only when there was none.
    void Set(ContactText field, const WideString& value);

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
    // The field's text from the first line of its property; empty without one.
    [[nodiscard]] WideString Read(ContactText field) const;
    // The index of the property's first line, or nullopt.
    [[nodiscard]] std::optional<std::size_t> LineOf(const ContactProperty& property) const;
    // The components of the property's first line into the texts given, as
    // ReadPropertyValues reads them; nothing without a line.
    void ReadInto(const ContactProperty& property, std::span<WideString* const> into) const;
    // Writes the property's line with the value given.
    void Write(const ContactProperty& property, const WideString& text);

    TSMLContacts* owner_;
    TDateTime birthday_ = 0;
    bool escaped_ = false;  // the text values carry the escapes of a vCard 3.0
};

class TSMLContacts final : public TSMLStore<TSMLContacts, TSMLContact> {
public:
    TSMLContacts();
};

}  // namespace orvanta
