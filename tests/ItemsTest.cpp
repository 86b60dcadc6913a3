#include <gtest/gtest.h>

#include "formats/Failure.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "formats/TimeZoneRule.h"
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
    const std::tuple<TSMLBase*, std::string, int> cases[] = {
        {&cal,
         "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nCALSCALE:GREGORIAN\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\n"
         "END:VCALENDAR\r\n",
         3},
        {&cont, VCard({"N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:"}), 1},
        {&tasks, VTodo({}), 2},
        {&notes, "BEGIN:vText\r\nVERSION:1.1\r\nEND:vText\r\n", 0},
    };
    for (const auto& [store, text, startLine] : cases) {
        SCOPED_TRACE(text);
        TSMLItem& item = *store->NewItem();
        EXPECT_EQ(item.GetText(), text);
        EXPECT_EQ(item.StartLine, startLine);
        EXPECT_EQ(item.State, ItemState::New);
        EXPECT_FALSE(item.ID.empty());
        item.SetTitle(u"Titel");
        item.Parse(text);
        EXPECT_EQ(item.StartLine, startLine);
        EXPECT_EQ(item.GetTitle(), u"");
        EXPECT_EQ(item.GetText(), text);
    }
    // Declared 2.0, the server converts stored tasks (priority 2 came back as 5, the
    // alarm as a VALARM).
    EXPECT_EQ(tasks.ContentVersion, "1.0");
}

// The title each kind reads from a payload; set to the same text, nothing is written.
TEST_F(ItemKinds, TitlesAsPayloadsCarryThem) {
    const std::tuple<TSMLBase*, std::string, WideString> cases[] = {
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
    for (const auto& [store, payload, title] : cases) {
        SCOPED_TRACE(payload);
        const auto item = store->CreateItem();
        item->Parse(payload);
        EXPECT_EQ(item->GetTitle(), title);
        const std::string read = item->GetText();
        item->SetTitle(title);
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

class Task : public ::testing::Test {
protected:
    ScopedTimeZone zone{kCentralEurope};
    TSMLTask task{nullptr};
};

TEST_F(Task, Fields) {
    task.Parse(
        VTodo({"DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab", "DUE:20261212T160000Z",
               "AALARM:20261212T150000Z;PT5M;2;alarm.wav", "PRIORITY:2", "STATUS:COMPLETED"}));
    EXPECT_EQ(task.Description, u"a\r\nb");
    EXPECT_EQ(task.Due, At(2026, 12, 12, 17));
    EXPECT_EQ(task.Alarm, At(2026, 12, 12, 16));
    EXPECT_EQ(task.Priority, 2);
    EXPECT_TRUE(task.Completed);
    for (const char* status : {"STATUS:completed", "STATUS:NEEDS-ACTION", "STATUS:"}) {
        task.Parse(VTodo({status}));  // nothing stays from the task before
        EXPECT_EQ(std::tuple(task.Completed, task.Priority, task.Due), std::tuple(false, 0, 0.0))
            << status;
    }
}

// Setters rewrite their line in place or add it after BEGIN:VTODO; cleared, a value is
// written empty, and the date of completion goes with the status.
TEST_F(Task, SettersWriteAndClear) {
    task.SetDue(At(2026, 12, 12, 17));
    task.SetDue(At(2026, 12, 13, 17));
    task.SetAlarm(At(2026, 12, 13, 9));
    task.SetCompleted(true);
    task.SetPriority(1);
    EXPECT_EQ(task.GetText(), VTodo({"PRIORITY:1", "STATUS:COMPLETED", "AALARM:20261213T080000Z",
                                     "DUE:20261213T160000Z"}));
    EXPECT_EQ(task.State, ItemState::New);

    task.Parse(VTodo(
        {"DUE:20261212T160000Z", "PRIORITY:2", "STATUS:COMPLETED", "COMPLETED:20261201T100000Z"}));
    task.SetDue(0);
    task.SetPriority(0);
    task.SetCompleted(false);
    EXPECT_EQ(task.GetText(), VTodo({"DUE:", "PRIORITY:", "STATUS:"}));
    EXPECT_EQ(task.State, ItemState::Modified);
    task.Parse(task.GetText());
    EXPECT_EQ(std::tuple(task.Completed, task.Priority, task.Due), std::tuple(false, 0, 0.0));
}

// An alarm relative to the task, as servers write a converted VALARM, counts from the
// due time, else from the start; alone it is no moment.
TEST_F(Task, RelativeAlarms) {
    const std::pair<Lines, TDateTime> cases[] = {
        {{"DUE:20261212T160000Z", "AALARM:-PT30M;;;Reminder"}, At(2026, 12, 12, 16, 30)},
        {{"AALARM:-PT1H;;;Reminder", "DUE:20261212T160000Z"}, At(2026, 12, 12, 16)},
        {{"DTSTART:20261201T080000Z", "AALARM:-P1D"}, At(2026, 11, 30, 9)},
        {{"AALARM:-PT30M;;;Reminder"}, 0},
        {{"DUE:20261212T160000Z", "AALARM:20261212T150000Z;;;"}, At(2026, 12, 12, 16)},
        {{"DUE;TZID=Asia/Tokyo:20261212T180000", "AALARM:-PT30M"}, At(2026, 12, 12, 9, 30)},
    };
    for (const auto& [lines, alarm] : cases) {
        task.Parse(VTodo(lines));
        EXPECT_NEAR(task.Alarm, alarm, 1e-9) << lines.front();
    }
    // Untouched, the relative line goes back as it came; set, it becomes a moment.
    task.Parse(VTodo(cases[0].first));
    task.SetDue(At(2026, 12, 13, 17));
    EXPECT_EQ(task.Lines[4], "AALARM:-PT30M;;;Reminder");
    task.SetAlarm(At(2026, 12, 13, 1));
    EXPECT_EQ(task.Lines[4], "AALARM:20261213T000000Z");
}

// The title goes first in a new note; the body is written with LF line breaks and reads
// back with CR LF.
TEST(Note, TitleAndBody) {
    TSMLNote note(nullptr);
    note.SetTitle(u"Liste");
    note.SetBody(u"a\r\nb\rc");
    EXPECT_EQ(note.Lines,
              (Lines{"BEGIN:vText", "BODY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=0Ab=0Ac",
                     "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Liste", "VERSION:1.1",
                     "END:vText"}));
    EXPECT_EQ(note.Body, u"a\r\nb\rc");
    note.Parse(note.GetText());
    EXPECT_EQ(note.Body, u"a\r\nb\r\nc");
    note.Parse(
        "BEGIN:VNOTE\r\nBODY;ENCODING=QUOTED-PRINTABLE:x=0Ay=\r\nz=0D=0A\xF0\x9F\xA7\x80\r\n");
    EXPECT_EQ(note.Body, u"x\r\nyz\r\n\U0001F9C0");
    note.SetBody(note.Body);
    EXPECT_EQ(note.State, ItemState::Unchanged);
}

}  // namespace
}  // namespace orvanta
