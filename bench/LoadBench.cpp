// Load of 1,000, 10,000 and 100,000 contacts from a loopback peer that serves prepared
// replies the way a real server does: about 500 contacts a message, a 150,000-byte
// limit on the client's messages. Reports items per second and the client's peak
// resident size. BM_LoadContacts repeats loads on one client (a warm heap: a small
// load reuses the memory the last one freed, a large one gets it back from the system
// page by page); BM_FirstLoad measures every load as a program's first.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <stdexcept>
#include <memory>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "kinds/ContSyncML.h"
#include "ForkedPeer.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"

using namespace orvanta;
using namespace orvanta::test;

namespace {

constexpr int kPerMessage = 500;
constexpr long kMaxMsgSize = 150000;

ServerReplyShape Continuation(int index) {
    ServerReplyShape r = Acknowledgement(index + 1);
    r.Alert = r.Sync = true;
    r.MaxMsgSize = kMaxMsgSize;
    return r;
}

// The prepared data messages of a store of `count` contacts.
std::vector<std::string> DataReplies(int count) {
    std::vector<std::string> replies;
    const int messages = (count + kPerMessage - 1) / kPerMessage;
    for (int m = 0; m < messages; ++m) {
        ServerReplyShape r = Continuation(m);
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

// A peer that serves a store of `count` contacts, message after message, to every load.
ScriptedPeer::Handler ServeContacts(int count) {
    auto data = std::make_shared<const std::vector<std::string>>(DataReplies(count));
    auto base = std::make_shared<int>(0);  // index of the current load's first request
    return [data, base](const RecordedRequest& req, int index) {
        if (req.Body.find("<MsgID>1</MsgID>") != std::string::npos) *base = index;
        const int k = index - *base;
        if (k < static_cast<int>(data->size())) return PeerReply{200, (*data)[k], 0};
        ServerReplyShape r = Continuation(k);
        r.Alert = r.Sync = false;
        r.Final = req.Body.find("<Final/>") != std::string::npos;
        return PeerReply{200, BuildServerReply(r), 0};
    };
}

void BM_LoadContacts(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ForkedPeer peer([count] { return ServeContacts(count); });
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
    const ForkedPeer peer([count] { return ServeContacts(count); });
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
