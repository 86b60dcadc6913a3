#include "formats/SyncMLItem.h"

#include <algorithm>

namespace orvanta {

namespace {

constexpr std::string_view kQPParams = ";ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:";

// The parameter text of a line as bytes, without the encoding and charset parameters
// that the writers add themselves.
std::string ParamText(std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return {};
    const std::string_view head = line.substr(0, colon);
    const auto semicolon = head.find(';');
    if (semicolon == std::string_view::npos) return {};
    // One pass over the head: a line may repeat a parameter any number of times.
    std::string params;
    params.reserve(head.size() - semicolon);
    for (std::size_t i = semicolon; i < head.size();) {
        const std::string_view rest = head.substr(i);
        bool dropped = false;
        for (const std::string_view drop : {";ENCODING=QUOTED-PRINTABLE", ";CHARSET=UTF-8"}) {
            if (rest.substr(0, drop.size()) == drop) {
                i += drop.size();
                dropped = true;
                break;
            }
        }
        if (!dropped) params += head[i++];
    }
    // What a cut leaves before the first remaining ";" belongs to the name.
    const auto first = params.find(';');
    return first == std::string::npos ? std::string() : params.substr(first + 1);
}

bool ParamsMatch(std::string_view line, const ParamList& params, std::string_view exclude) {
    if (params.empty() && exclude.empty()) return true;
    const std::string have = ParamText(line);
    if (!exclude.empty() && have.find(exclude) != std::string::npos) return false;
    if (params.empty()) return true;
    if (params.front().empty()) return have.empty();
    return std::all_of(params.begin(), params.end(),
                       [&](const std::string& p) { return have.find(p) != std::string::npos; });
}

// Name comparison without building the upper-cased name for every line.
bool NameIs(std::string_view line, std::string_view upperName) {
    const auto end = line.find_first_of(";:");
    if (end == std::string_view::npos || line.find(':') == std::string_view::npos) {
        return upperName.empty();
    }
    if (end != upperName.size()) return false;
    for (std::size_t i = 0; i < end; ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upperName[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> SplitPayloadLines(std::string_view text) {
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::vector<std::string> lines;
    // One allocation for the list: a line per LF, or per CR where there is no LF.
    const auto lf = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    lines.reserve(
        (lf > 0 ? lf : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r'))) + 1);
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

void TSMLItem::Parse(std::string_view text) {
    Lines = SplitPayloadLines(text);
}

std::string TSMLItem::GetText() const {
    std::size_t size = 0;
    for (const auto& line : Lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : Lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::int32_t TSMLItem::FindProperty(std::string_view name, const ParamList& params,
                                    std::string_view exclude) const {
    int depth = 0;
    for (std::size_t i = static_cast<std::size_t>(std::max(StartLine, -1) + 1); i < Lines.size();
         ++i) {
        const std::string& line = Lines[i];
        if (NameIs(line, "BEGIN")) {
            ++depth;
        } else if (NameIs(line, "END")) {
            --depth;
        } else if (depth == 0 && NameIs(line, name) && ParamsMatch(line, params, exclude)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::string TSMLItem::BuildHead(std::string_view name, const ParamList& params,
                                std::string_view head) {
    if (!head.empty()) return std::string(head);
    std::string built(name);
    if (!params.empty() && !params.front().empty()) {
        for (const auto& p : params) {
            built += ';';
            built += p;
        }
    }
    return built;
}

void TSMLItem::WriteLine(std::string_view name, const ParamList& params, std::string line,
                         std::string_view exclude) {
    const std::int32_t i = FindProperty(name, params, exclude);
    if (i >= 0) {
        Lines[static_cast<std::size_t>(i)] = std::move(line);
    } else {
        const auto at = std::clamp<std::int64_t>(std::int64_t{StartLine} + 1, 0,
                                                 static_cast<std::int64_t>(Lines.size()));
        Lines.insert(Lines.begin() + at, std::move(line));
    }
    MarkModified();
}

void TSMLItem::SetProperty(std::string_view name, const ParamList& params, const WideString& value,
                           std::string_view head, std::string_view exclude) {
    WriteLine(name, params, BuildHead(name, params, head) + ":" + ToUTF8(value), exclude);
}

void TSMLItem::SetPropertyQP(std::string_view name, const ParamList& params,
                             const WideString& value, std::string_view head,
                             std::string_view exclude) {
    WriteLine(name, params,
              BuildHead(name, params, head) + std::string(kQPParams) + EncodeQP(ToUTF8(value)),
              exclude);
}

void TSMLItem::MarkModified() {
    if (State == ItemState::Unchanged) State = ItemState::Modified;
}

std::string GetPropertyName(std::string_view line) {
    if (line.find(':') == std::string_view::npos) return {};
    std::string name(line.substr(0, line.find_first_of(";:")));
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
}

WideString GetPropertyParams(std::string_view line) {
    return FromUTF8(ParamText(line));
}

std::string GetPropertyParamText(std::string_view line) {
    return ParamText(line);
}

std::string UnescapeField(std::string_view field, bool textEscapes) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[i + 1];
        if (next == ';' || next == '\\' || (textEscapes && next == ',')) {
            out += next;
            ++i;
        } else if (textEscapes && (next == 'n' || next == 'N')) {
            out += '\n';
            ++i;
        } else {
            out += field[i];
        }
    }
    return out;
}

WideString GetPropertyValue(std::string_view line, int index, bool textEscapes) {
    const auto colon = line.find(':');
    std::string_view raw = colon == std::string_view::npos ? line : line.substr(colon + 1);
    const bool qp = line.find("QUOTED-PRINTABLE") != std::string_view::npos;
    // Escapes belong to the plain text of iCalendar 2.0 and vCard 3.0, never to a
    // quoted-printable value.
    textEscapes = textEscapes && !qp;
    if (index < 0) {
        if (qp) return FromUTF8(DecodeQP(raw));
        return FromUTF8(textEscapes ? UnescapeField(raw, true) : std::string(raw));
    }

    // Fields of a structured value end at each ";" that no backslash escapes (the
    // vCard escape "\;" keeps a semicolon inside its field).
    int k = 0;
    std::size_t start = 0;
    for (std::size_t i = 0;; ++i) {
        if (i < raw.size() && raw[i] == '\\') {
            ++i;
            continue;
        }
        if (i < raw.size() && raw[i] != ';') continue;
        if (k == index) {
            const std::string_view field = raw.substr(start, std::min(i, raw.size()) - start);
            return FromUTF8(UnescapeField(qp ? DecodeQP(field) : std::string(field), textEscapes));
        }
        if (i >= raw.size()) return {};
        ++k;
        start = i + 1;
    }
}

TDateTime GetDateTimeValue(std::string_view line) {
    const std::string value = ToUTF8(GetPropertyValue(line));
    return value.empty() ? 0 : TextToDateTime(value);
}

void UnfoldLines(std::vector<std::string>& lines, bool softBreaks) {
    for (std::size_t i = lines.size(); i-- > 1;) {
        if (i < lines.size() && !lines[i].empty() && lines[i].front() == ' ') {
            lines[i - 1].append(lines[i], 1);
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (softBreaks && i < lines.size() && !lines[i - 1].empty() && lines[i - 1].back() == '=') {
            lines[i - 1].pop_back();
            lines[i - 1] += lines[i];
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

}  // namespace orvanta
