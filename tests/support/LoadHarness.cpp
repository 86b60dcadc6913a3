#include "support/LoadHarness.h"

#include <gtest/gtest.h>

#include <ranges>
#include <regex>
#include <sstream>

#include "engine/HttpClient.h"
#include "formats/DateTime.h"
#include "engine/SyncMLMessage.h"
#include "formats/TextCodec.h"
#include "support/Corpus.h"

namespace orvanta::test {

RandomSource Sequence(std::deque<std::uint32_t> values) {
    return [values = std::move(values)](std::uint32_t) mutable {
        const std::uint32_t v = values.front();
        if (values.size() > 1) values.pop_front();
        return v;
    };
}

void Configure(TSMLBase& client, const ScriptedPeer& peer) {
    client.SetServerURL(peer.Url() + "/");
    client.UserName = "user";
    client.Password = "pass";
    client.Random = Sequence({4711, 12345678});
    client.Clock = [] { return EncodeDate(2024, 1, 15) + EncodeTime(8, 30, 0); };
    client.HTTP->Limits.Connect = std::chrono::seconds(5);
    client.HTTP->Limits.Stall = std::chrono::seconds(10);
}

std::unique_ptr<TSMLContacts> ClientFor(const ScriptedPeer& peer) {
    auto client = std::make_unique<TSMLContacts>();
    Configure(*client, peer);
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

namespace {

void Flatten(pugi::xml_node node, const std::string& path, std::vector<std::string>& out) {
    for (const pugi::xml_attribute a : node.attributes())
        out.push_back(path + "@" + a.name() + "=" + a.value());
    bool parent = false;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        parent = true;
        const std::string_view name = LocalName(child);
        Flatten(child, path.empty() || path == "SyncBody" ? std::string(name) : path + "/" + std::string(name), out);
    }
    if (parent) return;
    const std::string text = Escaped(Text(node));
    out.push_back(text.empty() ? path : path + "=" + text);
}

}  // namespace

std::vector<std::string> Flattened(const std::string& message) {
    pugi::xml_document doc;
    // Line ends as they were sent: a payload's CR LF is part of it.
    if (!doc.load_string(message.c_str(), pugi::parse_default & ~pugi::parse_eol))
        return {"not XML: " + message};
    std::vector<std::string> lines;
    Flatten(doc.document_element(), "", lines);
    return lines;
}

std::string Unflattened(const std::vector<std::string>& lines) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("SyncML");
    root.append_attribute("xmlns") = "SYNCML:SYNCML1.2";
    for (const std::string& line : lines) {
        const std::size_t eq = line.find('=');
        std::vector<std::string> names;
        for (const auto part : std::views::split(std::string_view(line).substr(0, eq), '/'))
            names.emplace_back(part.begin(), part.end());
        if (names.front() != "SyncHdr") names.insert(names.begin(), "SyncBody");
        pugi::xml_node at = root;
        for (std::size_t i = 0; i < names.size(); ++i) {
            // The last element of that name goes on, unless the line names its first child
            // again: then the line begins a new one (the header and body are one each).
            const pugi::xml_node last = at.last_child();
            const bool leaf = i + 1 == names.size();
            const bool again = i > 0 && !leaf && last.first_child().name() == names[i + 1];
            at = !leaf && last.name() == names[i] && !again ? last : at.append_child(names[i].c_str());
        }
        if (eq != std::string::npos) at.text() = Unescaped(line.substr(eq + 1)).c_str();
    }
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}

std::string States(const TSMLBase& client) {
    static const char* const kNames[] = {"Unchanged", "New", "Modified", "Deleted"};
    std::string text;
    for (const auto& item : client.Items)
        text += (text.empty() ? "" : " ") + std::string(kNames[static_cast<int>(item->State)]);
    return text;
}

}  // namespace orvanta::test
