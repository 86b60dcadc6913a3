#include "support/RealServer.h"

#include <openssl/sha.h>
#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
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

std::string SessionFolderName(const std::string& deviceID) {
    // The peer that scripts/syncml-server add-peer makes: the device ID in lower case, or
    // "dev-" and 16 hex digits of its SHA-1 when it is no plain name.
    static const std::regex plain("[A-Za-z0-9][A-Za-z0-9._-]{0,63}");
    std::string peer;
    if (std::regex_match(deviceID, plain)) {
        peer = deviceID;
        std::transform(peer.begin(), peer.end(), peer.begin(), ::tolower);
    } else {
        unsigned char digest[SHA_DIGEST_LENGTH];
        SHA1(reinterpret_cast<const unsigned char*>(deviceID.data()), deviceID.size(), digest);
        peer = "dev-";
        for (int i = 0; i < 8; ++i) {
            static constexpr char kHex[] = "0123456789abcdef";
            peer += kHex[digest[i] >> 4];
            peer += kHex[digest[i] & 15];
        }
    }
    // The server's log folders are <peer>@server-<date>-<time>[-letter], with '-' in the
    // peer's name written "_+" and '_' written "__".
    std::string folder;
    for (const char c : peer)
        folder += c == '-' ? "_+" : c == '_' ? "__" : std::string(1, c);
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

LossyLine::LossyLine(const RealServer& server)
    : peer_([this](const RecordedRequest& request, int) { return Forward(request); }) {
    std::smatch m;
    std::regex_match(server.Url(), m, std::regex(R"((http://[^/]+)(/.*)?)"));
    upstream_ = m[1];
    path_ = m[2].matched ? m[2].str() : "/";
}

LossyLine::~LossyLine() = default;

std::string LossyLine::Url() const {
    return peer_.Url(path_);
}

void LossyLine::LoseReplyOf(int request, bool asServerError) {
    std::lock_guard lock(mutex_);
    replies_.clear();
    forwarded_ = 0;
    serverError_ = asServerError;
    lose_ = request;
}

int LossyLine::Forwarded() const {
    std::lock_guard lock(mutex_);
    return forwarded_;
}

std::vector<std::string> LossyLine::Replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

PeerReply LossyLine::Forward(const RecordedRequest& request) {
    const PeerReply closed{0, {}, 0};
    std::lock_guard lock(mutex_);
    if (lose_ > 0 && forwarded_ >= lose_) return closed;  // the line stays down
    ++forwarded_;
    httplib::Client upstream(upstream_);
    upstream.set_read_timeout(60, 0);
    const auto reply = upstream.Post(request.Target, request.Body, request.Header("Content-Type"));
    replies_.push_back(reply ? reply->body : std::string());
    if (forwarded_ == lose_) return serverError_ ? PeerReply{500, "Internal Server Error", 0} : closed;
    return reply ? PeerReply{reply->status, reply->body, 0} : closed;
}

std::vector<std::string> SortedIDs(const TSMLBase& client) {
    std::vector<std::string> ids;
    for (const auto& item : client.Items)
        ids.push_back(item->ID);
    std::sort(ids.begin(), ids.end());
    return ids;
}

TSMLItem* FindByID(const TSMLBase& client, const std::string& id) {
    for (const auto& item : client.Items)
        if (item->ID == id) return item.get();
    return nullptr;
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
