#pragma once

#include <cstdint>

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLTasks;

// One to-do: a vCalendar 1.0 text with one VTODO component.
class TSMLTask : public TSMLItem {
public:
    explicit TSMLTask(TSMLTasks* owner);

    TSMLTasks* Owner;
    WideString Summary;
    WideString Description;  // line breaks CR LF
    TDateTime Due = 0;       // local time; 0 none
    TDateTime Alarm = 0;     // local time of the single alarm; 0 none
    bool Completed = false;
    std::int32_t Priority = 0;  // 0 none

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Summary; }
    void SetTitle(const WideString& value) override;
    void SetDescription(const WideString& value);
    void SetDue(TDateTime value);
    void SetAlarm(TDateTime value);
    void SetCompleted(bool value);
    void SetPriority(std::int32_t value);

private:
    void WriteMoment(std::string_view name, TDateTime& field, TDateTime value);
};

class TSMLTasks final : public TSMLStore<TSMLTasks, TSMLTask> {
public:
    TSMLTasks();
};

}  // namespace orvanta
