#include "formats/ItemKinds.h"

namespace orvanta {

std::string_view BlockName(std::string_view line, std::string_view keyword) {
    if (!PropertyNameIs(line, keyword)) return {};
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    std::string_view name = line.substr(colon + 1);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!name.empty() && blank(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && blank(name.back()))
        name.remove_suffix(1);
    return name;
}

bool IsBlockLine(std::string_view line, std::string_view keyword, std::string_view upperName) {
    const std::string_view name = BlockName(line, keyword);
    return !name.empty() && EqualsUpper(name, upperName);
}

bool OpensBlock(const ItemLines& lines, std::int32_t at, std::string_view upperName) {
    return at >= 0 && static_cast<std::size_t>(at) < lines.size() &&
           IsBlockLine(lines[static_cast<std::size_t>(at)], "BEGIN", upperName);
}

std::int32_t FindComponent(const ItemLines& lines, std::string_view component) {
    // The blocks open around the current line: whether each is a VCALENDAR, and how many
    // are not. An END closes the innermost block, whatever its name.
    std::vector<bool> calendars;
    std::size_t others = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const std::string_view name = BlockName(lines[i], "BEGIN"); !name.empty()) {
            if (others == 0 && EqualsUpper(name, component)) return static_cast<std::int32_t>(i);
            const bool calendar = EqualsUpper(name, "VCALENDAR");
            calendars.push_back(calendar);
            others += calendar ? 0 : 1;
        } else if (!calendars.empty() && !BlockName(lines[i], "END").empty()) {
            others -= calendars.back() ? 0 : 1;
            calendars.pop_back();
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

WideString ReadText(const TSMLItem& item, std::string_view name, bool textEscapes) {
    const std::int32_t line = item.FindProperty(name, {});
    if (line < 0) return {};
    return GetPropertyValue(item.Lines[static_cast<std::size_t>(line)], -1, textEscapes);
}

void WriteText(TSMLItem& item, std::string_view name, const WideString& current,
               const WideString& value) {
    if (value != current) item.SetPropertyQP(name, {}, value);
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
