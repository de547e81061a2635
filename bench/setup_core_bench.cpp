// Per-call cost of committing a thermocouple source and of printing a displayed number. Both
// run on every setter and getter call, and neither may touch the heap: the benchmarks count
// allocations made inside the timed loop and fail when there is one.
#include "counting_new.h"
#include "readings/number_format.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {
namespace {

using bench::gAllocations;
using bench::reportAllocations;

// A tc_k source stepping between two temperatures, with a user reference junction: every
// commit recomputes the junction, the source temperature, the EMF and its range.
void BM_CommitThermocoupleSource(benchmark::State& state) {
    SetupState s;
    OutputSettings& out = s.changeOutput();
    out.function = kFnTc;
    out.tcType = 4;
    out.units = kUnitFahrenheit;
    out.elecUnits = kUnitVolts;
    out.tref = ReferenceJunction{kTrefUser, 23.0f, kUnitCelsius};
    s.tempStd = static_cast<uint32_t>(state.range(0));
    float t = 212.0f;
    const long before = gAllocations.load();
    for (auto _ : state) {
        t = t == 212.0f ? 1832.0f : 212.0f;
        s.changeOutput().value = t;  // marks the output changed
        benchmark::DoNotOptimize(s.commit());
        benchmark::DoNotOptimize(s.outState.elecValue);
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_CommitThermocoupleSource)->Arg(kStdIts90)->Arg(kStdIpts68);

void BM_FormatNumber(benchmark::State& state) {
    const char* const formats[] = {"%7.3f", "%.2E"};
    const char* format = formats[state.range(0)];
    char out[32];
    double v = 0.0523;
    const long before = gAllocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatNumber(format, out, sizeof out, v, 0));
        benchmark::DoNotOptimize(out);
        v = v == 0.0523 ? 2500.0 : 0.0523;
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_FormatNumber)->Arg(0)->Arg(1);

}  // namespace
}  // namespace kvtlnk
