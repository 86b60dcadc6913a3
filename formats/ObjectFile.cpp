#include "formats/ObjectFile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

// What a file holds of each kind that can be asked for: the objects of the kind at the
// file's top level, and whether the kind is a component of calendars as well.
struct FileKind {
    std::string_view Component;
    std::array<std::string_view, 2> Objects;
    bool InCalendar;
};
constexpr FileKind kKinds[] = {
    {"VCARD", {"VCARD"}, false},
    {"VNOTE", {"VNOTE", "VTEXT"}, false},  // vText: the notes this program writes
    {"VEVENT", {"VEVENT"}, true},
    {"VTODO", {"VTODO"}, true},
    {"VJOURNAL", {"VJOURNAL"}, true},
};

const FileKind& KindOf(std::string_view component) {
    for (const FileKind& kind : kKinds) {
        if (kind.Component == component) return kind;
    }
    throw ItemError("Items of kind \"" + std::string(component) + "\" cannot be read from a file");
}

bool IsObjectOf(const FileKind& kind, std::string_view upperName) {
    return std::find(kind.Objects.begin(), kind.Objects.end(), upperName) != kind.Objects.end();
}

// The items of a calendar may repeat its shared lines and time zones up to this many
// times the file's size, and this much besides: enough for a large zone shared by many
// small events, not for a file made to fill the memory.
constexpr std::size_t kGrowth = 64;
constexpr std::size_t kAllowance = std::size_t{16} << 20;

constexpr std::uint32_t kNone = UINT32_MAX;

std::string LineText(std::size_t number) {
    return "Line " + std::to_string(number);
}

std::string Megabytes(std::size_t bytes) {
    return std::to_string(std::max<std::size_t>((bytes + (std::size_t{1} << 19)) >> 20, 1)) + " MB";
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The value of a property line: what follows its first ":", without blanks around it.
std::string_view ValueOf(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : Trimmed(line.substr(colon + 1));
}

// Whether a line's parameters may hold a TZID: most lines are passed over without
// reading their parameters.
bool MayHaveTzid(std::string_view line) {
    const std::string_view head = line.substr(0, line.find(':'));
    for (std::size_t i = head.find(';'); i != std::string_view::npos && i + 5 <= head.size();
         i = head.find(';', i + 1)) {
        if (EqualsUpper(head.substr(i + 1, 4), "TZID")) return true;
    }
    return false;
}

// A run of whole lines of the file: bytes [Begin, End) with their line breaks, and its
// size once every line ends in CR LF.
struct Span {
    std::size_t Begin = 0;
    std::size_t End = 0;
    std::size_t Size = 0;
};

// Appends the lines of a span, each ended by CR LF.
void AppendLines(std::string& out, std::string_view text, const Span& span) {
    if (span.Size == span.End - span.Begin) {
        // Every line of the span ends in CR LF already.
        out.append(text.substr(span.Begin, span.End - span.Begin));
        return;
    }
    for (std::size_t start = span.Begin; start < span.End;) {
        const LineBounds line = LineAt(text, start);
        out.append(text.substr(start, line.End - start));
        out += "\r\n";
        start = line.Next;
    }
}

// One logical line of a file, unfolded, and where its physical lines lie.
struct LogicalLine {
    std::string_view Text;   // valid until the next line is read
    bool Joined = false;     // Text is a copy of folded lines, not the file's own bytes
    Span Where;              // its physical lines
    std::size_t Number = 0;  // of its first physical line, from 1
};

// Calls take(line) for each logical line of the text in order, unfolded as the items
// unfold their payloads.
template <class Take>
void ForEachLogicalLine(std::string_view text, Take take) {
    LineFolding folding;
    std::string joined;
    LogicalLine line;
    bool have = false;
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const LineBounds bounds = LineAt(text, start);
        const std::string_view next = text.substr(start, bounds.End - start);
        ++number;
        const LineFolding::Join join = folding.Of(have ? &line.Text : nullptr, next);
        if (join == LineFolding::Join::None) {
            if (have) take(line);
            line = {next, false, {start, bounds.Next, next.size() + 2}, number};
            have = true;
        } else {
            if (!line.Joined) {
                joined.assign(line.Text);
                line.Joined = true;
            }
            if (join == LineFolding::Join::Continuation) {
                joined.append(next.substr(1));
            } else {
                joined.pop_back();
                joined.append(next);
            }
            line.Text = joined;
            line.Where.End = bounds.Next;
            line.Where.Size += next.size() + 2;
        }
        start = bounds.Next;
    }
    if (have) take(line);
}

// The number of the line that holds text[at].
std::size_t LineNumberOf(std::string_view text, std::size_t at) {
    std::size_t number = 1;
    for (std::size_t start = 0; (start = LineAt(text, start).Next) <= at && start < text.size();)
        ++number;
    return number;
}

// A group of calendar components: one, or all that share a kind and a UID.
struct GroupKey {
    std::uint32_t Type;
    std::string_view Uid;
    bool operator==(const GroupKey&) const = default;
};
struct GroupKeyHash {
    std::size_t operator()(const GroupKey& key) const {
        return std::hash<std::string_view>()(key.Uid) * 31 + key.Type;
    }
};

// Reads a file line by line and hands out the payloads of the kind asked for: an object
// as soon as it ends, a calendar's items once the calendar ends.
class FileReader {
public:
    FileReader(std::string_view text, const FileKind& kind,
               const std::function<void(std::string&, std::size_t)>& take)
        : text_(text), kind_(kind), take_(take), limit_(text.size() * kGrowth + kAllowance) {}

    std::size_t Read() {
        ForEachLogicalLine(text_, [this](const LogicalLine& line) { Take(line); });
        if (!open_.empty()) {
            throw ItemError("The file ends inside the " + open_.back().Name +
                            " object that begins on line " + std::to_string(open_.back().Number));
        }
        return others_;
    }

private:
    struct Open {
        std::string Name;  // upper case
        std::size_t Begin;
        std::size_t Number;
        std::size_t SizeBefore;  // of the file's lines before it, with CR LF
    };
    struct Zone {
        Span Where;
        std::string_view Tzid;
    };
    struct Component {
        Span Where;
        std::uint32_t NextInGroup = kNone;
    };
    struct Group {
        std::uint32_t Type;
        std::uint32_t First;
        std::uint32_t Last;
        std::size_t Number;
    };

    void Take(const LogicalLine& line) {
        const std::size_t sizeBefore = consumed_;
        consumed_ += line.Where.Size;
        const std::size_t depth = open_.size();
        if (const std::string_view name = BlockName(line.Text, "BEGIN"); !name.empty()) {
            open_.push_back({AsciiUpper(name), line.Where.Begin, line.Number, sizeBefore});
            if (depth == 0 && open_.back().Name == "VCALENDAR") {
                inCalendar_ = true;
                AddOwn(line);
            } else if (depth == 1 && inCalendar_) {
                StartComponent(open_.back().Name == "VTIMEZONE");
            }
            return;
        }
        if (const std::string_view name = BlockName(line.Text, "END"); !name.empty()) {
            Close(line, name);
            return;
        }
        if (!inCalendar_) return;  // text outside objects, or inside another object
        if (depth == 1) {
            AddOwn(line);
        } else {
            ReadComponentLine(line, depth);
        }
    }

    void Close(const LogicalLine& line, std::string_view name) {
        if (open_.empty()) {
            throw ItemError(LineText(line.Number) + " ends a " + AsciiUpper(name) +
                            " object that never began");
        }
        if (!EqualsUpper(name, open_.back().Name)) {
            throw ItemError(LineText(line.Number) + " ends a " + AsciiUpper(name) +
                            " object, but the " + open_.back().Name +
                            " object that begins on line " + std::to_string(open_.back().Number) +
                            " is still open");
        }
        const Open block = std::move(open_.back());
        open_.pop_back();
        const Span where{block.Begin, line.Where.End, consumed_ - block.SizeBefore};
        if (open_.empty() && inCalendar_) {
            AddOwn(line);
            EndCalendar(block.Number);
        } else if (open_.empty()) {
            EndObject(block, where);
        } else if (open_.size() == 1 && inCalendar_) {
            EndComponent(block, where);
        }
    }

    void EndObject(const Open& block, const Span& where) {
        if (!IsObjectOf(kind_, block.Name)) {
            ++others_;
            return;
        }
        std::string payload;
        payload.reserve(where.Size);
        AppendLines(payload, text_, where);
        take_(payload, block.Number);
    }

    // A line of the calendar outside its blocks: consecutive ones make one run.
    void AddOwn(const LogicalLine& line) {
        if (!own_.empty() && own_.back().End == line.Where.Begin) {
            own_.back().End = line.Where.End;
            own_.back().Size += line.Where.Size;
        } else {
            own_.push_back(line.Where);
        }
    }

    void StartComponent(bool zone) {
        zone_ = zone;
        uid_ = {};
        zoneTzid_ = {};
        haveName_ = false;
        tzids_.clear();
    }

    // A line inside a block of the calendar: its UID or a TZID it uses, or a zone's TZID.
    void ReadComponentLine(const LogicalLine& line, std::size_t depth) {
        const std::string_view text = line.Text;
        if (depth == 2 && !haveName_ && PropertyNameIs(text, zone_ ? "TZID" : "UID")) {
            haveName_ = true;
            (zone_ ? zoneTzid_ : uid_) = Kept(line, ValueOf(text));
        }
        if (!zone_ && MayHaveTzid(text)) {
            if (std::string tzid = TzidOf(text); !tzid.empty())
                tzids_.push_back(*names_.insert(std::move(tzid)).first);
        }
    }

    // A value read from a line, kept until the calendar ends.
    std::string_view Kept(const LogicalLine& line, std::string_view value) {
        if (!line.Joined) return value;
        return copies_.emplace_back(value);
    }

    std::uint32_t TypeId(const std::string& name) {
        const auto [it, added] =
            types_.try_emplace(name, static_cast<std::uint32_t>(typeNames_.size()));
        if (added) typeNames_.push_back(name);
        return it->second;
    }

    void EndComponent(const Open& block, const Span& where) {
        if (zone_) {
            zones_.push_back({where, zoneTzid_});
            // The first definition of a TZID is the one the items read.
            if (!zoneTzid_.empty())
                zoneByTzid_.try_emplace(zoneTzid_, static_cast<std::uint32_t>(zones_.size() - 1));
            return;
        }
        const auto index = static_cast<std::uint32_t>(components_.size());
        components_.push_back({where});
        if (components_.size() == 1) firstComponent_ = where.Begin;
        const std::uint32_t type = TypeId(block.Name);
        const auto group = static_cast<std::uint32_t>(groups_.size());
        const auto [it, added] = uid_.empty() ? std::pair(byUid_.end(), true)
                                              : byUid_.try_emplace(GroupKey{type, uid_}, group);
        if (added) {
            groups_.push_back({type, index, index, block.Number});
        } else {
            Group& same = groups_[it->second];
            components_[same.Last].NextInGroup = index;
            same.Last = index;
        }
        for (const std::string_view tzid : tzids_)
            tzidRefs_.emplace_back(added ? group : it->second, tzid);
    }

    void EndCalendar(std::size_t number) {
        // The zones each group uses, in the file's order.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> used;
        used.reserve(tzidRefs_.size());
        for (const auto& [group, tzid] : tzidRefs_) {
            if (const auto zone = zoneByTzid_.find(tzid); zone != zoneByTzid_.end())
                used.emplace_back(group, zone->second);
        }
        std::sort(used.begin(), used.end());
        used.erase(std::unique(used.begin(), used.end()), used.end());

        std::size_t ownSize = 0;
        for (const Span& run : own_)
            ownSize += run.Size;
        // Each payload's size, and the refusal of a calendar that would take too much.
        std::vector<std::size_t> sizes(groups_.size(), 0);
        std::size_t total = emitted_;
        for (const auto& [g, zone] : used) {
            if (Wanted(groups_[g])) sizes[g] += zones_[zone].Where.Size;
        }
        for (std::uint32_t g = 0; g < groups_.size(); ++g) {
            if (!Wanted(groups_[g])) continue;
            sizes[g] += ownSize;
            for (std::uint32_t c = groups_[g].First; c != kNone; c = components_[c].NextInGroup)
                sizes[g] += components_[c].Where.Size;
            total += sizes[g];
        }
        if (total > limit_) {
            throw ItemError("The calendar that begins on line " + std::to_string(number) +
                            " would make " + Megabytes(total - emitted_) +
                            " of items, as each repeats the calendar's lines and the time zones "
                            "it uses: a file of " +
                            Megabytes(text_.size()) + " may make at most " + Megabytes(limit_));
        }
        emitted_ = total;

        auto u = used.begin();
        for (std::uint32_t g = 0; g < groups_.size(); ++g) {
            const Group& group = groups_[g];
            if (!Wanted(group)) {
                ++others_;
                continue;
            }
            while (u != used.end() && u->first < g)
                ++u;
            std::string payload;
            payload.reserve(sizes[g]);
            // The calendar's own lines and the group's zones in the file's order, the
            // group's components where the calendar's first component stands.
            auto run = own_.begin();
            const auto shared = [&](std::size_t before) {
                for (;;) {
                    const bool ownNext = run != own_.end() && run->Begin < before;
                    const bool zoneNext =
                        u != used.end() && u->first == g && zones_[u->second].Where.Begin < before;
                    if (!ownNext && !zoneNext) return;
                    if (ownNext && (!zoneNext || run->Begin < zones_[u->second].Where.Begin)) {
                        AppendLines(payload, text_, *run++);
                    } else {
                        AppendLines(payload, text_, zones_[(u++)->second].Where);
                    }
                }
            };
            shared(firstComponent_);
            for (std::uint32_t c = group.First; c != kNone; c = components_[c].NextInGroup)
                AppendLines(payload, text_, components_[c].Where);
            shared(std::string_view::npos);
            take_(payload, group.Number);
        }

        inCalendar_ = false;
        own_.clear();
        zones_.clear();
        zoneByTzid_.clear();
        components_.clear();
        groups_.clear();
        byUid_.clear();
        tzidRefs_.clear();
        copies_.clear();
        names_.clear();
    }

    bool Wanted(const Group& group) const {
        return kind_.InCalendar && typeNames_[group.Type] == kind_.Component;
    }

    const std::string_view text_;
    const FileKind& kind_;
    const std::function<void(std::string&, std::size_t)>& take_;
    const std::size_t limit_;
    std::size_t others_ = 0;
    std::size_t consumed_ = 0;  // size of the lines read so far, with CR LF
    std::size_t emitted_ = 0;   // size of the calendar payloads so far
    std::vector<Open> open_;
    std::unordered_map<std::string, std::uint32_t> types_;
    std::vector<std::string> typeNames_;

    // The calendar being read.
    bool inCalendar_ = false;
    std::vector<Span> own_;
    std::vector<Zone> zones_;
    std::unordered_map<std::string_view, std::uint32_t> zoneByTzid_;
    std::vector<Component> components_;
    std::size_t firstComponent_ = 0;
    std::vector<Group> groups_;
    std::unordered_map<GroupKey, std::uint32_t, GroupKeyHash> byUid_;
    std::vector<std::pair<std::uint32_t, std::string_view>> tzidRefs_;  // group, TZID
    std::deque<std::string> copies_;         // values read from folded lines
    std::unordered_set<std::string> names_;  // the TZIDs the components use

    // The block of the calendar being read.
    bool zone_ = false;
    bool haveName_ = false;  // its UID, or a zone's TZID, is read
    std::string_view uid_;
    std::string_view zoneTzid_;
    std::vector<std::string_view> tzids_;
};

// A file with a UTF-16 byte-order mark, as some address books write them, as UTF-8.
std::string FromUTF16(std::string_view text, bool littleEndian) {
    WideString units;
    units.reserve(text.size() / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        const auto first = static_cast<unsigned char>(text[i]);
        const auto second = static_cast<unsigned char>(text[i + 1]);
        units += static_cast<char16_t>(littleEndian ? first | second << 8 : first << 8 | second);
    }
    return ToUTF8(units);
}

}  // namespace

std::size_t ReadObjectFile(
    std::string_view text, std::string_view component,
    const std::function<void(std::string& payload, std::size_t line)>& take) {
    const FileKind& kind = KindOf(component);
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        return ReadObjectFile(FromUTF16(text, text[0] == '\xFF'), component, take);
    }
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
        throw ItemError(LineText(LineNumberOf(text, nul)) +
                        " holds a NUL byte, which no item can carry: the file is damaged or "
                        "is not a text file");
    }
    return FileReader(text, kind, take).Read();
}

ObjectFileItems SplitObjectFile(std::string_view text, std::string_view component) {
    ObjectFileItems out;
    out.OtherKinds = ReadObjectFile(text, component, [&](std::string& payload, std::size_t) {
        out.Payloads.push_back(std::move(payload));
    });
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
