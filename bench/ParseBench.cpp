// Parse throughput of each kind of item on the sample payloads of the tests.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"

using namespace orvanta;

namespace {

std::string Sample(const char* name) {
    std::ifstream in(std::string(ORVANTA_TEST_DATA) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class Item>
void Parse(benchmark::State& state, const char* file) {
    const std::string text = Sample(file);
    Item item(nullptr);
    for (auto _ : state) {
        item.Parse(text);
        benchmark::DoNotOptimize(item.GetTitle());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_ParseEvent(benchmark::State& s) {
    Parse<TSMLEvent>(s, "event-ical20-valarm.ics");
}
void BM_ParseContact(benchmark::State& s) {
    Parse<TSMLContact>(s, "contact-vcard21.vcf");
}
void BM_ParseTask(benchmark::State& s) {
    Parse<TSMLTask>(s, "task-vtodo10.vcs");
}
void BM_ParseNote(benchmark::State& s) {
    Parse<TSMLNote>(s, "note-vnote11.vnt");
}

}  // namespace

BENCHMARK(BM_ParseEvent);
BENCHMARK(BM_ParseContact);
BENCHMARK(BM_ParseTask);
BENCHMARK(BM_ParseNote);

BENCHMARK_MAIN();
