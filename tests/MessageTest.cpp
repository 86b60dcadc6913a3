#include <gtest/gtest.h>

#include <sstream>

#include "engine/Errors.h"
#include "engine/SyncMLMessage.h"
#include "support/LoadHarness.h"

namespace orvanta {
namespace {

using namespace test;

// The header of a client message; `cred` is the Base64 of "user:password", or empty
// for none.
std::string Header(const std::string& msgID, const std::string& target, const std::string& cred) {
    std::string h =
        "<SyncHdr><VerDTD>1.2</VerDTD><VerProto>SyncML/1.2</VerProto>"
        "<SessionID>loading_20240115T083000Z4711</SessionID><MsgID>" +
        msgID + "</MsgID><Target><LocURI>" + target +
        "</LocURI></Target><Source><LocURI>ContSyncML</LocURI></Source>";
    if (!cred.empty()) {
        h += "<Cred><Meta><Type xmlns=\"syncml:metinf\">syncml:auth-basic</Type></Meta>"
             "<Data>" +
             cred + "</Data></Cred>";
    }
    return h + "<Meta><MaxMsgSize xmlns=\"syncml:metinf\">1048576</MaxMsgSize></Meta></SyncHdr>";
}

// The properties a contact declares, with the TYPE words that tell its lines apart.
std::string ContactCTCap() {
    const auto property = [](const char* name, std::initializer_list<const char*> types = {}) {
        std::string p = std::string("<Property><PropName>") + name + "</PropName>";
        if (types.size() != 0) {
            p += "<PropParam><ParamName>TYPE</ParamName>";
            for (const char* type : types)
                p += std::string("<ValEnum>") + type + "</ValEnum>";
            p += "</PropParam>";
        }
        return p + "</Property>";
    };
    return "<CTCap><CTType>text/x-vcard</CTType><VerCT>2.1</VerCT>" + property("BEGIN") +
           property("END") + property("VERSION") + property("FN") + property("N") +
           property("ADR", {"WORK", "HOME"}) + property("ORG") + property("TITLE") +
           property("NOTE") + property("TEL", {"WORK", "FAX", "CELL", "HOME", "VOICE"}) +
           property("EMAIL", {"WORK", "HOME", "INTERNET"}) + property("URL", {"WORK", "HOME"}) +
           property("BDAY") + "</CTCap>";
}

std::string Message1(const std::string& url, const std::string& alertAndAnchor,
                     const std::string& cred = "dXNlcjpwYXNz") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><SyncML>" + Header("1", url, cred) +
           "<SyncBody><Put><CmdID>1</CmdID><Meta><Type xmlns=\"syncml:metinf\">"
           "application/vnd.syncml-devinf+xml</Type></Meta><Item><Source><LocURI>./devinf12"
           "</LocURI></Source><Data><DevInf xmlns=\"syncml:devinf\"><VerDTD>1.2</VerDTD>"
           "<DevID>ContSyncML</DevID><DevTyp>workstation</DevTyp><UTC/><DataStore><SourceRef>contdb"
           "</SourceRef><Rx-Pref><CTType>text/x-vcard</CTType><VerCT>2.1</VerCT></Rx-Pref>"
           "<Tx-Pref><CTType>text/x-vcard</CTType><VerCT>2.1</VerCT></Tx-Pref>" +
           ContactCTCap() +
           "<SyncCap><SyncType>2</SyncType><SyncType>3</SyncType><SyncType>5</SyncType></SyncCap>"
           "</DataStore></DevInf></Data></Item></Put><Alert><CmdID>2</CmdID>" +
           alertAndAnchor +
           "</Alert><Sync><CmdID>3</CmdID><Target><LocURI>card</LocURI></Target><Source>"
           "<LocURI>contdb</LocURI></Source></Sync><Final/></SyncBody></SyncML>";
}

std::string AlertItem(const std::string& code, const std::string& anchor) {
    return "<Data>" + code +
           "</Data><Item><Target><LocURI>card</LocURI></Target><Source><LocURI>contdb</LocURI>"
           "</Source><Meta><Anchor xmlns=\"syncml:metinf\">" +
           anchor + "</Anchor></Meta></Item>";
}

std::string Status(int cmdID, const std::string& cmdRef, const std::string& cmd,
                   const std::string& refs, const std::string& extra = "") {
    return "<Status><CmdID>" + std::to_string(cmdID) + "</CmdID><MsgRef>1</MsgRef><CmdRef>" +
           cmdRef + "</CmdRef><Cmd>" + cmd + "</Cmd>" + refs + "<Data>200</Data>" + extra +
           "</Status>";
}

std::string MapItem(const std::string& id) {
    return "<MapItem><Target><LocURI>" + id + "</LocURI></Target><Source><LocURI>" + id +
           "</LocURI></Source></MapItem>";
}

TEST(Messages, SlowSyncLoadIsLaidOutExactly) {
    ServerReplyShape reply;
    reply.Commands = {{"Add", "7", "a1", "BEGIN:VCARD\r\nEND:VCARD\r\n"},
                      {"Add", "8", "a2", "BEGIN:VCARD\r\nEND:VCARD\r\n"}};
    ScriptedPeer* self = nullptr;
    ScriptedPeer peer([&](const RecordedRequest&, int index) {
        reply.RespURI = self->Url("/sync?sessionid=ab=1&x=y");
        return PeerReply{200, BuildServerReply(index == 0 ? reply : Acknowledgement(2)), 0};
    });
    self = &peer;
    auto client = ClientFor(peer);
    client->Load("");

    const std::string url = peer.Url();
    const std::string respURI = peer.Url("/sync?sessionid=ab=1&amp;x=y");
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    // The response URI is used exactly as given, also for the HTTP request.
    EXPECT_EQ(requests[1].Target, "/sync?sessionid=ab=1&x=y");
    EXPECT_EQ(requests[0].Body, Message1(url, AlertItem("201", "<Next>12345678</Next>")));

    const std::string serverRefs =
        "<TargetRef>ContSyncML</TargetRef><SourceRef>" + url + "</SourceRef>";
    const std::string storeRefs = "<TargetRef>contdb</TargetRef><SourceRef>card</SourceRef>";
    const std::string expected2 =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><SyncML>" + Header("2", respURI, "") +
        "<SyncBody>" + Status(1, "0", "SyncHdr", serverRefs) +
        Status(2, "5", "Alert", storeRefs,
               "<Item><Data><Anchor xmlns=\"syncml:metinf\"><Next>srv-anchor-1</Next></Anchor>"
               "</Data></Item>") +
        Status(3, "6", "Sync", storeRefs) + Status(4, "7", "Add", "<SourceRef>a1</SourceRef>") +
        Status(5, "8", "Add", "<SourceRef>a2</SourceRef>") +
        "<Map><CmdID>6</CmdID><Target><LocURI>card</LocURI></Target><Source><LocURI>contdb"
        "</LocURI></Source>" +
        MapItem("a1") + MapItem("a2") + "</Map><Final/></SyncBody></SyncML>";
    EXPECT_EQ(requests[1].Body, expected2);
    EXPECT_EQ(client->NextAnchor, "12345678");
}

// A last anchor asks for a fast sync; empty credentials still travel.
TEST(Messages, LastAnchorAsksForAFastSync) {
    ScriptedPeer peer({BuildServerReply({}), BuildServerReply(Acknowledgement(2))});
    auto client = ClientFor(peer);
    client->UserName.clear();
    client->Password.clear();
    client->Load(" 2024 ");
    const auto requests = peer.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(
        requests[0].Body,
        Message1(peer.Url(), AlertItem("204", "<Last> 2024 </Last><Next>12345678</Next>"), "Og=="));
}

// A reply parsed in place, with the text it points into.
struct ParsedReply {
    explicit ParsedReply(std::string body) : text(std::move(body)) { ParseReply(doc, text); }
    [[nodiscard]] pugi::xml_node Root() const { return doc.document_element(); }
    std::string text;
    pugi::xml_document doc;
};

TEST(Messages, CDataCarriesItsEndMarkerIntact) {
    TSyncMLDocument doc;
    doc.Start();
    // Line ends are LF: XML parsers normalise CR LF in any text.
    const std::string payload = "BEGIN:VNOTE\nBODY:a]]>b ]]]> <&>\nEND:VNOTE\n";
    AddCData(doc.Root(), "Data", payload);
    const ParsedReply parsed(doc.Serialise());
    EXPECT_EQ(Text(Child(parsed.Root(), "Data")), payload);
}

// The size counted from the tree must be the size written, or a message outgrows the
// server's limit: every shape the client builds, and text the writer escapes.
TEST(Messages, CountedSizeIsTheWrittenSize) {
    const std::string texts[] = {"",
                                 "plain",
                                 "a&b<c>d",
                                 "say \"hi\" 'x'",
                                 "tab\tline\n",
                                 "\x01\x1F",
                                 "M\xC3\xBC"
                                 "ller",
                                 "x]]>y]]>"};
    for (const std::string& text : texts) {
        pugi::xml_document doc;
        pugi::xml_node cmd = doc.append_child("Add");
        AddElement(cmd, "CmdID", 7LL);
        AddElement(cmd, "Empty");
        AddElement(cmd, "Text", text);
        AddMetInf(cmd.append_child("Meta"), "Type", text);
        pugi::xml_node item = AddElement(cmd, "Item");
        AddLocURI(item, "Source", text);
        AddCData(item, "Data", text);
        cmd.append_attribute("note").set_value(text.c_str());
        for (const pugi::xml_node node : {cmd, item, cmd.child("Empty"), cmd.child("Text")}) {
            std::ostringstream written;
            node.print(written, "", pugi::format_raw, pugi::encoding_utf8);
            EXPECT_EQ(SerialisedSize(node), written.str().size()) << written.str();
        }
    }
}

TEST(Messages, RepliesAreReadByLocalName) {
    const ParsedReply reply(
        "<s:SyncML xmlns:s='SYNCML:SYNCML1.2'><s:SyncBody><s:Alert><s:CmdID> 12 "
        "</s:CmdID></s:Alert></s:SyncBody></s:SyncML>");
    EXPECT_EQ(ReadInteger(Path(reply.Root(), "SyncBody/Alert/CmdID")), 12);
    EXPECT_EQ(Text(Path(reply.Root(), "SyncBody/Missing/CmdID")), "");
}

TEST(Messages, MalformedRepliesAreRefused) {
    for (const char* body : {"", "<SyncML><SyncBody>", "<html><body>Error</body></html>"}) {
        EXPECT_THROW(ParsedReply{body}, ProtocolError) << body;
    }
}

TEST(Messages, ExternalEntitiesAreNeverLoaded) {
    const ParsedReply reply(
        "<!DOCTYPE SyncML [<!ENTITY e SYSTEM 'file:///etc/hostname'>]><SyncML>&e;</SyncML>");
    EXPECT_EQ(Text(reply.Root()), "&e;");
}

}  // namespace
}  // namespace orvanta
