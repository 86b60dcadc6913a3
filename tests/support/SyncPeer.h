#pragma once

// The loopback peer: a server of our own on 127.0.0.1 that answers from a script or hands
// each connection to a session of the test, and its SyncML side: replies as servers write
// them, store and sync servers, the client's messages as the tests read them, and a client
// set up for the peer with a known clock and random source.

#include <atomic>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <openssl/ssl.h>
#include <pugixml.hpp>

#include "engine/SyncMLBase.h"
#include "kinds/ContSyncML.h"

namespace orvanta::test {

// One request as the peer saw it.
struct RecordedRequest {
    std::string Target;  // path and query exactly as sent
    std::string Body;
    std::string Head;  // request line and headers
    [[nodiscard]] std::string Header(const std::string& name) const;
};

struct PeerReply {
    int Status = 200;  // 0: the connection is closed without a reply
    std::string Body;
    int DelayMs = 0;  // answers late, to exercise the client's time-out
};

class ScriptedPeer;

// One accepted connection, for sessions that break HTTP: no reply at all, a trickle, a
// body of hundreds of megabytes made up as it is sent. Every wait ends when the peer
// stops.
class Connection {
public:
    // One HTTP request, raw (head and Content-Length body); empty when the client went
    // away first.
    std::string Read();
    // Writes all of bytes; false when the client went away or the peer stops.
    bool Send(const std::string& bytes);
    void Close();
    void Pause(int ms) const;
    void Hold() const { Pause(-1); }

private:
    friend class ScriptedPeer;
    Connection(ScriptedPeer& peer, int fd) : peer_(peer), fd_(fd) {}
    ScriptedPeer& peer_;
    int fd_;
    SSL* ssl_ = nullptr;
};

// A server of our own on 127.0.0.1. Either each POST is answered from a script
// (handler: request and its index from 0 -> reply), or each connection is handed to a
// session of the test.
class ScriptedPeer {
public:
    using Handler = std::function<PeerReply(const RecordedRequest&, int)>;
    using Session = std::function<void(Connection&)>;

    // With a certificate and key (PEM files), over https.
    explicit ScriptedPeer(Handler handler, const std::string& certFile = {},
                          const std::string& keyFile = {});
    // Replies in order (InOrder).
    explicit ScriptedPeer(std::vector<std::string> replies);
    explicit ScriptedPeer(Session session, const std::string& certFile = {},
                          const std::string& keyFile = {});
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    [[nodiscard]] int Port() const { return port_; }
    [[nodiscard]] std::string Url(const std::string& path = "/sync") const;
    [[nodiscard]] std::vector<RecordedRequest> Requests() const;
    [[nodiscard]] int Accepted() const { return accepted_.load(); }
    // Benchmarks keep only the targets and headers, not megabytes of bodies.
    void KeepBodies(bool keep) { keepBodies_ = keep; }

private:
    friend class Connection;
    void Answer(Connection& connection, const Handler& handler);

    Session session_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_{nullptr, SSL_CTX_free};
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    bool keepBodies_ = true;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::vector<int> connections_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;  // last: it uses the members above
};

// The reply with the session ID of the request in place of the one BuildServerReply
// writes, as real servers answer.
[[nodiscard]] std::string WithSessionID(std::string reply, const std::string& request);

// Gives the replies in order; a request beyond the list gets HTTP 500.
[[nodiscard]] ScriptedPeer::Handler InOrder(std::vector<std::string> replies);

// An HTTP/1.1 reply head with the status and Content-Length.
[[nodiscard]] std::string ReplyHead(int status, std::size_t contentLength,
                                    const std::string& extraHeaders = {});

// A loopback port whose accept queue is full: a connection attempt gets no answer.
class UnansweredPort {
public:
    UnansweredPort();
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;
    [[nodiscard]] int Port() const { return port_; }

private:
    int port_ = 0;
    std::vector<int> sockets_;
};

// A loopback port that was free a moment ago: nothing listens on it.
[[nodiscard]] int ClosedPort();

// One command inside the server's Sync.
struct ServerCommand {
    std::string Name = "Add";
    std::string CmdID;
    std::string LocURI;               // Source for Add, Target for Replace and Delete
    std::optional<std::string> Data;  // sent as CDATA
};

// A reply of the server, written the way real servers write them: SyncML namespace on
// the root, metinf namespace on Meta children, payloads as CDATA; its session ID is that
// of the request it answers.
struct ServerReplyShape {
    std::string MsgID = "1";
    std::string StatusMsgRef = "1";
    std::string RespURI;
    long MaxMsgSize = 0;
    std::optional<int> HeaderStatus = 212;
    std::optional<int> AlertStatus = 200;  // Status for the client's Alert (CmdRef 2)
    bool Alert = true;
    std::string AlertCode = "201";
    std::string LastAnchor;  // left out when empty
    std::string NextAnchor = "srv-anchor-1";
    bool Sync = true;
    std::vector<ServerCommand> Commands;
    std::string ExtraSyncXml;  // raw children appended inside the Sync
    std::string ExtraBodyXml;  // raw commands appended to the body before Final
    bool Final = true;
};

[[nodiscard]] std::string BuildServerReply(const ServerReplyShape& shape);

// A reply that only acknowledges the client's message `msgID` (Status 200 for its
// header, no Alert, no Sync), with Final unless the caller clears it.
[[nodiscard]] ServerReplyShape Acknowledgement(int msgID);

// The reply that closes a session: the acknowledgement of message `msgID`, as text.
[[nodiscard]] std::string Closing(int msgID = 2);

// An Add for an item with the given LocURI and payload, CmdIDs counting from `cmdID`.
[[nodiscard]] std::vector<ServerCommand> Adds(int count, int firstCmdID,
                                              const std::string& idPrefix = "item");

// A realistic vCard 2.1 contact of about 400 bytes with quoted-printable fields,
// numbered so that every one is different.
[[nodiscard]] std::string SampleContact(int number);

// One command of a client message as the tests read it, with its values by path below it
// (CmdRef, Item/Source/LocURI), as Flattened gives them.
struct MessagePart {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Values;
    // The first value at the path, or "".
    [[nodiscard]] std::string operator[](std::string_view path) const;
    // Every value at the path.
    [[nodiscard]] std::vector<std::string> All(std::string_view path) const;
};
using Message = std::vector<MessagePart>;
// The parts of a client message in order: the header (SyncHdr), each command of the body,
// and the changes inside a Sync after it (Add, Replace, Delete); Final when it is final.
[[nodiscard]] Message PartsOf(const std::string& body);
// The first part of the name, or an empty one.
[[nodiscard]] MessagePart Find(const Message& message, std::string_view name);

// The server's answer to the client's first message `m`: 212 for its header, 200 for its
// Alert, and an Alert of `code` (the client's own when empty) with the anchors given.
[[nodiscard]] ServerReplyShape Opening(const Message& m, const std::string& code,
                                       const std::string& last, const std::string& next);
// The answer to a later message: its acknowledgement, a Status for each change (the code
// `codeFor` gives, by default UsualCode; 0 for none) and for each Map (`mapCode`), Final
// when the client's message is final.
using CodeFor = std::function<int(const MessagePart& change)>;
[[nodiscard]] ServerReplyShape Confirming(const Message& m, const CodeFor& codeFor,
                                          int mapCode = 200);
// 201 for an Add, 200 otherwise.
[[nodiscard]] int UsualCode(const MessagePart& change);

// A server for stores: it opens the session (Alert 202), confirms each change as
// Confirming does and asks for the next message (Alert 222) while the client's lacks
// Final. `adjust` may change each reply before it is sent; it gets the index of the
// request from 0.
using AdjustReply = std::function<void(ServerReplyShape&, int)>;
[[nodiscard]] ScriptedPeer::Handler StoreServer(CodeFor codeFor = {}, AdjustReply adjust = {});

// A server for two-way syncs: its anchors follow from session to session (no slow sync
// is forced, though a session that failed is taken as ended), confirms each change with
// 201 for an Add and 200 otherwise, and answers the client's last Sync message with its
// own changes, those `changes` gives for the session (counted from 0); every later
// message is confirmed with 200.
using SessionChanges = std::function<std::vector<ServerCommand>(int session)>;
[[nodiscard]] ScriptedPeer::Handler SyncServer(SessionChanges changes = {});

// The text with every `from` replaced by `to`.
[[nodiscard]] std::string Replaced(std::string text, const std::string& from,
                                   const std::string& to);

// A random source that gives the listed numbers in order, then repeats the last one.
[[nodiscard]] RandomSource Sequence(std::deque<std::uint32_t> values);

// A client pointed at the peer (its URL with a trailing slash, which goes) with known
// credentials, randomness and clock (15 January 2024, 08:30:00 UTC); a contacts client so.
void Configure(TSMLBase& client, const ScriptedPeer& peer);
[[nodiscard]] std::unique_ptr<TSMLContacts> ClientFor(const ScriptedPeer& peer);

// The message of the failure of type E that `action` raises: "no failure" when it
// returns, and the text marked "other failure" when it fails another way.
template <class E>
[[nodiscard]] std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other failure: ") + e.what();
    }
    return "no failure";
}

// A SyncML message as lines "path=value", one per element that holds no other, in the
// order of the message: the header's under SyncHdr/, each command's under its name
// (Status/CmdRef=5); "path" alone for an empty element, "path@name=value" for an
// attribute (a namespace). Values are written as Escaped writes them; prefixes are left out.
[[nodiscard]] std::vector<std::string> Flattened(const std::string& message);
// The message those lines describe, as a server would send it: a line that names the first
// child of an element again begins the next element of that name (the second Status,
// Add or MapItem).
[[nodiscard]] std::string Unflattened(const std::vector<std::string>& lines);

}  // namespace orvanta::test
