#include "engine/SyncMLBase.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <unordered_set>

#include "engine/Errors.h"
#include "engine/HttpClient.h"

namespace orvanta {

RandomSource DefaultRandomSource() {
    // Seeded once from the entropy source and a high-resolution clock: reseeding a
    // generator from a seconds clock before every draw repeats the draws.
    auto engine = std::make_shared<std::mt19937_64>(
        std::random_device{}() ^
        static_cast<std::uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    return [engine](std::uint32_t bound) {
        return static_cast<std::uint32_t>(
            std::uniform_int_distribution<std::uint64_t>(0, bound - 1)(*engine));
    };
}

TDateTime SystemClockUTC() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return 25569.0 + static_cast<double>(ms) / kMSecsPerDay;
}

std::string RefusedReport(const std::vector<RefusedCommand>& refused) {
    if (refused.empty()) return {};
    // One part per kind of refusal, in the order they first came.
    struct Part {
        const RefusedCommand* first;
        std::size_t count;
    };
    std::vector<Part> parts;
    for (const RefusedCommand& r : refused) {
        const auto same = std::find_if(parts.begin(), parts.end(), [&](const Part& p) {
            return p.first->Cmd == r.Cmd && p.first->Code == r.Code && p.first->Reason == r.Reason;
        });
        if (same != parts.end()) {
            ++same->count;
        } else {
            parts.push_back({&r, 1});
        }
    }
    const auto why = [](RefusalReason reason) {
        switch (reason) {
            case RefusalReason::NoItem:
                return "without an item identifier";
            case RefusalReason::NotSupported:
                return "not supported";
            case RefusalReason::OutsideSync:
                return "outside any Sync";
            case RefusalReason::NestedTooDeeply:
                return "nested too deeply";
            case RefusalReason::OneWayStore:
                return "sent back to a store";
            case RefusalReason::UnknownItem:
                return "for an item not held here";
            case RefusalReason::NoData:
                return "without the item's data";
        }
        return "refused";
    };
    std::string text = std::to_string(refused.size()) + " of the server's " +
                       (refused.size() == 1 ? "commands was" : "commands were") +
                       " refused, so their items are missing here: ";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const RefusedCommand& r = *parts[i].first;
        text += (i ? ", " : "") + std::to_string(parts[i].count) + " " + r.Cmd +
                (parts[i].count == 1 ? " command " : " commands ") + why(r.Reason) + " (status " +
                std::to_string(Number(r.Code)) + ")";
    }
    return text;
}

TSMLBase::TSMLBase(const StoreDefaults& defaults)
    : HTTP(std::make_unique<THttpClient>()),
      DeviceID(defaults.DeviceID),
      DataSource(defaults.DataSource),
      ContentType(defaults.ContentType),
      ContentVersion(defaults.ContentVersion),
      LocalDatabase(defaults.LocalDatabase),
      Capabilities(defaults.Capabilities),
      Random(DefaultRandomSource()),
      Clock(SystemClockUTC) {}

TSMLBase::~TSMLBase() = default;

void TSMLBase::SetProxyPort(int port) {
    HTTP->ProxyPort = std::clamp(port, 0, 65535);
}

void TSMLBase::SetProxyServer(const std::string& host) {
    HTTP->ProxyHost = host;
}

void TSMLBase::SetServerURL(const std::string& url) {
    ServerURL = url;
    if (!ServerURL.empty() && ServerURL.back() == '/') ServerURL.pop_back();
}

void TSMLBase::SetCAFile(const std::string& path) {
    HTTP->CAFile = path;
}

void TSMLBase::Cancel() {
    std::lock_guard lock(exchangeMutex_);
    if (exchangeRunning_) HTTP->Cancel();
}

void TSMLBase::Stop() {
    std::lock_guard lock(exchangeMutex_);
    stopped_ = true;
    if (exchangeRunning_) HTTP->Cancel();
}

void TSMLBase::BeginExchange() {
    std::lock_guard lock(exchangeMutex_);
    HTTP->ResetCancel();
    // Its first request fails at once.
    if (stopped_) HTTP->Cancel();
    exchangeRunning_ = true;
}

void TSMLBase::EndExchange() {
    std::lock_guard lock(exchangeMutex_);
    exchangeRunning_ = false;
    HTTP->ResetCancel();
}

std::string TSMLBase::DrawNumber(std::uint32_t bound) const {
    return std::to_string(Random(bound));
}

std::string TSMLBase::MakeUniqueID() const {
    return MakeUniqueIDs(1).front();
}

std::vector<std::string> TSMLBase::MakeUniqueIDs(std::size_t count) const {
    // The identifiers taken, found once for all the draws: a file of 100,000 items
    // imported does not look through every item for each of them.
    std::unordered_set<std::string_view> taken;
    taken.reserve(Items.size() + count);
    for (const auto& item : Items)
        taken.insert(item->ID);
    std::vector<std::string> ids;
    ids.reserve(count);  // the views in `taken` stay valid
    while (ids.size() < count) {
        // A hundred million identifiers for a collection of at most a few hundred
        // thousand: a free one comes within a few draws unless the random source is broken.
        for (int attempt = 0;; ++attempt) {
            if (attempt == 1000)
                throw SyncError("No free identifier could be drawn for a new item");
            std::string id = DrawNumber(100000000);
            if (taken.contains(id)) continue;
            taken.insert(ids.emplace_back(std::move(id)));
            break;
        }
    }
    return ids;
}

TSMLItem* TSMLBase::NewItem() {
    auto item = CreateItem();
    item->ID = MakeUniqueID();
    Items.push_back(std::move(item));
    return Items.back().get();
}

void TSMLBase::DeleteItem(std::size_t index) {
    TSMLItem& item = *Items.at(index);
    if (item.State == ItemState::New) {
        Items.erase(Items.begin() + static_cast<std::ptrdiff_t>(index));
    } else {
        item.State = ItemState::Deleted;
    }
}

}  // namespace orvanta
