#include <deque>

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
// server splits them into, and closes the session with Statuses and the Map.
class TLoadExchange {
public:
    TLoadExchange(TSMLBase& client, const std::string& lastAnchor)
        : client_(client),
          lastAnchor_(lastAnchor),
          blank_(IsBlank(lastAnchor)),
          session_(client, "loading_") {}

    void Run() {
        session_.BeginMessage();
        session_.AppendDevInfPut();
        session_.AppendStoreAlert(blank_ ? 201 : 204,
                                  blank_ ? std::nullopt : std::optional<std::string>(lastAnchor_));
        session_.AppendSync();
        session_.Send(true);
        session_.CheckAlertAccepted("1", "2");
        if (!Child(session_.ReplyBody(), "Alert")) {
            throw ProtocolError("The server did not open the data source \"" + client_.DataSource +
                                "\" for synchronisation");
        }

        TakeReply(/*firstReply=*/true);
        while (!session_.ReplyFinal()) {
            // The server holds more: acknowledge this message and ask for the next.
            outbox_.Tail = [this](pugi::xml_node) { session_.AppendNextMessageAlert(); };
            session_.SendQueued(outbox_, false, [this] { TakeReply(false); });
            outbox_.Tail = nullptr;
            TakeReply(false);
        }

        outbox_.ContainerName = "Map";
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
    // Queues the Statuses for the current reply and turns the commands of its Sync
    // into items.
    void TakeReply(bool firstReply) {
        const std::string& msgRef = session_.ReplyMsgID();
        // The answer to the newest reply goes first, its header Status leading.
        std::deque<StatusSpec> answer{session_.HeaderStatus()};
        bool storeAlertSeen = false;
        for (pugi::xml_node cmd = session_.ReplyBody().first_child(); cmd;
             cmd = cmd.next_sibling()) {
            if (HasLocalName(cmd, "Alert")) {
                StatusSpec status{msgRef,
                                  std::to_string(ReadInteger(Child(cmd, "CmdID"))),
                                  "Alert",
                                  client_.LocalDatabase,
                                  client_.DataSource,
                                  200,
                                  {}};
                if (firstReply && !storeAlertSeen) {
                    // The server's anchor is the first element of the Alert's Meta.
                    const pugi::xml_node anchor =
                        Path(cmd, "Item/Meta").find_child([](pugi::xml_node n) {
                            return n.type() == pugi::node_element;
                        });
                    status.AnchorNext = Text(Child(anchor, "Next"));
                    storeAlertSeen = true;
                }
                answer.push_back(std::move(status));
            } else if (HasLocalName(cmd, "Sync")) {
                answer.push_back(StatusSpec{msgRef,
                                            std::to_string(ReadInteger(Child(cmd, "CmdID"))),
                                            "Sync",
                                            client_.LocalDatabase,
                                            client_.DataSource,
                                            200,
                                            {}});
                TakeSync(cmd, msgRef, answer);
            }
        }
        outbox_.Statuses.insert(outbox_.Statuses.begin(), answer.begin(), answer.end());
    }

    void TakeSync(pugi::xml_node sync, const std::string& msgRef, std::deque<StatusSpec>& answer) {
        for (pugi::xml_node cmd = sync.first_child(); cmd; cmd = cmd.next_sibling()) {
            const bool add = HasLocalName(cmd, "Add");
            const bool replace = HasLocalName(cmd, "Replace");
            const bool remove = HasLocalName(cmd, "Delete");
            if (!add && !replace && !remove) continue;  // CmdID, Target, Meta, nested groups
            const pugi::xml_node item = Child(cmd, "Item");
            const std::string cmdID = Text(Child(cmd, "CmdID"));
            const std::string id = Text(Path(item, add ? "Source/LocURI" : "Target/LocURI"));
            StatusSpec status{msgRef, cmdID, add ? "Add" : replace ? "Replace" : "Delete", {}, {},
                              200,    {}};
            (add ? status.SourceRef : status.TargetRef) = id;
            answer.push_back(std::move(status));
            // A server Delete is acknowledged and leaves nothing behind: there is no item
            // to show, to map or to send back.
            if (remove) continue;

            client_.Items.push_back(client_.CreateItem());
            TSMLItem& loaded = *client_.Items.back();
            loaded.ID = id;
            loaded.CmdID = cmdID;
            loaded.Parse(Text(Child(item, "Data")));
            if (replace) {
                loaded.ServerChange = ServerChangeKind::Replaced;
            } else if (!blank_) {
                loaded.ServerChange = ServerChangeKind::Added;
            }
        }
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
