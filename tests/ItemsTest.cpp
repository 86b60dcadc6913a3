#include <gtest/gtest.h>

#include "formats/Failure.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

// What the four kinds do alike, each with its own payloads.
class ItemKinds : public ::testing::Test {
protected:
    TSMLCalendar cal;
    TSMLContacts cont;
    TSMLTasks tasks;
    TSMLNotes notes;
};

// A new item is its kind's template, which reads back as itself whatever was read before.
TEST_F(ItemKinds, NewItemsCarryTheirTemplates) {
    const struct {
        TSMLBase* store;
        std::string text;
        int startLine;
    } cases[] = {
        {&cal,
         Joined({"BEGIN:VCALENDAR", "VERSION:2.0", "CALSCALE:GREGORIAN", "BEGIN:VEVENT",
                 "END:VEVENT", "END:VCALENDAR"}),
         3},
        {&cont,
         Joined({"BEGIN:VCARD", "VERSION:2.1",
                 "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:", "END:VCARD"}),
         1},
        {&tasks, VTodo({}), 2},
        {&notes, Joined({"BEGIN:vText", "VERSION:1.1", "END:vText"}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TSMLItem& item = *c.store->NewItem();
        EXPECT_EQ(item.GetText(), c.text);
        EXPECT_EQ(item.StartLine, c.startLine);
        EXPECT_EQ(item.State, ItemState::New);
        EXPECT_FALSE(item.ID.empty());
        item.SetTitle(u"Titel");
        item.Parse(c.text);
        EXPECT_EQ(item.StartLine, c.startLine);
        EXPECT_EQ(item.GetTitle(), u"");
        EXPECT_EQ(item.GetText(), c.text);
    }
    // Declared 2.0, the server converts stored tasks (priority 2 came back as 5, the
    // alarm as a VALARM).
    EXPECT_EQ(tasks.ContentVersion, "1.0");
}

// The title each kind reads from a payload; set to the same text, nothing is written.
TEST_F(ItemKinds, TitlesAsPayloadsCarryThem) {
    const struct {
        TSMLBase* store;
        std::string payload;
        WideString title;
    } cases[] = {
        {&cal, "BEGIN:VCALENDAR\r\nSUMMARY:outside the VEVENT\r\nEND:VCALENDAR\r\n", u""},
        {&cal, VEvent({"SUMMARY:Team", " meeting", "BEGIN:VALARM", "SUMMARY:x", "END:VALARM"}),
         u"Teammeeting"},
        // Escapes belong to iCalendar 2.0 text, never to a quoted-printable value.
        {&cal, VEvent({"SUMMARY:a\\, b\\nc"}), u"a, b\nc"},
        {&cal, VEvent({"SUMMARY:a\\, b"}, "1.0"), u"a\\, b"},
        {&cal, VEvent({"SUMMARY;ENCODING=QUOTED-PRINTABLE:a\\,b=3B"}), u"a\\,b;"},
        {&tasks,
         VTodo({"SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Steuer=", "erkl=C3=A4rung"}),
         u"Steuererkl\u00E4rung"},
        {&cont, VCard({"N:Family;Given;Q;Dr.;Jr."}), u"Given Family"},
        {&cont, VCard({"N:Family"}), u"Family"},
        // A note reads every line, whatever component holds it; the last title counts.
        {&notes, "BEGIN:VNOTE\r\nSUMMARY:first\r\nBEGIN:X\r\nSUMMARY:second\r\n", u"second"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.payload);
        const auto item = c.store->CreateItem();
        item->Parse(c.payload);
        EXPECT_EQ(item->GetTitle(), c.title);
        const std::string read = item->GetText();
        item->SetTitle(c.title);
        EXPECT_EQ(item->State, ItemState::Unchanged);
        EXPECT_EQ(item->GetText(), read);
    }
}

// A value that cannot be read ends the parse with the reason, in any kind.
TEST_F(ItemKinds, BadValuesEndTheParse) {
    const std::pair<TSMLBase*, std::string> cases[] = {
        {&cal, VEvent({"DTSTART:2024XX15T080000Z"})},
        {&cal, VEvent({"BEGIN:VALARM", "TRIGGER;VALUE=DATE-TIME:20241301T000000Z"})},
        {&tasks, VTodo({"PRIORITY:high"})},
        {&tasks, VTodo({"DUE:20261312"})},
        {&cont, VCard({"BDAY:1970-13-01"})},
    };
    for (const auto& [store, payload] : cases)
        EXPECT_THROW(store->CreateItem()->Parse(payload), ConversionError) << payload;
}

}  // namespace
}  // namespace orvanta
