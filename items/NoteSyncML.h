#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLNotes;

// One note: a vNote 1.1 text (component vText) with a title and a body.
class TSMLNote : public TSMLItem {
public:
    explicit TSMLNote(TSMLNotes* owner);

    TSMLNotes* Owner;
    WideString Title;

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Title; }
    void SetTitle(const WideString& value) override;
};

class TSMLNotes final : public TSMLStore<TSMLNotes, TSMLNote> {
public:
    TSMLNotes();
};

}  // namespace orvanta
