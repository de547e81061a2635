// What an application pays for one setting through the C entry points: the setter with its
// checks, clash rules, rounding and commit, then a getter. Neither path may touch the heap: the
// benchmarks count allocations made inside the timed loop and fail when there is one.
#include "counting_new.h"
#include "kvtlnk/kvtlnk.h"

namespace {

using bench::gAllocations;
using bench::reportAllocations;

// A tc_k source moved between two temperatures, with a user reference junction, and the
// junction read back.
void BM_SetOutputThenGetTref(benchmark::State& state) {
    STAinit();
    STAsetTref("user", 23.0f);
    char mode[16];
    float tref = 0.0f;
    float t = 500.0f;
    const long before = gAllocations.load();
    for (auto _ : state) {
        t = t == 500.0f ? 600.0f : 500.0f;
        benchmark::DoNotOptimize(STAsetOutput("tc", "tc_k", t, 0.0f));
        benchmark::DoNotOptimize(STAgetTref(mode, &tref));
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_SetOutputThenGetTref);

// A change of temperature units under a tc_k source: both junction sides carried over and the
// source re-selected, rounded and converted again; then the units read back.
void BM_TempUnitsReSourceThermocouple(benchmark::State& state) {
    STAinit();
    STAsetOutput("tc", "tc_k", 100.0f, 0.0f);
    char units[16];
    bool fahrenheit = false;
    const long before = gAllocations.load();
    for (auto _ : state) {
        fahrenheit = !fahrenheit;
        benchmark::DoNotOptimize(STAsetTempUnits(fahrenheit ? "fahrenheit" : "celsius"));
        benchmark::DoNotOptimize(STAgetTempUnits(units));
    }
    reportAllocations(state, before);
}
BENCHMARK(BM_TempUnitsReSourceThermocouple);

}  // namespace
