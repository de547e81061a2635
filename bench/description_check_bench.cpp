// Checking a procedure description: the time per item stays the same however many strategies,
// prompt definitions and tasks the description holds, so that a description is refused or
// accepted in time proportional to its size. Each argument is the count of every kind; a
// test of each task names a strategy, a prompt step names a prompt definition.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "procedure/description.h"

namespace {

std::string description(int64_t n) {
    std::string strategies, prompts, tasks;
    for (int64_t i = 0; i < n; ++i) {
        const std::string id = std::to_string(i);
        const char* comma = i ? "," : "";
        strategies += comma + std::string(R"({"name": "s)") + id + R"(", "points": [0, 0.5, 1]})";
        prompts += comma + std::string(R"({"name": "p)") + id + R"(", "text": "Vent it."})";
        tasks += comma + std::string(R"({"name": "t)") + id + R"(", "steps": [{"prompt": "p)" + id +
                 R"("}, {"test": {"setup": "S", "strategy": "s)" + id + R"("}}]})";
    }
    return R"({"setups": {"S": {"input": {"function": "current", "scale": [0.004, 0.02]},
                                "output": {"function": "none", "scale": [0, 1]}}},
               "strategies": [)" +
           strategies + R"(], "prompts": [)" + prompts + R"(], "tasks": [)" + tasks + "]}";
}

void BM_CheckDescription(benchmark::State& state) {
    const std::string text = description(state.range(0));
    for (auto _ : state) {
        std::vector<kvtapp::Problem> problems;
        const kvtapp::Procedure procedure = kvtapp::parseProcedure(text, problems);
        if (!problems.empty()) state.SkipWithError(problems.front().message.c_str());
        benchmark::DoNotOptimize(procedure.tasks.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CheckDescription)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// A description whose every strategy has the same name: one problem per strategy.
void BM_CheckDuplicateNames(benchmark::State& state) {
    std::string strategies;
    for (int64_t i = 0; i < state.range(0); ++i)
        strategies += std::string(i ? "," : "") + R"({"name": "same", "points": [0]})";
    const std::string text = R"({"strategies": [)" + strategies + "]}";
    for (auto _ : state) {
        std::vector<kvtapp::Problem> problems;
        kvtapp::parseProcedure(text, problems);
        benchmark::DoNotOptimize(problems.data());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CheckDuplicateNames)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
