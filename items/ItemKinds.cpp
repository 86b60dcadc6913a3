#include "items/ItemKinds.h"

namespace orvanta {

std::int32_t FindComponent(const std::vector<std::string>& lines, std::string_view component) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (GetPropertyName(lines[i]) == "BEGIN" &&
            ToUTF8(GetPropertyValue(lines[i])) == component) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

void ReadTitle(const TSMLItem& item, std::string_view name, WideString& field, std::int32_t from,
               bool skipNested) {
    int depth = 0;  // 1 inside the component itself
    for (std::size_t i = static_cast<std::size_t>(from); i < item.Lines.size(); ++i) {
        const std::string property = GetPropertyName(item.Lines[i]);
        if (property == "BEGIN") {
            ++depth;
        } else if (property == "END") {
            --depth;
        } else if (property == name && (!skipNested || depth <= 1)) {
            field = GetPropertyValue(item.Lines[i]);
        }
    }
}

void WriteTitle(TSMLItem& item, std::string_view name, WideString& field, const WideString& value) {
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
