#include "kinds/CalSyncML.h"

#include <cmath>
#include <optional>

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
#include "formats/PayloadZones.h"
#include "kinds/KindTable.h"

namespace orvanta {

namespace {

constexpr std::string_view kAlarmTemplate[] = {"BEGIN:VALARM",
                                               "ACTION:",
                                               "DESCRIPTION:This is an event reminder",
                                               "SUMMARY:Alarm notification",
                                               "TRIGGER:",
                                               "END:VALARM"};

// The VALUE=DATE parameter itself, not VALUE=DATE-TIME.
bool IsDateOnly(std::string_view line) {
    const std::string params = GetPropertyParamText(line);
    std::size_t start = 0;
    while (start <= params.size()) {
        const auto end = params.find(';', start);
        if (params.substr(start, end - start) == "VALUE=DATE") return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

}  // namespace

TReminder ClassifyTrigger(TDateTime days) {
    // Whole units, counted in milliseconds so that 15 minutes is exactly 15.
    const long long ms = std::llround(std::fabs(days) * kMSecsPerDay);
    const long long wholeDays = ms / 86400000LL;
    const long long wholeHours = ms / 3600000LL;
    TReminder r;
    if (wholeDays > 0) {
        r.Period = wholeDays % 7 == 0 ? ReminderPeriod::Weeks : ReminderPeriod::Days;
        r.Number = static_cast<std::int32_t>(wholeDays % 7 == 0 ? wholeDays / 7 : wholeDays);
    } else if (wholeHours > 0) {
        r.Period = ReminderPeriod::Hours;
        r.Number = static_cast<std::int32_t>(wholeHours);
    } else {
        r.Period = ReminderPeriod::Minutes;
        r.Number = static_cast<std::int32_t>(ms / 60000LL);
    }
    return r;
}

std::string TriggerDuration(const TReminder& r) {
    const std::string n = std::to_string(r.Number);
    switch (r.Period) {
        case ReminderPeriod::Hours:
            return "-PT" + n + "H";
        case ReminderPeriod::Days:
            return "-P" + n + "D";
        case ReminderPeriod::Weeks:
            return "-P" + std::to_string(7LL * r.Number) + "D";
        default:
            return "-PT" + n + "M";
    }
}

TSMLEvent::TSMLEvent(TSMLCalendar* owner) : owner_(owner) {
    // VERSION:2.0: servers refuse an event without a version, and VALARM is an
    // iCalendar 2.0 block.
    Lines = {"BEGIN:VCALENDAR", "VERSION:2.0", "CALSCALE:GREGORIAN",
             "BEGIN:VEVENT",    "END:VEVENT",  "END:VCALENDAR"};
    StartLine = 3;
}

void TSMLEvent::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    allDay_ = false;
    start_ = end_ = 0;
    reminders_.clear();
    StartLine = 0;
    UnfoldLines(Lines);
    escaped_ = UsesTextEscapes(Lines);

    const std::int32_t component = FindComponent(Lines, "VEVENT");
    if (component >= 0) {
        StartLine = component;
        PayloadZones zones(Lines);
        bool lastDateOnly = false, startDateOnly = false, hasEnd = false;
        std::optional<TDateTime> duration;
        const std::vector<AlarmSpan> blocks = AlarmBlocks();
        auto block = blocks.begin();
        for (std::size_t i = static_cast<std::size_t>(component); i < Lines.size(); ++i) {
            if (block != blocks.end() && i == block->Begin) {
                reminders_.push_back(ReadReminder(*block, zones));
                i = block->End;
                ++block;
                continue;
            }
            const std::string_view line = Lines[i];
            // The event's own lines end with its component: an exception that shares its
            // UID, or a time zone's DTSTART after it, is not the event.
            if (IsBlockLine(line, "END", "VEVENT")) break;
            const std::string name = GetPropertyName(line);
            if (name == "DTSTART" || name == "DTEND") {
                (name == "DTSTART" ? start_ : end_) = zones.Read(line);
                const bool dateOnly = IsDateOnly(line);
                allDay_ = lastDateOnly && dateOnly;
                lastDateOnly = dateOnly;
                if (name == "DTSTART") {
                    startDateOnly = dateOnly;
                } else {
                    hasEnd = true;
                }
            } else if (name == "DURATION") {
                if (const std::string value = ToUTF8(GetPropertyValue(line));
                    value.find('P') != std::string::npos) {
                    duration = TextToDateTime(value);
                }
            }
        }
        // Without DTEND the event ends after its DURATION, or where it starts. A whole
        // number of days after a start date is a run of whole days.
        if (!hasEnd) {
            end_ = start_ + duration.value_or(0);
            allDay_ =
                startDateOnly && duration && *duration >= 1 && *duration == std::floor(*duration);
        }
    }
    State = ItemState::Unchanged;
}

bool TSMLEvent::HasComponent() const {
    // Parse leaves StartLine on the BEGIN:VEVENT line, or on line 0 when there is none;
    // the setters insert their lines after it.
    return OpensBlock(Lines, StartLine, "VEVENT");
}

WideString TSMLEvent::Text(std::string_view name) const {
    return HasComponent() ? ReadText(*this, name, escaped_) : WideString();
}

WideString TSMLEvent::Description() const {
    return WithCRLF(Text("DESCRIPTION"));
}

std::vector<TSMLEvent::AlarmSpan> TSMLEvent::AlarmBlocks() const {
    std::vector<AlarmSpan> blocks;
    // Without a VEVENT the event has no reminders, whatever VALARM lines it holds.
    if (!HasComponent()) return blocks;
    // The blocks of the event's own component, up to the END:VEVENT that closes it.
    for (std::size_t i = static_cast<std::size_t>(StartLine) + 1;
         i < Lines.size() && !IsBlockLine(Lines[i], "END", "VEVENT"); ++i) {
        if (!IsBlockLine(Lines[i], "BEGIN", "VALARM")) continue;
        AlarmSpan block{i, i + 1};
        while (block.End < Lines.size() && !IsBlockLine(Lines[block.End], "END", "VALARM"))
            ++block.End;
        blocks.push_back(block);
        i = block.End;
    }
    return blocks;
}

TSMLEvent::AlarmSpan TSMLEvent::AlarmBlock(std::size_t index) const {
    const std::vector<AlarmSpan> blocks = AlarmBlocks();
    if (index >= blocks.size() || index >= reminders_.size()) {
        throw ItemError("The event has no reminder number " + std::to_string(index + 1));
    }
    return blocks[index];
}

TReminder TSMLEvent::ReadReminder(const AlarmSpan& block, PayloadZones& zones) const {
    TReminder reminder;
    for (std::size_t i = block.Begin + 1; i < block.End; ++i) {
        const std::string_view line = Lines[i];
        const std::string name = GetPropertyName(line);
        if (name == "TRIGGER") {
            if (line.find("VALUE=DATE") != std::string::npos) {
                reminder.Period = ReminderPeriod::ByTime;
                reminder.Number = 0;
                reminder.Time = zones.Read(line);
            } else {
                const TReminder timing = ClassifyTrigger(GetDateTimeValue(line));
                reminder.Period = timing.Period;
                reminder.Number = timing.Number;
                reminder.Time = 0;
            }
        } else if (name == "ACTION") {
            reminder.Method = ToUTF8(GetPropertyValue(line)) == "EMAIL" ? ReminderMethod::Email
                                                                        : ReminderMethod::Popup;
        }
    }
    return reminder;
}

std::string TSMLEvent::PairingKey() const {
    return ToUTF8(Summary()) + '\n' + std::to_string(std::llround(start_ * kSecondsPerDay));
}

void TSMLEvent::SetTitle(const WideString& value) {
    WriteText(*this, "SUMMARY", Summary(), value);
}

void TSMLEvent::SetDescription(const WideString& value) {
    WriteText(*this, "DESCRIPTION", Description(), value);
}

void TSMLEvent::SetLocation(const WideString& value) {
    WriteText(*this, "LOCATION", Location(), value);
}

void TSMLEvent::SetStart(TDateTime value) {
    if (allDay_) {
        start_ = std::floor(value);
        if (end_ < start_ || end_ - start_ < 1.0) SetEnd(start_ + 1);
        SetProperty("DTSTART", {}, FromUTF8(DateToText(start_)), "DTSTART;VALUE=DATE");
    } else {
        start_ = value;
        if (end_ < start_) SetEnd(start_);
        SetProperty("DTSTART", {}, FromUTF8(MomentToText(start_)));
    }
    // An end given as a DURATION would move with the start: it is written as DTEND.
    if (FindProperty("DTEND", {}) < 0 && FindProperty("DURATION", {}) >= 0) SetEnd(end_);
    MarkModified();
}

void TSMLEvent::SetEnd(TDateTime value) {
    // DTEND takes the place of a DURATION; an event has one or the other.
    if (FindProperty("DTEND", {}) < 0) {
        if (const std::int32_t duration = FindProperty("DURATION", {}); duration >= 0) {
            Lines.Replace(static_cast<std::size_t>(duration), "DTEND:");
        }
    }
    if (allDay_) {
        end_ = std::floor(value);
        if (end_ < start_ || end_ - start_ < 1.0) end_ = start_ + 1;
        SetProperty("DTEND", {}, FromUTF8(DateToText(end_)), "DTEND;VALUE=DATE");
    } else {
        end_ = value < start_ ? start_ : value;
        SetProperty("DTEND", {}, FromUTF8(MomentToText(end_)));
    }
    MarkModified();
}

void TSMLEvent::SetAllDay(bool value) {
    if (value == allDay_) return;
    allDay_ = value;
    SetStart(start_);
    SetEnd(end_);
}

void TSMLEvent::AddReminder(const TReminder& reminder) {
    const std::vector<AlarmSpan> blocks = AlarmBlocks();
    if (!HasComponent()) {
        // Adding the record alone would leave the reminders and the payload out of step.
        throw ItemError("This event has no VEVENT component to hold a reminder");
    }
    // The new block goes last in the event's own component: before the END:VEVENT that
    // closes it (one inside a block closes nothing), or at the end of a component that
    // is never closed. Its number is that of the blocks before it.
    std::size_t at = static_cast<std::size_t>(StartLine) + 1;
    std::size_t index = 0;
    for (; at < Lines.size() && !IsBlockLine(Lines[at], "END", "VEVENT"); ++at) {
        if (index < blocks.size() && at == blocks[index].Begin) at = blocks[index++].End;
    }
    if (at > Lines.size()) {
        // The last block runs to the end of the payload: a block after it would be
        // read as part of it.
        throw ItemError(
            "A reminder of this event has no END:VALARM line; no reminder can be added");
    }
    if (at == Lines.size() && EndsInSoftBreak(Lines.back())) {
        // A VEVENT never closed whose last line ends in a soft line break: a block after
        // it would be read as part of that line.
        throw ItemError(
            "The last line of this event continues onto the next; no reminder can be added");
    }
    Lines.Insert(at, kAlarmTemplate);
    reminders_.insert(reminders_.begin() + static_cast<std::ptrdiff_t>(index), reminder);
    SetReminder(index, reminder);
}

void TSMLEvent::SetReminder(std::size_t index, const TReminder& reminder) {
    const AlarmSpan block = AlarmBlock(index);
    reminders_[index] = reminder;
    for (std::size_t i = block.Begin + 1; i < block.End; ++i) {
        const std::string name = GetPropertyName(Lines[i]);
        if (name == "TRIGGER") {
            Lines.Replace(i, reminder.Period == ReminderPeriod::ByTime
                                 ? "TRIGGER;VALUE=DATE-TIME:" + MomentToText(reminder.Time)
                                 : "TRIGGER:" + TriggerDuration(reminder));
        } else if (name == "ACTION") {
            Lines.Replace(
                i, reminder.Method == ReminderMethod::Email ? "ACTION:EMAIL" : "ACTION:DISPLAY");
        }
    }
    MarkModified();
}

void TSMLEvent::DeleteReminder(std::size_t index) {
    const AlarmSpan block = AlarmBlock(index);
    const std::size_t end = std::min(block.End + 1, Lines.size());
    Lines.Erase(block.Begin, end);
    reminders_.erase(reminders_.begin() + static_cast<std::ptrdiff_t>(index));
    MarkModified();
}

TSMLCalendar::TSMLCalendar() : TSMLStore(KindNamed("cal").Defaults) {}

}  // namespace orvanta
