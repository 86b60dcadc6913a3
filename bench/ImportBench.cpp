// Importing a large calendar file, as File > Import does: the file cut into items and
// each item read, for 10,000 and 100,000 events. Besides the CPU time each run reports
// the peak of the heap while it runs, over the file's size (`heap_x_file`; the file's own
// copy not counted), from a count of every allocation of the program.
//
// The calendar has the shape desktop calendars export: a header with the calendar's name,
// one VTIMEZONE, and events of about 600 bytes (folded description, location, alarms on
// every fifth, half of them at zoned times and half in UTC, a weekly one with an
// exception every fiftieth).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "formats/ObjectFile.h"
#include "kinds/CalSyncML.h"
#include "ui/ImportExport.h"

using namespace orvanta;

namespace {

std::atomic<std::size_t> live{0};
std::atomic<std::size_t> peak{0};

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    const std::size_t now = live += malloc_usable_size(p);
    for (std::size_t seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
    }
    return p;
}

void Release(void* p) {
    if (!p) return;
    live -= malloc_usable_size(p);
    std::free(p);
}

// The heap's peak from now on, over what it holds now.
class HeapPeak {
public:
    HeapPeak() : start_(live) { peak = start_; }
    [[nodiscard]] std::size_t Growth() const { return peak - start_; }

private:
    std::size_t start_;
};

const char* const kZone =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nX-LIC-LOCATION:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nTZNAME:CEST\r\n"
    "DTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nTZNAME:CET\r\n"
    "DTSTART:19701025T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

std::string Event(std::size_t i, const std::string& uid, bool exception) {
    const std::string n = std::to_string(i);
    const std::string day = "2026" + std::string(i % 12 < 9 ? "0" : "") +
                            std::to_string(i % 12 + 1) + std::string(i % 28 < 9 ? "0" : "") +
                            std::to_string(i % 28 + 1);
    const std::string hour = std::to_string(10 + i % 8);
    const bool zoned = i % 2 == 0;
    std::string e = "BEGIN:VEVENT\r\n";
    if (zoned) {
        e += "DTSTART;TZID=Europe/Berlin:" + day + "T" + hour + "0000\r\n";
        e += "DTEND;TZID=Europe/Berlin:" + day + "T" + hour + "3000\r\n";
    } else {
        e += "DTSTART:" + day + "T" + hour + "0000Z\r\nDTEND:" + day + "T" + hour + "3000Z\r\n";
    }
    e += "DTSTAMP:20260101T120000Z\r\nUID:" + uid + "\r\n";
    if (exception) e += "RECURRENCE-ID;TZID=Europe/Berlin:20260112T100000\r\n";
    if (i % 50 == 0 && !exception) e += "RRULE:FREQ=WEEKLY;COUNT=10\r\n";
    e += "CREATED:20251201T090000Z\r\nLAST-MODIFIED:20251215T101500Z\r\n";
    e += "SUMMARY:Project meeting " + n + ": status and next steps\r\n";
    e += "LOCATION:Room " + std::to_string(i % 40) + "\\, second floor\\, main building\r\n";
    e += "DESCRIPTION:Agenda: status of the work packages\\, open questions\\, next st\r\n"
         " eps. Please bring the figures of last week and the plan for the coming mo\r\n"
         " nth.\r\n";
    e += "SEQUENCE:0\r\nSTATUS:CONFIRMED\r\nTRANSP:OPAQUE\r\nCLASS:PUBLIC\r\n";
    if (i % 5 == 0) {
        e += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:Reminder\r\n"
             "TRIGGER:-PT15M\r\nEND:VALARM\r\n";
    }
    return e + "END:VEVENT\r\n";
}

std::string Calendar(std::size_t events) {
    std::string text =
        "BEGIN:VCALENDAR\r\nPRODID:-//Example Corp//Desktop Calendar 5.0//EN\r\nVERSION:2.0\r\n"
        "CALSCALE:GREGORIAN\r\nMETHOD:PUBLISH\r\nX-WR-CALNAME:Work\r\n"
        "X-WR-TIMEZONE:Europe/Berlin\r\n";
    text += kZone;
    for (std::size_t i = 0; i < events; ++i)
        text += Event(i, std::to_string(i) + "-7f3a9c@example.org", false);
    // The exceptions of the weekly events, at the end of the file.
    for (std::size_t i = 0; i < events; i += 50)
        text += Event(i, std::to_string(i) + "-7f3a9c@example.org", true);
    return text + "END:VCALENDAR\r\n";
}

void Report(benchmark::State& state, const std::string& file, std::size_t growth) {
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
    state.counters["heap_x_file"] = static_cast<double>(growth) / static_cast<double>(file.size());
}

// File > Import of the calendar: every event cut out, read and added to the client.
void BM_ImportCalendar(benchmark::State& state) {
    const std::string file = Calendar(static_cast<std::size_t>(state.range(0)));
    std::size_t growth = 0;
    for (auto _ : state) {
        auto client = std::make_unique<TSMLCalendar>();
        client->Loaded = true;
        const HeapPeak heap;
        const ui::ImportResult result = ui::ImportItems(*client, file);
        growth = std::max(growth, heap.Growth());
        state.PauseTiming();
        if (result.Added != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("lost events");
        client.reset();
        state.ResumeTiming();
    }
    Report(state, file, growth);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The cutting alone, each payload dropped once made.
void BM_CutCalendar(benchmark::State& state) {
    const std::string file = Calendar(static_cast<std::size_t>(state.range(0)));
    std::size_t growth = 0;
    for (auto _ : state) {
        const HeapPeak heap;
        std::size_t bytes = 0;
        (void)ReadObjectFile(file, "VEVENT",
                             [&](std::string& payload, std::size_t) { bytes += payload.size(); });
        benchmark::DoNotOptimize(bytes);
        growth = std::max(growth, heap.Growth());
    }
    Report(state, file, growth);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

BENCHMARK(BM_CutCalendar)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCalendar)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
