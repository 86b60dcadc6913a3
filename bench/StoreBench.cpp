// Store of 10,000 and 100,000 modified contacts to a loopback peer that answers every
// change with a Status, under a 150,000-byte limit on the client's messages.
#include <benchmark/benchmark.h>

#include <string>

#include "ForkedPeer.h"
#include "kinds/ContSyncML.h"
#include "support/SyncPeer.h"

using namespace orvanta;
using namespace orvanta::test;

namespace {

ScriptedPeer::Handler AcceptEverything() {
    return StoreServer(
        {}, [](ServerReplyShape& r, int) { r.MaxMsgSize = 150000; });
}

void BM_StoreModifiedContacts(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const ForkedPeer peer(AcceptEverything);
    TSMLContacts client;
    client.SetServerURL(peer.Url());
    client.Loaded = true;
    for (int i = 0; i < count; ++i) {
        TSMLContact* c = client.NewItem();
        c->Parse(SampleContact(i));
        c->ID = "c" + std::to_string(i);
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& item : client.Items)
            item->State = ItemState::Modified;
        state.ResumeTiming();
        client.Store();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["round_trips"] = client.LastExchange.RoundTrips;
    state.counters["MB_sent"] = static_cast<double>(client.LastExchange.BytesSent) / 1e6;
}

}  // namespace

BENCHMARK(BM_StoreModifiedContacts)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
