#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "formats/SyncMLItem.h"

namespace orvanta {

class TSMLBase;

struct FileItems {
    // Items of the client's kind, each read from its payload, without identifier or state.
    std::vector<std::unique_ptr<TSMLItem>> Items;
    // Items in the file of another kind (a task in a calendar file asked for events).
    std::size_t OtherKinds = 0;
};

// The items of the client's kind in a file's text (.vcf, .ics, .vcs, .vnt), cut as
// ReadObjectFile cuts them and each read by an item the client makes. A file is read
// whole or not at all: ReadObjectFile's refusals, and an item that cannot be read (a
// date that is none), fail with a message that names the line the item begins on.
[[nodiscard]] FileItems ReadFileItems(TSMLBase& client, std::string_view text);

}  // namespace orvanta
