// A file imported through File > Import: cut into items, each item read, written as
// File > Export writes it and imported again. The first byte picks the kind; the rest is
// the file, which is read as one server payload of that kind as well.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
#include "formats/ObjectFile.h"
#include "fuzz/FuzzSupport.h"
#include "kinds/KindTable.h"

using namespace orvanta;

namespace {

// One kind of the kinds table: its component in files, and a client that makes its items.
struct Kind {
    std::string_view component;
    TSMLBase* client;
    bool hasComponent;  // Parse finds the item's own component (events and tasks)

    [[nodiscard]] std::unique_ptr<TSMLItem> make() const { return client->CreateItem(); }
};

// The kinds in the order of the kinds table, each with its client, made once.
const std::vector<Kind>& Kinds() {
    static std::vector<std::unique_ptr<TSMLBase>> clients;
    static const std::vector<Kind> kinds = [] {
        std::vector<Kind> out;
        for (const DataKind& kind : DataKinds()) {
            clients.push_back(kind.MakeClient());
            out.push_back({kind.Component, clients.back().get(),
                           kind.Keyword == "cal" || kind.Keyword == "task"});
        }
        return out;
    }();
    return kinds;
}

// The payloads whose items are read and written: the cutting is checked on every input,
// the items of a file that makes many megabytes of them only up to here.
constexpr std::size_t kReadBytes = 4 << 20;

// The item of a payload, or nothing when Parse refuses it with a message (a date that is
// none): the import then refuses the file.
std::unique_ptr<TSMLItem> Parsed(const Kind& kind, std::string_view payload) {
    auto item = kind.make();
    try {
        item->Parse(payload);
    } catch (const Failure&) {
        return nullptr;
    }
    return item;
}

// Parse, write, parse: the lines and the title stay as they were.
void RequireStable(const Kind& kind, const TSMLItem& item) {
    const auto again = Parsed(kind, item.GetText());
    fuzz::Require(again != nullptr, "an item's own text cannot be read again");
    fuzz::Require(again->Lines == item.Lines, "an item's lines change once written and read");
    fuzz::Require(again->GetTitle() == item.GetTitle(), "an item's title changes once written");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const Kind& kind = Kinds()[data[0] % Kinds().size()];
    const std::string_view file = fuzz::AsText(data + 1, size - 1);

    // The same text as a server's payload.
    if (const auto item = Parsed(kind, file)) RequireStable(kind, *item);

    ObjectFileItems found;
    try {
        found = SplitObjectFile(file, kind.component);
    } catch (const ItemError&) {
        return 0;  // refused with a message naming the line
    }
    // Joined into one file and cut again, the payloads are the same.
    const ObjectFileItems again = SplitObjectFile(JoinObjectFile(found.Payloads), kind.component);
    fuzz::Require(again.Payloads == found.Payloads, "joined and cut again, the items differ");
    fuzz::Require(again.OtherKinds == 0, "an item took a component of another kind along");

    std::vector<std::string> exported;
    std::size_t read = 0;
    for (const std::string& payload : found.Payloads) {
        if ((read += payload.size()) > kReadBytes) break;
        const auto item = Parsed(kind, payload);
        if (!item) continue;
        if (kind.hasComponent) {
            const auto start = static_cast<std::size_t>(item->StartLine);
            fuzz::Require(item->StartLine >= 0 && start < item->Lines.size() &&
                              IsBlockLine(item->Lines[start], "BEGIN", kind.component),
                          "an item of the file does not find its component");
        }
        RequireStable(kind, *item);
        exported.push_back(item->GetText());
    }
    // What File > Export writes of the items is imported as as many items.
    try {
        fuzz::Require(SplitObjectFile(JoinObjectFile(exported), kind.component).Payloads.size() ==
                          exported.size(),
                      "exported items import as another number of items");
    } catch (const ItemError&) {
        fuzz::Require(false, "exported items are refused on import");
    }
    return 0;
}
