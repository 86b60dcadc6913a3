// Load of 1,000, 10,000 and 100,000 contacts from a loopback peer that serves prepared
// replies the way a real server does: about 500 contacts a message, a 150,000-byte
// limit on the client's messages. Reports items per second, page faults per item and
// the client's peak resident size. BM_LoadContacts repeats loads on one client, each
// after an untimed one (a warm heap: a load reuses the memory the last one freed);
// BM_FirstLoad measures every load as a program's first, each page it takes touched for
// the first time.
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
#include "support/SyncPeer.h"

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

// Page faults of this thread so far: a page the load touches for the first time (or
// again after the heap gave it back to the system) costs one.
long PageFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
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
    // One load before the timed ones, so that every timed load is a repeated one: a
    // large load runs a single iteration, which would otherwise be a first load.
    client.Load("");
    const long faults = PageFaults();
    for (auto _ : state) {
        client.Load("");
        if (client.Count() != static_cast<std::size_t>(count)) state.SkipWithError("items lost");
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["faults_per_item"] = static_cast<double>(PageFaults() - faults) /
                                        static_cast<double>(state.iterations() * count);
    state.counters["peak_rss_MB"] = static_cast<double>(PeakResidentMB());
    state.counters["round_trips"] = client.LastExchange.RoundTrips;
}

// A first "Connect": a new client and a heap that has given its free memory back, so
// every page the items take is touched for the first time, as in a fresh program.
void BM_FirstLoad(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ForkedPeer peer([count] { return ServeContacts(count); });
    long faults = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto client = std::make_unique<TSMLContacts>();
        client->SetServerURL(peer.Url());
        malloc_trim(0);
        const long before = PageFaults();
        state.ResumeTiming();
        client->Load("");
        state.PauseTiming();
        faults += PageFaults() - before;
        if (client->Count() != static_cast<std::size_t>(count)) state.SkipWithError("items lost");
        client.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["faults_per_item"] =
        static_cast<double>(faults) / static_cast<double>(state.iterations() * count);
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
