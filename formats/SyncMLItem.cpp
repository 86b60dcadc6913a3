#include "formats/SyncMLItem.h"

#include <algorithm>
#include <limits>

#include "formats/ItemKinds.h"

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

// End of a line's property name (the first ";" or ":"), or npos for a line without
// ":", which is no property.
std::size_t NameEnd(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ':') return i;
        if (line[i] == ';') return line.find(':', i + 1) == std::string_view::npos ? line.npos : i;
    }
    return std::string_view::npos;
}

}  // namespace

ItemLines::ItemLines(std::initializer_list<std::string_view> lines) {
    std::size_t size = 0;
    for (const std::string_view line : lines)
        size += line.size();
    text_.reserve(size);
    ends_.reserve(lines.size());
    for (const std::string_view line : lines)
        push_back(line);
}

ItemLines::ItemLines(std::span<const std::string> lines) {
    ends_.reserve(lines.size());
    for (const std::string& line : lines)
        push_back(line);
}

void ItemLines::CheckSize(std::size_t size) {
    if (size > std::numeric_limits<std::uint32_t>::max())
        throw ItemError("The item is too large: its text may be at most 4 GB");
}

void ItemLines::Replace(std::size_t i, std::string_view line) {
    const std::string copy(line);  // the line may be a view into this buffer
    const std::size_t begin = Begin(i);
    const std::size_t old = ends_[i] - begin;
    CheckSize(text_.size() - old + copy.size());
    text_.replace(begin, old, copy);
    for (std::size_t j = i; j < ends_.size(); ++j)
        ends_[j] = static_cast<std::uint32_t>(ends_[j] - old + copy.size());
}

void ItemLines::Insert(std::size_t at, std::string_view line) {
    Insert(at, std::span<const std::string_view>(&line, 1));
}

void ItemLines::Insert(std::size_t at, std::span<const std::string_view> lines) {
    std::string added;
    std::vector<std::uint32_t> ends;
    const std::size_t begin = Begin(at);
    for (const std::string_view line : lines) {
        added += line;
        ends.push_back(static_cast<std::uint32_t>(begin + added.size()));
    }
    CheckSize(text_.size() + added.size());
    text_.insert(begin, added);
    for (std::size_t j = at; j < ends_.size(); ++j)
        ends_[j] = static_cast<std::uint32_t>(ends_[j] + added.size());
    ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(at), ends.begin(), ends.end());
}

void ItemLines::Erase(std::size_t first, std::size_t last) {
    if (first >= last) return;
    const std::size_t begin = Begin(first);
    const std::size_t removed = ends_[last - 1] - begin;
    text_.erase(begin, removed);
    ends_.erase(ends_.begin() + static_cast<std::ptrdiff_t>(first),
                ends_.begin() + static_cast<std::ptrdiff_t>(last));
    for (std::size_t j = first; j < ends_.size(); ++j)
        ends_[j] = static_cast<std::uint32_t>(ends_[j] - removed);
}

void ItemLines::push_back(std::string_view line) {
    CheckSize(text_.size() + line.size());
    text_ += line;
    ends_.push_back(static_cast<std::uint32_t>(text_.size()));
}

bool operator==(const ItemLines& a, const std::vector<std::string>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

LineBounds LineAt(std::string_view text, std::size_t start) {
    // Lines end at LF mostly: search for that, then for a CR before it.
    const std::size_t lf = std::min(text.find('\n', start), text.size());
    const std::size_t cr = text.substr(0, lf).find('\r', start);
    const std::size_t end = std::min(cr, lf);
    return {end, end == cr && cr + 1 == lf ? lf + 1 : std::min(end + 1, text.size())};
}

ItemLines SplitPayloadLines(std::string_view text) {
    // The lines are found first, so that the buffer and the line ends are allocated once
    // at their exact sizes.
    ItemLines::CheckSize(text.size());
    thread_local std::vector<std::string_view> found;
    found.clear();
    std::size_t size = 0;
    for (std::size_t start = 0; start < text.size();) {
        const LineBounds line = LineAt(text, start);
        found.push_back(text.substr(start, line.End - start));
        size += line.End - start;
        start = line.Next;
    }
    ItemLines lines;
    lines.text_.resize(size);
    lines.ends_.resize(found.size());
    std::size_t end = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        found[i].copy(lines.text_.data() + end, found[i].size());
        end += found[i].size();
        lines.ends_[i] = static_cast<std::uint32_t>(end);
    }
    return lines;
}

void TSMLItem::Parse(std::string_view text) {
    Lines = SplitPayloadLines(text);
}

std::string TSMLItem::PairingKey() const {
    return ToUTF8(GetTitle());
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
    return WalkOwnLines(Lines, StartLine, [&](std::string_view line) {
        return PropertyNameIs(line, name) && ParamsMatch(line, params, exclude);
    });
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
        Lines.Replace(static_cast<std::size_t>(i), line);
    } else {
        const auto at = std::clamp<std::int64_t>(std::int64_t{StartLine} + 1, 0,
                                                 static_cast<std::int64_t>(Lines.size()));
        Lines.Insert(static_cast<std::size_t>(at), line);
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

bool PropertyNameIs(std::string_view line, std::string_view upperName) {
    // Most lines are told apart by their first letter, without looking for the name's end.
    if (!upperName.empty()) {
        const char first = line.empty() ? '\0' : line.front();
        if ((first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first) != upperName.front())
            return false;
    }
    const auto end = NameEnd(line);
    if (end == std::string_view::npos) return upperName.empty();
    return EqualsUpper(line.substr(0, end), upperName);
}

std::string GetPropertyName(std::string_view line) {
    const auto end = NameEnd(line);
    if (end == std::string_view::npos) return {};
    return AsciiUpper(line.substr(0, end));
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

namespace {

// Whether a line's head (its name and parameters) says quoted-printable, as
// ENCODING=QUOTED-PRINTABLE or the bare word of vCard 2.1, in any letter case.
bool HeadSaysQuotedPrintable(std::string_view head) {
    constexpr std::string_view word = "QUOTED-PRINTABLE";
    if (head.find(word) != std::string_view::npos) return true;  // the usual spelling
    for (std::size_t i = 0; i + word.size() <= head.size(); ++i) {
        if ((head[i] | 0x20) == 'q' && EqualsUpper(head.substr(i, word.size()), word)) return true;
    }
    return false;
}

// The value of a line and how to read it. Escapes belong to the plain text of
// iCalendar 2.0 and vCard 3.0, never to a quoted-printable value.
struct PropertyValue {
    PropertyValue(std::string_view line, bool textEscapes) {
        const auto colon = line.find(':');
        Raw = colon == std::string_view::npos ? line : line.substr(colon + 1);
        QuotedPrintable = HeadSaysQuotedPrintable(line.substr(0, colon));
        TextEscapes = textEscapes && !QuotedPrintable;
    }

    // One field (or the whole value), decoded; copied only when decoding or
    // unescaping changes it.
    [[nodiscard]] WideString Decode(std::string_view text) const {
        thread_local std::string decoded;  // keeps its capacity from field to field
        if (QuotedPrintable) {
            DecodeQP(text, decoded);
            text = decoded;
        }
        if (text.find('\\') == std::string_view::npos) return FromUTF8(text);
        return FromUTF8(UnescapeField(text, TextEscapes));
    }

    // Calls take(k, field) for each field of a structured value until it returns
    // false. Fields end at each ";" that no backslash escapes ("\;" keeps a semicolon
    // inside its field).
    template <class Take>
    void ForEachField(Take take) const {
        std::size_t start = 0;
        for (std::size_t i = 0, k = 0;; ++i) {
            if (i < Raw.size() && Raw[i] == '\\') {
                ++i;
                continue;
            }
            if (i < Raw.size() && Raw[i] != ';') continue;
            const std::size_t end = std::min(i, Raw.size());
            if (!take(k++, Raw.substr(start, end - start)) || i >= Raw.size()) return;
            start = i + 1;
        }
    }

    std::string_view Raw;
    bool QuotedPrintable;
    bool TextEscapes;
};

}  // namespace

WideString GetPropertyValue(std::string_view line, int index, bool textEscapes) {
    const PropertyValue value(line, textEscapes);
    if (index < 0) {
        if (value.QuotedPrintable) return FromUTF8(DecodeQP(value.Raw));
        return value.TextEscapes ? value.Decode(value.Raw) : FromUTF8(value.Raw);
    }
    WideString field;
    value.ForEachField([&](std::size_t k, std::string_view text) {
        if (k != static_cast<std::size_t>(index)) return true;
        field = value.Decode(text);
        return false;
    });
    return field;
}

void ReadPropertyValues(std::string_view line, bool textEscapes,
                        std::span<WideString* const> into) {
    const PropertyValue value(line, textEscapes);
    value.ForEachField([&](std::size_t k, std::string_view text) {
        if (k >= into.size()) return false;
        if (into[k]) *into[k] = value.Decode(text);
        return true;
    });
}

TDateTime GetDateTimeValue(std::string_view line) {
    const std::string value = ToUTF8(GetPropertyValue(line));
    return value.empty() ? 0 : TextToDateTime(value);
}

bool LineFolding::QuotedPrintable(std::string_view line) {
    if (known_) return quotedPrintable_;
    const auto colon = line.find(':', scanned_);
    if (colon == std::string_view::npos) {
        scanned_ = line.size();
        return false;
    }
    quotedPrintable_ = HeadSaysQuotedPrintable(line.substr(0, colon));
    known_ = true;
    return quotedPrintable_;
}

LineFolding::Join LineFolding::Of(const std::string_view* line, std::string_view next) {
    const auto blank = [&](std::size_t i) {
        return i < next.size() && (next[i] == ' ' || next[i] == '\t');
    };
    Join join = Join::None;
    if (line && blank(0) && !(line->empty() && blank(1))) {
        join = Join::Continuation;
    } else if (line && !line->empty() && line->back() == '=' && QuotedPrintable(*line)) {
        join = Join::SoftBreak;
    }
    if (join == Join::None) {
        // `next` begins a line of its own: its head is not known yet.
        known_ = false;
        scanned_ = 0;
    }
    return join;
}

bool EndsInSoftBreak(std::string_view line) {
    const auto colon = line.find(':');
    return !line.empty() && line.back() == '=' && colon != std::string_view::npos &&
           HeadSaysQuotedPrintable(line.substr(0, colon));
}

void UnfoldLines(ItemLines& lines) {
    // One forward pass over the buffer: a kept line's text moves down by what the folds
    // before it took out, a continuation is appended to the kept line before it. Nothing
    // moves until the first fold.
    std::string& text = lines.text_;
    std::vector<std::uint32_t>& ends = lines.ends_;
    std::size_t kept = 0;
    std::size_t written = 0;    // end of the text kept so far
    std::size_t lineStart = 0;  // where the last kept line begins
    std::size_t readStart = 0;
    LineFolding folding;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        const std::size_t readEnd = ends[i];
        const std::string_view current(text.data() + lineStart, written - lineStart);
        const std::string_view next(text.data() + readStart, readEnd - readStart);
        std::size_t from = readStart;
        switch (folding.Of(kept > 0 ? &current : nullptr, next)) {
            case LineFolding::Join::Continuation:
                ++from;
                break;
            case LineFolding::Join::SoftBreak:
                --written;
                break;
            case LineFolding::Join::None:
                ++kept;
                lineStart = written;
                break;
        }
        if (from != written)
            std::char_traits<char>::move(&text[written], &text[from], readEnd - from);
        written += readEnd - from;
        ends[kept - 1] = static_cast<std::uint32_t>(written);
        readStart = readEnd;
    }
    text.resize(written);
    ends.resize(kept);
}

}  // namespace orvanta
