#pragma once

#include <filesystem>
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
    // Points a client at the server with the right credentials.
    void Configure(TSMLBase& client) const;

private:
    std::filesystem::path dir_;
    std::string url_;
};

}  // namespace orvanta::test
