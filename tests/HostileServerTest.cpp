#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "formats/TextCodec.h"
#include "support/ChildProcess.h"
#include "support/SyncPeer.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

// A long URL is shortened in a failure (the failures that name a URL are cases of
// data/transport/servers.txt, a password in the URL a session case), and the user
// information never shows.
TEST(HostileServer, URLsAreShownWithoutPasswordsAndShortened) {
    TSMLContacts client;
    client.SetServerURL("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/" +
                        std::string(100000, 'a'));
    const std::string longFailure = FailureOf<TransportError>([&] { client.Load(""); });
    EXPECT_LT(longFailure.size(), 300u);
    EXPECT_NE(longFailure.find("aaa...: "), std::string::npos) << longFailure;

    EXPECT_EQ(DisplayURL("https://u:p@host.example/x@y"), "https://host.example/x@y");
    EXPECT_EQ(DisplayURL("u:p@host/"), "host/");
}

// A session that answers each request on the connection with the next of `replies`
// (the session ID echoed, then `encode`d), under the given extra headers.
ScriptedPeer::Session Answering(std::vector<std::string> replies,
                                std::function<std::string(const std::string&)> encode,
                                std::string headers = {}) {
    return [=](Connection& c) {
        for (const std::string& reply : replies) {
            const std::string body = encode(WithSessionID(reply, c.Read()));
            if (!c.Send(ReplyHead(200, body.size(), headers) + body)) return;
        }
        c.Hold();
    };
}

std::string AsLatin1(const std::string& utf8) {
    std::string out;
    for (const char16_t ch : FromUTF8(utf8))
        out += static_cast<char>(ch);
    return out;
}

std::string AsUTF16LE(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (const char16_t ch : FromUTF8(utf8)) {
        out += static_cast<char>(ch & 0xFF);
        out += static_cast<char>(ch >> 8);
    }
    return out;
}

const std::string kTLS = ORVANTA_TEST_DATA "/tls/";
const std::string kTransport = ORVANTA_TEST_DATA "/transport/";

// What reaches the load from a server that breaks HTTP, holds the client, sends what is
// not SyncML in XML or speaks https: each case of data/transport/servers.txt names the
// server's behaviour, the exact failure or none, and the time the load takes. A failed load
// leaves no item and Loaded unset; one that goes through has two contacts, the first
// "Müller". A server that holds the client is ended by its own deadline (connect, stall, 10
// bytes a second over 2 seconds, or 2 seconds in all), named in the message, or by Cancel
// from another thread; a Cancel before the load changes nothing.
TEST(HostileServer, TransportCases) {
    const auto sends = [](std::string bytes) {
        return [=](Connection& c) {
            c.Read();
            c.Send(bytes);
            c.Hold();
        };
    };
    ScriptedPeer elsewhere(sends(""));
    ServerReplyShape shape;
    shape.Commands = Adds(2, 10);
    shape.Commands[0].Data = VCard({"N:M\xC3\xBCller;Hans;;;"});
    const std::string load = BuildServerReply(shape);
    shape.RespURI = elsewhere.Url();
    const std::string downgrade = BuildServerReply(shape);
    const auto declaredLatin1 = [](const std::string& text) {
        return AsLatin1("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
                        std::regex_replace(text, std::regex("^<\\?xml[^>]*>"), ""));
    };
    const auto same = [](const std::string& text) { return text; };
    const std::string wbxmlType = "Content-Type: application/vnd.syncml+wbxml\r\n";
    // 600 MB after `head`; the bytes that reached the client before it gave up.
    std::atomic<std::size_t> streamed{0};
    const auto huge = [&streamed](const std::string& head) {
        return [&streamed, head](Connection& c) {
            c.Read();
            const std::string block(1 << 16, ' ');
            for (int i = 0; i <= 9600 && c.Send(i ? block : head); ++i)
                streamed += block.size();
        };
    };
    // The servers by the first word of a case, the rest of its first part as `arg`.
    const auto server = [&](const std::string& kind,
                            const std::string& arg) -> ScriptedPeer::Session {
        if (kind == "status") {
            const std::string code = arg.substr(0, arg.find(' '));
            std::string body = arg.size() > 3 ? arg.substr(4) : "";
            if (body.starts_with('@')) {
                body =
                    Replaced(ReadFile(kTransport + body.substr(1)), "{elsewhere}", elsewhere.Url());
            }
            const std::string type = arg.ends_with(".wbxml") ? wbxmlType : "";
            return sends(ReplyHead(std::stoi(code), body.size(), type) + body);
        }
        if (kind == "redirect")
            return sends(ReplyHead(302, 0, "Location: " + elsewhere.Url() + "\r\n"));
        if (kind == "truncated-xml") return sends(ReplyHead(200, 300) + load.substr(0, 300));
        if (kind == "latin1") return Answering({load, Closing()}, AsLatin1);
        if (kind == "latin1-declared") return Answering({load, Closing()}, declaredLatin1);
        if (kind == "utf16") return Answering({load, Closing()}, AsUTF16LE);
        if (kind == "wbxml-type") return Answering({load, Closing()}, same, wbxmlType);
        if (kind == "tls") {
            return Answering({arg == "downgrade" ? downgrade : load, Closing()}, same);
        }
        if (kind == "huge-announced") return huge(ReplyHead(200, 600u << 20));
        if (kind == "huge") return huge("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        if (kind == "silent") return sends("");
        if (kind == "never-accepts" || kind == "url" || kind == "stopped") return nullptr;
        return [kind, load](Connection& c) {
            c.Read();
            if (kind == "cut") c.Send(ReplyHead(200, load.size()) + load.substr(0, 300));
            if (kind == "trickle" || kind == "above-floor") c.Send(ReplyHead(200, 100000));
            while (kind == "trickle" && c.Send("<"))
                c.Pause(1000);
            while (kind == "above-floor" && c.Send(std::string(40, '<')))
                c.Pause(250);
            c.Close();
        };
    };
    UnansweredPort unanswered;
    const std::string closed = std::to_string(ClosedPort());
    std::istringstream cases(ReadFile(kTransport + "servers.txt"));
    for (std::string line; std::getline(cases, line);) {
        if (line.empty() || line.starts_with('#')) continue;
        SCOPED_TRACE(line);
        std::vector<std::string> parts;
        for (std::size_t bar; (bar = line.find(" | ")) != std::string::npos; line.erase(0, bar + 3))
            parts.push_back(line.substr(0, bar));
        parts.push_back(line);
        parts.resize(4);
        const std::string kind = parts[0].substr(0, parts[0].find(' '));
        const std::string arg = parts[0].substr(std::min(parts[0].size(), kind.size() + 1));
        const ScriptedPeer::Session session = server(kind, arg);
        const bool tls = kind == "tls";
        ScriptedPeer peer(session ? session : sends(""), tls ? kTLS + "cert.pem" : "",
                          tls ? kTLS + "key.pem" : "");
        const std::string url =
            kind == "url"       ? std::regex_replace(arg, std::regex("CLOSED"), closed)
            : kind == "stopped" ? elsewhere.Url()
            : session           ? peer.Url()
                                : "http://127.0.0.1:" + std::to_string(unanswered.Port()) + "/sync";
        long stall = 1, overall = 60;
        double least = 0, most = 5, cancel = -1;
        std::istringstream(parts[2]) >> stall >> least >> most >> overall >> cancel;
        auto client = std::make_unique<TSMLContacts>();
        client->SetServerURL(url);
        client->SetCAFile(!tls || arg == "untrusted" ? ""
                          : arg == "missing"         ? "none.pem"
                                                     : kTLS + "ca.pem");
        client->HTTP->Limits = {std::chrono::seconds(1), std::chrono::seconds(stall), 10,
                                std::chrono::seconds(2), std::chrono::seconds(overall)};
        client->Cancel();
        // Stop stays set: it ends the exchange that has not begun yet, and every later one.
        if (kind == "stopped") {
            client->Stop();
            EXPECT_THROW(client->Load(""), CancelledError);
        }
        const auto start = std::chrono::steady_clock::now();
        // A deadline that does not fire fails the case rather than hanging the test.
        const std::chrono::duration<double> cancelAt(cancel < 0 ? most + 1 : cancel);
        std::jthread canceller([&](std::stop_token stop) {
            while (!stop.stop_requested() && std::chrono::steady_clock::now() - start < cancelAt)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!stop.stop_requested()) client->Cancel();
        });
        std::string failure = FailureOf<SyncError>([&] { client->Load(""); });
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took.count(), least);
        EXPECT_LE(took.count(), most);
        for (const auto& [text, name] :
             {std::pair(url, "URL"), std::pair(elsewhere.Url(), "ELSEWHERE"),
              std::pair(":" + closed + "/", ":CLOSED/")})
            failure = Replaced(failure, text, name);
        // The last "..." stands for curl's words; the password never shows.
        const std::string expected = parts[1].empty() ? "no failure" : parts[1];
        const std::size_t dots = expected.rfind("...");
        EXPECT_EQ(failure.find("secret"), std::string::npos);
        EXPECT_EQ(failure.substr(0, dots), expected.substr(0, dots));
        EXPECT_TRUE(dots == std::string::npos || failure.ends_with(expected.substr(dots + 3)))
            << failure;
        EXPECT_EQ(client->Loaded, parts[1].empty());
        EXPECT_EQ(client->Count(), parts[1].empty() ? 2u : 0u);
        if (client->Count() == 2) {
            EXPECT_EQ(client->Item(0)->LastName(), u"M\u00FCller");
        }
        if (cancel < 0) continue;
        // The cancel ended that exchange only.
        ScriptedPeer good(Answering({load, Closing()}, same));
        client->SetServerURL(good.Url());
        EXPECT_NO_THROW(client->Load(""));
    }
    EXPECT_EQ(elsewhere.Accepted(), 0);
    // The client stopped taking the reply at its limit, not at its end.
    EXPECT_LT(streamed.load(), std::size_t{64} << 20);
}

// A CA file taken away again is not trusted from an earlier request.
TEST(HostileServer, CAFileTakenAwayIsNotTrustedFromAnEarlierRequest) {
    ScriptedPeer peer(InOrder({"first", "second"}), kTLS + "cert.pem", kTLS + "key.pem");
    THttpClient http;
    http.CAFile = kTLS + "ca.pem";
    std::string reply;
    http.Post(peer.Url(), "one", reply);
    EXPECT_EQ(reply, "first");
    http.CAFile.clear();
    EXPECT_EQ(FailureOf<TransportError>([&] {
                  http.Post(peer.Url(), "two", reply);
              }).find("The server at " + peer.Url() + " is not trusted"),
              0u);
}

// The command line names the CA file by an option, and says on stderr, with its own exit
// status, that the server's items were refused in part.
TEST(HostileServer, CommandLineLoad) {
    ServerReplyShape r;
    r.Commands = Adds(2, 10);
    r.ExtraSyncXml = "<Add><CmdID>20</CmdID><Item/></Add>";  // names no item
    ScriptedPeer peer(InOrder({BuildServerReply(r), Closing(), BuildServerReply(r), Closing()}),
                      kTLS + "cert.pem", kTLS + "key.pem");
    const auto run = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {peer.Url(), "user", "card"});
        const ToolRun run =
            ToolProcess(ORVANTA_LOAD_TOOL, options, {"ORVANTA_PASSWORD=pass"}).Wait();
        return std::to_string(run.Status) + ": " + run.Out + run.Err;
    };
    const std::string loaded = run({"--ca-file", kTLS + "ca.pem"});
    EXPECT_EQ(loaded.rfind("3: ", 0), 0u) << loaded;
    EXPECT_NE(loaded.find("\n2 items\nOrvanta: 1 of the server's commands was refused, so their "
                          "items are missing here: 1 Add command without an item identifier "
                          "(status 412)\n"),
              std::string::npos)
        << loaded;
    EXPECT_EQ(run({"--ca-file"}).rfind("2: usage: ", 0), 0u);
}

}  // namespace
}  // namespace orvanta
