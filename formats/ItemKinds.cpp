#include "formats/ItemKinds.h"

namespace orvanta {

std::int32_t FindComponent(const ItemLines& lines, std::string_view component) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (PropertyNameIs(lines[i], "BEGIN") && ToUTF8(GetPropertyValue(lines[i])) == component) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool UsesTextEscapes(const ItemLines& lines) {
    for (const std::string_view line : lines) {
        if (!PropertyNameIs(line, "VERSION")) continue;
        const WideString version = TrimBlanks(GetPropertyValue(line));
        if (version == u"2.0" || version == u"3.0") return true;
    }
    return false;
}

WideString WithCRLF(const WideString& text) {
    WideString out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out += u"\r\n";
        } else if (text[i] == u'\n') {
            out += u"\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

void WriteText(TSMLItem& item, std::string_view name, WideString& field, const WideString& value) {
    if (value == field) return;
    field = value;
    item.SetPropertyQP(name, {}, value);
}

WideString TrimBlanks(const WideString& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] < 33)
        ++begin;
    while (end > begin && text[end - 1] < 33)
        --end;
    return text.substr(begin, end - begin);
}

}  // namespace orvanta
