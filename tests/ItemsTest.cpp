#include <gtest/gtest.h>

#include <memory>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

TEST(ItemKinds, NewItemsCarryTheirTemplates) {
    TSMLCalendar cal;
    TSMLContacts cont;
    TSMLTasks tasks;
    TSMLNotes notes;
    const struct {
        TSMLItem* item;
        std::string text;
        int startLine;
    } cases[] = {
        {cal.NewItem(),
         "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nCALSCALE:GREGORIAN\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         3},
        {cont.NewItem(),
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:\r\nEND:"
         "VCARD\r\n",
         1},
        {tasks.NewItem(),
         "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VTODO\r\nEND:VTODO\r\nEND:VCALENDAR\r\n", 2},
        {notes.NewItem(), "BEGIN:vText\r\nVERSION:1.1\r\nEND:vText\r\n", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.item->GetText(), c.text);
        EXPECT_EQ(c.item->StartLine, c.startLine);
        EXPECT_EQ(c.item->State, ItemState::New);
        EXPECT_FALSE(c.item->ID.empty());
        EXPECT_EQ(c.item->GetTitle(), u"");
        // The template reads back as itself: the same block, no title, whatever was read
        // before.
        c.item->SetTitle(u"Titel");
        c.item->Parse(c.text);
        EXPECT_EQ(c.item->StartLine, c.startLine);
        EXPECT_EQ(c.item->GetTitle(), u"");
        EXPECT_EQ(c.item->GetText(), c.text);
    }
    // The tasks store declares the version its payloads carry; declared 2.0, the server
    // converts stored tasks (priority 2 came back as 5, the alarm as a VALARM).
    EXPECT_EQ(tasks.ContentVersion, "1.0");
}

TEST(ItemKinds, EventWithoutVEVENTReadsNothing) {
    TSMLEvent event(nullptr);
    event.Parse("BEGIN:VCALENDAR\r\nSUMMARY:outside\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(event.GetTitle(), u"");
    EXPECT_EQ(event.StartLine, 0);
    // A plain value ending in "=" is not a soft line break.
    event.Parse("BEGIN:VEVENT\r\nSUMMARY:a=\r\nb\r\nEND:VEVENT\r\n");
    EXPECT_EQ(event.GetTitle(), u"a=");
}

TEST(ItemKinds, NoteReadsWhateverItsComponent) {
    TSMLNote note(nullptr);
    note.Parse("BEGIN:vText\r\nVERSION:1.1\r\nSUMMARY:first\r\nSUMMARY:second\r\nEND:vText\r\n");
    EXPECT_EQ(note.GetTitle(), u"second");
    EXPECT_EQ(note.StartLine, 0);
}

}  // namespace
}  // namespace orvanta
