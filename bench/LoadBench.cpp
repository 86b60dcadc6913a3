// Load of 1,000, 10,000 and 100,000 contacts from a loopback peer that serves prepared
// replies the way a real server does: about 500 contacts a message, a 150,000-byte
// limit on the client's messages. Reports items per second and the client's peak
// resident size. BM_LoadContacts repeats loads on one client (a warm heap: a small
// load reuses the memory the last one freed, a large one gets it back from the system
// page by page); BM_FirstLoad measures every load as a program's first.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "items/ContSyncML.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"

using namespace orvanta;
using namespace orvanta::test;

namespace {

constexpr int kPerMessage = 500;
constexpr long kMaxMsgSize = 150000;

ServerReplySpec Continuation(int index) {
    ServerReplySpec r = Acknowledgement(index + 1);
    r.Alert = r.Sync = true;
    r.MaxMsgSize = kMaxMsgSize;
    return r;
}

// The prepared data messages of a store of `count` contacts.
std::vector<std::string> DataReplies(int count) {
    std::vector<std::string> replies;
    const int messages = (count + kPerMessage - 1) / kPerMessage;
    for (int m = 0; m < messages; ++m) {
        ServerReplySpec r = Continuation(m);
        if (m == 0) {
            r.HeaderStatus = 212;
            r.AlertStatus = 200;
        } else {
            r.Alert = false;
        }
        r.RespURI = "";
        for (int i = m * kPerMessage; i < std::min(count, (m + 1) * kPerMessage); ++i) {
            r.Commands.push_back(
                {"Add", std::to_string(10 + i), "c" + std::to_string(i), SampleContact(i)});
        }
        r.Final = m + 1 == messages;
        replies.push_back(BuildServerReply(r));
    }
    return replies;
}

long PeakResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The peer runs in a child process, so the peak resident size of this process is the
// client's alone. The child serves until the parent closes the pipe.
class ForkedPeer {
public:
    explicit ForkedPeer(int count) {
        int toParent[2], toChild[2];
        if (pipe(toParent) != 0 || pipe(toChild) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            close(toParent[0]);
            close(toChild[1]);
            Serve(count, toParent[1], toChild[0]);
            _exit(0);
        }
        close(toParent[1]);
        close(toChild[0]);
        release_ = toChild[1];
        if (read(toParent[0], &port_, sizeof port_) != sizeof port_)
            throw std::runtime_error("peer");
        close(toParent[0]);
    }
    ~ForkedPeer() {
        close(release_);
        waitpid(pid_, nullptr, 0);
    }
    [[nodiscard]] std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/sync";
    }

private:
    static void Serve(int count, int portOut, int releaseIn) {
        const std::vector<std::string> data = DataReplies(count);
        int base = 0;  // index of the current load's first request
        ScriptedPeer peer([&](const RecordedRequest& req, int index) {
            if (req.Body.find("<MsgID>1</MsgID>") != std::string::npos) base = index;
            const int k = index - base;
            if (k < static_cast<int>(data.size())) return PeerReply{200, data[k], 0};
            ServerReplySpec r = Continuation(k);
            r.Alert = r.Sync = false;
            r.Final = req.Body.find("<Final/>") != std::string::npos;
            return PeerReply{200, BuildServerReply(r), 0};
        });
        peer.KeepBodies(false);
        const int port = peer.Port();
        if (write(portOut, &port, sizeof port) != sizeof port) return;
        close(portOut);
        char byte;
        while (read(releaseIn, &byte, 1) > 0) {
        }
    }

    pid_t pid_ = -1;
    int port_ = 0;
    int release_ = -1;
};

void BM_LoadContacts(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ForkedPeer peer(count);
    TSMLContacts client;
    client.SetServerURL(peer.Url());
    for (auto _ : state) {
        client.Load("");
        if (client.Count() != static_cast<std::size_t>(count)) state.SkipWithError("items lost");
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["peak_rss_MB"] = static_cast<double>(PeakResidentMB());
    state.counters["round_trips"] = client.LastExchange.RoundTrips;
}

// A first "Connect": a new client and a heap that has given its free memory back, so
// every page the items take is touched for the first time, as in a fresh program.
void BM_FirstLoad(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ForkedPeer peer(count);
    for (auto _ : state) {
        state.PauseTiming();
        auto client = std::make_unique<TSMLContacts>();
        client->SetServerURL(peer.Url());
        malloc_trim(0);
        state.ResumeTiming();
        client->Load("");
        state.PauseTiming();
        if (client->Count() != static_cast<std::size_t>(count)) state.SkipWithError("items lost");
        client.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

}  // namespace

BENCHMARK(BM_LoadContacts)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FirstLoad)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
