#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Codes.h"
#include "formats/DateTime.h"
#include "formats/SyncMLItem.h"

namespace orvanta {

class THttpClient;

// A property the client reads and writes, with the TYPE parameter values it tells apart.
struct PropertyCapability {
    std::string Name;
    std::vector<std::string> Types;
};

// The fixed settings of one kind of data store.
struct StoreDefaults {
    std::string DataSource;
    std::string LocalDatabase;
    std::string ContentType;
    std::string ContentVersion;
    std::string DeviceID;
    // Declared in the device information when not empty: a server that knows which
    // properties the client keeps sends no others (no empty placeholders for the rest)
    // and keeps its own values of the others when the client replaces an item.
    std::vector<PropertyCapability> Capabilities = {};
};

// What the last exchange moved, for progress and measurements.
struct ExchangeStats {
    int RoundTrips = 0;
    std::size_t BytesSent = 0;
    std::size_t BytesReceived = 0;
    std::size_t LargestMessage = 0;  // the largest message the client sent
    std::size_t Items = 0;           // items received by a load, changes sent by a store
};

// Why the client refused a command of the server that carries an item.
enum class RefusalReason {
    NoItem,           // it names no item (answered 412)
    NotSupported,     // Copy and Move (406)
    OutsideSync,      // a change outside any Sync, which alone names the data store (406)
    NestedTooDeeply,  // an Atomic or Sequence too deep inside others, with all it holds (406)
    OneWayStore,      // a change sent back in a store, which has no place to keep it (406)
    UnknownItem,      // a Replace of an item the client does not hold (404)
    NoData,           // an Add or Replace without the item's data (412)
};

// A command of the server that the last exchange refused: its item is missing from Items.
struct RefusedCommand {
    std::string Cmd;  // Add, Replace, Copy, Atomic ...
    StatusCode Code{};  // the Status the client answered
    RefusalReason Reason = RefusalReason::NoItem;
};

// What the user reads about refused commands, one sentence; empty when there are none.
[[nodiscard]] std::string RefusedReport(const std::vector<RefusedCommand>& refused);

// Draws a number in 0..bound-1. Tests install a fixed sequence.
using RandomSource = std::function<std::uint32_t(std::uint32_t bound)>;
// The current moment in UTC as a date-time value.
using UTCClock = std::function<TDateTime()>;

[[nodiscard]] RandomSource DefaultRandomSource();
[[nodiscard]] TDateTime SystemClockUTC();

// The client of one data store of a SyncML server: its settings, its HTTP client, its
// item collection and the exchanges with the server.
class TSMLBase {
public:
    explicit TSMLBase(const StoreDefaults& defaults);
    virtual ~TSMLBase();
    TSMLBase(const TSMLBase&) = delete;
    TSMLBase& operator=(const TSMLBase&) = delete;

    bool Loaded = false;
    std::vector<std::unique_ptr<TSMLItem>> Items;
    std::unique_ptr<THttpClient> HTTP;
    std::string ServerURL;
    std::string DeviceID;
    std::string UserName;
    std::string Password;
    std::string DataSource;
    std::string NextAnchor;
    std::string ContentType;
    std::string ContentVersion;
    std::string LocalDatabase;
    std::vector<PropertyCapability> Capabilities;

    ExchangeStats LastExchange;
    // The server's commands the last exchange refused; a load that succeeds with some is
    // missing their items, and RefusedReport says so.
    std::vector<RefusedCommand> Refused;
    // Called on the exchange's own thread as bytes move and after each round trip.
    std::function<void(const ExchangeStats&)> OnProgress;

    // Injectable sources of randomness and time, so messages are reproducible in tests.
    RandomSource Random;
    UTCClock Clock;

    void SetProxyPort(int port);
    void SetProxyServer(const std::string& host);
    void SetServerURL(const std::string& url);
    // The certificate authority of a server with a private one (PEM); empty: the system's.
    void SetCAFile(const std::string& path);
    [[nodiscard]] std::string MakeUniqueID() const;
    // As many identifiers, none taken and all different, for items added at once.
    [[nodiscard]] std::vector<std::string> MakeUniqueIDs(std::size_t count) const;

    // Makes a new local item (state new, fresh identifier) at the end of Items.
    TSMLItem* NewItem();
    // Drops a new item at once; marks any other item deleted.
    void DeleteItem(std::size_t index);

    // The load exchange: replaces Items by every item of the server's data source.
    void Load(const std::string& lastAnchor);
    // The store exchange: sends the new, modified and deleted items and settles those
    // the server accepted. Does nothing before a load has completed.
    void Store();
    // Ends a running Load or Store at once; callable from any thread. The exchange then
    // fails with CancelledError: a load leaves Items empty and Loaded unset, a store
    // leaves every change marked. Does nothing when no exchange runs.
    void Cancel();
    // Ends the running exchange, as Cancel, and every later one of this client: the stop
    // stays set, so that it also reaches an exchange that has not opened its session yet.
    // For a client made for one exchange, which is then dropped.
    void Stop();

    // Decimal text of a random number in 0..bound-1.
    [[nodiscard]] std::string DrawNumber(std::uint32_t bound) const;

    // A fresh item of the store's kind with its template payload, not yet in Items and
    // without an identifier: the exchanges give it the server's.
    [[nodiscard]] virtual std::unique_ptr<TSMLItem> CreateItem() = 0;

private:
    friend class TSyncSession;
    // A session runs between these two; Cancel reaches the HTTP client only then.
    void BeginExchange();
    void EndExchange();

    std::mutex exchangeMutex_;
    bool exchangeRunning_ = false;
    bool stopped_ = false;
};

// Typed access to Items for a store of item type TItem.
template <class TStore, class TItem>
class TSMLStore : public TSMLBase {
public:
    using ItemType = TItem;

    [[nodiscard]] std::size_t Count() const { return Items.size(); }
    [[nodiscard]] TItem* Item(std::size_t index) const {
        return static_cast<TItem*>(Items.at(index).get());
    }
    TItem* NewItem() { return static_cast<TItem*>(TSMLBase::NewItem()); }

    [[nodiscard]] std::unique_ptr<TSMLItem> CreateItem() override {
        return std::make_unique<TItem>(static_cast<TStore*>(this));
    }

protected:
    using TSMLBase::TSMLBase;
};

}  // namespace orvanta
