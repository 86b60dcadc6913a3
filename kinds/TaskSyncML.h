#pragma once

#include <cstdint>

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLTasks;

// One to-do: a vCalendar 1.0 text with one VTODO component.
class TSMLTask : public TSMLItem {
public:
    explicit TSMLTask(TSMLTasks* owner);

    // The fields as read from the payload and as the setters leave them; only the setters
    // change them, each by rewriting its line. The texts are read from their lines of the
    // task's own component when asked for; without a VTODO they are empty.
    [[nodiscard]] TSMLTasks* Owner() const { return owner_; }
    [[nodiscard]] WideString Summary() const { return Text("SUMMARY"); }
    [[nodiscard]] WideString Description() const;             // CR LF
    [[nodiscard]] TDateTime Due() const { return due_; }      // local time; 0 none
    [[nodiscard]] TDateTime Alarm() const { return alarm_; }  // local time of the alarm; 0 none
    [[nodiscard]] bool Completed() const { return completed_; }
    [[nodiscard]] std::int32_t Priority() const { return priority_; }  // 0 none

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Summary(); }
    // The summary and the due moment.
    [[nodiscard]] std::string PairingKey() const override;
    void SetTitle(const WideString& value) override;
    void SetDescription(const WideString& value);
    void SetDue(TDateTime value);
    void SetAlarm(TDateTime value);
    void SetCompleted(bool value);
    void SetPriority(std::int32_t value);

private:
    void WriteMoment(std::string_view name, TDateTime& field, TDateTime value);
    // The text of the property's line in the component, or empty text.
    [[nodiscard]] WideString Text(std::string_view name) const;

    TSMLTasks* owner_;
    TDateTime due_ = 0;
    TDateTime alarm_ = 0;
    bool completed_ = false;
    bool escaped_ = false;  // the text values carry the escapes of iCalendar 2.0
    std::int32_t priority_ = 0;
};

class TSMLTasks final : public TSMLStore<TSMLTasks, TSMLTask> {
public:
    TSMLTasks();
};

}  // namespace orvanta
