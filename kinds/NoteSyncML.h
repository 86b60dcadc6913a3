#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLNotes;

// One note: a vNote 1.1 text (component vText) with a title and a body.
class TSMLNote : public TSMLItem {
public:
    explicit TSMLNote(TSMLNotes* owner);

    WideString Title;
    WideString Body;  // line breaks CR LF after Parse
    TSMLNotes* Owner;

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Title; }
    void SetTitle(const WideString& value) override;
    void SetBody(const WideString& value);
};

class TSMLNotes final : public TSMLStore<TSMLNotes, TSMLNote> {
public:
    TSMLNotes();
};

}  // namespace orvanta
