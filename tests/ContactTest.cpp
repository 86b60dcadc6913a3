#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>

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

// The text fields that hold a value, as "Name=value|..." in the order of ContactFields().
std::string Filled(const TSMLContact& c) {
    std::string out;
    for (const ContactField& f : ContactFields()) {
        if (!f.Text || (c.*f.Text)().empty()) continue;
        out += (out.empty() ? "" : "|") + std::string(f.Name) + "=" + ToUTF8((c.*f.Text)());
    }
    return out;
}

// Each field is read from the first line of its property, and no other field is; the
// properties of one name share its lines out by their parameters.
TEST_F(Contact, FieldsAreReadFromTheirLines) {
    const struct {
        Lines body;
        const char* filled;
        const char* version = "2.1";
    } cases[] = {
        {{"N:Family;Given;Q;Dr.;Jr."},
         "FirstName=Given|LastName=Family|MiddleName=Q|NamePrefix=Dr.|NameSuffix=Jr."},
        {{"TEL;WORK;FAX:1"}, "BusFax=1"},
        {{"TEL;WORK;VOICE:1"}, "BusPhone=1"},
        {{"TEL;CELL:1"}, "Mobile=1"},
        {{"TEL;WORK;CELL:1"}, "BusPhone=1"},
        {{"TEL;HOME;FAX:1"}, "Phone=1"},
        {{"TEL;type=work:1"}, "Phone=1"},
        {{"EMAIL;INTERNET:1"}, "EMail=1"},
        {{"EMAIL;WORK:1"}, "BusEMail=1"},
        {{"EMAIL:first@example.org", "EMAIL;INTERNET:second@example.org"},
         "EMail=first@example.org"},
        {{"URL:1"}, "WebPage=1"},
        {{"URL;WORK:1"}, "BusWebPage=1"},
        {{"TITLE:1"}, "JobTitle=1"},
        {{"ADR;HOME:;;1;;;;"}, "Address=1"},
        {{"ADR;WORK:;;1;;;;"}, "BusAddress=1"},
        {{"ADR:;;1 WORK Lane;;;;"}, "Address=1 WORK Lane"},
        {{"ADR;WORK;ENCODING=QUOTED-PRINTABLE:Box;Ext;Stra=C3=9Fe 1;City;Reg;12345;Land"},
         "BusAddress=Stra\xC3\x9F"
         "e 1|BusCity=City|BusRegion=Reg|BusPostalCode=12345|BusCountry=Land|BusPOBox=Box|"
         "BusExtAddress=Ext"},
        {{"ORG:1;Dept"}, "Company=1|Department=Dept"},
        {{"NOTE;ENCODING=QUOTED-PRINTABLE:eins=0D=0A=", "zwei=0A=", "drei"},
         "Notes=eins\r\nzwei\r\ndrei"},
        // vCard 3.0 text is escaped; phone numbers and the like are not text.
        {{"ORG:Example\\, Inc.;Sales\\; Support"},
         "Company=Example, Inc.|Department=Sales; Support",
         "3.0"},
        {{"NOTE:a\\nb\\\\c"}, "Notes=a\r\nb\\c", "3.0"},
        {{"TITLE:Boss\\, big"}, "JobTitle=Boss, big", "3.0"},
        {{"URL:http://a.example/x\\,y"}, "WebPage=http://a.example/x\\,y", "3.0"},
    };
    for (const auto& c : cases) {
        contact.Parse(VCard(c.body, c.version));
        EXPECT_EQ(Filled(contact), c.filled) << c.body.front();
    }
}

TEST_F(Contact, Birthdays) {
    for (const char* line : {"BDAY:1970-01-31", "BDAY:19700131"}) {
        contact.Parse(VCard({line}));
        EXPECT_EQ(contact.Birthday, EncodeDate(1970, 1, 31)) << line;
    }
    contact.Parse(VCard({"BDAY;VALUE=DATE:1970-01-31"}));
    contact.SetBirthday(EncodeDate(1980, 4, 12));
    EXPECT_EQ(contact.Lines[2], "BDAY;VALUE=DATE:19800412");
    // A cleared birthday is an empty value, which reads back as none.
    contact.SetBirthday(0);
    EXPECT_EQ(contact.Lines[2], "BDAY;VALUE=DATE:");
    contact.Parse(contact.GetText());
    EXPECT_EQ(contact.Birthday, 0);
}

// A named setter as a plain function: the sanitizer build of gcc 12 misreads pointers
// to member functions kept in a table at run time.
template <void (TSMLContact::*Set)(const WideString&)>
void Call(TSMLContact& contact, const WideString& value) {
    (contact.*Set)(value);
}

// An edit rewrites the line its field was read from, keeping the parameters that still
// describe the value (encoding and character set are the writer's), and adds a line only
// when there was none. The payload reads back to the fields as edited.
TEST_F(Contact, EditsRewriteTheLineTheFieldCameFrom) {
    using C = TSMLContact;
    // The lines before, the named setter of a field, its new value, the lines after.
    const std::tuple<Lines, void (*)(C&, const WideString&), WideString, Lines> cases[] = {
        {{"N:Family;Given;;;", "X-KEEP:yes"},
         Call<&C::SetFirstName>,
         u"J\u00FCrgen",
         {"N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Family;J=C3=BCrgen;;;", "X-KEEP:yes"}},
        {{"N:Family;Given;;;"},
         Call<&C::SetLastName>,
         u"a\\",
         {"N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a\\\\;Given;;;"}},
        {{"N:A;B;;;"}, Call<&C::SetBusFax>, u"+1 555", {"TEL;WORK;FAX:+1 555", "N:A;B;;;"}},
        {{"TEL;WORK;FAX:f", "TEL;WORK:1"},
         Call<&C::SetBusPhone>,
         u"2",
         {"TEL;WORK;FAX:f", "TEL;WORK:2"}},
        {{"TEL;WORK;FAX:f"}, Call<&C::SetBusPhone>, u"2", {"TEL;WORK:2", "TEL;WORK;FAX:f"}},
        {{"TEL;WORK;CELL:w", "TEL;CELL:1"},
         Call<&C::SetMobile>,
         u"2",
         {"TEL;WORK;CELL:w", "TEL;CELL:2"}},
        {{"TEL;HOME:1", "TEL:2"}, Call<&C::SetPhone>, u"3", {"TEL;HOME:3", "TEL:2"}},
        {{"TEL;TYPE=WORK,VOICE:1"}, Call<&C::SetBusPhone>, u"2", {"TEL;TYPE=WORK,VOICE:2"}},
        {{"EMAIL;INTERNET;PREF:a@x"}, Call<&C::SetEMail>, u"b@x", {"EMAIL;INTERNET;PREF:b@x"}},
        {{"EMAIL;WORK;ENCODING=QUOTED-PRINTABLE:a=40x"},
         Call<&C::SetBusEMail>,
         u"b@x",
         {"EMAIL;WORK:b@x"}},
        {{"ADR;HOME;CHARSET=ISO-8859-1:;;Stra\xDF"
          "e 1;M\xFCnchen;;80331;"},
         Call<&C::SetPostalCode>,
         u"80333",
         {"ADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Stra=C3=9Fe=201;M=C3=BCnchen;;"
          "80333;"}},
        {{"ADR:;;Elm Road;Leeds;;LS1;UK"},
         Call<&C::SetAddress>,
         u"Flat 2; Block B",
         {"ADR;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Flat=202\\;=20Block=20B;Leeds;;LS1;UK"}},
    };
    for (const auto& [before, set, value, after] : cases) {
        SCOPED_TRACE(before.front());
        contact.Parse(VCard(before));
        set(contact, value);
        EXPECT_EQ(contact.State, ItemState::Modified);
        EXPECT_EQ(contact.GetText(), VCard(after));
        const std::string edited = Filled(contact);
        EXPECT_NE(edited.find(ToUTF8(value)), std::string::npos);
        contact.Parse(contact.GetText());
        EXPECT_EQ(Filled(contact), edited);
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
    const auto declared = [&](std::string_view line) {
        const auto& caps = client.Capabilities;
        const auto cap = std::find_if(caps.begin(), caps.end(), [&](const auto& c) {
            return c.Name == GetPropertyName(line);
        });
        if (cap == caps.end()) return false;
        const std::string params = GetPropertyParamText(line);
        for (const auto part : std::views::split(params, ';')) {
            const std::string word(part.begin(), part.end());
            if (word.find('=') == std::string::npos &&
                std::find(cap->Types.begin(), cap->Types.end(), word) == cap->Types.end())
                return false;
        }
        return true;
    };
    for (const ContactField& field : ContactFields()) {
        if (field.Text) contact.Set(field.Text, u"x\u00e9");
    }
    contact.SetBirthday(EncodeDate(1980, 4, 12));
    for (const std::string_view line : contact.Lines)
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
