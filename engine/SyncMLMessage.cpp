#include "engine/SyncMLMessage.h"

#include <cstring>
#include <sstream>

#include "engine/Errors.h"
#include "formats/DateTime.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

constexpr char kInitialMessage[] = "<?xml version=\"1.0\" encoding=\"utf-8\" ?><SyncML/>";

class CountingWriter : public pugi::xml_writer {
public:
    void write(const void*, size_t size) override { bytes += size; }
    std::size_t bytes = 0;
};

class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : text(out) {}
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
    std::string& text;
};

void CheckParsed(const pugi::xml_parse_result& result, const pugi::xml_document& doc) {
    if (!result) {
        throw ProtocolError(
            "The server's reply is not well-formed XML: " + std::string(result.description()) +
            " at byte " + std::to_string(result.offset));
    }
    if (!HasLocalName(doc.document_element(), "SyncML")) {
        throw ProtocolError("The server's reply is not a SyncML message");
    }
}

constexpr unsigned kWriteFlags = pugi::format_raw;

}  // namespace

void TSyncMLDocument::Start() {
    doc_.reset();
    doc_.load_string(kInitialMessage, pugi::parse_default | pugi::parse_declaration);
}

std::string TSyncMLDocument::Serialise() const {
    std::string text;
    SerialiseTo(text);
    return text;
}

void TSyncMLDocument::SerialiseTo(std::string& out) const {
    out.clear();
    StringWriter writer(out);
    doc_.save(writer, "", kWriteFlags, pugi::encoding_utf8);
}

pugi::xml_node AddElement(pugi::xml_node parent, const char* name, std::string_view text) {
    pugi::xml_node node = parent.append_child(name);
    if (!text.empty()) node.append_child(pugi::node_pcdata).set_value(text.data(), text.size());
    return node;
}

pugi::xml_node AddElement(pugi::xml_node parent, const char* name, long long value) {
    pugi::xml_node node = parent.append_child(name);
    node.text().set(value);
    return node;
}

pugi::xml_node AddMetInf(pugi::xml_node parent, const char* name, std::string_view text) {
    pugi::xml_node node = parent.append_child(name);
    node.append_attribute("xmlns").set_value("syncml:metinf");
    if (!text.empty()) node.append_child(pugi::node_pcdata).set_value(text.data(), text.size());
    return node;
}

pugi::xml_node AddLocURI(pugi::xml_node parent, const char* name, std::string_view uri) {
    pugi::xml_node node = parent.append_child(name);
    AddElement(node, "LocURI", uri);
    return node;
}

pugi::xml_node AddCData(pugi::xml_node parent, const char* name, std::string_view text) {
    pugi::xml_node node = parent.append_child(name);
    // pugixml writes a "]]>" inside a CDATA value as two sections, so the text
    // arrives intact and the XML stays well-formed.
    node.append_child(pugi::node_cdata).set_value(text.data(), text.size());
    return node;
}

namespace {

std::size_t PrintedSize(pugi::xml_node node) {
    CountingWriter writer;
    node.print(writer, "", kWriteFlags, pugi::encoding_utf8);
    return writer.bytes;
}

// Whether the writer might write text other than as it stands (entities, character
// references). Such text is rare in the client's messages and is measured by printing.
bool MayBeEscaped(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'') return true;
    }
    return false;
}

}  // namespace

std::size_t SerialisedSize(pugi::xml_node node) {
    // The size is counted from the tree for the common shapes: the client's messages
    // are measured command by command, and printing each one costs as much again as
    // building it.
    switch (node.type()) {
        case pugi::node_element: {
            const std::size_t name = std::strlen(node.name());
            std::size_t size = 1 + name;  // "<name"
            for (const pugi::xml_attribute a : node.attributes()) {
                const std::string_view value = a.value();
                if (MayBeEscaped(value)) return PrintedSize(node);
                size += std::strlen(a.name()) + value.size() + 4;  // ` name="value"`
            }
            if (!node.first_child()) return size + 2;  // "/>"
            size += 1;                                 // ">"
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                size += SerialisedSize(child);
            }
            return size + name + 3;  // "</name>"
        }
        case pugi::node_pcdata: {
            const std::string_view value = node.value();
            return MayBeEscaped(value) ? PrintedSize(node) : value.size();
        }
        case pugi::node_cdata: {
            const std::string_view value = node.value();
            if (value.find("]]>") != std::string_view::npos) return PrintedSize(node);
            return value.size() + 12;  // "<![CDATA[" value "]]>"
        }
        default:
            return PrintedSize(node);
    }
}

bool HasLocalName(pugi::xml_node node, std::string_view name) {
    std::string_view full = node.name();
    if (const auto colon = full.rfind(':'); colon != std::string_view::npos) {
        full.remove_prefix(colon + 1);
    }
    return full == name;
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view name) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && HasLocalName(child, name)) return child;
    }
    return {};
}

pugi::xml_node Path(pugi::xml_node from, std::string_view path) {
    pugi::xml_node node = from;
    while (node && !path.empty()) {
        const auto slash = path.find('/');
        node = Child(node, path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    }
    return node;
}

std::string Text(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text += child.value();
        }
    }
    return text;
}

namespace {

std::string LocalName(pugi::xml_node node) {
    std::string_view full = node.name();
    if (const auto colon = full.rfind(':'); colon != std::string_view::npos) {
        full.remove_prefix(colon + 1);
    }
    return std::string(full);
}

long long ReadNumber(pugi::xml_node node, const std::string& what) {
    const std::string text = Text(node);
    // Servers may pretty-print their replies; blanks around a number are layout.
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    const std::string trimmed =
        first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    try {
        return StrToInt(trimmed);
    } catch (const ConversionError&) {
        if (trimmed.empty()) {
            throw ProtocolError("The server's reply is malformed: " + what +
                                (node ? " is empty" : " is missing"));
        }
        std::string shown = trimmed.substr(0, 40);
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 32) c = '?';
        }
        if (trimmed.size() > shown.size()) shown += "...";
        throw ProtocolError("The server's reply is malformed: " + what + " is '" + shown +
                            "', not a number");
    }
}

}  // namespace

long long ReadInteger(pugi::xml_node node) {
    const pugi::xml_node parent = node.parent();
    const std::string what = parent && parent.type() == pugi::node_element
                                 ? "the " + LocalName(node) + " of " + LocalName(parent)
                                 : "the " + LocalName(node);
    return ReadNumber(node, what);
}

long long ReadInteger(pugi::xml_node parent, std::string_view name) {
    return ReadNumber(Child(parent, name), "the " + std::string(name) + " of " + LocalName(parent));
}

void ParseReply(pugi::xml_document& doc, std::string& body, std::string_view contentType) {
    // WBXML, the binary form of SyncML, begins with its version byte (1.1 to 1.3), which
    // no XML document can; a server may also say so in its Content-Type.
    const bool binary = !body.empty() && body[0] >= 1 && body[0] <= 3;
    const auto refuseBinary = [] {
        throw ProtocolError(
            "The server answered in WBXML, a binary form of SyncML that Orvanta does not "
            "read; it must be set to send SyncML as XML");
    };
    if (binary) refuseBinary();
    try {
        // pugixml never loads external entities or DTDs; the document type is skipped.
        // The encoding comes from the byte order mark or the XML declaration (UTF-8
        // without either); other encodings are converted to UTF-8.
        CheckParsed(doc.load_buffer_inplace(body.data(), body.size(), pugi::parse_default,
                                            pugi::encoding_auto),
                    doc);
    } catch (const ProtocolError&) {
        if (AsciiUpper(contentType).find("WBXML") != std::string::npos) refuseBinary();
        throw;
    }
}

}  // namespace orvanta
