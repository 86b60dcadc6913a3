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
    // change them, each by rewriting its line.
    [[nodiscard]] TSMLTasks* Owner() const { return owner_; }
    [[nodiscard]] const WideString& Summary() const { return summary_; }
    [[nodiscard]] const WideString& Description() const { return description_; }  // CR LF
    [[nodiscard]] TDateTime Due() const { return due_; }      // local time; 0 none
    [[nodiscard]] TDateTime Alarm() const { return alarm_; }  // local time of the alarm; 0 none
    [[nodiscard]] bool Completed() const { return completed_; }
    [[nodiscard]] std::int32_t Priority() const { return priority_; }  // 0 none

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return summary_; }
    void SetTitle(const WideString& value) override;
    void SetDescription(const WideString& value);
    void SetDue(TDateTime value);
    void SetAlarm(TDateTime value);
    void SetCompleted(bool value);
    void SetPriority(std::int32_t value);

private:
    void WriteMoment(std::string_view name, TDateTime& field, TDateTime value);

    TSMLTasks* owner_;
    WideString summary_;
    WideString description_;
    TDateTime due_ = 0;
    TDateTime alarm_ = 0;
    bool completed_ = false;
    std::int32_t priority_ = 0;
};

class TSMLTasks final : public TSMLStore<TSMLTasks, TSMLTask> {
public:
    TSMLTasks();
};

}  // namespace orvanta
