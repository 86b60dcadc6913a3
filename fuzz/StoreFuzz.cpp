// The whole store exchange against replies from the input: the first byte picks the
// kind of store, which then holds one new, one modified, one deleted and one unchanged
// item; the rest holds the server's replies, separated by kSeparator.
#include <cstddef>
#include <cstdint>

#include "engine/SyncMLBase.h"
#include "formats/Failure.h"
#include "fuzz/FakeTransport.h"
#include "fuzz/FuzzSupport.h"

using namespace orvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    auto client = fuzz::MakeClient(data[0]);
    client->Loaded = true;
    client->NextAnchor = "41";
    const ItemState states[] = {ItemState::New, ItemState::Modified, ItemState::Deleted,
                                ItemState::Unchanged};
    for (const ItemState state : states) {
        TSMLItem* item = client->NewItem();
        item->SetTitle(u"Title");
        item->State = state;
    }
    fuzz::SetReplies(fuzz::SplitParts(fuzz::AsText(data + 1, size - 1)));
    bool stored = false;
    try {
        client->Store();
        stored = true;
    } catch (const Failure&) {
    }
    // A change leaves its mark only when the server accepted it: after a store that
    // reported success none is left; the unchanged item is never sent nor dropped.
    std::size_t marked = 0, unchanged = 0;
    for (const auto& item : client->Items) {
        (item->State == ItemState::Unchanged ? unchanged : marked) += 1;
    }
    fuzz::Require(!stored || marked == 0, "a store that succeeded left changes marked");
    fuzz::Require(unchanged >= 1, "the unchanged item went missing");
    return 0;
}
