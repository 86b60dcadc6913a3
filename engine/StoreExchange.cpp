#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "engine/Errors.h"
#include "engine/SyncMLBase.h"
#include "engine/SyncMLMessage.h"
#include "engine/SyncMLSession.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

std::string Plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// The store exchange: a one-way sync from the client. Message 1 opens the session
// (device information, Alert 202 with the anchors); once the server has accepted the
// Alert, the changes follow in a Sync, split under the server's size limit. The
// server's Status for each change settles that item.
class TStoreExchange {
public:
    explicit TStoreExchange(TSMLBase& client) : client_(client), session_(client, "storing_") {
        for (const auto& item : client_.Items) {
            if (item->State != ItemState::Unchanged) changes_.push_back(Change{item.get()});
        }
    }

    void Run() {
        // A refusal of the session or of the data source (401, 404, 508 ...) ends the
        // store in Open: nothing has been sent, nothing is settled.
        const std::string last = client_.NextAnchor;
        client_.NextAnchor = client_.DrawNumber(100000000);
        session_.Open(AlertCode::OneWayFromClient, last, client_.NextAnchor, /*withSync=*/false);

        const auto answer = [this] {
            CollectStatuses();
            session_.AnswerReply(outbox_, false, refuseChange_);
        };
        session_.AnswerReply(outbox_, true, refuseChange_);
        TContainer& sync = outbox_.Containers.emplace_back(session_.Container("Sync"));
        sync.UnitCount = [this] { return changes_.size(); };
        sync.AppendUnit = [this](TMessageWriter& m, std::size_t i) { AppendChange(m, i); };
        sync.UnitsAreItems = true;
        session_.SendQueued(outbox_, true, answer);

        // Answer what the server still sends (its own Sync, or more messages) until a
        // final reply holds nothing but Statuses.
        outbox_.Containers.clear();
        for (;;) {
            CollectStatuses();
            const bool final = session_.ReplyFinal();
            if (final && !session_.ReplyHasCommands()) break;
            session_.AnswerReply(outbox_, false, refuseChange_);
            outbox_.Tail =
                final ? std::function<void()>() : [this] { session_.AppendNextMessageAlert(); };
            session_.SendQueued(outbox_, final, answer);
        }
        Settle();
    }

private:
    struct Change {
        TSMLItem* Item;
        int MsgID = 0;
        long long CmdID = 0;
    };

    void AppendChange(TMessageWriter& m, std::size_t i) {
        Change& change = changes_[i];
        const TSMLItem& item = *change.Item;
        const char* name = item.State == ItemState::New        ? "Add"
                           : item.State == ItemState::Modified ? "Replace"
                                                               : "Delete";
        m.Open(name);
        change.MsgID = session_.MsgID();
        change.CmdID = session_.NextCmdID();
        m.Element("CmdID", change.CmdID);
        if (item.State != ItemState::Deleted) m.Meta("Type", client_.ContentType);
        m.Open("Item");
        m.LocURI("Source", item.ID);
        if (item.State != ItemState::Deleted) m.CData("Data", XmlPayload(item.GetText()));
        m.Close();
        m.Close();
    }

    // Notes the server's Status for each change command in the current reply.
    void CollectStatuses() {
        for (pugi::xml_node s = session_.ReplyBody().first_child(); s; s = s.next_sibling()) {
            if (!HasLocalName(s, "Status")) continue;
            const std::string cmd = Text(Child(s, "Cmd"));
            if (cmd != "Add" && cmd != "Replace" && cmd != "Delete") continue;
            try {
                codes_[{StrToInt(Text(Child(s, "MsgRef"))), StrToInt(Text(Child(s, "CmdRef")))}] =
                    static_cast<StatusCode>(ReadInteger(Child(s, "Data")));
            } catch (const Failure&) {
                // A Status that names no command of ours settles nothing.
            }
        }
    }

    // Items whose command the server accepted (2xx) are settled: a new or modified one
    // becomes unchanged, a deleted one leaves the collection. The others keep their
    // state, so the next store sends them again.
    void Settle() {
        std::set<const TSMLItem*> gone;
        std::set<int> refusedCodes;
        std::size_t refused = 0, unconfirmed = 0;
        for (const Change& change : changes_) {
            const auto it = codes_.find({change.MsgID, static_cast<int>(change.CmdID)});
            if (it == codes_.end()) {
                ++unconfirmed;
            } else if (!IsSuccess(it->second)) {
                ++refused;
                refusedCodes.insert(Number(it->second));
            } else if (change.Item->State == ItemState::Deleted) {
                gone.insert(change.Item);
            } else {
                change.Item->State = ItemState::Unchanged;
            }
        }
        auto& items = client_.Items;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](const auto& item) { return gone.count(item.get()) > 0; }),
                    items.end());

        std::string problem;
        if (refused > 0) {
            problem = "The server refused " + std::to_string(refused) + " of " +
                      Plural(changes_.size(), "change") + " (status ";
            bool first = true;
            for (const int code : refusedCodes) {
                problem += (first ? "" : ", ") + std::to_string(code);
                first = false;
            }
            problem += ")";
        }
        if (unconfirmed > 0) {
            problem += (problem.empty() ? "The server did not confirm " : "; it did not confirm ") +
                       std::to_string(unconfirmed) + " of " + Plural(changes_.size(), "change");
        }
        if (!problem.empty()) {
            throw ProtocolError(problem + ". They stay marked and go with the next store.");
        }
    }

    TSMLBase& client_;
    TSyncSession session_;
    TOutbox outbox_;
    // A server's own change has no place in a one-way store, which keeps no copy of the
    // server's items: it is refused, so that the server does not count it as delivered,
    // and reported.
    const TSyncSession::ServerItemHandler refuseChange_ = [this](pugi::xml_node,
                                                                 std::string_view name,
                                                                 const std::string&) {
        client_.Refused.push_back(
            {std::string(name), StatusCode::NotSupported, RefusalReason::OneWayStore});
        return StatusCode::NotSupported;
    };
    std::vector<Change> changes_;
    std::map<std::pair<int, int>, StatusCode> codes_;  // (MsgRef, CmdRef) -> status code
};

}  // namespace

void TSMLBase::Store() {
    if (!Loaded) return;
    TStoreExchange(*this).Run();
}

}  // namespace orvanta
