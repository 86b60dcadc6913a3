// Each kind of item: Parse of a server's payload, then every setter, as the editors
// call them. The first byte picks the kind; the payload and the text the setters write
// are separated by kSeparator.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "formats/Failure.h"
#include "fuzz/FuzzSupport.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"

using namespace orvanta;

namespace {

struct Edit {
    WideString text;
    TDateTime moment = 0;  // a moment the date pickers offer, from the text's bytes
    std::uint32_t number = 0;
};

// Parse refuses a payload it cannot read (a date that is none) with a message, and the
// load then keeps no item to edit.
bool Parsed(TSMLItem& item, std::string_view payload) {
    try {
        item.Parse(payload);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

// Runs one edit; an edit the payload cannot take is refused with a message.
void Try(const std::function<void()>& edit) {
    try {
        edit();
    } catch (const Failure&) {
    }
}

void EditEvent(std::string_view payload, const Edit& e) {
    TSMLCalendar calendar;
    TSMLEvent event(&calendar);
    if (!Parsed(event, payload)) return;
    const TReminder reminder{static_cast<std::int32_t>(e.number % 100), e.moment,
                             static_cast<ReminderPeriod>(e.number % 5),
                             static_cast<ReminderMethod>(e.number % 2)};
    Try([&] { event.SetTitle(e.text); });
    Try([&] { event.SetDescription(e.text); });
    Try([&] { event.SetLocation(e.text); });
    Try([&] { event.SetStart(e.moment); });
    Try([&] { event.SetEnd(e.moment + 0.5); });
    Try([&] { event.SetAllDay(!event.AllDay()); });
    for (std::size_t i = 0; i < event.ReminderCount(); ++i) {
        Try([&] { event.SetReminder(i, reminder); });
    }
    Try([&] { event.AddReminder(reminder); });
    if (event.ReminderCount() > 1) Try([&] { event.DeleteReminder(0); });
    Try([&] { event.AddReminder(reminder); });

    // The reminders and the payload's blocks stay in step: the payload read again
    // holds as many reminders as the event.
    TSMLEvent again(&calendar);
    again.Parse(event.GetText());
    fuzz::Require(again.ReminderCount() == event.ReminderCount(),
                  "the event's reminders and its VALARM blocks differ");
}

void EditContact(std::string_view payload, const Edit& e) {
    TSMLContacts contacts;
    TSMLContact contact(&contacts);
    if (!Parsed(contact, payload)) return;
    // Every field the editor writes, by the contact's own list of fields.
    for (const ContactField& field : ContactFields()) {
        if (field.Text) Try([&] { contact.Set(field.Text, e.text); });
    }
    Try([&] { contact.SetBirthday(static_cast<TDateTime>(static_cast<long>(e.moment))); });
    (void)contact.GetTitle();
}

void EditTask(std::string_view payload, const Edit& e) {
    TSMLTasks tasks;
    TSMLTask task(&tasks);
    if (!Parsed(task, payload)) return;
    Try([&] { task.SetTitle(e.text); });
    Try([&] { task.SetDescription(e.text); });
    Try([&] { task.SetDue(e.moment); });
    Try([&] { task.SetAlarm(e.moment - 0.25); });
    Try([&] { task.SetCompleted(!task.Completed()); });
    Try([&] { task.SetPriority(static_cast<std::int32_t>(e.number % 10)); });
}

void EditNote(std::string_view payload, const Edit& e) {
    TSMLNotes notes;
    TSMLNote note(&notes);
    if (!Parsed(note, payload)) return;
    Try([&] { note.SetTitle(e.text); });
    Try([&] { note.SetBody(e.text); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view rest = fuzz::AsText(data + 1, size - 1);
    const auto cut = rest.find(fuzz::kSeparator);
    const std::string_view payload = rest.substr(0, cut);
    const std::string_view text = cut == std::string_view::npos
                                      ? std::string_view("Edited")
                                      : rest.substr(cut + fuzz::kSeparator.size());

    Edit edit;
    edit.text = FromUTF8(text);
    for (const char c : text)
        edit.number = edit.number * 31 + static_cast<unsigned char>(c);
    // 1950 to 2100, to the minute.
    edit.moment = 18264 + (edit.number % 54787) + (edit.number % 1440) / 1440.0;

    // The kind in the order of the kinds table; each has its edits here.
    const std::pair<std::string_view, void (*)(std::string_view, const Edit&)> edits[] = {
        {"cal", EditEvent}, {"card", EditContact}, {"task", EditTask}, {"vnote", EditNote}};
    const DataKind& kind = DataKinds()[data[0] % DataKinds().size()];
    const auto* found = std::find_if(std::begin(edits), std::end(edits),
                                     [&](const auto& e) { return e.first == kind.Keyword; });
    fuzz::Require(found != std::end(edits), "a kind of data has no edits in the items fuzzer");
    found->second(payload, edit);
    return 0;
}
