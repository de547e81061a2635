// Reading calibration results: every entry of a results memory decodes in the same time per
// entry whatever the number of results; a result is decoded once, when it is selected, and the
// entries after its first are read from what that kept, without touching the heap; saving and
// restoring a setup with a full log.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "counting_new.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "memory/setup_record.h"
#include "setup/commit.h"
#include "support/byte_order.h"

using namespace kvtlnk;

namespace {

constexpr int32_t kPoints = 21;  // the strategy "11 up and down" that MEMclear lays down
constexpr int32_t kStrategy = 8;

// A results memory of n results of 21 points, each with its form-5 setup and its tag.
std::unique_ptr<MemoryImage> resultsMemory(int n) {
    auto image = std::make_unique<MemoryImage>();
    memClear(*image);
    SetupState s;
    initSetup(s);
    InputSettings& in = s.changeInput();
    OutputSettings& out = s.changeOutput();
    in.function = 1, in.units = 2, in.range = 5, out.function = 2, out.units = 1;
    s.inScale.on = s.outScale.on = 1;
    const Record& setup = *image->procedure().selectRecord(saveSetup(s, image->procedure()));
    std::vector<uint8_t> result(12 + 22 * kPoints);
    storeU32(&result[4], kStrategy);
    storeU16(&result[8], kPoints);
    const char tag[] = "TAG\0first\0second";
    RecordStore& r = image->results();
    for (int i = 0; i < n; ++i) {
        r.beginRecord(SETUP_5, 0);
        r.writeBytes(setup.data(), static_cast<int32_t>(setup.length()));
        r.endRecord();
        storeU32(&result[0], static_cast<uint32_t>(-r.count()));  // the setup just added
        for (int32_t e = 0; e < kPoints; ++e) {
            uint8_t* entry = &result[12 + 22 * e];
            storeF32(entry, 4.0f + 0.8f * static_cast<float>(e));
            entry[16] = 5, entry[17] = 8, entry[18] = entry[19] = entry[20] = 1;
        }
        r.beginRecord(CAL_RESULT_A, 0);
        r.writeBytes(result.data(), static_cast<int32_t>(result.size()));
        r.endRecord();
        r.beginRecord(TAG_ID, 0);
        r.writeBytes(tag, sizeof tag);
        r.endRecord();
    }
    return image;
}

// MEMcalResultEntry for every entry of every result; the time per entry must not grow with
// the number of results.
void BM_DecodeEveryEntry(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::unique_ptr<MemoryImage> image = resultsMemory(n);
    EntryValues first;
    if (memCalResultEntry(*image, 3 * n - 2, kPoints - 1, &first) != 0) {
        state.SkipWithError("the results do not decode");
    }
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            for (int32_t e = 0; e < kPoints; ++e) {
                EntryValues v;
                benchmark::DoNotOptimize(memCalResultEntry(*image, 3 * i + 1, e, &v));
            }
        }
    }
    state.counters["per_entry"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * n * kPoints,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodeEveryEntry)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// The first entry of each result in turn: every call selects another result, so each one
// decodes the result and loads the setup it ran with.
void BM_FirstEntryOfEachResult(benchmark::State& state) {
    constexpr int kResults = 100;
    const std::unique_ptr<MemoryImage> image = resultsMemory(kResults);
    for (auto _ : state) {
        for (int i = 0; i < kResults; ++i) {
            EntryValues v;
            benchmark::DoNotOptimize(memCalResultEntry(*image, 3 * i + 1, 0, &v));
        }
    }
    state.counters["per_entry"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kResults,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FirstEntryOfEachResult)->Unit(benchmark::kMicrosecond);

// Every entry of a result whose first entry has been read: each call finds the result still
// decoded and reads the entry from it.
void BM_EntriesAfterTheFirst(benchmark::State& state) {
    const std::unique_ptr<MemoryImage> image = resultsMemory(1);
    EntryValues first;
    if (memCalResultEntry(*image, 1, 0, &first) != 0) state.SkipWithError("no result");
    const long before = bench::gAllocations.load();
    for (auto _ : state) {
        for (int32_t e = 0; e < kPoints; ++e) {
            EntryValues v;
            benchmark::DoNotOptimize(memCalResultEntry(*image, 1, e, &v));
        }
    }
    bench::reportAllocations(state, before);
    state.counters["per_entry"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPoints,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EntriesAfterTheFirst)->Unit(benchmark::kMicrosecond);

// STAsave and STArestore of a form-4 setup whose log holds 8000 samples.
void BM_SaveAndRestoreALoggedSetup(benchmark::State& state) {
    std::vector<float> samples(kLogCapacity, 1.5f);
    SetupState s(samples.data(), kLogCapacity);
    initSetup(s);
    s.setupCode = 2, s.log.count = kLogCapacity;
    MemoryImage image;
    for (auto _ : state) {
        int32_t index = -1;
        staSave(s, image, 1, &index);
        const Record& saved = *image.procedure().selectRecord(index);
        image.results().beginRecord(saved.kind(), saved.version());
        image.results().writeBytes(saved.data(), static_cast<int32_t>(saved.length()));
        image.results().endRecord();
        if (staRestore(s, image, 0) != 0 || s.log.count != kLogCapacity) {
            state.SkipWithError("the setup does not come back");
        }
        image.procedure().truncate(0);
        image.results().truncate(0);
    }
}
BENCHMARK(BM_SaveAndRestoreALoggedSetup)->Unit(benchmark::kMicrosecond);

}  // namespace
