#include "support/LoadHarness.h"

#include "engine/HttpClient.h"
#include "formats/DateTime.h"

namespace orvanta::test {

RandomSource Sequence(std::deque<std::uint32_t> values) {
    return [values = std::move(values)](std::uint32_t) mutable {
        const std::uint32_t v = values.front();
        if (values.size() > 1) values.pop_front();
        return v;
    };
}

TDateTime FixedClock() {
    return EncodeDate(2024, 1, 15) + EncodeTime(8, 30, 0);
}

std::unique_ptr<TSMLContacts> ClientFor(const ScriptedPeer& peer) {
    auto client = std::make_unique<TSMLContacts>();
    client->SetServerURL(peer.Url() + "/");
    client->UserName = "user";
    client->Password = "pass";
    client->Random = Sequence({4711, 12345678});
    client->Clock = FixedClock;
    client->HTTP->ConnectTimeoutSeconds = 5;
    client->HTTP->StallTimeoutSeconds = 10;
    return client;
}

std::vector<ClientMessage> Messages(const ScriptedPeer& peer) {
    std::vector<ClientMessage> messages;
    for (const RecordedRequest& r : peer.Requests())
        messages.push_back(ReadClientMessage(r.Body));
    return messages;
}

}  // namespace orvanta::test
