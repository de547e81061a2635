// Cost of reading both display strings, input and output, as an application polling the
// calibrator's display does: a thermocouple source (temperature and the EMF behind it) and a
// transfer-function input (percent and the unscaled current). The getters must not touch the
// heap: the benchmark counts allocations made inside the timed loop and fails when there is one.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace {

std::atomic<long> gAllocations{0};

}  // namespace

// Counting replacements of the global allocation functions (GCC mistakes the pairing of the
// replaced operators with malloc and free for a mismatch).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace kvtlnk {
namespace {

// A tc_k source at 1000 C with a 23 C reference junction, committed as a setter leaves it.
void thermocoupleSource(SetupState& s) {
    s.outFunction = kFnTc;
    s.outTcType = 4;
    s.outUnits = kUnitCelsius;
    s.outRange = 4;
    s.outElecUnits = kUnitVolts;
    s.outTrefMode = kTrefUser;
    s.outTrefValue = 23.0f;
    s.outSetValue = s.outValue = 1000.0f;
    s.markChanged(kChangedOutput);
    s.commit();
}

// A 4-20 mA input read in percent of span: 62.5 % from 14 mA.
void percentInput(SetupState& s) {
    s.inFunction = kFnCurrent;
    s.inUnits = kUnitAmps;
    s.inRange = 5;
    s.inScaledMode = kScalePercent;
    s.inScaledP1 = 0.004f;
    s.inScaledP2 = 0.020f;
    s.inDisplayValue = 62.5f;
    s.inUnscaledValue = 0.014f;
    s.inReadingValid = 1;
}

// Both strings of both sides, as one poll of the display reads them, with one side shaped (the
// other stays "none").
void BM_InputAndOutputStrings(benchmark::State& state, void (*shape)(SetupState&)) {
    STAinit();
    shape(theSetupState());
    char inPrimary[KVTLNK_DISPLAY_STRING_SIZE], inSecondary[KVTLNK_DISPLAY_STRING_SIZE];
    char outPrimary[KVTLNK_DISPLAY_STRING_SIZE], outSecondary[KVTLNK_DISPLAY_STRING_SIZE];
    const long before = gAllocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(STAgetInputString(inPrimary, inSecondary));
        benchmark::DoNotOptimize(STAgetOutputString(outPrimary, outSecondary));
        benchmark::ClobberMemory();
    }
    const long made = gAllocations.load() - before;
    state.counters["allocations/iteration"] =
        static_cast<double>(made) / static_cast<double>(state.iterations());
    if (made != 0) state.SkipWithError("heap allocation inside the timed loop");
}
BENCHMARK_CAPTURE(BM_InputAndOutputStrings, thermocouple_source, thermocoupleSource);
BENCHMARK_CAPTURE(BM_InputAndOutputStrings, percent_input, percentInput);

}  // namespace
}  // namespace kvtlnk
