#include "formats/ObjectFile.h"

#include <algorithm>

#include "formats/Failure.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

using Lines = std::vector<std::string_view>;

// The lines of a text cut at CR LF, lone CR and lone LF, without their breaks.
Lines PhysicalLines(std::string_view text) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The property name of a line ("UID" of "UID;X=1:abc"), upper case.
std::string NameOf(std::string_view line) {
    return AsciiUpper(Trimmed(line.substr(0, line.find_first_of(";:"))));
}

// The object type of a BEGIN or END line ("VCARD"), or empty for any other line.
std::string BlockType(std::string_view line, std::string_view keyword) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || NameOf(line) != keyword) return {};
    return AsciiUpper(Trimmed(line.substr(colon + 1)));
}

// One BEGIN ... END object: the indexes of its BEGIN and END lines.
struct Block {
    std::size_t Begin;
    std::size_t End;
    std::string Type;
};

// The outermost objects among lines [from, to); lines between them are passed over.
std::vector<Block> BlocksIn(const Lines& lines, std::size_t from, std::size_t to) {
    std::vector<Block> blocks;
    std::size_t depth = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (!BlockType(lines[i], "BEGIN").empty()) {
            if (depth++ == 0) blocks.push_back({i, 0, BlockType(lines[i], "BEGIN")});
        } else if (depth > 0 && !BlockType(lines[i], "END").empty()) {
            if (--depth == 0) blocks.back().End = i;
        }
    }
    if (depth > 0) {
        throw ItemError("The file ends inside the " + blocks.back().Type +
                        " object that begins on line " + std::to_string(blocks.back().Begin + 1));
    }
    return blocks;
}

bool IsItemComponent(std::string_view type) {
    return type == "VEVENT" || type == "VTODO" || type == "VJOURNAL" || type == "VFREEBUSY";
}

// The UID of a calendar component, folded continuation lines included; empty if none.
std::string UidOf(const Lines& lines, const Block& block) {
    for (std::size_t i = block.Begin + 1; i < block.End; ++i) {
        if (NameOf(lines[i]) != "UID") continue;
        std::string uid(lines[i].substr(lines[i].find(':') + 1));
        while (i + 1 < block.End && !lines[i + 1].empty() &&
               (lines[i + 1].front() == ' ' || lines[i + 1].front() == '\t'))
            uid += lines[++i].substr(1);
        return std::string(Trimmed(uid));
    }
    return {};
}

void Append(std::string& payload, const Lines& lines, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        payload += lines[i];
        payload += "\r\n";
    }
}

// The payloads of one VCALENDAR object for `component`.
void SplitCalendar(const Lines& lines, const Block& calendar, std::string_view component,
                   ObjectFileItems& out) {
    const std::vector<Block> children = BlocksIn(lines, calendar.Begin + 1, calendar.End);
    // The item components grouped by kind and UID, in the order of their first block.
    struct Group {
        std::string Type;
        std::string Uid;
        std::vector<const Block*> Blocks;
    };
    std::vector<Group> groups;
    const Block* firstItem = nullptr;
    for (const Block& child : children) {
        if (!IsItemComponent(child.Type)) continue;
        if (!firstItem) firstItem = &child;
        std::string uid = UidOf(lines, child);
        const auto same = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
            return !uid.empty() && g.Type == child.Type && g.Uid == uid;
        });
        if (same != groups.end()) {
            same->Blocks.push_back(&child);
        } else {
            groups.push_back({child.Type, std::move(uid), {&child}});
        }
    }
    // Appends the calendar's own lines of [from, to), leaving out every item component.
    const auto shared = [&](std::string& payload, std::size_t from, std::size_t to) {
        std::size_t i = from;
        for (const Block& child : children) {
            if (!IsItemComponent(child.Type) || child.End < from || child.Begin >= to) continue;
            Append(payload, lines, i, child.Begin);
            i = child.End + 1;
        }
        Append(payload, lines, i, to);
    };
    for (const Group& group : groups) {
        if (group.Type != component) {
            ++out.OtherKinds;
            continue;
        }
        std::string payload;
        shared(payload, calendar.Begin, firstItem->Begin);
        for (const Block* block : group.Blocks)
            Append(payload, lines, block->Begin, block->End + 1);
        shared(payload, firstItem->Begin, calendar.End + 1);
        out.Payloads.push_back(std::move(payload));
    }
}

}  // namespace

ObjectFileItems SplitObjectFile(std::string_view text, std::string_view component) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const Lines lines = PhysicalLines(text);
    ObjectFileItems out;
    for (const Block& object : BlocksIn(lines, 0, lines.size())) {
        if (object.Type == "VCALENDAR") {
            SplitCalendar(lines, object, component, out);
        } else if (object.Type == component) {
            std::string payload;
            Append(payload, lines, object.Begin, object.End + 1);
            out.Payloads.push_back(std::move(payload));
        } else if (object.Type == "VCARD" || object.Type == "VNOTE") {
            ++out.OtherKinds;
        }
    }
    return out;
}

std::string JoinObjectFile(const std::vector<std::string>& payloads) {
    std::string file;
    for (const std::string& payload : payloads) {
        file += payload;
        if (!payload.empty() && payload.back() != '\n' && payload.back() != '\r') file += "\r\n";
    }
    return file;
}

}  // namespace orvanta
