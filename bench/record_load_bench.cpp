// Loading an image from its records as bytes, and reading them back: the time per record must
// not grow with the number of records (an image of 20,000 records loads in well under a
// second), and the image takes about what its records hold.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <vector>

#include "memory/record_bytes.h"
#include "memory/record_layout.h"

using namespace kvtlnk;

namespace {

constexpr uint32_t kProcedure = 1;
constexpr uint32_t kResults = 2;

// Records of the sizes a results memory holds: a setup of 300 bytes, a result of 12 points
// (276) and its tag (30), over and over.
struct Sample {
    uint32_t kind;
    std::vector<uint8_t> data;
};
const Sample kSamples[] = {{SETUP_5, std::vector<uint8_t>(300, 1)},
                           {CAL_RESULT_A, std::vector<uint8_t>(12 + 22 * 12, 2)},
                           {TAG_ID, std::vector<uint8_t>(30, 3)}};
const uint8_t kStamp[7] = {5, 4, 3, 2, 1, 12, 33};

std::unique_ptr<MemoryImage> loaded(int n) {
    auto image = std::make_unique<MemoryImage>();
    for (int i = 0; i < n; ++i) {
        const Sample& s = kSamples[i % 3];
        const uint32_t code =
            loadRecord(*image, i % 2 == 0 ? kResults : kProcedure, s.kind, 0, kStamp, s.data.data(),
                       static_cast<uint32_t>(s.data.size()), nullptr);
        if (code != 0) return nullptr;
    }
    return image;
}

double maxResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_LoadRecords(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const std::unique_ptr<MemoryImage> image = loaded(n);
        if (image == nullptr) state.SkipWithError("a record was refused");
        benchmark::DoNotOptimize(image.get());
    }
    state.counters["per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * n,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["max_resident_MB"] = maxResidentMB();
}
BENCHMARK(BM_LoadRecords)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_ReadRecords(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::unique_ptr<MemoryImage> image = loaded(n);
    std::vector<uint8_t> buffer(RecordStore::kMaxData);
    const int32_t half = n / 2;
    for (auto _ : state) {
        for (int32_t i = 0; i < half; ++i) {
            for (uint32_t memory : {kProcedure, kResults}) {
                uint32_t kind = 0, version = 0, length = 0;
                uint8_t stamp[7];
                benchmark::DoNotOptimize(readRecord(*image, memory, i, &kind, &version, stamp,
                                                    &length, buffer.data(), RecordStore::kMaxData));
            }
        }
    }
    state.counters["per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 2 * half,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadRecords)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
