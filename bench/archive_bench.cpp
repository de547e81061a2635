// The records archive on SQLite: adding 10,000 results (one upload, one transaction, each
// result put into a calibration), an instrument's history of 100 calibrations in archives of
// 10,000 and 100,000 results, every instrument with its due date over 1,000 and 10,000
// instruments. Each archive is a file in a scratch folder, built once.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "archive/archive.h"
#include "base/time.h"
#include "field_results.h"

namespace {

using namespace kvtarchive;
using kvtapp::dateOfDay;
using kvtapp::dayNumber;

class Scratch {
  public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtbench-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

  private:
    std::string dir_;
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

// An archive of instruments x visits results: an upload a visit, a month apart, holding one
// result of each instrument.
Archive& builtArchive(int instruments, int events) {
    static std::map<std::pair<int, int>, std::unique_ptr<Archive>> built;
    auto& archive = built[{instruments, events}];
    if (archive) return *archive;
    archive = Archive::open(
        scratch().path(std::to_string(instruments) + "x" + std::to_string(events) + ".db"),
        Access::Store);
    for (int e = 0; e < events; ++e) {
        std::vector<Result> upload;
        for (int i = 0; i < instruments; ++i) {
            upload.push_back(
                fieldResult("PT-" + std::to_string(i), 19000 + e * 30, e * instruments + i));
        }
        archive->add(uploadOf(std::move(upload), e));
    }
    return *archive;
}

void BM_Add10000Results(benchmark::State& state) {
    std::vector<Result> results;
    for (int n = 0; n < 10000; ++n)
        results.push_back(fieldResult("PT-" + std::to_string(n % 500), 19000 + n / 500, n));
    const Upload upload = uploadOf(results, 1);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto archive =
            Archive::open(scratch().path("add" + std::to_string(++round) + ".db"), Access::Store);
        state.ResumeTiming();
        const AddOutcome outcome = archive->add(upload);
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["results/s"] =
        benchmark::Counter(10000.0 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Add10000Results)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

// 100 calibrations of one instrument among range(0) x 100 results.
void BM_HistoryOf100Calibrations(benchmark::State& state) {
    Archive& archive = builtArchive(static_cast<int>(state.range(0)), 100);
    for (auto _ : state) {
        const std::vector<Calibration> calibrations = archive.history("PT-7");
        if (calibrations.size() != 100) state.SkipWithError("not 100 calibrations");
        benchmark::DoNotOptimize(calibrations);
    }
    state.counters["results"] = static_cast<double>(state.range(0) * 100);
}
BENCHMARK(BM_HistoryOf100Calibrations)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Every instrument with its last calibration and due date over range(0) instruments of two
// calibrations each: what kvtlnk due and archive list read, before the lab file's intervals
// are applied to those without their own.
void BM_EveryInstrument(benchmark::State& state) {
    Archive& archive = builtArchive(static_cast<int>(state.range(0)), 2);
    for (auto _ : state) {
        const std::vector<Instrument> all = archive.instruments(19000 + 400, 365);
        if (all.size() != static_cast<size_t>(state.range(0))) state.SkipWithError("not all");
        benchmark::DoNotOptimize(all);
    }
    state.counters["instruments"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_EveryInstrument)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
