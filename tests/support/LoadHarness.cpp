#include "support/LoadHarness.h"

#include <gtest/gtest.h>

#include <regex>

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
    client->HTTP->Limits.Connect = std::chrono::seconds(5);
    client->HTTP->Limits.Stall = std::chrono::seconds(10);
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

const char* const kLoadMessage1 =
    R"(<?xml version="1.0" encoding="utf-8"?><SyncML><SyncHdr><VerDTD>1.2</VerDTD>
<VerProto>SyncML/1.2</VerProto><SessionID>loading_20240115T083000Z4711</SessionID>
<MsgID>1</MsgID><Target><LocURI>{url}</LocURI></Target><Source><LocURI>ContSyncML</LocURI>
</Source><Cred><Meta><Type xmlns="syncml:metinf">syncml:auth-basic</Type></Meta>
<Data>dXNlcjpwYXNz</Data></Cred><Meta><MaxMsgSize xmlns="syncml:metinf">1048576</MaxMsgSize>
</Meta></SyncHdr><SyncBody><Put><CmdID>1</CmdID><Meta>
<Type xmlns="syncml:metinf">application/vnd.syncml-devinf+xml</Type></Meta><Item><Source>
<LocURI>./devinf12</LocURI></Source><Data><DevInf xmlns="syncml:devinf"><VerDTD>1.2</VerDTD>
<DevID>ContSyncML</DevID><DevTyp>workstation</DevTyp><UTC/><DataStore>
<SourceRef>contdb</SourceRef><Rx-Pref><CTType>text/x-vcard</CTType><VerCT>2.1</VerCT></Rx-Pref>
<Tx-Pref><CTType>text/x-vcard</CTType><VerCT>2.1</VerCT></Tx-Pref><CTCap>
<CTType>text/x-vcard</CTType><VerCT>2.1</VerCT><Property><PropName>BEGIN</PropName></Property>
<Property><PropName>END</PropName></Property><Property><PropName>VERSION</PropName></Property>
<Property><PropName>FN</PropName></Property><Property><PropName>N</PropName></Property>
<Property><PropName>ADR</PropName><PropParam><ParamName>TYPE</ParamName><ValEnum>WORK</ValEnum>
<ValEnum>HOME</ValEnum></PropParam></Property><Property><PropName>ORG</PropName></Property>
<Property><PropName>TITLE</PropName></Property><Property><PropName>NOTE</PropName></Property>
<Property><PropName>TEL</PropName><PropParam><ParamName>TYPE</ParamName><ValEnum>WORK</ValEnum>
<ValEnum>FAX</ValEnum><ValEnum>CELL</ValEnum><ValEnum>HOME</ValEnum><ValEnum>VOICE</ValEnum>
</PropParam></Property><Property><PropName>EMAIL</PropName><PropParam>
<ParamName>TYPE</ParamName><ValEnum>WORK</ValEnum><ValEnum>HOME</ValEnum>
<ValEnum>INTERNET</ValEnum></PropParam></Property><Property><PropName>URL</PropName><PropParam>
<ParamName>TYPE</ParamName><ValEnum>WORK</ValEnum><ValEnum>HOME</ValEnum></PropParam></Property>
<Property><PropName>BDAY</PropName></Property></CTCap><SyncCap><SyncType>2</SyncType>
<SyncType>3</SyncType><SyncType>5</SyncType></SyncCap></DataStore></DevInf></Data></Item></Put>
<Alert><CmdID>2</CmdID><Data>201</Data><Item><Target><LocURI>card</LocURI></Target><Source>
<LocURI>contdb</LocURI></Source><Meta><Anchor xmlns="syncml:metinf"><Next>12345678</Next>
</Anchor></Meta></Item></Alert><Sync><CmdID>3</CmdID><Target><LocURI>card</LocURI></Target>
<Source><LocURI>contdb</LocURI></Source></Sync><Final/></SyncBody></SyncML>)";

std::string Expected(std::string text, const std::string& url,
                     const std::vector<std::pair<std::string, std::string>>& edits) {
    text = std::regex_replace(text, std::regex("\n"), "");
    for (const auto& [from, to] : edits)
        text = std::regex_replace(text, std::regex(from), to);
    for (auto at = text.find("{url}"); at != std::string::npos; at = text.find("{url}", at))
        text.replace(at, 5, url);
    return text;
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
