#include "support/ReplicaCase.h"

#include <cstdio>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/ReplicaSupport.h"

namespace orvanta::test {

namespace fs = std::filesystem;

namespace {

const char* const kStates[] = {"unchanged", "new", "modified", "deleted"};
const char* const kOutcomes[] = {"added", "updated", "deleted", "not found"};

// "12" names an item by LUID, "@s1" by the server's identifier.
ItemRef RefOf(const std::string& token) {
    return token.starts_with('@') ? ItemRef{{}, std::string_view(token).substr(1)}
                                  : ItemRef{token, {}};
}

}  // namespace

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), {}};
}

std::string Escape(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += c > ' ' && c < 0x7f && c != '\\' ? std::string(1, ch) : hex;
    }
    return out;
}

TReplicaCase::TReplicaCase(const fs::path& dir)
    : file_(dir / "replica.sqlite"), key_{"http://sync.example/sync", "anna", "card", "card"} {
    Reopen();
}

std::vector<std::string> TReplicaCase::Run(const std::string& line) {
    out_.clear();
    try {
        Dispatch(Words(line));
    } catch (const Failure& failure) {
        out_.push_back(std::string("! ") + failure.what());
    }
    return out_;
}

bool TReplicaCase::Command(const std::vector<std::string>&) {
    return false;
}

void TReplicaCase::Reopen() {
    Close();
    replica_ = std::make_unique<TReplica>(file_, FixedReplicaOptions());
    store_.emplace(replica_->Store(key_));
}

void TReplicaCase::Close() {
    items_.reset();
    batch_.reset();
    store_.reset();
    replica_.reset();
}

void TReplicaCase::Dispatch(const std::vector<std::string>& w) {
    const std::string& c = w.at(0);
    const auto arg = [&](std::size_t i) { return Unescaped(w.at(i)); };
    if (c == "add") {
        std::vector<std::string> payloads;
        for (std::size_t i = 1; i < w.size(); ++i)
            payloads.push_back(arg(i));
        const std::vector<std::string_view> views(payloads.begin(), payloads.end());
        std::string line = "luids";
        for (const auto& luid : store_->AddLocal(views))
            line += " " + luid;
        Out(line);
    } else if (c == "replace") {
        Out(kStates[static_cast<int>(store_->ReplaceLocal(w.at(1), arg(2)))]);
    } else if (c == "delete") {
        Out(store_->DeleteLocal(w.at(1)) ? "gone" : "marked deleted");
    } else if (c == "resolve") {
        store_->ResolveConflict(std::stoll(w.at(1)),
                                w.at(2) == "local" ? ConflictSide::Local : ConflictSide::Server);
    } else if (c == "begin") {
        store_->BeginSession();
    } else if (c == "batch") {
        batch_ = store_->BeginBatch();
    } else if (c == "commit") {
        batch_->Commit();
        batch_.reset();
    } else if (c == "drop") {
        batch_.reset();
    } else if (c == "end") {
        store_->EndSession({w.at(1), w.at(2)});
    } else if (c == "abort") {
        store_->AbortSession();
    } else if (c == "crash") {
        Reopen();
    } else if (c.starts_with("server-")) {
        const ApplyResult r = c == "server-add"       ? batch_->ServerAdd(w.at(1), arg(2))
                              : c == "server-replace" ? batch_->ServerReplace(RefOf(w.at(1)), arg(2))
                                                      : batch_->ServerDelete(RefOf(w.at(1)));
        Out(std::string(kOutcomes[static_cast<int>(r.Outcome)]) +
            (r.LUID.empty() ? "" : " " + r.LUID) + (r.Conflict ? " conflict" : ""));
    } else if (c == "confirm") {
        batch_->ConfirmChange(w.at(1), std::stoll(w.at(2)));
    } else if (c == "confirm-map") {
        batch_->ConfirmMap(w.at(1));
    } else if (c == "store") {
        key_ = {w.at(1), w.at(2), w.at(3), w.at(4)};
        store_.emplace(replica_->Store(key_));
    } else if (c == "open-sql") {
        Close();
        fs::remove(file_);
        WriteDatabase(file_, ReadFile(fs::path(ORVANTA_TEST_DATA) / "replica" / w.at(1)));
        Reopen();
    } else if (c == "dump") {
        Dump();
    } else if (c == "window") {
        items_.emplace(*store_, [this] { return contacts_.CreateItem(); });
        items_->Load();
    } else if (c == "window-add") {
        auto item = contacts_.CreateItem();
        item->Parse(arg(1));
        Out("luid " + items_->Add(std::move(item)).ID);
    } else if (c == "window-set") {
        SetField(*items_->Find(w.at(1)), w.at(2));
        items_->Save(*items_->Find(w.at(1)));
    } else if (c == "window-remove") {
        items_->Remove(w.at(1));
    } else if (c == "window-items") {
        for (std::size_t i = 0; i < items_->size(); ++i) {
            const TSMLItem& item = (*items_)[i];
            Out(item.ID + " " + kStates[static_cast<int>(item.State)] + " " +
                Escape(item.GetText()));
        }
        Out(std::to_string(items_->Changes()) + " changes");
    } else if (!Command(w)) {
        throw std::invalid_argument("unknown command " + c);
    }
}

void TReplicaCase::Dump() {
    const SyncAnchors anchors = store_->Anchors();
    Out("device " + store_->DeviceID());
    Out("anchors client '" + anchors.Client + "' server '" + anchors.Server + "'" +
        (store_->LastSync() ? " at " + UTCText(*store_->LastSync()) : "") +
        (store_->AddsInDoubt() ? ", new items in doubt" : ""));
    store_->ReadItems([&](const StoredItemView& item) {
        std::string line = "item " + std::string(item.LUID) + " " +
                           kStates[static_cast<int>(item.State)] + " rev " +
                           std::to_string(item.Revision);
        if (!item.ServerID.empty()) line += " server " + std::string(item.ServerID);
        Out(line + " " + Escape(item.Payload));
    });
    for (const ConflictCopy& copy : store_->Conflicts()) {
        Out("conflict " + std::to_string(copy.ID) + " item " + copy.LUID + " at " +
            UTCText(copy.When) + " local " + (copy.Local ? Escape(*copy.Local) : "-") +
            " server " + (copy.Server ? Escape(*copy.Server) : "-"));
    }
    std::string changes = "to send:", maps = "maps to send:";
    for (const StoredItem& item : store_->LocalChanges())
        changes += " " + item.LUID;
    for (const StoredItem& item : store_->PendingMaps())
        maps += " " + item.LUID + "=" + item.ServerID;
    Out(changes);
    Out(maps);
}

}  // namespace orvanta::test
