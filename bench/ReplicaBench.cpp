// The replica with 1,000 to 100,000 contacts. BM_WriteFirstSync writes a first sync's
// items the way the exchange does, one transaction per server message of 500 items, into
// a new replica, and takes the server's confirmation of their Map. BM_OpenReplica opens a replica
// and reads every item into a collection of contacts, ready for the window, and reports the peak
// resident memory of that (the high-water mark reset before each open) over the bytes of the
// payloads, and the wall time of opening and checking the file alone.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "formats/ItemCollection.h"
#include "kinds/ContSyncML.h"
#include "replica/Replica.h"
#include "support/ReplicaSupport.h"
#include "support/SyncPeer.h"

using namespace orvanta;
using namespace orvanta::test;

namespace {

constexpr int kPerMessage = 500;
const StoreKey kKey{"http://sync.example/sync", "anna", "card", "card"};

// The server's identifiers and payloads of `count` contacts.
struct Contacts {
    std::vector<std::string> ServerIDs, Payloads;
    std::size_t Bytes = 0;
    explicit Contacts(int count) {
        for (int i = 0; i < count; ++i) {
            ServerIDs.push_back("c" + std::to_string(i));
            Payloads.push_back(SampleContact(i));
            Bytes += Payloads.back().size();
        }
    }
};

// Writes the contacts as a first sync does.
void WriteFirstSync(const std::filesystem::path& file, const Contacts& contacts) {
    TReplica replica(file);
    TReplicaStore store = replica.Store(kKey);
    store.BeginSession();
    const std::size_t count = contacts.Payloads.size();
    for (std::size_t first = 0; first < count; first += kPerMessage) {
        auto batch = store.BeginBatch();
        for (std::size_t i = first; i < std::min(count, first + kPerMessage); ++i)
            batch->ServerAdd(contacts.ServerIDs[i], contacts.Payloads[i]);
        batch->Commit();
    }
    // The server confirms the Map, a message of about 1,000 entries at a time.
    for (std::size_t first = 1; first <= count; first += 1000) {
        auto batch = store.BeginBatch();
        for (std::size_t luid = first; luid < std::min(count + 1, first + 1000); ++luid)
            batch->ConfirmMap(std::to_string(luid));
        batch->Commit();
    }
    store.EndSession({"1", "1"});
}

// The resident memory of this process in kB, now or at its peak ("VmRSS", "VmHWM").
long MemoryKB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
    }
    return 0;
}

void BM_WriteFirstSync(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const TempFolder dir;
    const Contacts contacts(count);
    int run = 0;
    for (auto _ : state)
        WriteFirstSync(dir.Path() / ("replica-" + std::to_string(run++) + ".sqlite"), contacts);
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_OpenReplica(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const TempFolder dir;
    const auto file = dir.Path() / "replica.sqlite";
    std::size_t payloadBytes = 0;
    {
        const Contacts written(count);
        WriteFirstSync(file, written);
        payloadBytes = written.Bytes;
    }
    malloc_trim(0);
    TSMLContacts contacts;
    long peakKB = 0, baseKB = 0;
    double openSeconds = 0;  // the file opened and checked, before any item is read
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        // Writing 5 resets the high-water mark of resident memory to what is resident now.
        std::ofstream("/proc/self/clear_refs") << "5";
        baseKB = MemoryKB("VmRSS");
        state.ResumeTiming();
        {
            const auto start = std::chrono::steady_clock::now();
            TReplica replica(file);
            openSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            TReplicaStore store = replica.Store(kKey);
            TItemCollection items(store, [&] { return contacts.CreateItem(); });
            items.Load();
            if (items.size() != static_cast<std::size_t>(count)) state.SkipWithError("items lost");
            state.PauseTiming();
            peakKB = std::max(peakKB, MemoryKB("VmHWM"));
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["open_check_ms"] = openSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["payload_MB"] = static_cast<double>(payloadBytes) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(peakKB) / 1e3;
    state.counters["before_MB"] = static_cast<double>(baseKB) / 1e3;
    state.counters["peak_over_payload"] =
        static_cast<double>(peakKB) * 1e3 / static_cast<double>(payloadBytes);
}

}  // namespace

BENCHMARK(BM_WriteFirstSync)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenReplica)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
