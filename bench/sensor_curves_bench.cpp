#include <benchmark/benchmark.h>

#include "readings/sensor_curves.h"

namespace kvtlnk {
namespace {

// A recompute of the source value: one curve lookup and one or two quartics.
void BM_TcEmf(benchmark::State& state) {
    const uint32_t type = static_cast<uint32_t>(state.range(0));
    float t = -150.0f;
    for (auto _ : state) {
        float volts = 0.0f;
        benchmark::DoNotOptimize(tcEmf(CurveStandard::ITS90, type, t, 23.5f, &volts));
        benchmark::DoNotOptimize(volts);
        t = t < 1200.0f ? t + 7.3f : -150.0f;
    }
}
BENCHMARK(BM_TcEmf)->Arg(4)->Arg(10);  // type K (6 segments), type L (7 segments)

void BM_RtdOhms(benchmark::State& state) {
    float t = -200.0f;
    for (auto _ : state) {
        float ohms = 0.0f;
        benchmark::DoNotOptimize(rtdOhms(CurveStandard::IPTS68, 2, t, &ohms));
        benchmark::DoNotOptimize(ohms);
        t = t < 800.0f ? t + 3.1f : -200.0f;
    }
}
BENCHMARK(BM_RtdOhms);

}  // namespace
}  // namespace kvtlnk
