// Cost of reading both display strings, input and output, as an application polling the
// calibrator's display does: a thermocouple source (temperature and the EMF behind it) and a
// transfer-function input (percent and the unscaled current). The getters must not touch the
// heap: the benchmark counts allocations made inside the timed loop and fails when there is one.
#include "api/library.h"
#include "counting_new.h"
#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/setup_state.h"

namespace kvtlnk {
namespace {

// A tc_k source at 1000 C with a user reference junction at 23 C.
void thermocoupleSource(SetupState&) {
    STAsetTref("user", 23.0f);
    STAsetOutput("tc", "tc_k", 1000.0f, 0.0f);
}

// A 4-20 mA input read in percent of span, as a restored setup holds it: 62.5 % from 14 mA.
void percentInput(SetupState& s) {
    STAsetInput("current", "");
    s.changeInput().range = 5;
    s.inScaled.mode = kScalePercent;
    s.inScaled.p1 = 0.004f;
    s.inScaled.p2 = 0.020f;
    s.inReadings.display = 62.5f;
    s.inReadings.unscaled = 0.014f;
    s.inReadings.valid = 1;
}

// Both strings of both sides, as one poll of the display reads them, with one side shaped (the
// other stays "none").
void BM_InputAndOutputStrings(benchmark::State& state, void (*shape)(SetupState&)) {
    STAinit();
    shape(library().setup);
    char inPrimary[KVTLNK_DISPLAY_STRING_SIZE], inSecondary[KVTLNK_DISPLAY_STRING_SIZE];
    char outPrimary[KVTLNK_DISPLAY_STRING_SIZE], outSecondary[KVTLNK_DISPLAY_STRING_SIZE];
    const long before = bench::gAllocations.load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(STAgetInputString(inPrimary, inSecondary));
        benchmark::DoNotOptimize(STAgetOutputString(outPrimary, outSecondary));
        benchmark::ClobberMemory();
    }
    bench::reportAllocations(state, before);
}
BENCHMARK_CAPTURE(BM_InputAndOutputStrings, thermocouple_source, thermocoupleSource);
BENCHMARK_CAPTURE(BM_InputAndOutputStrings, percent_input, percentInput);

}  // namespace
}  // namespace kvtlnk
