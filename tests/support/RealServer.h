#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/SyncMLBase.h"

namespace orvanta::test {

// The real SyncML server that the ctest fixture started (scripts/syncml-server).
class RealServer {
public:
    static constexpr const char* kUser = "orvanta";
    static constexpr const char* kPassword = "orvanta";

    RealServer();
    [[nodiscard]] const std::string& Url() const { return url_; }
    [[nodiscard]] std::filesystem::path StoreFolder(const std::string& store) const;
    // Identifiers of the items in a store: the names of its files.
    [[nodiscard]] std::vector<std::string> ItemIDs(const std::string& store) const;
    // The outcome the server recorded for the newest session of a device that began
    // after `since` ("200" is success). The server writes it after its last reply, so
    // this waits (a few seconds at most) until the session's record is complete.
    [[nodiscard]] std::string SessionStatus(const std::string& deviceID,
                                            std::filesystem::file_time_type since) const;
    [[nodiscard]] static std::filesystem::file_time_type Now() {
        return std::filesystem::file_time_type::clock::now();
    }
    // Loads or stores, and gives the outcome the server recorded for that session.
    [[nodiscard]] std::string Load(TSMLBase& client) const;
    [[nodiscard]] std::string Store(TSMLBase& client) const;
    // Points a client at the server with the right credentials.
    void Configure(TSMLBase& client) const;

private:
    std::filesystem::path dir_;
    std::string url_;
};

// The identifiers of a client's items, sorted as ItemIDs gives them.
[[nodiscard]] std::vector<std::string> SortedIDs(const TSMLBase& client);

// Gives a store of the real server the listed items (file name and payload) for its
// lifetime, and puts the items it held back afterwards, also when a test fails. The
// server reads its folder at the start of each session.
class ScopedStoreContents {
public:
    ScopedStoreContents(const RealServer& server, const std::string& store,
                        const std::map<std::string, std::string>& items = {});
    ~ScopedStoreContents();
    ScopedStoreContents(const ScopedStoreContents&) = delete;
    ScopedStoreContents& operator=(const ScopedStoreContents&) = delete;

private:
    std::filesystem::path folder_;
    std::filesystem::path saved_;
};

}  // namespace orvanta::test
