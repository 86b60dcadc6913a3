#include <gtest/gtest.h>

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
        VTodo({"DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=0D=0Ab", "DUE:20261212T160000Z",
               "AALARM:20261212T150000Z;PT5M;2;alarm.wav", "PRIORITY:2", "STATUS:COMPLETED"}));
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
