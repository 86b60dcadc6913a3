#include "support/RealServer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace orvanta::test {

namespace fs = std::filesystem;

RealServer::RealServer() {
    const char* dir = std::getenv("ORVANTA_INTEROP_DIR");
    if (!dir) throw std::runtime_error("ORVANTA_INTEROP_DIR is not set; run through ctest");
    dir_ = dir;
    std::ifstream in(dir_ / "url");
    std::getline(in, url_);
    if (url_.empty()) throw std::runtime_error("no server URL in " + (dir_ / "url").string());
}

fs::path RealServer::StoreFolder(const std::string& store) const {
    return dir_ / "data" / store;
}

std::vector<std::string> RealServer::ItemIDs(const std::string& store) const {
    std::vector<std::string> ids;
    for (const auto& entry : fs::directory_iterator(StoreFolder(store)))
        if (entry.is_regular_file()) ids.push_back(entry.path().filename().string());
    std::sort(ids.begin(), ids.end());
    return ids;
}

static std::string SessionFolderName(const std::string& deviceID) {
    // The peer that scripts/syncml-server add-peer makes for a plain device ID (the
    // clients' and the replicas' are): the ID in lower case. Its log folders are
    // <peer>@server-<date>-<time>[-letter], with '-' in the peer's name written "_+" and
    // '_' written "__".
    std::string folder;
    for (const char c : deviceID) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        folder += c == '-' ? "_+" : c == '_' ? "__" : std::string(1, lower);
    }
    return folder;
}

std::string RealServer::SessionStatus(const std::string& deviceID, fs::file_time_type since) const {
    const std::string prefix = SessionFolderName(deviceID) + "@server-";
    std::string status = "no session";
    for (int attempt = 0; attempt < 300; ++attempt) {
        fs::path newest;
        fs::file_time_type newestTime = since;
        // The server prunes old session folders while it runs, so any of them may
        // vanish between listing and reading it.
        std::error_code gone;
        for (fs::directory_iterator it(dir_ / "home/.cache/syncevolution", gone), end;
             !gone && it != end; it.increment(gone)) {
            const fs::path ini = it->path() / "status.ini";
            if (it->path().filename().string().rfind(prefix, 0) != 0) continue;
            const auto time = fs::last_write_time(ini, gone);
            if (gone) {
                gone.clear();
                continue;
            }
            if (time >= newestTime) {
                newest = ini;
                newestTime = time;
            }
        }
        if (!newest.empty()) {
            std::ifstream in(newest);
            bool ended = false;
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("status = ", 0) == 0) status = line.substr(9);
                if (line.rfind("end = ", 0) == 0) ended = true;
            }
            // While a session runs, its record says 22002 ("died prematurely") as a
            // placeholder, with an end time; the outcome replaces it at the real end.
            if (ended && status != "22002") return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return status + " (session record incomplete)";
}

std::string RealServer::Load(TSMLBase& client) const {
    const auto since = Now();
    client.Load("");
    return SessionStatus(client.DeviceID, since);
}

std::string RealServer::Store(TSMLBase& client) const {
    const auto since = Now();
    client.Store();
    return SessionStatus(client.DeviceID, since);
}

void RealServer::Configure(TSMLBase& client) const {
    client.SetServerURL(url_);
    client.UserName = kUser;
    client.Password = kPassword;
}

std::vector<std::string> SortedIDs(const TSMLBase& client) {
    std::vector<std::string> ids;
    for (const auto& item : client.Items)
        ids.push_back(item->ID);
    std::sort(ids.begin(), ids.end());
    return ids;
}

ScopedStoreContents::ScopedStoreContents(const RealServer& server, const std::string& store,
                                         const std::map<std::string, std::string>& items)
    : folder_(server.StoreFolder(store)), saved_(folder_.string() + ".saved") {
    fs::remove_all(saved_);
    fs::rename(folder_, saved_);
    fs::create_directory(folder_);
    for (const auto& [name, payload] : items)
        std::ofstream(folder_ / name, std::ios::binary) << payload;
}

ScopedStoreContents::~ScopedStoreContents() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    fs::rename(saved_, folder_, ignored);
}

}  // namespace orvanta::test
