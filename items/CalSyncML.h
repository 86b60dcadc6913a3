#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLCalendar;

// One calendar event: a vCalendar text with one VEVENT component.
class TSMLEvent : public TSMLItem {
public:
    explicit TSMLEvent(TSMLCalendar* owner);

    TSMLCalendar* Owner;
    WideString Summary;

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Summary; }
    void SetTitle(const WideString& value) override;
};

class TSMLCalendar final : public TSMLStore<TSMLCalendar, TSMLEvent> {
public:
    TSMLCalendar();
};

}  // namespace orvanta
