// The HTTP client of the fuzz programs: the replies come from the fuzz input instead
// of a socket. It defines every member of THttpClient, so it replaces the real client
// at link time; see FakeTransport.h.
#include "engine/HttpClient.h"

#include <deque>
#include <string_view>
#include <utility>

#include "engine/Errors.h"
#include "fuzz/FakeTransport.h"

namespace orvanta {

namespace {

struct Script {
    std::deque<std::string> replies;
    std::size_t taken = 0;
    std::vector<std::string> requests;
};

Script& TheScript() {
    static Script script;
    return script;
}

std::string_view ElementText(std::string_view xml, std::string_view name) {
    const std::string open = "<" + std::string(name) + ">";
    const auto start = xml.find(open);
    if (start == std::string_view::npos) return {};
    const auto from = start + open.size();
    const auto end = xml.find('<', from);
    return end == std::string_view::npos ? std::string_view() : xml.substr(from, end - from);
}

void ReplaceAll(std::string& text, std::string_view token, std::string_view by) {
    if (text.find(token) == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(token); at != std::string::npos; at = text.find(token, from)) {
        out.append(text, from, at - from);
        out += by;
        from = at + token.size();
    }
    out.append(text, from);
    text = std::move(out);
}

}  // namespace

namespace fuzz {

void SetReplies(std::vector<std::string> replies) {
    Script& script = TheScript();
    script.replies.assign(std::make_move_iterator(replies.begin()),
                          std::make_move_iterator(replies.end()));
    script.taken = 0;
    script.requests.clear();
}

std::size_t RepliesTaken() {
    return TheScript().taken;
}

const std::vector<std::string>& RequestsSent() {
    return TheScript().requests;
}

}  // namespace fuzz

struct THttpClient::Connection {};

THttpClient::THttpClient() = default;
THttpClient::~THttpClient() = default;

void THttpClient::Close() {
    connection_.reset();
}

void THttpClient::Cancel() {
    cancelled_ = true;
}

void THttpClient::ResetCancel() {
    cancelled_ = false;
}

void THttpClient::Post(const std::string& url, const std::string& body, std::string& reply) {
    reply.clear();
    if (cancelled_) throw CancelledError();
    Script& script = TheScript();
    script.requests.push_back(body);
    if (script.replies.empty()) {
        Close();
        throw TransportError("Could not connect to " + DisplayURL(url) +
                             ": the connection was reset");
    }
    if (!connection_) connection_ = std::make_unique<Connection>();
    reply = std::move(script.replies.front());
    script.replies.pop_front();
    ++script.taken;
    ReplaceAll(reply, "@SESSION@", ElementText(body, "SessionID"));
    ReplaceAll(reply, "@MSG@", ElementText(body, "MsgID"));
    if (reply.size() > MaxReplyBytes) {
        Close();
        throw TransportError("The reply from " + DisplayURL(url) + " is larger than " +
                             std::to_string(MaxReplyBytes >> 20) + " MB");
    }
}

}  // namespace orvanta
