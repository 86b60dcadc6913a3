#pragma once

#include "engine/SyncMLBase.h"

namespace orvanta {

class TSMLNotes;

// One note: a vNote 1.1 text (component vText) with a title and a body.
class TSMLNote : public TSMLItem {
public:
    explicit TSMLNote(TSMLNotes* owner);

    [[nodiscard]] TSMLNotes* Owner() const { return owner_; }
    // As read from the payload and as the setters leave them.
    [[nodiscard]] const WideString& Title() const { return title_; }
    [[nodiscard]] const WideString& Body() const { return body_; }  // line breaks CR LF after Parse

    void Parse(std::string_view text) override;
    [[nodiscard]] WideString GetTitle() const override { return title_; }
    void SetTitle(const WideString& value) override;
    void SetBody(const WideString& value);

private:
    TSMLNotes* owner_;
    WideString title_;
    WideString body_;
};

class TSMLNotes final : public TSMLStore<TSMLNotes, TSMLNote> {
public:
    TSMLNotes();
};

}  // namespace orvanta
