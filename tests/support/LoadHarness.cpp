#include "support/LoadHarness.h"

#include <gtest/gtest.h>

#include "engine/HttpClient.h"
#include "formats/DateTime.h"
#include "formats/TextCodec.h"

namespace orvanta::test {

RandomSource Sequence(std::deque<std::uint32_t> values) {
    return [values = std::move(values)](std::uint32_t) mutable {
        const std::uint32_t v = values.front();
        if (values.size() > 1) values.pop_front();
        return v;
    };
}

std::unique_ptr<TSMLContacts> ClientFor(const ScriptedPeer& peer) {
    auto client = std::make_unique<TSMLContacts>();
    client->SetServerURL(peer.Url() + "/");
    client->UserName = "user";
    client->Password = "pass";
    client->Random = Sequence({4711, 12345678});
    client->Clock = [] { return EncodeDate(2024, 1, 15) + EncodeTime(8, 30, 0); };
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

std::vector<ClientMessage> SplitUnder(const ScriptedPeer& peer, long limit) {
    const auto requests = peer.Requests();
    std::vector<ClientMessage> messages;
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_LE(requests[i].Body.size(), static_cast<std::size_t>(limit)) << "message " << i + 1;
        messages.push_back(ReadClientMessage(requests[i].Body));
        EXPECT_EQ(messages.back().Final, i + 1 == requests.size()) << "message " << i + 1;
    }
    return messages;
}

std::string Answers(const ClientMessage& m) {
    std::string text;
    for (const ClientStatus& s : m.Statuses) {
        const bool item = s.Cmd != "SyncHdr" && s.Cmd != "Alert" && s.Cmd != "Sync";
        const std::string ref = item ? s.SourceRef + s.TargetRef : "";
        text += (text.empty() ? "" : ", ") + s.Cmd + " " + s.CmdRef + " " +
                (ref.empty() ? "" : ref + " ") + s.Data;
    }
    if (!m.MapCmdIDs.empty()) text += ", Map";
    for (const auto& [target, source] : m.MapItems)
        text += " " + target;
    return text;
}

std::string ItemList(const TSMLBase& client) {
    std::string text;
    for (const auto& item : client.Items) {
        text += (text.empty() ? "" : ", ") + item->ID + " " +
                std::to_string(static_cast<int>(item->ServerChange)) + " " +
                std::to_string(item->Lines.size()) + " " + ToUTF8(item->GetTitle());
    }
    return text;
}

std::string States(const TSMLBase& client) {
    static const char* const kNames[] = {"Unchanged", "New", "Modified", "Deleted"};
    std::string text;
    for (const auto& item : client.Items)
        text += (text.empty() ? "" : " ") + std::string(kNames[static_cast<int>(item->State)]);
    return text;
}

}  // namespace orvanta::test
