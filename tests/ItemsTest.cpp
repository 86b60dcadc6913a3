#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ranges>
#include <regex>
#include <filesystem>
#include <sstream>

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
#include "formats/ObjectFile.h"
#include "formats/TimeZoneRule.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/Scaling.h"

namespace orvanta {
namespace test {
// A failing case names its file rather than its bytes.
void PrintTo(const CorpusFile& file, std::ostream* out) {
    *out << file.name;
}
}  // namespace test

namespace {

using namespace test;
using enum ReminderPeriod;
using enum ReminderMethod;

constexpr double kHour = 1.0 / 24;

// A client of each kind and an item of each, read in Central European time.
class Items : public ::testing::Test {
protected:
    ScopedTimeZone zone{kCentralEurope};
    TSMLCalendar cal;
    TSMLContacts cont;
    TSMLTasks tasks;
    TSMLNotes notes;
    TSMLEvent event{nullptr};
    TSMLTask task{nullptr};
    TSMLContact& contact = *cont.NewItem();
};
using ItemKinds = Items;
using Event = Items;
using Task = Items;
using Contact = Items;

// Each kind's client is of that kind, and the local server's list of stores (which
// scripts/syncml-server reads) names each kind's store and device ID and no others; a
// keyword of no kind is an error that names the kinds.
TEST(KindTable, EachKindItsClientAndItsServerStore) {
    std::string listed, expected;
    std::istringstream in(ReadFile(ORVANTA_SERVER_STORES));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string store, device;
        if (!line.starts_with('#') && words >> store >> device)
            listed += store + " " + device + "\n";
    }
    for (const DataKind& kind : DataKinds()) {
        expected += kind.Defaults.DataSource + " " + kind.Defaults.DeviceID + "\n";
        EXPECT_EQ(&KindOf(*kind.MakeClient()), &kind) << kind.Keyword;
    }
    EXPECT_EQ(listed, expected);
    try {
        (void)KindNamed("calendar");
        ADD_FAILURE() << "an unknown kind was accepted";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(),
                     "There is no kind of data \"calendar\"; the kinds are cal, card, task, vnote");
    }
}

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
        // An event and a task read their own component: not an exception that shares
        // the UID, not a block inside it.
        {&cal,
         VEvent({"UID:w", "SUMMARY:Weekly", "END:VEVENT", "BEGIN:VEVENT", "UID:w",
                 "RECURRENCE-ID:20260722T080000Z", "SUMMARY:Moved"}),
         u"Weekly"},
        {&tasks, VTodo({"SUMMARY:Pay", "BEGIN:VALARM", "SUMMARY:Reminder", "END:VALARM"}), u"Pay"},
        // A note too, its first title: the line its setter rewrites.
        {&notes, "BEGIN:VNOTE\r\nSUMMARY:first\r\nBEGIN:X\r\nSUMMARY:second\r\n", u"first"},
        {&notes, "X-LEAD:1\r\nBEGIN:vText\r\nSUMMARY:Liste\r\nEND:vText\r\n", u"Liste"},
        {&notes, "SUMMARY:Liste\r\nBODY:a\r\n", u"Liste"},  // no block: the top level's
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
        // A new title goes to the line the title is read from (a contact's is made of its
        // names, and an event without its VEVENT has none).
        if (store != &cont && !title.empty()) {
            item->SetTitle(u"New");
            item->Parse(item->GetText());
            EXPECT_EQ(item->GetTitle(), u"New");
        }
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

TEST_F(Task, Fields) {
    task.Parse(
        VTodo({"DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab", "DUE:20261212T160000Z",
               "AALARM:20261212T150000Z;PT5M;2;alarm.wav", "PRIORITY:2", "STATUS:COMPLETED"}));
    EXPECT_EQ(task.Description(), u"a\r\nb");
    EXPECT_EQ(task.Due(), At(2026, 12, 12, 17));
    EXPECT_EQ(task.Alarm(), At(2026, 12, 12, 16));
    EXPECT_EQ(task.Priority(), 2);
    EXPECT_TRUE(task.Completed());
    for (const char* status : {"STATUS:completed", "STATUS:NEEDS-ACTION", "STATUS:"}) {
        task.Parse(VTodo({status}));  // nothing stays from the task before
        EXPECT_EQ(std::tuple(task.Completed(), task.Priority(), task.Due()),
                  std::tuple(false, 0, 0.0))
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
    EXPECT_EQ(std::tuple(task.Completed(), task.Priority(), task.Due()), std::tuple(false, 0, 0.0));
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
        EXPECT_NEAR(task.Alarm(), alarm, 1e-9) << lines.front();
    }
    // Untouched, the relative line goes back as it came; set, it becomes a moment.
    task.Parse(VTodo(cases[0].first));
    task.SetDue(At(2026, 12, 13, 17));
    EXPECT_EQ(task.Lines[4], "AALARM:-PT30M;;;Reminder");
    task.SetAlarm(At(2026, 12, 13, 1));
    EXPECT_EQ(task.Lines[4], "AALARM:20261213T000000Z");
}

// The title goes first in a new note; the body is written with LF line breaks and reads
// back from its line with CR LF.
TEST(Note, TitleAndBody) {
    TSMLNote note(nullptr);
    note.SetTitle(u"Liste");
    note.SetBody(u"a\r\nb\rc");
    EXPECT_EQ(note.Lines,
              (Lines{"BEGIN:vText", "BODY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=0Ab=0Ac",
                     "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Liste", "VERSION:1.1",
                     "END:vText"}));
    EXPECT_EQ(note.Body(), u"a\r\nb\r\nc");
    note.Parse(
        "BEGIN:VNOTE\r\nBODY;ENCODING=QUOTED-PRINTABLE:x=0Ay=\r\nz=0D=0A\xF0\x9F\xA7\x80\r\n");
    EXPECT_EQ(note.Body(), u"x\r\nyz\r\n\U0001F9C0");
    note.SetBody(note.Body());
    EXPECT_EQ(note.State, ItemState::Unchanged);
}

// The span of an event and whether it is a run of whole days: dates at both ends, or a
// start date and a DURATION of whole days. Without DTEND an event ends after its
// DURATION, or where it starts; never in 1899.
TEST_F(Event, SpanAndAllDay) {
    // The lines of a VEVENT, its local start, its length in days, whether it is all-day.
    const std::tuple<Lines, const char*, double, bool> cases[] = {
        {{"DTSTART;VALUE=DATE:20240101", "DTEND;VALUE=DATE:20240102"}, "20240101", 1, true},
        {{"DTSTART;VALUE=DATE:20240101"}, "20240101", 0, false},
        {{"DTSTART;VALUE=DATE-TIME:20240101T100000Z", "DURATION:P1D"}, "20240101T110000", 1, false},
        {{"DTSTART;VALUE=DATE:20240101", "DTEND:20240101T110000Z"}, "20240101", 0.5, false},
        {{"DTSTART:20260715T080000Z", "DURATION:PT1H30M"}, "20260715T100000", 1.5 * kHour, false},
        {{"DURATION:P1DT2H", "DTSTART:20260715T080000Z"}, "20260715T100000", 1 + 2 * kHour, false},
        {{"DTSTART:20260715T080000Z"}, "20260715T100000", 0, false},
        {{"DTSTART;VALUE=DATE:20260715", "DURATION:P2D"}, "20260715", 2, true},
        {{"DTSTART;VALUE=DATE:20260715", "DURATION:PT36H"}, "20260715", 1.5, false},
        {{"DTSTART:20260715T080000Z", "DTEND:20260715T083000Z", "DURATION:PT5H"},
         "20260715T100000",
         0.5 * kHour,
         false},
        {{"DTSTART;TZID=Asia/Tokyo:20260715T100000"}, "20260715T030000", 0, false},
    };
    for (const auto& [lines, start, days, allDay] : cases) {
        SCOPED_TRACE(lines.back());
        event.Parse(VEvent(lines));
        EXPECT_NEAR(event.Start(), TextToDateTime(start), 1e-9);
        EXPECT_NEAR(event.End() - event.Start(), days, 1e-9);
        EXPECT_EQ(event.AllDay(), allDay);
    }
}

// A DURATION gives way to DTEND in its place once a date setter writes the end, so the
// payload never holds both, and the end does not move with a later start.
// The event's span, reminders and texts come from its own component, not from a time zone
// after it (whose observances have a DTSTART each) nor from the exception that follows it.
TEST_F(Event, ReadsOnlyItsOwnComponent) {
    event.Parse("BEGIN:VCALENDAR\r\n" + Joined({"BEGIN:VEVENT",
                                                "UID:w",
                                                "DTSTART:20260715T080000Z",
                                                "BEGIN:VALARM",
                                                "TRIGGER:-PT15M",
                                                "END:VALARM",
                                                "END:VEVENT",
                                                "BEGIN:VEVENT",
                                                "UID:w",
                                                "RECURRENCE-ID:20260722T080000Z",
                                                "DTSTART:20260722T090000Z",
                                                "LOCATION:Room 2",
                                                "BEGIN:VALARM",
                                                "TRIGGER:-PT5M",
                                                "END:VALARM",
                                                "END:VEVENT",
                                                "BEGIN:VTIMEZONE",
                                                "TZID:X",
                                                "BEGIN:STANDARD",
                                                "DTSTART:19701025T030000",
                                                "END:STANDARD",
                                                "END:VTIMEZONE",
                                                "END:VCALENDAR"}));
    TSMLEvent alone(nullptr);
    alone.Parse(VEvent({"DTSTART:20260715T080000Z"}));
    EXPECT_EQ(event.Start(), alone.Start());
    EXPECT_EQ(event.End(), alone.Start());
    EXPECT_EQ(event.ReminderCount(), 1u);
    // Nor do its setters write there: the event's own line is added.
    EXPECT_EQ(event.Location(), u"");
    event.SetLocation(u"Room 1");
    EXPECT_EQ(event.Location(), u"Room 1");
    EXPECT_NE(event.GetText().find("\r\nLOCATION:Room 2\r\n"), std::string::npos);
}

TEST_F(Event, DTENDTakesThePlaceOfDURATION) {
    const std::string payload = VEvent({"DTSTART:20260715T080000Z", "DURATION:PT1H", "X-KEPT:1"});
    event.Parse(payload);
    event.SetEnd(At(2026, 7, 15, 12));
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART:20260715T080000Z", "DTEND:20260715T100000Z", "X-KEPT:1"}));
    event.Parse(payload);
    event.SetStart(At(2026, 7, 15, 9));
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART:20260715T070000Z", "DTEND:20260715T090000Z", "X-KEPT:1"}));
    EXPECT_NEAR(event.End(), At(2026, 7, 15, 11), 1e-9);
}

TEST_F(Event, DescriptionAndLocation) {
    event.Parse(VEvent({"LOCATION:Raum 4\\, 2. OG", "DESCRIPTION:Zeile eins\\nZeile zwei\\\\",
                        "BEGIN:VALARM", "DESCRIPTION:alarm", "END:VALARM"}));
    EXPECT_EQ(event.Location(), u"Raum 4, 2. OG");
    EXPECT_EQ(event.Description(), u"Zeile eins\r\nZeile zwei\\");
    event.Parse(VEvent({"DESCRIPTION;ENCODING=QUOTED-PRINTABLE:one=0Atwo"}, "1.0"));
    EXPECT_EQ(event.Description(), u"one\r\ntwo");
    EXPECT_EQ(event.Location(), u"");
    event.SetDescription(u"a\r\nb");
    EXPECT_EQ(event.Lines[3], "DESCRIPTION;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=0Ab");
    EXPECT_EQ(event.State, ItemState::Modified);
}

// A VALARM block and the reminder it is: read from a payload, and written for a new
// event where the block is as this program writes it. A trigger that is not a whole
// number of one unit reads as the largest unit it holds at least once.
TEST_F(Event, RemindersAndTheirBlocks) {
    const std::tuple<const char*, std::string, TReminder, bool> cases[] = {
        {"DISPLAY", "TRIGGER:-PT15M", {15, 0, Minutes, Popup}, true},
        {"EMAIL", "TRIGGER:-PT2H", {2, 0, Hours, Email}, true},
        {"DISPLAY", "TRIGGER:-P10D", {10, 0, Days, Popup}, true},
        {"EMAIL", "TRIGGER:-P14D", {2, 0, Weeks, Email}, true},
        {"EMAIL",
         "TRIGGER;VALUE=DATE-TIME:20240601T061500Z",
         {0, At(2024, 6, 1, 8, 15), ByTime, Email},
         true},
        {"AUDIO", "TRIGGER;VALUE=DURATION:-PT90M", {1, 0, Hours, Popup}, false},
        {"AUDIO", "TRIGGER:-P1W", {1, 0, Weeks, Popup}, false},
        {"AUDIO", "TRIGGER:PT15M", {15, 0, Minutes, Popup}, false},
        {"AUDIO", "TRIGGER:-P1DT12H", {1, 0, Days, Popup}, false},
        {"AUDIO", "TRIGGER:-PT30S", {0, 0, Minutes, Popup}, false},
        {"AUDIO", "TRIGGER:-PT60M", {1, 0, Hours, Popup}, false},
        {"AUDIO", "TRIGGER:-PT24H", {1, 0, Days, Popup}, false},
        {"DISPLAY", "X-NO-TRIGGER:1", {}, false},
    };
    for (const auto& [action, trigger, reminder, written] : cases) {
        SCOPED_TRACE(trigger);
        event.Parse(
            VEvent({"BEGIN:VALARM", std::string("ACTION:") + action, trigger, "END:VALARM"}));
        EXPECT_EQ(event.Reminders(), std::vector{reminder});
        if (!written) continue;
        TSMLEvent added(nullptr);
        added.AddReminder(reminder);
        EXPECT_EQ(added.Lines,
                  (Lines{"BEGIN:VCALENDAR", "VERSION:2.0", "CALSCALE:GREGORIAN", "BEGIN:VEVENT",
                         "BEGIN:VALARM", std::string("ACTION:") + action,
                         "DESCRIPTION:This is an event reminder", "SUMMARY:Alarm notification",
                         trigger, "END:VALARM", "END:VEVENT", "END:VCALENDAR"}));
        EXPECT_EQ(added.State, ItemState::New);
    }
}

// Whatever a server's payload holds, Reminders and its VALARM blocks stay in step: a new
// block goes last in the event's own VEVENT with its record at the same number, the
// payload read again gives the same reminders, and deleting the new one restores it (and marks the
// event modified).
TEST_F(Event, ReminderEditsKeepBlocksInStep) {
    // What the payload holds, the payload, the reminders Parse reads, whether one can be
    // added, and the new reminder's number.
    const std::tuple<const char*, std::string, std::size_t, bool, std::size_t> cases[] = {
        {"an empty payload", "", 0, false, 0},
        {"no VEVENT at all", "BEGIN:VALARM\rEND:VEVENT", 0, false, 0},
        {"a VALARM inside a VALARM",
         "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nBEGIN:VALARM\r\nEND:VALARM\r\nEND:VEVENT\r\n", 1, true,
         1},
        {"a VALARM never closed", "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VEVENT\r\n",
         1, false, 0},
        {"END:VALARM in lower case", "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nend:VALARM\r\nEND:VEVENT", 1,
         true, 1},
        {"a VEVENT never closed", "BEGIN:VEVENT\r\nSUMMARY:x", 0, true, 0},
        {"a VEVENT never closed after a soft line break",
         "BEGIN:VEVENT\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=", 0, false, 0},
        // The second VEVENT's reminder is not the event's.
        {"a second VEVENT with its own VALARM",
         VEvent({"BEGIN:VALARM", "TRIGGER:-PT5M", "END:VALARM", "END:VEVENT", "BEGIN:VEVENT",
                 "BEGIN:VALARM", "TRIGGER:-PT1H", "END:VALARM"}),
         1, true, 1},
    };
    const TReminder added{10, 0, Minutes, Email};
    for (const auto& [what, payload, reminders, addable, newIndex] : cases) {
        SCOPED_TRACE(what);
        event.Parse(payload);
        const ItemLines parsed = event.Lines;
        const std::vector<TReminder> before = event.Reminders();
        ASSERT_EQ(before.size(), reminders);
        if (!addable) {
            EXPECT_THROW(event.AddReminder(added), ItemError);
            EXPECT_EQ(event.Lines, parsed);
            EXPECT_EQ(event.Reminders(), before);
            continue;
        }
        event.AddReminder(added);
        ASSERT_EQ(event.ReminderCount(), reminders + 1);
        EXPECT_EQ(event.GetReminder(newIndex), added);
        TSMLEvent reread(nullptr);
        reread.Parse(event.GetText());
        EXPECT_EQ(reread.Reminders(), event.Reminders());
        event.State = ItemState::Unchanged;
        event.DeleteReminder(newIndex);
        EXPECT_EQ(event.Lines, parsed);
        EXPECT_EQ(event.Reminders(), before);
        EXPECT_EQ(event.State, ItemState::Modified);
    }
}

TEST_F(Event, DateSetters) {
    event.Parse(VEvent({"DTSTART;VALUE=DATE:20240301", "DTEND;VALUE=DATE:20240302"}));
    event.SetStart(At(2024, 3, 5, 14, 30));
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART;VALUE=DATE:20240305", "DTEND;VALUE=DATE:20240306"}));
    EXPECT_EQ(event.End(), At(2024, 3, 6));
    event.SetAllDay(false);
    EXPECT_EQ(event.GetText(), VEvent({"DTSTART:20240304T230000Z", "DTEND:20240305T230000Z"}));
    event.SetEnd(At(2024, 3, 1));  // before the start
    EXPECT_EQ(event.End(), event.Start());

    event.Parse(VEvent({"DTSTART:20240710T080000Z", "DTEND:20240710T090000Z"}));
    event.SetAllDay(true);
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART;VALUE=DATE:20240710", "DTEND;VALUE=DATE:20240711"}));
    // The date setters rewrite their line even when nothing changed.
    event.Parse(VEvent({"DTSTART;TZID=Europe/Berlin:20240710T100000"}));
    event.SetStart(event.Start());
    EXPECT_EQ(event.GetText(), VEvent({"DTSTART:20240710T080000Z"}));
    EXPECT_EQ(event.State, ItemState::Modified);
    // A timed end at UTC midnight keeps its time of day (a bare date is a whole day).
    ScopedTimeZone greenwich("UTC0");
    event.Parse(VEvent({"DTSTART:19980118T230000Z"}));
    event.SetEnd(At(1998, 1, 20));
    event.AddReminder(TReminder{0, At(1998, 1, 19), ByTime, Popup});
    EXPECT_EQ(event.Lines[event.FindProperty("DTEND", {})], "DTEND:19980120T000000Z");
    EXPECT_EQ(event.Lines[event.Lines.size() - 4], "TRIGGER;VALUE=DATE-TIME:19980119T000000Z");
}

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
        {{"TEL;X-LABEL=NETWORK:1"}, "Phone=1"},  // types are whole words of TYPE or bare
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
    contact.Parse(VCard({"BDAY;VALUE=DATE:1970-01-31"}));
    EXPECT_EQ(contact.Birthday(), EncodeDate(1970, 1, 31));
    contact.SetBirthday(EncodeDate(1980, 4, 12));
    EXPECT_EQ(contact.Lines[2], "BDAY;VALUE=DATE:19800412");
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
        const auto& caps = cont.Capabilities;
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

class RoundTrip : public ::testing::TestWithParam<CorpusFile> {
protected:
    ScopedTimeZone zone{kCentralEurope};
};

// Parse a payload another program wrote, change one field, write it out: every line but
// the one that carries the field is what came in, byte for byte.
TEST_P(RoundTrip, OnlyTheChangedPropertyDiffers) {
    const CorpusFile& f = GetParam();
    const auto client = f.makeClient();
    const std::unique_ptr<TSMLItem> item = client->CreateItem();
    item->Parse(f.text);
    EXPECT_EQ(item->State, ItemState::Unchanged);
    EXPECT_FALSE(item->GetTitle().empty());
    // Unfolding joins continuations only: every property of the file is still there.
    EXPECT_EQ(RawPropertyNames(item->GetText()), RawPropertyNames(f.text));
    // Written unchanged, the payload reads back to the same lines.
    const std::unique_ptr<TSMLItem> same = client->CreateItem();
    same->Parse(item->GetText());
    EXPECT_EQ(same->Lines, item->Lines);

    const ItemLines before = item->Lines;
    f.change(*item);
    EXPECT_EQ(item->State, ItemState::Modified);
    const ItemLines after = SplitPayloadLines(item->GetText());
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++changed;
        EXPECT_EQ(GetPropertyName(after[i]), f.property) << after[i];
    }
    EXPECT_EQ(changed, 1);
    const std::unique_ptr<TSMLItem> reread = client->CreateItem();
    reread->Parse(item->GetText());
    EXPECT_EQ(reread->Lines, after);
    EXPECT_NE(ToUTF8(reread->GetTitle()).find(ToUTF8(kCorpusEdit)), std::string::npos);
}

// A file of one object is one item whose payload is the file, byte for byte (but for time
// zones that none of its lines uses); asked for another kind, the file holds none of it.
TEST_P(RoundTrip, TheFileIsOneObject) {
    const std::map<std::string, const char*> others = {
        {"card", "VEVENT"}, {"vnote", "VCARD"}, {"task", "VEVENT"}, {"cal", "VTODO"}};
    const CorpusFile& f = GetParam();
    const char* other = others.at(f.store);
    std::string expected = f.text;
    if (const auto zone = expected.find("BEGIN:VTIMEZONE\r\n");
        zone != std::string::npos && expected.find("TZID=") == std::string::npos) {
        const std::string end = "END:VTIMEZONE\r\n";
        expected.erase(zone, expected.find(end, zone) + end.size() - zone);
    }
    const ObjectFileItems items = SplitObjectFile(f.text, f.kind->Component);
    EXPECT_EQ(items.Payloads, std::vector<std::string>{expected});
    EXPECT_EQ(items.OtherKinds, 0u);
    EXPECT_EQ(JoinObjectFile(items.Payloads), expected);
    const ObjectFileItems none = SplitObjectFile(f.text, other);
    EXPECT_TRUE(none.Payloads.empty());
    EXPECT_EQ(none.OtherKinds, 1u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

// A payload with a reference of its fields beside it (NAME.fields) reads to exactly the
// fields the reference lists: a new case is a pair of files.
using FieldsRead = RoundTrip;
TEST_P(FieldsRead, AsTheReferenceListsThem) {
    const CorpusFile& f = GetParam();
    const std::unique_ptr<TSMLItem> item = f.makeClient()->CreateItem();
    item->Parse(f.text);
    EXPECT_EQ(FilledFields(*f.kind, *item), f.fields);
}

std::vector<CorpusFile> WithReference() {
    std::vector<CorpusFile> files = CorpusFiles();
    std::erase_if(files, [](const CorpusFile& f) { return f.fields.empty(); });
    return files;
}
INSTANTIATE_TEST_SUITE_P(Corpus, FieldsRead, ::testing::ValuesIn(WithReference()),
                         [](const auto& info) { return CorpusTestName(info.param); });

// A calendar of several components, as desktop calendars export it: LF line ends, a
// byte-order mark, names in lower case, the time zone after the first event, a recurring
// event (its UID folded) with an exception, and a task. Only the recurring event uses
// the time zone.
const Lines kHead = {"begin:VCALENDAR", "VERSION:2.0", "PRODID:-//Example//Calendar//EN"};
const Lines kWeekly = {
    "BEGIN:VEVENT",      "UID:weekly", " -1", "DTSTART;TZID=Europe/Berlin:20261207T090000",
    "RRULE:FREQ=WEEKLY", "END:VEVENT"};
const Lines kZone = {
    "BEGIN:VTIMEZONE",    "TZID:Europe/Berlin", "BEGIN:STANDARD", "DTSTART:19701025T030000",
    "TZOFFSETFROM:+0200", "TZOFFSETTO:+0100",   "END:STANDARD",   "END:VTIMEZONE"};
const Lines kTask = {"BEGIN:VTODO", "UID:task-1", "SUMMARY:Pay rent", "END:VTODO"};
const Lines kSingle = {"BEGIN:VEVENT", "UID:single-", " 2", "SUMMARY:Dentist", "END:VEVENT"};
const Lines kException = {"BEGIN:VEVENT", "UID:weekly-1",
                          "RECURRENCE-ID;TZID=Europe/Berlin:20261214T090000",
                          "DTSTART;TZID=Europe/Berlin:20261214T100000", "END:VEVENT"};
const Lines kTail = {"end:vcalendar"};

TEST(ObjectFile, CalendarBecomesOneItemPerComponentWithTheSharedBlocks) {
    const std::string calendar = "\xEF\xBB\xBF" + Joined(kHead, "\n") + Joined(kWeekly, "\n") +
                                 Joined(kZone, "\n") + Joined(kTask, "\n") + Joined(kSingle, "\n") +
                                 Joined(kException, "\n") + Joined(kTail, "\n") + "\n";
    const auto item = [](std::initializer_list<Lines> components, const Lines& zone) {
        std::string text = Joined(kHead);
        for (const Lines& c : components)
            text += Joined(c);
        return text + Joined(zone) + Joined(kTail);
    };

    const ObjectFileItems events = SplitObjectFile(calendar, "VEVENT");
    EXPECT_EQ(events.OtherKinds, 1u);
    EXPECT_EQ(events.Payloads,
              (std::vector<std::string>{item({kWeekly, kException}, kZone), item({kSingle}, {})}));

    const ObjectFileItems tasks = SplitObjectFile(calendar, "VTODO");
    EXPECT_EQ(tasks.OtherKinds, 2u);  // the recurring event counts once
    EXPECT_EQ(tasks.Payloads, std::vector<std::string>{item({kTask}, {})});

    // Joined and split again, the items are the same.
    EXPECT_EQ(SplitObjectFile(JoinObjectFile(events.Payloads), "VEVENT").Payloads, events.Payloads);
}

TEST(ObjectFile, CardsWithNestedCardsAndCutFiles) {
    const std::string first =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Boss;Anna\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N:Helper;Ben\r\nEND:VCARD\r\nEND:VCARD\r\n";
    const std::string second = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Solo;Cem\r\nEND:VCARD\r\n";
    const ObjectFileItems cards = SplitObjectFile(first + "\r\n" + second, "VCARD");
    EXPECT_EQ(cards.Payloads, (std::vector<std::string>{first, second}));

    // A file cut off inside an object is refused whole, naming where the object begins.
    try {
        (void)SplitObjectFile(second + "BEGIN:VCARD\r\nN:Cut;Off\r\n", "VCARD");
        FAIL() << "a cut file was accepted";
    } catch (const ItemError& e) {
        EXPECT_STREQ(e.what(), "The file ends inside the VCARD object that begins on line 5");
    }
    // Text that holds no object at all gives no items and no failure.
    EXPECT_TRUE(SplitObjectFile("hello\r\n", "VNOTE").Payloads.empty());
}

// A case of tests/data/import: the kind asked for on its first line, then "== file" and
// the file's bytes ("== file as UTF-16LE": the same text in UTF-16 with a byte-order
// mark), then each payload after "== item" (its lines end in CR LF), "== other kinds N",
// or the message of a refusal after "== refused".
struct FileCase {
    std::string component;
    std::string file;
    std::vector<std::string> items;
    std::size_t others = 0;
    std::string refused;
};

FileCase ReadFileCase(const std::filesystem::path& path) {
    const std::string text = ReadFile(path);
    FileCase c;
    c.component = text.substr(0, text.find('\n'));
    for (std::size_t at = text.find("\n== "); at != std::string::npos;) {
        const std::size_t start = text.find('\n', at + 1) + 1;
        const std::string head = text.substr(at + 4, start - at - 5);
        at = text.find("\n== ", start - 1);
        const std::string body = text.substr(start, at == std::string::npos ? at : at + 1 - start);
        if (head == "item") {
            c.items.push_back(std::regex_replace(body, std::regex("\n"), "\r\n"));
        } else if (head == "refused") {
            c.refused = body.substr(0, body.size() - 1);
        } else if (head.starts_with("other kinds ")) {
            c.others = std::stoul(head.substr(12));
        } else if (head == "file as UTF-16LE") {
            c.file = "\xFF\xFE";
            for (const char16_t unit : FromUTF8(body))
                c.file += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        } else {
            c.file = body;
        }
    }
    return c;
}

std::unique_ptr<TSMLItem> ItemOfKind(std::string_view component) {
    if (component == "VEVENT") return std::make_unique<TSMLEvent>(nullptr);
    if (component == "VTODO") return std::make_unique<TSMLTask>(nullptr);
    if (component == "VCARD") return std::make_unique<TSMLContact>(nullptr);
    return std::make_unique<TSMLNote>(nullptr);
}

// Every case of tests/data/import: the file cut into items, or refused with its message.
// Each item finds its own component, reads the same once written and read again, and the
// items joined into one file are cut into the same items again.
TEST(ObjectFile, CasesOfTestData) {
    ScopedTimeZone zone{kCentralEurope};
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(ORVANTA_TEST_DATA "/import"))
        paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    ASSERT_FALSE(paths.empty());
    for (const auto& path : paths) {
        SCOPED_TRACE(path.filename().string());
        const FileCase c = ReadFileCase(path);
        ObjectFileItems items;
        try {
            items = SplitObjectFile(c.file, c.component);
            EXPECT_EQ(c.refused, "") << "accepted";
        } catch (const ItemError& e) {
            EXPECT_EQ(e.what(), c.refused);
            continue;
        }
        EXPECT_EQ(items.Payloads, c.items);
        EXPECT_EQ(items.OtherKinds, c.others);
        EXPECT_EQ(SplitObjectFile(JoinObjectFile(items.Payloads), c.component).Payloads,
                  items.Payloads);
        for (const std::string& payload : items.Payloads) {
            const auto item = ItemOfKind(c.component);
            item->Parse(payload);
            if (c.component == "VEVENT" || c.component == "VTODO") {
                EXPECT_TRUE(IsBlockLine(item->Lines[static_cast<std::size_t>(item->StartLine)],
                                        "BEGIN", c.component));
            }
            const auto again = ItemOfKind(c.component);
            again->Parse(item->GetText());
            EXPECT_EQ(again->Lines, item->Lines);
            EXPECT_EQ(again->GetTitle(), item->GetTitle());
        }
    }
}

// Cutting a calendar takes time and memory in step with the file: events that each use a
// time zone of their own take that one zone along, and ten times the events take about
// ten times the time. A calendar made to fill the memory with copies of a large zone is
// refused before a payload is made.
TEST(ObjectFile, WorkGrowsWithTheFile) {
    const auto calendar = [](std::size_t events, std::size_t zoneSize) {
        std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
        for (std::size_t i = 0; i < events; ++i) {
            const std::string n = std::to_string(i);
            text += "BEGIN:VTIMEZONE\r\nTZID:Zone" + n + "\r\nX-PAD:" + std::string(zoneSize, 'x') +
                    "\r\nEND:VTIMEZONE\r\n";
        }
        for (std::size_t i = 0; i < events; ++i) {
            const std::string n = std::to_string(i);
            text += "BEGIN:VEVENT\r\nUID:" + n + "\r\nDTSTART;TZID=Zone" + n +
                    ":20260715T100000\r\nEND:VEVENT\r\n";
        }
        return text + "END:VCALENDAR\r\n";
    };
    const std::string small = calendar(2000, 40), large = calendar(20000, 40);
    std::size_t total = 0;
    for (const std::string& payload : SplitObjectFile(small, "VEVENT").Payloads)
        total += payload.size();
    ASSERT_LT(total, 2 * small.size());
    EXPECT_LT(test::TimeRatio([&] { (void)SplitObjectFile(small, "VEVENT"); },
                              [&] { (void)SplitObjectFile(large, "VEVENT"); }),
              30.0);

    std::string bomb = calendar(1, 1 << 20);
    for (int i = 0; i < 100; ++i)
        bomb.insert(bomb.size() - 15,
                    "BEGIN:VEVENT\r\nDTSTART;TZID=Zone0:20260715T100000\r\n"
                    "END:VEVENT\r\n");
    try {
        (void)SplitObjectFile(bomb, "VEVENT");
        ADD_FAILURE() << "accepted";
    } catch (const ItemError& e) {
        EXPECT_STREQ(e.what(),
                     "The calendar that begins on line 1 would make 101 MB of items, as each "
                     "repeats the calendar's lines and the time zones it uses: a file of 1 MB "
                     "may make at most 80 MB");
    }
}

}  // namespace
}  // namespace orvanta
