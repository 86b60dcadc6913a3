#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLNotes;

// One note: a vNote 1.1 text (component vText) with a title and a body.
class TSMLNote : public TSMLItem {
public:
    explicit TSMLNote(TSMLNotes* owner);

    [[nodiscard]] TSMLNotes* Owner() const { return owner_; }
    // As read from the note's own lines when asked for, which only the setters change.
    [[nodiscard]] WideString Title() const;
    [[nodiscard]] WideString Body() const;  // line breaks CR LF

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return Title(); }
    // The title and the text.
    [[nodiscard]] std::string PairingKey() const override;
    void SetTitle(const WideString& value) override;
    void SetBody(const WideString& value);

private:
    TSMLNotes* owner_;
};

class TSMLNotes final : public TSMLStore<TSMLNotes, TSMLNote> {
public:
    TSMLNotes();
};

}  // namespace orvanta
