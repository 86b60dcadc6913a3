#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "engine/Codes.h"

namespace orvanta {

// The client's outgoing message, written element by element as UTF-8 text with its
// declaration and no whitespace. Its size is known at every step, and whatever was
// written after a mark can be taken back (a command that does not fit).
class TMessageWriter {
public:
    // A point in the message to come back to.
    struct Mark {
        std::size_t Bytes = 0;
        std::size_t Depth = 0;
        bool StartTagOpen = false;
    };

    // Starts a new message: the declaration and the open SyncML root, without
    // namespace declaration. The buffer keeps its capacity from message to message.
    void Start();
    // Opens <name>, or <name xmlns="ns">; what follows is its content until Close.
    void Open(std::string_view name, const char* ns = nullptr);
    void Close();
    // <name>text</name>, or <name/> for empty text.
    void Element(std::string_view name, std::string_view text = {}, const char* ns = nullptr);
    void Element(std::string_view name, long long value);
    // <Meta> holding one element of the "syncml:metinf" namespace, declared as that
    // element's default one.
    void Meta(std::string_view name, std::string_view text) {
        Open("Meta");
        Element(name, text, "syncml:metinf");
        Close();
    }
    // <name><LocURI>uri</LocURI></name>, the shape of Target and Source.
    void LocURI(std::string_view name, std::string_view uri);
    // <name> holding text as a CDATA section. A "]]>" inside is carried across two
    // sections, so the text arrives intact and the XML stays well-formed.
    void CData(std::string_view name, std::string_view text);

    // Bytes of the message once its open elements are closed (each has content by then).
    [[nodiscard]] std::size_t Size() const {
        return text_.size() + closing_ + (startTagOpen_ ? 1 : 0);
    }
    [[nodiscard]] Mark Here() const { return {text_.size(), open_.size(), startTagOpen_}; }
    // Takes back everything written after the mark; elements open at the mark stay open.
    void Rewind(const Mark& mark);
    // Closes every open element and gives the whole message.
    [[nodiscard]] const std::string& Finish();

private:
    void StartTag(std::string_view name, const char* ns);
    void EndStartTag() {
        if (startTagOpen_) text_ += '>';
        startTagOpen_ = false;
    }
    // Text content, with "&", "<", ">" and control characters written as references.
    void AppendEscaped(std::string_view text);

    std::string text_;
    std::vector<std::string_view> open_;
    std::size_t closing_ = 0;  // bytes of the closing tags of the open elements
    bool startTagOpen_ = false;
};

// A payload as text for a UTF-8 XML document: a line whose bytes are not UTF-8 (read
// from a Latin-1 value) is carried as the characters it was read as; the rest, line ends
// included, byte for byte.
[[nodiscard]] std::string XmlPayload(std::string_view payload);

// Reading replies. Elements are matched by local name, so prefixes and namespace
// declarations of the server do not matter.
// The element's name without its prefix; valid while the document is.
[[nodiscard]] std::string_view LocalName(pugi::xml_node node);
[[nodiscard]] bool HasLocalName(pugi::xml_node node, std::string_view name);
[[nodiscard]] pugi::xml_node Child(pugi::xml_node parent, std::string_view name);
// Child(Child(...)) along a path of local names such as "Item/Source/LocURI".
[[nodiscard]] pugi::xml_node Path(pugi::xml_node from, std::string_view path);
// The element's text and CDATA content; empty for a missing element.
[[nodiscard]] std::string Text(pugi::xml_node node);
// The same without a copy when it is one text or CDATA node (a number, an identifier, a
// payload: the usual case); otherwise gathered into `scratch`. Valid while both are.
[[nodiscard]] std::string_view TextView(pugi::xml_node node, std::string& scratch);
// The element's text as a decimal integer; otherwise a ProtocolError that says the
// reply is malformed and names the element.
[[nodiscard]] long long ReadInteger(pugi::xml_node node);
// The same for the child `name` of parent, named also when it is missing.
[[nodiscard]] long long ReadInteger(pugi::xml_node parent, std::string_view name);
// Parses a reply body in place (the document points into `body`, which must outlive
// it); ProtocolError with the parser's message when malformed, or saying that the
// reply is WBXML (by its first byte or by `contentType`, the reply's Content-Type).
void ParseReply(pugi::xml_document& doc, std::string& body, std::string_view contentType = {});

}  // namespace orvanta
