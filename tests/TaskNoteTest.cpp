#include <gtest/gtest.h>

#include "engine/Errors.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "formats/TimeZoneRule.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

class Task : public ::testing::Test {
protected:
    ScopedTimeZone zone{kCentralEurope};
    TSMLTask task{nullptr};
};

TEST_F(Task, Fields) {
    task.Parse(
        VTodo({"SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Steuer=", "erkl=C3=A4rung",
               "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab", "DUE:20261212T160000Z",
               "AALARM:20261212T150000Z;PT5M;2;alarm.wav", "PRIORITY:2", "STATUS:COMPLETED"}));
    EXPECT_EQ(task.Summary, u"Steuererkl\u00E4rung");
    EXPECT_EQ(task.Description, u"a\r\nb");
    EXPECT_EQ(task.Due, At(2026, 12, 12, 17));
    EXPECT_EQ(task.Alarm, At(2026, 12, 12, 16));
    EXPECT_EQ(task.Priority, 2);
    EXPECT_TRUE(task.Completed);
    for (const char* status : {"STATUS:completed", "STATUS:NEEDS-ACTION", "STATUS:"}) {
        task.Parse(VTodo({status}));
        EXPECT_FALSE(task.Completed) << status;
        EXPECT_EQ(task.Priority, 0) << status;  // nothing stays from the task before
        EXPECT_EQ(task.Due, 0) << status;
    }
    EXPECT_THROW(task.Parse(VTodo({"PRIORITY:high"})), ConversionError);
}

TEST_F(Task, ClearingWritesEmptyValues) {
    task.Parse(VTodo(
        {"DUE:20261212T160000Z", "PRIORITY:2", "STATUS:COMPLETED", "COMPLETED:20261201T100000Z"}));
    task.SetDue(0);
    task.SetPriority(0);
    task.SetCompleted(false);
    EXPECT_EQ(task.Lines, (Lines{"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VTODO",
                                 "DUE:", "PRIORITY:", "STATUS:", "END:VTODO", "END:VCALENDAR"}));
    task.Parse(task.GetText());
    EXPECT_EQ(task.Due, 0);
    EXPECT_EQ(task.Priority, 0);
    EXPECT_FALSE(task.Completed);
}

// An alarm relative to the task, as servers write a converted VALARM, counts from the
// due time, else from the start; alone it is no moment.
TEST_F(Task, RelativeAlarms) {
    const struct {
        Lines lines;
        TDateTime alarm;
    } cases[] = {
        {{"DUE:20261212T160000Z", "AALARM:-PT30M;;;Reminder"}, At(2026, 12, 12, 16, 30)},
        {{"AALARM:-PT1H;;;Reminder", "DUE:20261212T160000Z"}, At(2026, 12, 12, 16)},
        {{"DTSTART:20261201T080000Z", "AALARM:-P1D"}, At(2026, 11, 30, 9)},
        {{"AALARM:-PT30M;;;Reminder"}, 0},
        {{"DUE:20261212T160000Z", "AALARM:20261212T150000Z;;;"}, At(2026, 12, 12, 16)},
        {{"DUE;TZID=Asia/Tokyo:20261212T180000", "AALARM:-PT30M"}, At(2026, 12, 12, 9, 30)},
    };
    for (const auto& c : cases) {
        task.Parse(VTodo(c.lines));
        EXPECT_NEAR(task.Alarm, c.alarm, 1e-9) << c.lines.front();
    }
    // Untouched, the relative line goes back as it came; set, it becomes a moment.
    task.Parse(VTodo(cases[0].lines));
    task.SetDue(At(2026, 12, 13, 17));
    EXPECT_EQ(task.Lines[4], "AALARM:-PT30M;;;Reminder");
    task.SetAlarm(At(2026, 12, 13, 1));
    EXPECT_EQ(task.Lines[4], "AALARM:20261213T000000Z");
}

TEST_F(Task, SettersOnANewTask) {
    task.SetDue(At(2026, 12, 12, 17));
    EXPECT_EQ(task.Lines[3], "DUE:20261212T160000Z");
    task.SetDue(At(2026, 12, 13, 17));
    EXPECT_EQ(task.Lines[3], "DUE:20261213T160000Z");
    EXPECT_EQ(task.Lines.size(), 6u);
    task.SetAlarm(At(2026, 12, 13, 9));
    task.SetCompleted(true);
    task.SetPriority(1);
    EXPECT_EQ(task.Lines[3], "PRIORITY:1");
    EXPECT_EQ(task.Lines[4], "STATUS:COMPLETED");
    EXPECT_EQ(task.Lines[5], "AALARM:20261213T080000Z");
    EXPECT_EQ(task.State, ItemState::New);
}

TEST(Note, TitleGoesFirstInTheNote) {
    TSMLNote note(nullptr);
    note.SetTitle(u"Liste");
    EXPECT_EQ(note.Lines,
              (Lines{"BEGIN:vText", "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Liste",
                     "VERSION:1.1", "END:vText"}));
}

TEST(Note, BodyLineBreaks) {
    TSMLNote note(nullptr);
    note.Parse(
        "BEGIN:VNOTE\r\nVERSION:1.1\r\nSUMMARY:a\r\nSUMMARY:b\r\n"
        "BODY;ENCODING=QUOTED-PRINTABLE:x=0Ay=\r\nz=0D=0A\xF0\x9F\xA7\x80\r\nEND:VNOTE\r\n");
    EXPECT_EQ(note.Title, u"b");
    EXPECT_EQ(note.Body, u"x\r\nyz\r\n\U0001F9C0");
    note.SetBody(note.Body);
    EXPECT_EQ(note.State, ItemState::Unchanged);
    note.SetBody(u"a\r\nb\rc");
    EXPECT_EQ(note.Lines[note.FindProperty("BODY", {})],
              "BODY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=0Ab=0Ac");
    EXPECT_EQ(note.Body, u"a\r\nb\rc");
    note.Parse(note.GetText());
    EXPECT_EQ(note.Body, u"a\r\nb\r\nc");
}

}  // namespace
}  // namespace orvanta
