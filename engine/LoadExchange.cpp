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
            outbox_.Tail = [this](pugi::xml_node) { session_.AppendNextMessageAlert(); };
            session_.SendQueued(outbox_, false, [this] { TakeReply(false); });
            outbox_.Tail = nullptr;
            TakeReply(false);
        }

        outbox_.ContainerName = "Map";
        outbox_.SendWhenEmpty = false;
        outbox_.ContainerHead = [this](pugi::xml_node map) {
            AddLocURI(map, "Target", client_.DataSource);
            AddLocURI(map, "Source", client_.LocalDatabase);
        };
        outbox_.UnitCount = [this] { return client_.Items.size(); };
        outbox_.AppendUnit = [this](pugi::xml_node map, std::size_t i) {
            const std::string& id = client_.Items[i]->ID;
            pugi::xml_node item = map.append_child("MapItem");
            AddLocURI(item, "Target", id);
            AddLocURI(item, "Source", id);
        };
        session_.SendQueued(outbox_, true, [this] { TakeReply(false); });
        client_.Loaded = true;
    }

private:
    // Queues the Statuses for the current reply and turns the Adds and Replaces of its
    // Sync into items. A server Delete is acknowledged and leaves nothing behind: there
    // is no item to show, to map or to send back.
    void TakeReply(bool firstReply) {
        session_.AnswerReply(outbox_, firstReply,
                             [this](pugi::xml_node cmd, bool replace, const std::string& id) {
                                 client_.Items.push_back(client_.CreateItem());
                                 TSMLItem& loaded = *client_.Items.back();
                                 loaded.ID = id;
                                 loaded.CmdID = Text(Child(cmd, "CmdID"));
                                 loaded.Parse(Text(Path(cmd, "Item/Data")));
                                 if (replace) {
                                     loaded.ServerChange = ServerChangeKind::Replaced;
                                 } else if (!blank_) {
                                     loaded.ServerChange = ServerChangeKind::Added;
                                 }
                             });
    }

    TSMLBase& client_;
    const std::string& lastAnchor_;
    const bool blank_;
    TSyncSession session_;
    TOutbox outbox_;
};

}  // namespace

void TSMLBase::Load(const std::string& lastAnchor) {
    Items.clear();
    TLoadExchange(*this, lastAnchor).Run();
}

}  // namespace orvanta
