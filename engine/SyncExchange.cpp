#include "engine/SyncExchange.h"

#include <map>
#include <optional>
#include <utility>

#include "engine/Errors.h"
#include "engine/SyncMLMessage.h"
#include "engine/SyncMLSession.h"
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
class TSyncExchange {
public:
    TSyncExchange(TSMLBase& client, TItemStorage& storage) : client_(client), storage_(storage) {}

    SyncSummary Run() {
        storage_.BeginSession();
        try {
            const SyncAnchors anchors = storage_.Anchors();
            SlowSyncReason slow = anchors.Client.empty()   ? SlowSyncReason::FirstSync
                                  : storage_.AddsInDoubt() ? SlowSyncReason::AfterFailure
                                                           : SlowSyncReason::None;
            if (!Open(anchors, slow)) {
                // The server holds another anchor than the one kept here: this storage
                // and the server do not remember the same last sync. Only a slow sync
                // brings both together; the session that began is left.
                abandoned_ = client_.LastExchange;
                Open(anchors, SlowSyncReason::AnchorMismatch);
            }
            SendChanges();
            // The server's Statuses for the changes and its own changes, over as many
            // messages as it needs.
            AnswerServer(/*untilQuiet=*/false);
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
        return Summary();
    }

private:
    // Message 1 (device information, Alert 200 or 201 with the anchors) and its reply.
    // Gives false, and takes nothing of the reply, when the session must start again as
    // a slow sync.
    bool Open(const SyncAnchors& anchors, SlowSyncReason slow) {
        slow_ = slow;
        session_.reset();
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
    // or with every item in a slow sync; split under the server's size limit.
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
            // Every item the server is to hold; an item deleted here is not one of them
            // (its Delete goes once the server knows its LUID again). Payloads are read
            // as they are sent.
            storage_.ReadItems([this](const StoredItemView& item) {
                if (item.State != ItemState::Deleted)
                    changes_.push_back({std::string(item.LUID), item.Revision, ChangeCmd::Add,
                                        std::nullopt, {}, {}});
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
        for (const Change& change : changes_) {
            if (change.Cmd == ChangeCmd::Add) {
                storage_.NoteAddsSent();
                break;
            }
        }
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

    SyncSummary Summary() {
        summary_.Slow = slow_;
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
        summary_.Refused = client_.Refused;
        summary_.Stats = client_.LastExchange;
        summary_.Stats.RoundTrips += abandoned_.RoundTrips;
        summary_.Stats.BytesSent += abandoned_.BytesSent;
        summary_.Stats.BytesReceived += abandoned_.BytesReceived;
        return std::move(summary_);
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
    ExchangeStats abandoned_;  // what the session left for a slow sync moved
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
