#include "support/SyncPeer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ranges>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "engine/HttpClient.h"
#include "engine/SyncMLMessage.h"
#include "formats/DateTime.h"
#include "support/Corpus.h"

namespace orvanta::test {

namespace {

// Stands for the session ID of the request in a reply of BuildServerReply.
constexpr char kEchoSessionID[] = "{{SessionID}}";

// A socket on 127.0.0.1, any free port, bound and, when `backlog` >= 0, listening.
int Bound(int& port, int backlog) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (backlog >= 0 && listen(fd, backlog) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) close(fd);
        throw std::runtime_error("no free loopback port");
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// The value of a header in an HTTP head, whatever its case; empty when absent.
std::string HeaderIn(const std::string& head, const std::string& name) {
    std::smatch m;
    return std::regex_search(head, m,
                             std::regex("\r\n" + name + ":[ \t]*([^\r]*)", std::regex::icase))
               ? m[1].str()
               : std::string();
}

std::string CData(std::string text) {
    for (auto at = text.find("]]>"); at != std::string::npos; at = text.find("]]>", at + 15))
        text.replace(at, 3, "]]]]><![CDATA[>");
    return "<![CDATA[" + text + "]]>";
}

void Flatten(pugi::xml_node node, const std::string& path, std::vector<std::string>& out) {
    for (const pugi::xml_attribute a : node.attributes())
        out.push_back(path + "@" + a.name() + "=" + a.value());
    bool parent = false;
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        parent = true;
        const std::string name(LocalName(child));
        Flatten(child, path.empty() || path == "SyncBody" ? name : path + "/" + name, out);
    }
    if (parent) return;
    const std::string text = Escaped(Text(node));
    out.push_back(text.empty() ? path : path + "=" + text);
}

// A Status of the server, as XML.
std::string StatusXml(int cmdID, const std::string& msgRef, const std::string& cmdRef,
                      const std::string& cmd, int code) {
    return "<Status><CmdID>" + std::to_string(cmdID) + "</CmdID><MsgRef>" + msgRef +
           "</MsgRef><CmdRef>" + cmdRef + "</CmdRef><Cmd>" + cmd + "</Cmd><Data>" +
           std::to_string(code) + "</Data></Status>";
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    return HeaderIn(Head, name);
}

std::string WithSessionID(std::string reply, const std::string& request) {
    const auto at = reply.find(kEchoSessionID);
    std::smatch m;
    if (at == std::string::npos) return reply;
    std::regex_search(request, m, std::regex("<SessionID>([^<]*)</SessionID>"));
    return reply.replace(at, std::string(kEchoSessionID).size(), m[1].str());
}

std::string Connection::Read() {
    std::string request;
    std::size_t bodyStart = std::string::npos;
    std::size_t length = 0;
    char buffer[16384];
    while (!peer_.stopping_) {
        if (bodyStart != std::string::npos && request.size() >= bodyStart + length) return request;
        // TLS may hold decrypted bytes that the socket no longer shows.
        if (!ssl_ || SSL_pending(ssl_) == 0) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
        }
        const long n =
            ssl_ ? SSL_read(ssl_, buffer, sizeof buffer) : recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        request.append(buffer, static_cast<std::size_t>(n));
        if (bodyStart == std::string::npos) {
            const auto end = request.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            bodyStart = end + 4;
            length = std::stoul("0" + HeaderIn(request.substr(0, end), "Content-Length"));
        }
    }
    return {};
}

bool Connection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (peer_.stopping_) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - sent, 1 << 20);
        const long n = ssl_ ? SSL_write(ssl_, bytes.data() + sent, static_cast<int>(chunk))
                            : send(fd_, bytes.data() + sent, chunk, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void Connection::Close() {
    shutdown(fd_, SHUT_RDWR);
}

void Connection::Pause(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!peer_.stopping_ && (ms < 0 || std::chrono::steady_clock::now() < until))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

ScriptedPeer::ScriptedPeer(Handler handler, const std::string& certFile, const std::string& keyFile)
    : ScriptedPeer([this, handler = std::move(handler)](Connection& c) { Answer(c, handler); },
                   certFile, keyFile) {}

ScriptedPeer::ScriptedPeer(std::vector<std::string> replies)
    : ScriptedPeer(InOrder(std::move(replies))) {}

ScriptedPeer::ScriptedPeer(Session session, const std::string& certFile, const std::string& keyFile)
    : session_(std::move(session)) {
    if (!certFile.empty()) {
        // A client that drops the connection must not end the test with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        tls_.reset(SSL_CTX_new(TLS_server_method()));
        if (SSL_CTX_use_certificate_chain_file(tls_.get(), certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls_.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            throw std::runtime_error("the scripted peer could not load " + certFile);
        }
    }
    listener_ = Bound(port_, 16);
    acceptor_ = std::thread([this] {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            const int yes = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            ++accepted_;
            std::lock_guard lock(mutex_);
            connections_.push_back(fd);
            workers_.emplace_back([this, fd] {
                Connection c(*this, fd);
                if (tls_) {
                    c.ssl_ = SSL_new(tls_.get());
                    SSL_set_fd(c.ssl_, fd);
                }
                if (!tls_ || SSL_accept(c.ssl_) == 1) session_(c);
                c.Close();
                SSL_free(c.ssl_);
            });
        }
    });
}

ScriptedPeer::~ScriptedPeer() {
    stopping_ = true;
    acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (const int fd : connections_)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& worker : workers_)
        worker.join();
    for (const int fd : connections_)
        close(fd);
    close(listener_);
}

std::string ScriptedPeer::Url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::vector<RecordedRequest> ScriptedPeer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedPeer::Answer(Connection& c, const Handler& handler) {
    // One connection may carry several requests.
    for (std::string raw = c.Read(); !raw.empty(); raw = c.Read()) {
        const auto headEnd = raw.find("\r\n\r\n");
        const auto target = raw.find(' ') + 1;
        RecordedRequest request{raw.substr(target, raw.find(' ', target) - target),
                                raw.substr(headEnd + 4), raw.substr(0, headEnd)};
        int index;
        {
            std::lock_guard lock(mutex_);
            index = static_cast<int>(requests_.size());
            requests_.push_back(request);
            if (!keepBodies_) requests_.back().Body.clear();
        }
        PeerReply reply = handler(request, index);
        reply.Body = WithSessionID(std::move(reply.Body), request.Body);
        c.Pause(reply.DelayMs);
        if (reply.Status == 0 || !c.Send(ReplyHead(reply.Status, reply.Body.size()) + reply.Body))
            return;
    }
}

ScriptedPeer::Handler InOrder(std::vector<std::string> replies) {
    return [replies = std::move(replies)](const RecordedRequest&, int index) {
        if (index < static_cast<int>(replies.size())) return PeerReply{200, replies[index], 0};
        return PeerReply{500, "no more replies in the script", 0};
    };
}

std::string ReplyHead(int status, std::size_t contentLength, const std::string& extraHeaders) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Whatever\r\nContent-Type: application/vnd.syncml+xml\r\nContent-Length: " +
           std::to_string(contentLength) + "\r\n" + extraHeaders + "\r\n";
}

UnansweredPort::UnansweredPort() : sockets_{Bound(port_, 0)} {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    for (int i = 0; i < 2; ++i) {
        sockets_.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(sockets_.back(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

UnansweredPort::~UnansweredPort() {
    for (const int fd : sockets_)
        close(fd);
}

int ClosedPort() {
    int port = 0;
    close(Bound(port, -1));
    return port;
}

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
         el("SessionID", kEchoSessionID) + el("MsgID", s.MsgID) + loc("Target", "ContSyncML") +
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
        x += open("Alert") + el("CmdID", "5") + el("Data", s.AlertCode) + open("Item") +
             loc("Target", "contdb") + loc("Source", "card") + open("Meta") +
             "<Anchor xmlns=\"syncml:metinf\">" +
             (s.LastAnchor.empty() ? "" : el("Last", s.LastAnchor)) + el("Next", s.NextAnchor) +
             "</Anchor>" + close("Meta") + close("Item") + close("Alert");
    }
    if (s.Sync) {
        x += open("Sync") + el("CmdID", "6") + loc("Target", "contdb") + loc("Source", "card");
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

ServerReplyShape Acknowledgement(int msgID) {
    ServerReplyShape s;
    s.MsgID = s.StatusMsgRef = std::to_string(msgID);
    s.HeaderStatus = 200;
    s.AlertStatus.reset();
    s.Alert = false;
    s.Sync = false;
    return s;
}

std::string Closing(int msgID) {
    return BuildServerReply(Acknowledgement(msgID));
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

ServerReplyShape Opening(const Message& m, const std::string& code, const std::string& last,
                         const std::string& next) {
    ServerReplyShape r;
    r.Sync = false;
    r.AlertCode = code.empty() ? Find(m, "Alert")["Data"] : code;
    r.LastAnchor = last;
    r.NextAnchor = next;
    return r;
}

ServerReplyShape Confirming(const Message& m, const CodeFor& codeFor, int mapCode) {
    const std::string msgID = Find(m, "SyncHdr")["MsgID"];
    ServerReplyShape r = Acknowledgement(std::stoi(msgID));
    int cmdID = 10;
    for (const MessagePart& c : m) {
        const bool change = c.Name == "Add" || c.Name == "Replace" || c.Name == "Delete";
        const int code = c.Name == "Map" ? mapCode
                         : !change       ? 0
                         : codeFor       ? codeFor(c)
                                         : UsualCode(c);
        if (code > 0) r.ExtraBodyXml += StatusXml(cmdID++, msgID, c["CmdID"], c.Name, code);
    }
    r.Final = !Find(m, "Final").Name.empty();
    return r;
}

int UsualCode(const MessagePart& change) {
    return change.Name == "Add" ? 201 : 200;
}

ScriptedPeer::Handler StoreServer(CodeFor codeFor, AdjustReply adjust) {
    return [codeFor, adjust](const RecordedRequest& request, int index) {
        const Message m = PartsOf(request.Body);
        ServerReplyShape r = Find(m, "SyncHdr")["MsgID"] == "1"
                                 ? Opening(m, "202", "", "srv-anchor-1")
                                 : Confirming(m, codeFor);
        if (!r.Final) r.ExtraBodyXml += "<Alert><CmdID>9</CmdID><Data>222</Data></Alert>";
        if (adjust) adjust(r, index);
        return PeerReply{200, BuildServerReply(r), 0};
    };
}

ScriptedPeer::Handler SyncServer(SessionChanges changes) {
    auto session = std::make_shared<int>(-1);
    auto next = std::make_shared<std::string>();  // its Next anchor of the last session
    return [changes, session, next](const RecordedRequest& request, int) {
        const Message m = PartsOf(request.Body);
        if (Find(m, "SyncHdr")["MsgID"] == "1") {
            const std::string last = std::exchange(*next, "s" + std::to_string(++*session));
            return PeerReply{200, BuildServerReply(Opening(m, "", last, *next)), 0};
        }
        ServerReplyShape r = Confirming(m, {});
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
        if (parts.empty() || parts.back().Name != name || path == "CmdID")
            parts.push_back({name, {}});
        parts.back().Values.emplace_back(
            path, eq == std::string::npos ? "" : Unescaped(line.substr(eq + 1)));
    }
    return parts;
}

MessagePart Find(const Message& message, std::string_view name) {
    for (const MessagePart& part : message)
        if (part.Name == name) return part;
    return {};
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
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
            at = !leaf && last.name() == names[i] && !again ? last
                                                            : at.append_child(names[i].c_str());
        }
        if (eq != std::string::npos) at.text() = Unescaped(line.substr(eq + 1)).c_str();
    }
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}

}  // namespace orvanta::test
