#include <algorithm>
#include <unordered_map>
#include <unordered_set>

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
        session_.Open(blank_ ? AlertCode::SlowSync : AlertCode::OneWayFromServer,
                      blank_ ? std::nullopt : std::optional<std::string>(lastAnchor_),
                      /*withSync=*/true);

        TakeReply(/*firstReply=*/true);
        while (!session_.ReplyFinal()) {
            // The server holds more: acknowledge this message and ask for the next.
            outbox_.Tail = [this] { session_.AppendNextMessageAlert(); };
            session_.SendQueued(outbox_, false, [this] { TakeReply(false); });
            outbox_.Tail = nullptr;
            TakeReply(false);
        }

        outbox_.ContainerName = "Map";
        outbox_.SendWhenEmpty = false;
        outbox_.ContainerHead = [this](TMessageWriter& m) {
            m.LocURI("Target", client_.DataSource);
            m.LocURI("Source", client_.LocalDatabase);
        };
        outbox_.UnitCount = [this] { return client_.Items.size(); };
        outbox_.AppendUnit = [this](TMessageWriter& m, std::size_t i) {
            const std::string& id = client_.Items[i]->ID;
            m.Open("MapItem");
            m.LocURI("Target", id);
            m.LocURI("Source", id);
            m.Close();
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
    int TakeCommand(pugi::xml_node cmd, std::string_view name, const std::string& id) {
        const auto found = held_.find(id);
        if (name == "Delete") {
            if (found == held_.end()) return 211;
            deleted_.insert(found->second);
            held_.erase(found);
            return 200;
        }
        TSMLItem* item = nullptr;
        if (found != held_.end()) {
            item = found->second;
        } else {
            client_.Items.push_back(client_.CreateItem());
            item = client_.Items.back().get();
            item->ID = id;
            held_.emplace(id, item);
        }
        item->CmdID = Text(Child(cmd, "CmdID"));
        std::string scratch;
        item->Parse(TextView(Path(cmd, "Item/Data"), scratch));
        if (name == "Replace") {
            item->ServerChange = ServerChangeKind::Replaced;
        } else if (!blank_) {
            item->ServerChange = ServerChangeKind::Added;
        }
        return 200;
    }

    TSMLBase& client_;
    const std::string& lastAnchor_;
    const bool blank_;
    TSyncSession session_;
    TOutbox outbox_;
    std::unordered_map<std::string, TSMLItem*> held_;  // the loaded items by identifier
    std::unordered_set<const TSMLItem*> deleted_;      // removed at the end of the reply
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
        Loaded = false;
        throw;
    }
}

}  // namespace orvanta
