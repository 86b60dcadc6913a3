#include "support/SyncPeer.h"

#include <gtest/gtest.h>

#include <ranges>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "engine/HttpClient.h"
#include "engine/SyncMLMessage.h"
#include "formats/DateTime.h"
#include "formats/TextCodec.h"
#include "support/Corpus.h"

namespace orvanta::test {

namespace {

std::string CData(const std::string& text) {
    std::string out = "<![CDATA[";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "]]>") == 0) {
            out += "]]]]><![CDATA[>";
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out + "]]>";
}

}  // namespace

std::string BuildServerReply(const ServerReplyShape& s) {
    const auto open = [](const std::string& name) { return "<" + name + ">"; };
    const auto close = [](const std::string& name) { return "</" + name + ">"; };
    const auto el = [&](const std::string& name, const std::string& text) {
        return open(name) + text + close(name);
    };
    const auto loc = [&](const std::string& name, const std::string& uri) {
        return open(name) + el("LocURI", uri) + close(name);
    };
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SyncML xmlns=\"SYNCML:SYNCML1.2\">";
    x += open("SyncHdr") + el("VerDTD", "1.2") + el("VerProto", "SyncML/1.2") +
         el("SessionID", s.SessionID) + el("MsgID", s.MsgID) + loc("Target", "ContSyncML") +
         loc("Source", "http://127.0.0.1/sync");
    if (!s.RespURI.empty()) x += el("RespURI", s.RespURI);
    if (s.MaxMsgSize > 0) {
        x += open("Meta") + "<MaxMsgSize xmlns=\"syncml:metinf\">" + std::to_string(s.MaxMsgSize) +
             "</MaxMsgSize>" + close("Meta");
    }
    x += close("SyncHdr") + open("SyncBody");
    int cmd = 1;
    if (s.HeaderStatus) x += StatusXml(cmd++, s.StatusMsgRef, "0", "SyncHdr", *s.HeaderStatus);
    if (s.AlertStatus) x += StatusXml(cmd++, s.StatusMsgRef, "2", "Alert", *s.AlertStatus);
    if (s.Alert) {
        x += open("Alert") + el("CmdID", s.AlertCmdID) + el("Data", s.AlertCode) + open("Item") +
             loc("Target", "contdb") + loc("Source", "card") + open("Meta") +
             "<Anchor xmlns=\"syncml:metinf\">" +
             (s.LastAnchor.empty() ? "" : el("Last", s.LastAnchor)) + el("Next", s.NextAnchor) +
             "</Anchor>" +
             close("Meta") + close("Item") + close("Alert");
    }
    if (s.Sync) {
        x += open("Sync") + el("CmdID", s.SyncCmdID) + loc("Target", "contdb") +
             loc("Source", "card");
        for (const ServerCommand& c : s.Commands) {
            x += open(c.Name) + el("CmdID", c.CmdID) + open("Meta") +
                 "<Type xmlns=\"syncml:metinf\">text/x-vcard</Type>" + close("Meta") +
                 open("Item") + loc(c.Name == "Add" ? "Source" : "Target", c.LocURI);
            if (c.Data) x += open("Data") + CData(*c.Data) + close("Data");
            x += close("Item") + close(c.Name);
        }
        x += s.ExtraSyncXml + close("Sync");
    }
    x += s.ExtraBodyXml;
    if (s.Final) x += "<Final/>";
    x += close("SyncBody") + close("SyncML");
    return x;
}

std::string Closing(int msgID) {
    return BuildServerReply(Acknowledgement(msgID));
}

ServerReplyShape Acknowledgement(int msgID) {
    ServerReplyShape s;
    s.MsgID = s.StatusMsgRef = std::to_string(msgID);
    s.HeaderStatus = 200;
    s.AlertStatus.reset();
    s.Alert = false;
    s.Sync = false;
    return s;
}

std::vector<ServerCommand> Adds(int count, int firstCmdID, const std::string& idPrefix) {
    std::vector<ServerCommand> commands;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i + 1);
        commands.push_back(ServerCommand{
            "Add", std::to_string(firstCmdID + i), idPrefix + n,
            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family" + n + ";Given" + n + ";;;\r\nEND:VCARD\r\n"});
    }
    return commands;
}

std::string SampleContact(int i) {
    std::string text =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:M=C3=BCller#;"
        "J=C3=BCrgen;;;\r\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=BCrgen=20M=C3=BCller#"
        "\r\nTEL;CELL:+49 171 #\r\nTEL;WORK;VOICE:+49 30 #\r\nEMAIL;INTERNET:juergen#@example."
        "org\r\nADR;HOME;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:;;Hauptstra=C3=9Fe=20#;Berlin;;"
        "10115;Deutschland\r\nNOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Kunde=20seit=202019="
        "0D=0ARuft=20gern=20abends=20an\r\nBDAY:19800412\r\nEND:VCARD\r\n";
    for (auto at = text.find('#'); at != std::string::npos; at = text.find('#', at))
        text.replace(at, 1, std::to_string(i));
    return text;
}

std::string StatusXml(int cmdID, const std::string& msgRef, const std::string& cmdRef,
                      const std::string& cmd, int code) {
    return "<Status><CmdID>" + std::to_string(cmdID) + "</CmdID><MsgRef>" + msgRef +
           "</MsgRef><CmdRef>" + cmdRef + "</CmdRef><Cmd>" + cmd + "</Cmd><Data>" +
           std::to_string(code) + "</Data></Status>";
}

ScriptedPeer::Handler StoreServer(CodeFor codeFor, AdjustReply adjust) {
    return [codeFor, adjust](const RecordedRequest& request, int index) {
        const Message m = PartsOf(request.Body);
        const std::string msgID = Find(m, "SyncHdr")["MsgID"];
        const bool final = !Find(m, "Final").Name.empty();
        ServerReplyShape r = Acknowledgement(std::stoi(msgID));
        if (msgID == "1") {
            r.HeaderStatus = 212;
            r.AlertStatus = 200;
            r.Alert = true;
            r.AlertCode = "202";
        } else {
            int cmdID = 10;
            for (const MessagePart& c : m) {
                if (c.Name != "Add" && c.Name != "Replace" && c.Name != "Delete") continue;
                const int code = codeFor ? codeFor(c) : (c.Name == "Add" ? 201 : 200);
                if (code > 0) r.ExtraBodyXml += StatusXml(cmdID++, msgID, c["CmdID"], c.Name, code);
            }
            r.Final = final;
            if (!final) r.ExtraBodyXml += "<Alert><CmdID>9</CmdID><Data>222</Data></Alert>";
        }
        if (adjust) adjust(r, index);
        return PeerReply{200, BuildServerReply(r), 0};
    };
}

ScriptedPeer::Handler SyncServer(SessionChanges changes) {
    auto session = std::make_shared<int>(-1);
    auto next = std::make_shared<std::string>();  // its Next anchor of the last session
    return [changes, session, next](const RecordedRequest& request, int) {
        const Message m = PartsOf(request.Body);
        const std::string msgID = Find(m, "SyncHdr")["MsgID"];
        ServerReplyShape r = Acknowledgement(std::stoi(msgID));
        if (msgID == "1") {
            ++*session;
            r.HeaderStatus = 212;
            r.AlertStatus = 200;
            r.Alert = true;
            const std::string code = Find(m, "Alert")["Data"];
            r.AlertCode = code.empty() ? "200" : code;
            r.LastAnchor = *next;
            r.NextAnchor = *next = "s" + std::to_string(*session);
            return PeerReply{200, BuildServerReply(r), 0};
        }
        int cmdID = 10;
        for (const MessagePart& c : m) {
            if (c.Name == "Add" || c.Name == "Replace" || c.Name == "Delete")
                r.ExtraBodyXml +=
                    StatusXml(cmdID++, msgID, c["CmdID"], c.Name, c.Name == "Add" ? 201 : 200);
            else if (c.Name == "Map")
                r.ExtraBodyXml += StatusXml(cmdID++, msgID, c["CmdID"], "Map", 200);
        }
        r.Final = !Find(m, "Final").Name.empty();
        if (r.Final && !Find(m, "Sync").Name.empty()) {
            r.Sync = true;
            if (changes) r.Commands = changes(*session);
        }
        return PeerReply{200, BuildServerReply(r), 0};
    };
}

std::string MessagePart::operator[](std::string_view path) const {
    for (const auto& [at, value] : Values)
        if (at == path) return value;
    return {};
}

std::vector<std::string> MessagePart::All(std::string_view path) const {
    std::vector<std::string> values;
    for (const auto& [at, value] : Values)
        if (at == path) values.push_back(value);
    return values;
}

Message PartsOf(const std::string& body) {
    Message parts;
    for (std::string line : Flattened(body)) {
        for (const char* change : {"Sync/Add/", "Sync/Replace/", "Sync/Delete/"})
            if (line.starts_with(change)) line.erase(0, 5);
        const std::size_t slash = line.find_first_of("/=");
        const std::string name = line.substr(0, slash);
        const std::size_t eq = line.find('=');
        const std::string path = slash < eq ? line.substr(slash + 1, eq - slash - 1) : "";
        // A command begins with its CmdID; the header and Final have none.
        if (parts.empty() || parts.back().Name != name || path == "CmdID") parts.push_back({name, {}});
        parts.back().Values.emplace_back(path, eq == std::string::npos ? "" : Unescaped(line.substr(eq + 1)));
    }
    return parts;
}

MessagePart Find(const Message& message, std::string_view name) {
    for (const MessagePart& part : message)
        if (part.Name == name) return part;
    return {};
}

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

std::vector<Message> Messages(const ScriptedPeer& peer) {
    std::vector<Message> messages;
    for (const RecordedRequest& r : peer.Requests())
        messages.push_back(PartsOf(r.Body));
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

}  // namespace orvanta::test
