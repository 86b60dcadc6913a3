#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/Errors.h"
#include "engine/SyncMLBase.h"
#include "engine/SyncMLMessage.h"
#include "engine/SyncMLSession.h"

namespace orvanta {

namespace {

bool IsBlank(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 32) return false;
    }
    return true;
}

// The loaded items by identifier, for a load of any size: open addressing over a
// power-of-two table of (hash, item) slots, probed linearly and at most half full. A
// lookup reads one run of neighbouring slots and an item only when its hash matches, the
// table grows without reading any item, and it is one allocation. A table of nodes (one
// allocation per item, scattered among the items) missed the cache two or three times
// per lookup once a load no longer fitted in it, and took longer per item the larger the
// load.
class TItemIndex {
public:
    // An identifier's hash, taken once for its lookup and, when it is new, its insert.
    [[nodiscard]] static std::size_t HashOf(std::string_view id) {
        return std::hash<std::string_view>{}(id);
    }

    // The slot that holds the item with this identifier (of this hash), or npos.
    [[nodiscard]] std::size_t Find(std::string_view id, std::size_t hash) const {
        if (slots_.empty()) return npos;
        for (std::size_t i = hash & mask();; i = (i + 1) & mask()) {
            const Slot& s = slots_[i];
            if (!s.Item) return npos;
            if (s.Hash == hash && s.Item->ID == id) return i;
        }
    }
    [[nodiscard]] TSMLItem* At(std::size_t slot) const { return slots_[slot].Item; }

    // Adds an item whose identifier (of this hash) is not held yet.
    void Insert(TSMLItem* item, std::size_t hash) {
        if ((count_ + 1) * 2 > slots_.size()) Rehash((count_ + 1) * 2);
        Place({hash, item});
        ++count_;
    }

    // Removes the item of a slot found. An entry further along the run moves back into
    // the gap when its hash points at or before the gap (its probe passes the gap), so
    // that no slot needs a mark of its own for "removed".
    void Erase(std::size_t slot) {
        for (std::size_t next = (slot + 1) & mask(); slots_[next].Item;
             next = (next + 1) & mask()) {
            const std::size_t fromHome = (next - (slots_[next].Hash & mask())) & mask();
            if (fromHome >= ((next - slot) & mask())) {
                slots_[slot] = slots_[next];
                slot = next;
            }
        }
        slots_[slot] = {};
        --count_;
    }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

private:
    struct Slot {
        std::size_t Hash = 0;
        TSMLItem* Item = nullptr;
    };

    [[nodiscard]] std::size_t mask() const { return slots_.size() - 1; }

    void Place(const Slot& entry) {
        std::size_t i = entry.Hash & mask();
        while (slots_[i].Item)
            i = (i + 1) & mask();
        slots_[i] = entry;
    }

    void Rehash(std::size_t atLeast) {
        std::size_t size = 16;
        while (size < atLeast)
            size *= 2;
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (const Slot& s : old) {
            if (s.Item) Place(s);
        }
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// The load exchange: a slow sync (or, with a last anchor, a fast one) that fills the
// client's collection with every item the server sends, over as many messages as the
// server splits them into, and closes the session with Statuses and the Map (left out
// when there is nothing to map).
class TLoadExchange {
public:
    TLoadExchange(TSMLBase& client, const std::string& lastAnchor)
        : client_(client),
          lastAnchor_(lastAnchor),
          blank_(IsBlank(lastAnchor)),
          session_(client, "loading_") {}

    void Run() {
        client_.NextAnchor = client_.DrawNumber(100000000);
        session_.Open(blank_ ? AlertCode::SlowSync : AlertCode::OneWayFromServer,
                      blank_ ? std::nullopt : std::optional<std::string>(lastAnchor_),
                      client_.NextAnchor, /*withSync=*/true);

        TakeReply(/*firstReply=*/true);
        while (!session_.ReplyFinal()) {
            // The server holds more: acknowledge this message and ask for the next.
            outbox_.Tail = [this] { session_.AppendNextMessageAlert(); };
            session_.SendQueued(outbox_, false, [this] { TakeReply(false); });
            outbox_.Tail = nullptr;
            TakeReply(false);
        }

        TContainer& map = outbox_.Containers.emplace_back(session_.Container("Map"));
        map.SendWhenEmpty = false;
        map.UnitCount = [this] { return client_.Items.size(); };
        map.AppendUnit = [this](TMessageWriter& m, std::size_t i) {
            const TSMLItem& item = *client_.Items[i];
            TSyncSession::AppendMapItem(m, item.ServerID, item.ID);
        };
        session_.SendQueued(outbox_, true, [this] { TakeReply(false); });
        client_.Loaded = true;
    }

private:
    // Queues the Statuses for the current reply and applies the changes of its Sync to
    // the collection.
    void TakeReply(bool firstReply) {
        session_.AnswerReply(outbox_, firstReply,
                             [this](pugi::xml_node cmd, std::string_view name,
                                    const std::string& id) { return TakeCommand(cmd, name, id); });
        if (!deleted_.empty()) {
            auto& items = client_.Items;
            items.erase(
                std::remove_if(items.begin(), items.end(),
                               [&](const auto& item) { return deleted_.count(item.get()); }),
                items.end());
            deleted_.clear();
        }
        client_.LastExchange.Items = client_.Items.size();
        session_.ReportProgress();
    }

    // An Add makes an item; a Replace (or a repeated Add) of an item already held
    // updates it, one of an unknown item makes it; a Delete removes the item, and is
    // answered 211 (not deleted) when there is none.
    StatusCode TakeCommand(pugi::xml_node cmd, std::string_view name, const std::string& id) {
        const std::size_t hash = TItemIndex::HashOf(id);
        const std::size_t found = held_.Find(id, hash);
        if (name == "Delete") {
            if (found == TItemIndex::npos) return StatusCode::ItemNotDeleted;
            deleted_.insert(held_.At(found));
            held_.Erase(found);
            return StatusCode::Ok;
        }
        TSMLItem* item = nullptr;
        if (found != TItemIndex::npos) {
            item = held_.At(found);
        } else {
            client_.Items.push_back(client_.CreateItem());
            item = client_.Items.back().get();
            // The load keeps no identifiers of its own: the server's serves as both.
            item->ID = id;
            item->ServerID = id;
            held_.Insert(item, hash);
        }
        item->CmdID = Text(Child(cmd, "CmdID"));
        std::string scratch;
        item->Parse(TextView(Path(cmd, "Item/Data"), scratch));
        if (name == "Replace") {
            item->ServerChange = ServerChangeKind::Replaced;
        } else if (!blank_) {
            item->ServerChange = ServerChangeKind::Added;
        }
        return StatusCode::Ok;
    }

    TSMLBase& client_;
    const std::string& lastAnchor_;
    const bool blank_;
    TSyncSession session_;
    TOutbox outbox_;
    TItemIndex held_;                              // the loaded items by identifier
    std::unordered_set<const TSMLItem*> deleted_;  // removed at the end of the reply
};

}  // namespace

void TSMLBase::Load(const std::string& lastAnchor) {
    Items.clear();
    try {
        TLoadExchange(*this, lastAnchor).Run();
    } catch (...) {
        // A load that did not end (refused, cut off, timed out, cancelled) leaves
        // nothing that looks like the server's data and nothing to store against.
        Items.clear();
        Refused.clear();
        Loaded = false;
        throw;
    }
}

}  // namespace orvanta
