// The whole load exchange against replies from the input: the first byte picks the
// kind of store, the rest holds the server's replies, one per message, separated by
// kSeparator.
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
    fuzz::SetReplies(fuzz::SplitParts(fuzz::AsText(data + 1, size - 1)));
    try {
        client->Load(size % 2 ? std::string() : std::string("41"));
    } catch (const Failure&) {
        // The user reads the message; what was loaded so far must still be usable.
    }
    for (const auto& item : client->Items) {
        (void)item->GetTitle();
        (void)item->GetText();
    }
    return 0;
}
