#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace orvanta {

// The client's outgoing message: a SyncML document built element by element and
// serialised as UTF-8 with its declaration and no whitespace.
class TSyncMLDocument {
public:
    // Resets the document to an empty SyncML root without namespace declaration.
    void Start();
    [[nodiscard]] pugi::xml_node Root() const { return doc_.document_element(); }
    [[nodiscard]] std::string Serialise() const;
    // The same into `out`, whose capacity is kept from message to message.
    void SerialiseTo(std::string& out) const;

private:
    pugi::xml_document doc_;
};

// Appends <name>text</name>, or an empty <name/> for empty text.
// The Alert codes the client sends (SyncML 1.2 representation protocol, alert types).
enum class AlertCode : int {
    SlowSync = 201,
    OneWayFromClient = 202,
    OneWayFromServer = 204,
    NextMessage = 222,
};

pugi::xml_node AddElement(pugi::xml_node parent, const char* name, std::string_view text = {});
pugi::xml_node AddElement(pugi::xml_node parent, const char* name, long long value);
// The same in the "syncml:metinf" namespace, declared as the element's default namespace.
pugi::xml_node AddMetInf(pugi::xml_node parent, const char* name, std::string_view text = {});
// <name><LocURI>uri</LocURI></name>, the shape of Target and Source.
pugi::xml_node AddLocURI(pugi::xml_node parent, const char* name, std::string_view uri);
// <Data> holding text as a CDATA section. A "]]>" inside is carried across two sections.
pugi::xml_node AddCData(pugi::xml_node parent, const char* name, std::string_view text);

// Bytes the node takes when serialised.
[[nodiscard]] std::size_t SerialisedSize(pugi::xml_node node);

// Reading replies. Elements are matched by local name, so prefixes and namespace
// declarations of the server do not matter.
[[nodiscard]] bool HasLocalName(pugi::xml_node node, std::string_view name);
[[nodiscard]] pugi::xml_node Child(pugi::xml_node parent, std::string_view name);
// Child(Child(...)) along a path of local names such as "Item/Source/LocURI".
[[nodiscard]] pugi::xml_node Path(pugi::xml_node from, std::string_view path);
// The element's text and CDATA content; empty for a missing element.
[[nodiscard]] std::string Text(pugi::xml_node node);
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
