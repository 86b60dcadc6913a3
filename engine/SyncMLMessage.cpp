#include "engine/SyncMLMessage.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "engine/Errors.h"
#include "formats/DateTime.h"
#include "formats/SyncMLItem.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

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

}  // namespace

void TMessageWriter::Start() {
    text_ = R"(<?xml version="1.0" encoding="utf-8"?>)";
    open_.clear();
    closing_ = 0;
    startTagOpen_ = false;
    Open("SyncML");
}

void TMessageWriter::StartTag(std::string_view name, const char* ns) {
    EndStartTag();
    text_ += '<';
    text_ += name;
    if (ns) {
        text_ += R"( xmlns=")";
        text_ += ns;
        text_ += '"';
    }
}

void TMessageWriter::Open(std::string_view name, const char* ns) {
    StartTag(name, ns);
    startTagOpen_ = true;
    open_.push_back(name);
    closing_ += name.size() + 3;  // "</name>"
}

void TMessageWriter::Close() {
    const std::string_view name = open_.back();
    open_.pop_back();
    closing_ -= name.size() + 3;
    if (startTagOpen_) {
        text_ += "/>";
        startTagOpen_ = false;
        return;
    }
    text_ += "</";
    text_ += name;
    text_ += '>';
}

void TMessageWriter::Element(std::string_view name, std::string_view text, const char* ns) {
    StartTag(name, ns);
    if (text.empty()) {
        text_ += "/>";
        return;
    }
    text_ += '>';
    AppendEscaped(text);
    text_ += "</";
    text_ += name;
    text_ += '>';
}

void TMessageWriter::Element(std::string_view name, long long value) {
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
    Element(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void TMessageWriter::LocURI(std::string_view name, std::string_view uri) {
    Open(name);
    Element("LocURI", uri);
    Close();
}

void TMessageWriter::CData(std::string_view name, std::string_view text) {
    std::string withoutNul;  // XML has no way to carry a NUL, not even in CDATA
    if (text.find('\0') != text.npos) {
        std::copy_if(text.begin(), text.end(), std::back_inserter(withoutNul),
                     [](char c) { return c != '\0'; });
        text = withoutNul;
    }
    Open(name);
    EndStartTag();
    // A "]]>" would end the section: the section ends after its "]]" and the ">" opens
    // the next one.
    for (;;) {
        const auto marker = text.find("]]>");
        const std::string_view part = text.substr(0, marker == text.npos ? text.npos : marker + 2);
        text_ += "<![CDATA[";
        text_ += part;
        text_ += "]]>";
        if (marker == text.npos) break;
        text.remove_prefix(part.size());
    }
    Close();
}

void TMessageWriter::AppendEscaped(std::string_view text) {
    std::size_t plain = 0;  // start of the run not yet written
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 32 ? c != '&' && c != '<' && c != '>' : c == '\t' || c == '\n' || c == '\r')
            continue;
        text_.append(text, plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '&':
                text_ += "&amp;";
                break;
            case '<':
                text_ += "&lt;";
                break;
            case '>':
                text_ += "&gt;";
                break;
            case 0:
                break;  // XML has no way to carry it
            default:    // a control character, as a character reference
                text_ += "&#";
                text_ += static_cast<char>('0' + c / 10);
                text_ += static_cast<char>('0' + c % 10);
                text_ += ';';
        }
    }
    text_.append(text, plain);
}

void TMessageWriter::Rewind(const Mark& mark) {
    text_.resize(mark.Bytes);
    while (open_.size() > mark.Depth) {
        closing_ -= open_.back().size() + 3;
        open_.pop_back();
    }
    startTagOpen_ = mark.StartTagOpen;
}

const std::string& TMessageWriter::Finish() {
    while (!open_.empty())
        Close();
    return text_;
}

std::string XmlPayload(std::string_view payload) {
    if (IsWellFormedUTF8(payload)) return std::string(payload);
    std::string text;
    text.reserve(payload.size() + payload.size() / 8);
    for (std::size_t start = 0; start < payload.size();) {
        const LineBounds line = LineAt(payload, start);
        const std::string_view content = payload.substr(start, line.End - start);
        if (IsWellFormedUTF8(content))
            text += content;
        else
            text += ToUTF8(FromUTF8(content));
        text += payload.substr(line.End, line.Next - line.End);
        start = line.Next;
    }
    return text;
}

std::string_view LocalName(pugi::xml_node node) {
    std::string_view full = node.name();
    full.remove_prefix(full.rfind(':') + 1);  // npos + 1 is 0: no prefix
    return full;
}

bool HasLocalName(pugi::xml_node node, std::string_view name) {
    return LocalName(node) == name;
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

std::string_view TextView(pugi::xml_node node, std::string& scratch) {
    const pugi::xml_node only = node.first_child();
    if (only && !only.next_sibling() &&
        (only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata)) {
        return only.value();
    }
    scratch = Text(node);
    return scratch;
}

namespace {

// `what` names the element in the message of a failure; it is asked for only then.
template <class What>
long long ReadNumber(pugi::xml_node node, const What& what) {
    std::string scratch;
    std::string_view text = TextView(node, scratch);
    // Servers may pretty-print their replies; blanks around a number are layout.
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    const std::string_view trimmed =
        first == std::string_view::npos ? std::string_view() : text.substr(first, last - first + 1);
    try {
        return StrToInt(trimmed);
    } catch (const ConversionError&) {
        if (trimmed.empty()) {
            throw ProtocolError("The server's reply is malformed: " + what() +
                                (node ? " is empty" : " is missing"));
        }
        std::string shown(trimmed.substr(0, 40));
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 32) c = '?';
        }
        if (trimmed.size() > shown.size()) shown += "...";
        throw ProtocolError("The server's reply is malformed: " + what() + " is '" + shown +
                            "', not a number");
    }
}

}  // namespace

long long ReadInteger(pugi::xml_node node) {
    return ReadNumber(node, [node] {
        const pugi::xml_node parent = node.parent();
        return parent && parent.type() == pugi::node_element
                   ? "the " + std::string(LocalName(node)) + " of " + std::string(LocalName(parent))
                   : "the " + std::string(LocalName(node));
    });
}

long long ReadInteger(pugi::xml_node parent, std::string_view name) {
    return ReadNumber(Child(parent, name), [&] {
        return "the " + std::string(name) + " of " + std::string(LocalName(parent));
    });
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
