#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLContacts;

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

    void Parse(std::string_view text) override;
    // First name, a blank and last name, trimmed.
    [[nodiscard]] WideString GetTitle() const override;
    // A contact's title is made of its names; it is not set as a whole.
    void SetTitle(const WideString&) override {}

    void SetFirstName(const WideString& v);
    void SetLastName(const WideString& v);
    void SetMiddleName(const WideString& v);
    void SetMobile(const WideString& v);
    void SetPhone(const WideString& v);
    void SetEMail(const WideString& v);
    void SetAddress(const WideString& v);
    void SetCity(const WideString& v);
    void SetRegion(const WideString& v);
    void SetPostalCode(const WideString& v);
    void SetCountry(const WideString& v);
    void SetWebPage(const WideString& v);
    void SetBirthday(TDateTime v);
    void SetCompany(const WideString& v);
    void SetJobTitle(const WideString& v);
    void SetBusFax(const WideString& v);
    void SetBusPhone(const WideString& v);
    void SetBusEMail(const WideString& v);
    void SetBusWebPage(const WideString& v);
    void SetBusAddress(const WideString& v);
    void SetBusCity(const WideString& v);
    void SetBusRegion(const WideString& v);
    void SetBusPostalCode(const WideString& v);
    void SetBusCountry(const WideString& v);
    void SetNotes(const WideString& v);

    // Removes the contact through its owner: a new one is destroyed (with it this
    // object), any other is marked deleted.
    void Delete();

    using Field = WideString TSMLContact::*;
    struct PropertyWriter;

private:
    void Write(const PropertyWriter& writer, Field field, const WideString& value);
};

class TSMLContacts final : public TSMLStore<TSMLContacts, TSMLContact> {
public:
    TSMLContacts();
};

}  // namespace orvanta
