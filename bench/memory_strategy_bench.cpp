// Look-ups by name in large procedure memories: defining a strategy and reading a prompt must
// cost the same per call whatever the number of records before them.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "memory/mem_api.h"

using namespace kvtlnk;

namespace {

const float kPoints[] = {0.0f, 0.5f, 1.0f};

std::vector<std::string> names(int n, const char* prefix) {
    std::vector<std::string> v;
    v.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v.push_back(prefix + std::to_string(i));
    return v;
}

std::unique_ptr<MemoryImage> imageWithStrategies(const std::vector<std::string>& defined) {
    auto image = std::make_unique<MemoryImage>();
    memClear(*image);
    uint32_t index = 0;
    for (const std::string& name : defined)
        memStrategyDefn(*image, &index, name.c_str(), 3, kPoints);
    return image;
}

// Defines N new strategies in a cleared image; reports the time per definition.
void BM_DefineStrategies(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> defined = names(n, "S");
    for (auto _ : state) {
        state.PauseTiming();
        auto image = std::make_unique<MemoryImage>();
        memClear(*image);
        state.ResumeTiming();
        uint32_t index = 0;
        for (const std::string& name : defined)
            benchmark::DoNotOptimize(memStrategyDefn(*image, &index, name.c_str(), 3, kPoints));
        state.PauseTiming();
        image.reset();
        state.ResumeTiming();
    }
    state.counters["per_definition"] = benchmark::Counter(
        n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Redefines the last of N strategies (found by name, points overwritten in place).
void BM_RedefineLastStrategy(benchmark::State& state) {
    const std::vector<std::string> defined = names(static_cast<int>(state.range(0)), "S");
    auto image = imageWithStrategies(defined);
    uint32_t index = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            memStrategyDefn(*image, &index, defined.back().c_str(), 3, kPoints));
}

// Reads a prompt whose definition is the last of N.
void BM_PromptInfoAfterDefinitions(benchmark::State& state) {
    const std::vector<std::string> defined = names(static_cast<int>(state.range(0)), "P");
    MemoryImage image;
    const ProportionalFont font = ProportionalFont::helvr12();
    for (const std::string& name : defined)
        memPromptDefn(image, font, name.c_str(), "Connect the loop");
    memPrompt(image, defined.back().c_str());
    const int32_t prompt = image.procedure().count() - 1;
    char name[kNameBuffer];
    for (auto _ : state)
        benchmark::DoNotOptimize(memPromptInfo(image, prompt, name));
}

}  // namespace

BENCHMARK(BM_DefineStrategies)->Arg(2000)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RedefineLastStrategy)->Arg(2000)->Arg(8000)->Arg(32000);
BENCHMARK(BM_PromptInfoAfterDefinitions)->Arg(2000)->Arg(8000)->Arg(32000);
