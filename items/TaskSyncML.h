#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLTasks;

// One to-do: a vCalendar 1.0 text with one VTODO component.
class TSMLTask : public TSMLItem {
public:
    explicit TSMLTask(TSMLTasks* owner);

    TSMLTasks* Owner;
    WideString Summary;

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Summary; }
    void SetTitle(const WideString& value) override;
};

class TSMLTasks final : public TSMLStore<TSMLTasks, TSMLTask> {
public:
    TSMLTasks();
};

}  // namespace orvanta
