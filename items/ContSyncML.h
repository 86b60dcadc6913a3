#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLContacts;

// One contact: a vCard 2.1 text.
class TSMLContact : public TSMLItem {
public:
    explicit TSMLContact(TSMLContacts* owner);

    TSMLContacts* Owner;
    WideString LastName;
    WideString FirstName;

    void Parse(std::string_view text) override;
    // First name, a blank and last name, trimmed.
    [[nodiscard]] WideString GetTitle() const override;
    // A contact's title is made of its names; it is not set as a whole.
    void SetTitle(const WideString&) override {}
};

class TSMLContacts final : public TSMLStore<TSMLContacts, TSMLContact> {
public:
    TSMLContacts();
};

}  // namespace orvanta
