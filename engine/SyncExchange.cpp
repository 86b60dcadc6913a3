#include "engine/SyncExchange.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

#include "engine/Errors.h"
#include "engine/SyncMLMessage.h"
#include "engine/SyncMLSession.h"
#include "formats/Failure.h"
#include "formats/ItemStorage.h"

namespace orvanta {

namespace {

// Replies in a row that hold neither Final nor any command, each answered with a request
// for the next message: a server that keeps going like that never ends the session.
constexpr int kMaxIdleReplies = 5;

enum class ChangeCmd : std::uint8_t { Add, Replace, Delete };

const char* NameOf(ChangeCmd cmd) {
    switch (cmd) {
        case ChangeCmd::Add:
            return "Add";
        case ChangeCmd::Replace:
            return "Replace";
        case ChangeCmd::Delete:
            return "Delete";
    }
    return "Add";
}

// Where a command of the client went: the server's Status names it by these.
struct Sent {
    int MsgID = 0;
    long long CmdID = 0;
    friend auto operator<=>(const Sent&, const Sent&) = default;
};

// A local change on its way to the server.
struct Change {
    std::string LUID;
    std::int64_t Revision = 0;
    ChangeCmd Cmd = ChangeCmd::Add;
    std::optional<std::string> Payload;  // read from the storage when sent, if not yet
    Sent Where;
    std::optional<StatusCode> Status;  // the server's first Status for it
};

// A Map entry on its way: the server's Status for the Map command confirms it.
struct MapEntry {
    std::string LUID;
    std::string ServerID;
    Sent Where;
};

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A two-way sync over one storage: the client's settings, the storage's items, one
// SyncML session (or two, when the server's anchor shows the first must be a slow sync).
//
// A slow sync takes every item of the server and pairs them here with the items held,
// rather than sending every item for the server to pair: a server pairs by a few fields
// (a contact's name) and then keeps its own copy without a word, so an edit made here,
// an edit of the server's that a failed session did not bring, or a delete would be lost
// without a trace, and items it fails to pair would be doubled on both sides. The local
// changes left after the pairing go in a two-way session right after.
class TSyncExchange {
public:
    TSyncExchange(TSMLBase& client, TItemStorage& storage) : client_(client), storage_(storage) {}

    SyncSummary Run() {
        const SyncAnchors anchors = storage_.Anchors();
        RunSession(anchors.Client.empty()   ? SlowSyncReason::FirstSync
                   : storage_.AddsInDoubt() ? SlowSyncReason::AfterFailure
                                            : SlowSyncReason::None);
        const SlowSyncReason slow = slow_;
        if (slow != SlowSyncReason::None && !storage_.LocalChanges().empty())
            RunSession(SlowSyncReason::None);
        summary_.Slow = slow;
        client_.Refused = summary_.Refused;
        return std::move(summary_);
    }

private:
    // An item held here, in a slow sync.
    struct Local {
        std::string LUID;
        ItemState State = ItemState::Unchanged;
        bool Paired = false;
    };

    void RunSession(SlowSyncReason slow) {
        changes_.clear();
        changeAt_.clear();
        earlierMaps_.clear();
        maps_.clear();
        locals_.clear();
        byServerID_.clear();
        byKey_.clear();
        storage_.BeginSession();
        try {
            const SyncAnchors anchors = storage_.Anchors();
            if (!Open(anchors, slow)) {
                // The server holds another anchor than the one kept here: this storage
                // and the server do not remember the same last sync. Only a slow sync
                // brings both together; the session that began is left.
                Tally();
                Open(anchors, SlowSyncReason::AnchorMismatch);
            }
            SendChanges();
            // The server's Statuses for the changes and its own changes, over as many
            // messages as it needs.
            AnswerServer(/*untilQuiet=*/false);
            if (slow_ != SlowSyncReason::None) SettleUnpaired();
            SendMaps();
            storage_.EndSession({clientNext_, serverNext_});
        } catch (...) {
            // The session's failure is the one to report; the storage keeps what the
            // committed messages took in either way.
            try {
                storage_.AbortSession();
            } catch (...) {
            }
            throw;
        }
        Tally();
    }

    // Message 1 (device information, Alert 200 or 201 with the anchors) and its reply.
    // Gives false, and takes nothing of the reply, when the session must start again as
    // a slow sync.
    bool Open(const SyncAnchors& anchors, SlowSyncReason slow) {
        slow_ = slow;
        session_.reset();
        outbox_ = {};  // the answers to a session before this one are not this one's
        session_.emplace(client_, "sync_", SessionIdentity{storage_.DeviceID(), true});
        clientNext_ = client_.DrawNumber(100000000);
        const bool asked = slow != SlowSyncReason::None;
        const StatusCode status =
            session_->Open(asked ? AlertCode::SlowSync : AlertCode::TwoWay,
                           asked ? std::nullopt : std::optional<std::string>(anchors.Client),
                           clientNext_, /*withSync=*/false, /*refreshAccepted=*/true);

        const pugi::xml_node alert = Child(session_->ReplyBody(), "Alert");
        const auto code = static_cast<AlertCode>(ReadInteger(alert, "Data"));
        if (code != AlertCode::TwoWay && code != AlertCode::SlowSync) {
            throw ProtocolError("The server asked for a sync of type " +
                                std::to_string(static_cast<int>(code)) + " of the data source \"" +
                                client_.DataSource + "\", which Orvanta does not carry out");
        }
        const pugi::xml_node anchor = Path(alert, "Item/Meta/Anchor");
        serverNext_ = Text(Child(anchor, "Next"));
        if (!asked) {
            if (status == StatusCode::RefreshRequired || code == AlertCode::SlowSync) {
                slow_ = SlowSyncReason::ServerAsked;
            } else if (!anchors.Server.empty() && Text(Child(anchor, "Last")) != anchors.Server) {
                return false;
            }
        }
        TakeReply(/*firstReply=*/true);
        AnswerServer(/*untilQuiet=*/false);
        return true;
    }

    // Message 2 on: the Maps an earlier session left unconfirmed (before the Sync, so that
    // the server does not send those items again), then the Sync with every local change,
    // split under the server's size limit; in a slow sync an empty Sync, for which the
    // server sends every item it holds.
    void SendChanges() {
        if (slow_ == SlowSyncReason::None) {
            for (StoredItem& item : storage_.LocalChanges()) {
                const ChangeCmd cmd = item.State == ItemState::New        ? ChangeCmd::Add
                                      : item.State == ItemState::Modified ? ChangeCmd::Replace
                                                                          : ChangeCmd::Delete;
                changes_.push_back({std::move(item.LUID), item.Revision, cmd,
                                    cmd == ChangeCmd::Delete
                                        ? std::nullopt
                                        : std::optional<std::string>(XmlPayload(item.Payload)),
                                    {},
                                    {}});
            }
            earlierMaps_ = MapEntries(storage_.PendingMaps());
            if (!earlierMaps_.empty()) AddMapContainer(earlierMaps_);
        } else {
            // The items held, to pair the server's with: by the server's identifier where
            // the server named the item, else by what tells items of the kind apart.
            storage_.ReadItems([this](const StoredItemView& item) {
                const std::size_t i = locals_.size();
                locals_.push_back({std::string(item.LUID), item.State});
                if (!item.ServerID.empty()) {
                    byServerID_.emplace(item.ServerID, i);
                } else {
                    byKey_.emplace(PairingKey(item.Payload), i);
                }
            });
        }
        const std::size_t count = changes_.size();
        TContainer& sync = outbox_.Containers.emplace_back(session_->Container("Sync"));
        sync.Head = [this, count](TMessageWriter& m) {
            session_->AppendDataSources(m);
            m.Element("NumberOfChanges", static_cast<long long>(count));
        };
        sync.UnitCount = [this] { return changes_.size(); };
        sync.AppendUnit = [this](TMessageWriter& m, std::size_t i) { AppendChange(m, i); };
        sync.UnitsAreItems = true;
        // From here on the server may hold new items of ours without their LUIDs, and
        // count its own changes in its reply as delivered (it does not send an edit
        // again): a session that does not end leaves both in doubt, and the next sync is
        // a slow one, which takes every item of the server again.
        if (slow_ == SlowSyncReason::None) storage_.NoteAddsSent();
        Send(/*final=*/true);
        outbox_.Containers.clear();
    }

    // The last message: the Statuses for the server's changes and the Map of every item
    // the server added whose Map it has not confirmed (none: no Map at all, which servers
    // refuse empty), then whatever the server still sends until a final reply that holds
    // nothing but Statuses.
    void SendMaps() {
        maps_ = MapEntries(storage_.PendingMaps());
        AddMapContainer(maps_);
        Send(/*final=*/true);
        outbox_.Containers.clear();
        AnswerServer(/*untilQuiet=*/true);
    }

    // Sends what the outbox holds and takes in every reply.
    void Send(bool final) {
        session_->SendQueued(outbox_, final, [this] { TakeReply(false); });
        TakeReply(false);
    }

    // Answers the server's messages, a message without Final with a request for the next
    // one, until one is final (untilQuiet: and holds nothing but Statuses).
    void AnswerServer(bool untilQuiet) {
        for (int idle = 0;;) {
            const bool final = session_->ReplyFinal();
            const bool commands = session_->ReplyHasCommands();
            if (final && (!untilQuiet || !commands)) return;
            idle = commands ? 0 : idle + 1;
            if (!final && idle > kMaxIdleReplies) {
                throw ProtocolError("The server kept asking for the next message of the data "
                                    "source \"" +
                                    client_.DataSource + "\" without sending anything");
            }
            if (!final) outbox_.Tail = [this] { session_->AppendNextMessageAlert(); };
            Send(final);
            outbox_.Tail = nullptr;
        }
    }

    static std::vector<MapEntry> MapEntries(std::vector<StoredItem> items) {
        std::vector<MapEntry> entries;
        entries.reserve(items.size());
        for (StoredItem& item : items)
            entries.push_back({std::move(item.LUID), std::move(item.ServerID), {}});
        return entries;
    }

    void AddMapContainer(std::vector<MapEntry>& entries) {
        const std::size_t index = outbox_.Containers.size();
        TContainer& map = outbox_.Containers.emplace_back(session_->Container("Map"));
        map.SendWhenEmpty = false;
        map.UnitCount = [&entries] { return entries.size(); };
        map.AppendUnit = [this, &entries, index](TMessageWriter& m, std::size_t i) {
            MapEntry& entry = entries[i];
            entry.Where = {session_->MsgID(), outbox_.Containers[index].CmdID};
            TSyncSession::AppendMapItem(m, entry.ServerID, entry.LUID);
        };
    }

    void AppendChange(TMessageWriter& m, std::size_t i) {
        // The payload of the change before is in the message by now.
        if (i > 0 && slow_ != SlowSyncReason::None) changes_[i - 1].Payload.reset();
        Change& change = changes_[i];
        if (change.Cmd != ChangeCmd::Delete && !change.Payload) {
            const std::optional<StoredItem> item = storage_.FindItem(change.LUID);
            // Deleted since the list was made: its Delete goes with the next sync.
            if (!item || item->State == ItemState::Deleted) return;
            change.Payload = XmlPayload(item->Payload);
            change.Revision = item->Revision;
        }
        m.Open(NameOf(change.Cmd));
        // A change that did not fit the last message goes again in this one.
        if (change.Where.MsgID != 0) changeAt_.erase(change.Where);
        change.Where = {session_->MsgID(), session_->NextCmdID()};
        changeAt_.emplace(change.Where, i);
        m.Element("CmdID", change.Where.CmdID);
        if (change.Cmd != ChangeCmd::Delete) m.Meta("Type", client_.ContentType);
        m.Open("Item");
        m.LocURI("Source", change.LUID);
        if (change.Payload) m.CData("Data", *change.Payload);
        m.Close();
        m.Close();
    }

    // One server message into the storage, in one transaction: the Statuses for the
    // client's changes and Maps, then the server's own changes; the client's answers are
    // queued. A message that fails half way leaves nothing of itself.
    void TakeReply(bool firstReply) {
        const std::unique_ptr<TStorageBatch> batch = storage_.BeginBatch();
        TakeStatuses(*batch);
        session_->AnswerReply(outbox_, firstReply,
                              [&](pugi::xml_node cmd, std::string_view name, const std::string& id) {
                                  return Apply(*batch, cmd, name, id);
                              });
        batch->Commit();
    }

    void TakeStatuses(TStorageBatch& batch) {
        for (pugi::xml_node s = session_->ReplyBody().first_child(); s; s = s.next_sibling()) {
            if (!HasLocalName(s, "Status")) continue;
            const std::string cmd = Text(Child(s, "Cmd"));
            Sent where;
            StatusCode code{};
            try {
                where = {StrToInt(Text(Child(s, "MsgRef"))), StrToInt(Text(Child(s, "CmdRef")))};
                code = static_cast<StatusCode>(ReadInteger(Child(s, "Data")));
            } catch (const Failure&) {
                continue;  // a Status that names no command of ours settles nothing
            }
            if (cmd == "Map") {
                if (!IsSuccess(code)) continue;
                for (const std::vector<MapEntry>* entries : {&earlierMaps_, &maps_}) {
                    for (const MapEntry& entry : *entries) {
                        if (entry.Where == where) batch.ConfirmMap(entry.LUID);
                    }
                }
            } else if (cmd == "Add" || cmd == "Replace" || cmd == "Delete") {
                TakeStatus(batch, where, code);
            }
        }
    }

    void TakeStatus(TStorageBatch& batch, const Sent& where, StatusCode code) {
        const auto found = changeAt_.find(where);
        if (found == changeAt_.end()) return;
        Change& change = changes_[found->second];
        if (change.Status) return;  // the first one counts
        change.Status = code;
        if (IsSuccess(code)) batch.ConfirmChange(change.LUID, change.Revision);
        if (code == StatusCode::ItemAdded && change.Cmd == ChangeCmd::Replace)
            batch.ForgetServerID(change.LUID);
    }

    StatusCode Apply(TStorageBatch& batch, pugi::xml_node cmd, std::string_view name,
                     const std::string& id) {
        std::string scratch;
        const pugi::xml_node data = Path(cmd, "Item/Data");
        const std::string_view payload = TextView(data, scratch);
        if (name != "Delete" && !data) {
            client_.Refused.push_back(
                {std::string(name), StatusCode::IncompleteCommand, RefusalReason::NoData});
            return StatusCode::IncompleteCommand;
        }
        // The server names its new items by their Source, the client's by their Target
        // (our LUID); a server that names one by its own identifier is understood too.
        const bool byLUID = name != "Add" && !Text(Path(cmd, "Item/Target/LocURI")).empty();
        const ItemRef ref = byLUID ? ItemRef{id, {}} : ItemRef{{}, id};
        ApplyResult result;
        if (name == "Add" && slow_ != SlowSyncReason::None) {
            if (const std::optional<std::size_t> local = PairWith(id, payload))
                return TakePaired(batch, locals_[*local], id, payload);
        }
        if (name == "Add") {
            result = batch.ServerAdd(id, payload);
            ++summary_.Received.Added;
        } else if (name == "Replace") {
            result = batch.ServerReplace(ref, payload);
            if (result.Outcome == ApplyOutcome::NotFound) {
                // The server's map names an item that is not here: taking it as a new
                // item would give it a LUID the server does not know, and double it.
                client_.Refused.push_back(
                    {"Replace", StatusCode::NotFound, RefusalReason::UnknownItem});
                return StatusCode::NotFound;
            }
            ++summary_.Received.Replaced;
        } else {
            result = batch.ServerDelete(ref);
            if (result.Outcome == ApplyOutcome::NotFound) return StatusCode::ItemNotDeleted;
            ++summary_.Received.Deleted;
        }
        if (result.Conflict) ++summary_.Conflicts;
        return result.Outcome == ApplyOutcome::Added ? StatusCode::ItemAdded : StatusCode::Ok;
    }

    // The server's item of a slow sync: the item held here that is the same, if any.
    // One the server named is found by its identifier; one made here by its pairing key,
    // among those of that key the one of the same content if there is one. An empty key
    // (a contact without a name) tells nothing: only the same content pairs then.
    std::optional<std::size_t> PairWith(const std::string& id, std::string_view payload) {
        if (const auto named = byServerID_.find(id);
            named != byServerID_.end() && !locals_[named->second].Paired)
            return named->second;
        if (byKey_.empty()) return std::nullopt;  // a first sync into an empty store
        const std::string key = PairingKey(payload);
        std::optional<std::size_t> pick;
        const auto [first, last] = byKey_.equal_range(key);
        for (auto it = first; it != last; ++it) {
            if (locals_[it->second].Paired) continue;
            if (SameContent(locals_[it->second].LUID, payload)) return it->second;
            if (!pick && !key.empty()) pick = it->second;
        }
        return pick;
    }

    // A pair: the item takes the server's identifier; an unchanged item takes the
    // server's version; a new one the server holds already (sent by a session that did
    // not end) is settled, and a new one that differs keeps its version as a conflict
    // copy beside the server's; an edit or a delete made here goes in the next session.
    StatusCode TakePaired(TStorageBatch& batch, Local& local, const std::string& id,
                          std::string_view payload) {
        local.Paired = true;
        const bool same = SameContent(local.LUID, payload);
        const bool fresh = local.State == ItemState::New;
        batch.Pair(local.LUID, id, fresh && same);
        if ((local.State == ItemState::Unchanged || fresh) && !same) {
            const ApplyResult result = batch.ServerReplace({local.LUID, {}}, payload);
            ++summary_.Received.Replaced;
            if (result.Conflict) ++summary_.Conflicts;
        }
        return StatusCode::Ok;
    }

    // After the server's items of a slow sync: an unchanged item the server did not send
    // goes to it again as a new one (a server whose store was emptied or replaced gets
    // back what was kept here; an item deleted elsewhere in a session whose reply was lost
    // comes back rather than being lost here), and one deleted on both sides is gone. A
    // new item goes to the server, and one edited here goes back to it, in the next
    // session.
    void SettleUnpaired() {
        const std::unique_ptr<TStorageBatch> batch = storage_.BeginBatch();
        for (const Local& local : locals_) {
            if (local.Paired) continue;
            // As it is now: the window may have edited it while the session ran.
            const std::optional<StoredItem> item = storage_.FindItem(local.LUID);
            if (!item) continue;
            if (item->State == ItemState::Unchanged) batch->SendAgain(local.LUID);
            if (item->State == ItemState::Deleted) batch->ServerDelete({local.LUID, {}});
        }
        batch->Commit();
    }

    // What pairs the item: its kind's key, or, for a payload the kind cannot read, the
    // payload itself.
    std::string PairingKey(std::string_view payload) {
        const std::unique_ptr<TSMLItem> item = client_.CreateItem();
        try {
            item->Parse(payload);
        } catch (const Failure&) {
            return std::string(payload);
        }
        std::string key = item->PairingKey();
        // Fields that are all empty tell nothing.
        if (key.find_first_not_of('\n') == std::string::npos) key.clear();
        return key;
    }

    // The server's payload holds every line of the item held here (the server adds lines
    // of its own, and may fold and order them otherwise).
    bool SameContent(const std::string& luid, std::string_view payload) {
        const std::optional<StoredItem> item = storage_.FindItem(luid);
        if (!item) return false;
        if (item->Payload == payload) return true;
        const std::set<std::string> theirs = UnfoldedLines(payload);
        for (const std::string& line : UnfoldedLines(item->Payload)) {
            if (!theirs.count(line)) return false;
        }
        return true;
    }

    static std::set<std::string> UnfoldedLines(std::string_view payload) {
        ItemLines lines = SplitPayloadLines(payload);
        UnfoldLines(lines);
        std::set<std::string> set;
        for (std::size_t i = 0; i < lines.size(); ++i)
            set.emplace(std::string(lines[i]));
        return set;
    }

    // The counts of one session's local changes, what it moved and what it refused.
    void Tally() {
        for (const Change& change : changes_) {
            if (change.Where.MsgID == 0) continue;  // deleted before it went
            if (change.Status && IsSuccess(*change.Status)) {
                ChangeCounts& sent = summary_.Sent;
                ++(change.Cmd == ChangeCmd::Add       ? sent.Added
                   : change.Cmd == ChangeCmd::Replace ? sent.Replaced
                                                      : sent.Deleted);
            } else if (change.Status != StatusCode::ConflictServerWon) {
                // 419: the server's version won, and came as its own change.
                summary_.Unaccepted.push_back(
                    {change.LUID, NameOf(change.Cmd), change.Status ? Number(*change.Status) : 0});
            }
        }
        changes_.clear();
        summary_.Refused.insert(summary_.Refused.end(), client_.Refused.begin(),
                                client_.Refused.end());
        summary_.Stats.RoundTrips += client_.LastExchange.RoundTrips;
        summary_.Stats.BytesSent += client_.LastExchange.BytesSent;
        summary_.Stats.BytesReceived += client_.LastExchange.BytesReceived;
        summary_.Stats.LargestMessage =
            std::max(summary_.Stats.LargestMessage, client_.LastExchange.LargestMessage);
        summary_.Stats.Items += client_.LastExchange.Items;
    }

    TSMLBase& client_;
    TItemStorage& storage_;
    std::optional<TSyncSession> session_;
    TOutbox outbox_;
    SlowSyncReason slow_ = SlowSyncReason::None;
    std::string clientNext_, serverNext_;
    std::vector<Change> changes_;
    std::map<Sent, std::size_t> changeAt_;  // the changes by where they went
    std::vector<MapEntry> earlierMaps_, maps_;
    // A slow sync's items held here, and where to find them by the server's identifier
    // and by pairing key.
    std::vector<Local> locals_;
    std::unordered_map<std::string, std::size_t> byServerID_;
    std::unordered_multimap<std::string, std::size_t> byKey_;
    SyncSummary summary_;
};

}  // namespace

std::string SummaryLine(const SyncSummary& s) {
    const auto counts = [](const ChangeCounts& c) {
        return std::to_string(c.Added) + " added, " + std::to_string(c.Replaced) + " replaced, " +
               std::to_string(c.Deleted) + " deleted";
    };
    std::string line = "sent: " + counts(s.Sent) + "; received: " + counts(s.Received) + "; " +
                       Counted(s.Conflicts, "conflict", "conflicts");
    if (s.Slow != SlowSyncReason::None) line += " (slow sync)";
    return line;
}

SyncSummary Synchronize(TSMLBase& client, TItemStorage& storage) {
    return TSyncExchange(client, storage).Run();
}

}  // namespace orvanta
