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
// Times in a zone of the payload's own VTIMEZONE block, as the server sends them.
void BM_ParseZonedEvent(benchmark::State& s) {
    Parse<TSMLEvent>(s, "event-ical20-tzid-duration.ics");
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

// One note with a 10 MB body: on one line, folded at 75 bytes with a leading blank
// (as servers fold long lines), and quoted-printable with soft line breaks. Unfolding
// is one pass, so the folded forms cost about what the single line costs.
enum class Layout { OneLine = 0, Folded = 1, SoftBreaks = 2 };

std::string LongNote(Layout layout) {
    constexpr std::size_t kBody = 10 * 1024 * 1024;
    constexpr std::size_t kWidth = 75;
    std::string value;
    value.reserve(kBody);
    while (value.size() < kBody)
        value += "abcdefghijklmnopqrstuvwxyz0123456789";
    value.resize(kBody);
    std::string head = layout == Layout::SoftBreaks ? "BODY;ENCODING=QUOTED-PRINTABLE:" : "BODY:";
    std::string text = "BEGIN:vText\r\nVERSION:1.1\r\nSUMMARY:long\r\n" + head;
    text.reserve(text.size() + kBody + kBody / kWidth * 3 + 32);
    for (std::size_t i = 0; i < value.size(); i += kWidth) {
        if (i > 0 && layout == Layout::Folded) text += "\r\n ";
        if (i > 0 && layout == Layout::SoftBreaks) text += "=\r\n";
        text.append(value, i, kWidth);
    }
    return text + "\r\nEND:vText\r\n";
}

void BM_ParseLongNote(benchmark::State& state) {
    const std::string text = LongNote(static_cast<Layout>(state.range(0)));
    TSMLNote note(nullptr);
    for (auto _ : state) {
        note.Parse(text);
        benchmark::DoNotOptimize(note.Body().size());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

}  // namespace

BENCHMARK(BM_ParseLongNote)
    ->ArgName("layout")
    ->Arg(static_cast<int>(Layout::OneLine))
    ->Arg(static_cast<int>(Layout::Folded))
    ->Arg(static_cast<int>(Layout::SoftBreaks))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseEvent);
BENCHMARK(BM_ParseZonedEvent);
BENCHMARK(BM_ParseContact);
BENCHMARK(BM_ParseTask);
BENCHMARK(BM_ParseNote);

BENCHMARK_MAIN();
