#pragma once

#include <cstdint>
#include <vector>

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLCalendar;
class PayloadZones;

// The unit of a reminder's Number, or ByTime for a reminder at a fixed moment. The
// values are the positions in the reminder dialog's period list.
enum class ReminderPeriod : std::uint8_t {
    Minutes = 0,
    Hours = 1,
    Days = 2,
    Weeks = 3,
    ByTime = 4
};

// How a reminder reaches the user: a pop-up (ACTION:DISPLAY) or an e-mail (ACTION:EMAIL).
// The values are the positions in the reminder dialog's method list.
enum class ReminderMethod : std::uint8_t { Popup = 0, Email = 1 };

// One reminder of an event: how many units before the start it fires, or (ByTime) the
// moment it fires.
struct TReminder {
    std::int32_t Number = 0;
    TDateTime Time = 0;
    ReminderPeriod Period = ReminderPeriod::Minutes;
    ReminderMethod Method = ReminderMethod::Popup;

    friend bool operator==(const TReminder&, const TReminder&) = default;
};

// One calendar event: a vCalendar text with one VEVENT component and its VALARM blocks.
class TSMLEvent : public TSMLItem {
public:
    explicit TSMLEvent(TSMLCalendar* owner);

    // The fields as read from the payload and as the setters leave them; only the setters
    // change them, each by rewriting its line. The texts are read from their lines of the
    // event's own component when asked for; without a VEVENT they are empty.
    [[nodiscard]] TSMLCalendar* Owner() const { return owner_; }
    [[nodiscard]] WideString Summary() const { return Text("SUMMARY"); }
    [[nodiscard]] WideString Description() const;  // CR LF
    [[nodiscard]] bool AllDay() const { return allDay_; }
    [[nodiscard]] TDateTime Start() const { return start_; }  // local time
    // Local time; for an all-day event the day after the last. Without DTEND: Start plus
    // the DURATION, or Start.
    [[nodiscard]] TDateTime End() const { return end_; }
    [[nodiscard]] WideString Location() const { return Text("LOCATION"); }
    // One per VALARM block, in payload order.
    [[nodiscard]] const std::vector<TReminder>& Reminders() const { return reminders_; }

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Summary(); }
    // The summary and the moment it starts: a weekly meeting's "Standup"s are not one.
    [[nodiscard]] std::string PairingKey() const override;
    void SetTitle(const WideString& value) override;
    void SetDescription(const WideString& value);
    void SetLocation(const WideString& value);
    // The date setters always rewrite their lines, also with an unchanged value.
    void SetStart(TDateTime value);
    void SetEnd(TDateTime value);
    void SetAllDay(bool value);

    [[nodiscard]] std::size_t ReminderCount() const { return reminders_.size(); }
    [[nodiscard]] TReminder GetReminder(std::size_t index) const { return reminders_.at(index); }
    void AddReminder(const TReminder& reminder);
    void SetReminder(std::size_t index, const TReminder& reminder);
    void DeleteReminder(std::size_t index);

private:
    // One VALARM block of the payload: its BEGIN:VALARM line and its END:VALARM line,
    // or the end of the payload for a block that is never closed.
    struct AlarmSpan {
        std::size_t Begin = 0;
        std::size_t End = 0;
    };
    // The VALARM blocks from the event's BEGIN:VEVENT on, in payload order: Parse reads
    // one reminder from each, and the reminder edits find their block here, so that
    // Reminders and the blocks stay in step whatever the payload holds. A BEGIN:VALARM
    // inside a block belongs to that block.
    [[nodiscard]] std::vector<AlarmSpan> AlarmBlocks() const;
    // Whether the payload holds the event's VEVENT component.
    [[nodiscard]] bool HasComponent() const;
    // The text of the property's line in the component, or empty text.
    [[nodiscard]] WideString Text(std::string_view name) const;
    [[nodiscard]] AlarmSpan AlarmBlock(std::size_t index) const;
    [[nodiscard]] TReminder ReadReminder(const AlarmSpan& block, PayloadZones& zones) const;

    TSMLCalendar* owner_;
    bool allDay_ = false;
    bool escaped_ = false;  // the text values carry the escapes of iCalendar 2.0
    TDateTime start_ = 0;
    TDateTime end_ = 0;
    std::vector<TReminder> reminders_;
};

class TSMLCalendar final : public TSMLStore<TSMLCalendar, TSMLEvent> {
public:
    TSMLCalendar();
};

// A trigger duration (days, either sign) as Period and Number, in whole units.
[[nodiscard]] TReminder ClassifyTrigger(TDateTime days);
// The TRIGGER value written for a reminder before the start: -PT15M, -PT2H, -P3D, -P14D.
[[nodiscard]] std::string TriggerDuration(const TReminder& reminder);

}  // namespace orvanta
