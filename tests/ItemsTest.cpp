#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using test::ReadSample;

// The payload with its folds joined, computed independently of the codec.
std::string Unfolded(const std::string& text, bool softBreaks) {
    std::string out = std::regex_replace(text, std::regex("\r\n "), "");
    if (softBreaks) out = std::regex_replace(out, std::regex("=\r\n"), "");
    return out;
}

std::vector<std::string> Lines(const std::string& text) {
    return SplitPayloadLines(text);
}

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
}

// The tasks store declares the version its payloads carry; declared 2.0, the server
// converts stored tasks (priority 2 came back as 5, the alarm as a VALARM).
TEST(ItemKinds, TasksStoreDeclaresTheVersionOfItsPayloads) {
    TSMLTasks tasks;
    const TSMLTask* task = tasks.NewItem();
    EXPECT_EQ(task->Lines.at(1), "VERSION:" + tasks.ContentVersion);
    EXPECT_EQ(tasks.ContentVersion, "1.0");
}

// Parse a real-world payload, change one field through its setter, write it out: every
// line but the one that carries the field is what came in, byte for byte.
struct RoundTripCase {
    const char* file;
    std::function<std::unique_ptr<TSMLItem>()> make;
    bool softBreaks;
    const char16_t* title;
    std::function<void(TSMLItem&)> change;  // sets one field to kNew
    const char* property;                   // the line it rewrites
};

const WideString kNew = u"Neu \u00E4 \U0001F389";

template <class T>
std::function<std::unique_ptr<TSMLItem>()> Make() {
    return [] { return std::make_unique<T>(nullptr); };
}

template <class T>
std::function<void(TSMLItem&)> Change(void (T::*setter)(const WideString&)) {
    return [setter](TSMLItem& item) { (static_cast<T&>(item).*setter)(kNew); };
}

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, UnknownLinesTravelBackByteForByte) {
    const RoundTripCase& c = GetParam();
    const std::string text = ReadSample(c.file);
    const std::unique_ptr<TSMLItem> item = c.make();
    item->Parse(text);
    EXPECT_EQ(item->State, ItemState::Unchanged);
    EXPECT_EQ(item->GetTitle(), c.title);
    EXPECT_EQ(item->GetText(), Unfolded(text, c.softBreaks));

    const std::vector<std::string> before = item->Lines;
    c.change(*item);
    EXPECT_EQ(item->State, ItemState::Modified);
    const std::vector<std::string> after = Lines(item->GetText());
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++changed;
        EXPECT_EQ(GetPropertyName(after[i]), c.property);
    }
    EXPECT_EQ(changed, 1);
    // What was written reads back.
    const std::unique_ptr<TSMLItem> reread = c.make();
    reread->Parse(item->GetText());
    EXPECT_EQ(reread->GetText(), item->GetText());
}

INSTANTIATE_TEST_SUITE_P(
    Samples, RoundTrip,
    ::testing::Values(
        RoundTripCase{"event-ical20-valarm.ics", Make<TSMLEvent>(), false,
                      u"Projektbesprechung \U0001F4C5", Change(&TSMLEvent::SetTitle), "SUMMARY"},
        RoundTripCase{"event-vcal10-allday.vcs", Make<TSMLEvent>(), false,
                      u"Urlaub an der K\u00FCste", Change(&TSMLEvent::SetDescription),
                      "DESCRIPTION"},
        RoundTripCase{"task-vtodo10.vcs", Make<TSMLTask>(), true, u"Steuererkl\u00E4rung",
                      Change(&TSMLTask::SetDescription), "DESCRIPTION"},
        RoundTripCase{"note-vnote11.vnt", Make<TSMLNote>(), true, u"Einkaufsliste",
                      Change(&TSMLNote::SetBody), "BODY"},
        RoundTripCase{"contact-vcard21.vcf", Make<TSMLContact>(), true, u"J\u00FCrgen M\u00FCller",
                      Change(&TSMLContact::SetBusCity), "ADR"},
        RoundTripCase{"contact-vcard21-latin1.vcf", Make<TSMLContact>(), true,
                      u"J\u00FCrgen Gr\u00F6\u00DFer", Change(&TSMLContact::SetFirstName), "N"},
        RoundTripCase{"contact-vcard30.vcf", Make<TSMLContact>(), true, u"Anna Smith",
                      Change(&TSMLContact::SetNotes), "NOTE"}));

TEST(ItemKinds, EventWithoutVEVENTReadsNothing) {
    TSMLEvent event(nullptr);
    event.Parse("BEGIN:VCALENDAR\r\nSUMMARY:outside\r\nEND:VCALENDAR\r\n");
    EXPECT_EQ(event.GetTitle(), u"");
    EXPECT_EQ(event.StartLine, 0);
    // An event's lines ending in "=" are not joined.
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
