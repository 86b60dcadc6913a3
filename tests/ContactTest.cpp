#include <gtest/gtest.h>

#include <algorithm>

#include "engine/Errors.h"
#include "kinds/ContSyncML.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

class Contact : public ::testing::Test {
protected:
    TSMLContacts client;
    TSMLContact& contact = *client.NewItem();
};

// Each field is read from the first line of its property; the properties of one name
// share its lines out by their parameters.
TEST_F(Contact, FieldsAreReadFromTheirLines) {
    using C = TSMLContact;
    const struct {
        Lines body;
        std::vector<std::pair<WideString C::*, const char16_t*>> fields;
        const char* version = "2.1";
    } cases[] = {
        {{"N:Family;Given;Q;Dr.;Jr."},
         {{&C::LastName, u"Family"},
          {&C::FirstName, u"Given"},
          {&C::MiddleName, u"Q"},
          {&C::NamePrefix, u"Dr."},
          {&C::NameSuffix, u"Jr."}}},
        {{"TEL;WORK;FAX:1"}, {{&C::BusFax, u"1"}}},
        {{"TEL;WORK;VOICE:1"}, {{&C::BusPhone, u"1"}}},
        {{"TEL;CELL:1"}, {{&C::Mobile, u"1"}}},
        {{"TEL;WORK;CELL:1"}, {{&C::BusPhone, u"1"}}},
        {{"TEL;HOME;FAX:1"}, {{&C::Phone, u"1"}}},
        {{"TEL;VOICE:1"}, {{&C::Phone, u"1"}}},
        {{"TEL;type=work:1"}, {{&C::Phone, u"1"}}},
        {{"EMAIL;INTERNET:1"}, {{&C::EMail, u"1"}}},
        {{"EMAIL;WORK:1"}, {{&C::BusEMail, u"1"}}},
        {{"EMAIL:first@example.org", "EMAIL;INTERNET:second@example.org"},
         {{&C::EMail, u"first@example.org"}}},
        {{"URL:1"}, {{&C::WebPage, u"1"}}},
        {{"URL;WORK:1"}, {{&C::BusWebPage, u"1"}}},
        {{"TITLE:1"}, {{&C::JobTitle, u"1"}}},
        {{"ADR;HOME:;;1;;;;"}, {{&C::Address, u"1"}}},
        {{"ADR;WORK:;;1;;;;"}, {{&C::BusAddress, u"1"}}},
        {{"ADR:;;1 WORK Lane;;;;"}, {{&C::Address, u"1 WORK Lane"}}},
        {{"ADR;WORK;ENCODING=QUOTED-PRINTABLE:Box;Ext;Stra=C3=9Fe 1;City;Reg;12345;Land"},
         {{&C::BusPOBox, u"Box"},
          {&C::BusExtAddress, u"Ext"},
          {&C::BusAddress, u"Stra\u00DFe 1"},
          {&C::BusCity, u"City"},
          {&C::BusRegion, u"Reg"},
          {&C::BusPostalCode, u"12345"},
          {&C::BusCountry, u"Land"}}},
        {{"ORG:1;Dept"}, {{&C::Company, u"1"}, {&C::Department, u"Dept"}}},
        {{"NOTE:1"}, {{&C::Notes, u"1"}}},
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:eins=0D=0A=", "zwei=0A=", "drei"},
         {{&C::Notes, u"eins\r\nzwei\r\ndrei"}}},
        // vCard 3.0 text is escaped; phone numbers and the like are not text.
        {{"ORG:Example\\, Inc.;Sales\\; Support"},
         {{&C::Company, u"Example, Inc."}, {&C::Department, u"Sales; Support"}},
         "3.0"},
        {{"NOTE:a\\nb\\\\c"}, {{&C::Notes, u"a\r\nb\\c"}}, "3.0"},
        {{"TITLE:Boss\\, big"}, {{&C::JobTitle, u"Boss, big"}}, "3.0"},
        {{"URL:http://a.example/x\\,y"}, {{&C::WebPage, u"http://a.example/x\\,y"}}, "3.0"},
    };
    for (const auto& c : cases) {
        contact.Parse(VCard(c.body, c.version));
        for (const auto& [field, value] : c.fields)
            EXPECT_EQ(contact.*field, value) << c.body.front();
    }
}

TEST_F(Contact, TitleIsFirstAndLastName) {
    contact.Parse(VCard({"N:Family;Given;Q;Dr.;Jr."}));
    EXPECT_EQ(contact.GetTitle(), u"Given Family");
    contact.Parse(VCard({"N:Family"}));
    EXPECT_EQ(contact.GetTitle(), u"Family");
}

TEST_F(Contact, Birthdays) {
    for (const char* line : {"BDAY:1970-01-31", "BDAY:19700131"}) {
        contact.Parse(VCard({line}));
        EXPECT_EQ(contact.Birthday, EncodeDate(1970, 1, 31)) << line;
    }
    EXPECT_THROW(contact.Parse(VCard({"BDAY:1970-13-01"})), ConversionError);
    contact.Parse(VCard({"BDAY;VALUE=DATE:1970-01-31"}));
    contact.SetBirthday(EncodeDate(1980, 4, 12));
    EXPECT_EQ(contact.Lines[2], "BDAY;VALUE=DATE:19800412");
    // A cleared birthday is an empty value, which reads back as none.
    contact.SetBirthday(0);
    EXPECT_EQ(contact.Lines[2], "BDAY;VALUE=DATE:");
    contact.Parse(contact.GetText());
    EXPECT_EQ(contact.Birthday, 0);
}

// A setter and a field as plain functions: the sanitizer build of gcc 12 misreads
// pointers to members kept in a table at run time.
template <void (TSMLContact::*Set)(const WideString&)>
void Call(TSMLContact& contact, const WideString& value) {
    (contact.*Set)(value);
}
template <WideString TSMLContact::*Field>
WideString Read(const TSMLContact& contact) {
    return contact.*Field;
}

// An edit rewrites the line its field was read from, keeping the parameters that still
// describe the value (encoding and character set are the writer's), and adds a line only
// when there was none.
TEST_F(Contact, EditsRewriteTheLineTheFieldCameFrom) {
    using C = TSMLContact;
    const struct {
        Lines before;
        void (*set)(C&, const WideString&);  // the named setter of the field
        WideString (*field)(const C&);
        WideString value;
        Lines after;
    } cases[] = {
        {{"N:Family;Given;;;", "X-KEEP:yes"},
         Call<&C::SetFirstName>,
         Read<&C::FirstName>,
         u"J\u00FCrgen",
         {"N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Family;J=C3=BCrgen;;;", "X-KEEP:yes"}},
        {{"N:Family;Given;;;"},
         Call<&C::SetLastName>,
         Read<&C::LastName>,
         u"a\\",
         {"N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a\\\\;Given;;;"}},
        {{"N:Family;Given;;;"},
         Call<&C::SetBusFax>,
         Read<&C::BusFax>,
         u"+1 555 0100",
         {"TEL;WORK;FAX:+1 555 0100", "N:Family;Given;;;"}},
        {{"TEL;WORK;FAX:fax", "TEL;WORK:old"},
         Call<&C::SetBusPhone>,
         Read<&C::BusPhone>,
         u"new",
         {"TEL;WORK;FAX:fax", "TEL;WORK:new"}},
        {{"TEL;WORK;FAX:fax"},
         Call<&C::SetBusPhone>,
         Read<&C::BusPhone>,
         u"new",
         {"TEL;WORK:new", "TEL;WORK;FAX:fax"}},
        {{"TEL;WORK;CELL:work", "TEL;CELL:mine"},
         Call<&C::SetMobile>,
         Read<&C::Mobile>,
         u"changed",
         {"TEL;WORK;CELL:work", "TEL;CELL:changed"}},
        {{"TEL;HOME;VOICE:+49 30 1"},
         Call<&C::SetPhone>,
         Read<&C::Phone>,
         u"+49 30 2",
         {"TEL;HOME;VOICE:+49 30 2"}},
        {{"TEL;HOME:1", "TEL:2"},
         Call<&C::SetPhone>,
         Read<&C::Phone>,
         u"3",
         {"TEL;HOME:3", "TEL:2"}},
        {{"TEL;TYPE=WORK,VOICE:1"},
         Call<&C::SetBusPhone>,
         Read<&C::BusPhone>,
         u"2",
         {"TEL;TYPE=WORK,VOICE:2"}},
        {{"EMAIL;INTERNET;PREF:a@example.org"},
         Call<&C::SetEMail>,
         Read<&C::EMail>,
         u"b@example.org",
         {"EMAIL;INTERNET;PREF:b@example.org"}},
        {{"EMAIL;WORK;ENCODING=QUOTED-PRINTABLE:a=40example.org"},
         Call<&C::SetBusEMail>,
         Read<&C::BusEMail>,
         u"b@example.org",
         {"EMAIL;WORK:b@example.org"}},
        {{"URL;HOME:http://a.example"},
         Call<&C::SetWebPage>,
         Read<&C::WebPage>,
         u"http://b.example",
         {"URL;HOME:http://b.example"}},
        {{"ADR;HOME;CHARSET=ISO-8859-1:;;Stra\xDF"
          "e 1;M\xFCnchen;;80331;"},
         Call<&C::SetPostalCode>,
         Read<&C::PostalCode>,
         u"80333",
         {"ADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Stra=C3=9Fe=201;M=C3=BCnchen;;"
          "80333;"}},
        {{"ADR:;;Elm Road;Leeds;;LS1;UK"},
         Call<&C::SetAddress>,
         Read<&C::Address>,
         u"Flat 2; Block B",
         {"ADR;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Flat=202\\;=20Block=20B;Leeds;;LS1;UK"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.front());
        contact.Parse(VCard(c.before));
        c.set(contact, c.value);
        EXPECT_EQ(contact.State, ItemState::Modified);
        EXPECT_EQ(contact.GetText(), VCard(c.after));
        contact.Parse(contact.GetText());
        EXPECT_EQ(c.field(contact), c.value);
    }
    // An unchanged value writes nothing.
    contact.Parse(VCard({"N:Family;Given;;;"}));
    contact.SetFirstName(u"Given");
    EXPECT_EQ(contact.State, ItemState::Unchanged);
    EXPECT_EQ(contact.GetText(), VCard({"N:Family;Given;;;"}));
}

// A server sends a client only the properties and TYPE words its device information
// declares: a line the contact writes and later reads must be declared, or the server
// keeps it back from the next load.
TEST_F(Contact, EveryLineItWritesIsDeclared) {
    const auto declared = [&](const std::string& line) {
        for (const PropertyCapability& cap : client.Capabilities) {
            if (cap.Name != GetPropertyName(line)) continue;
            const std::string params = GetPropertyParamText(line);
            for (std::size_t start = 0; start < params.size();) {
                const std::size_t end = std::min(params.find(';', start), params.size());
                const std::string word = params.substr(start, end - start);
                if (word.find('=') == std::string::npos &&
                    std::find(cap.Types.begin(), cap.Types.end(), word) == cap.Types.end())
                    return false;
                start = end + 1;
            }
            return true;
        }
        return false;
    };
    for (const ContactField& field : ContactFields()) {
        if (field.Text) contact.Set(field.Text, u"x\u00e9");
    }
    contact.SetBirthday(EncodeDate(1980, 4, 12));
    for (const std::string& line : contact.Lines)
        EXPECT_TRUE(declared(line)) << line;
    for (const char* line : {"TEL;HOME;VOICE:1", "EMAIL;INTERNET:a@b", "FN:A B"})
        EXPECT_TRUE(declared(line)) << line;
    for (const char* line : {"NICKNAME:x", "TEL;PAGER:1", "PHOTO;ENCODING=b:AA"})
        EXPECT_FALSE(declared(line)) << line;
}

// A new contact is gone at once, a loaded one is marked deleted.
TEST_F(Contact, DeleteGoesThroughTheOwner) {
    contact.Parse(VCard({"N:A;B;;;"}));
    client.NewItem()->Delete();
    ASSERT_EQ(client.Count(), 1u);
    EXPECT_EQ(client.Item(0), &contact);
    contact.Delete();
    ASSERT_EQ(client.Count(), 1u);
    EXPECT_EQ(contact.State, ItemState::Deleted);
}

}  // namespace
}  // namespace orvanta
