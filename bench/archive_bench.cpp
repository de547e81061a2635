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

namespace {

using namespace kvtarchive;
using kvtapp::dateOfDay;
using kvtapp::dayNumber;

// A result as the tool stores one from a field run: nine points, its setup, its own record and
// the shared setup and strategy records.
Result fieldResult(const std::string& tag, int64_t day, int n) {
    Result r;
    r.taken =
        dateOfDay(day) + " 09:" + std::to_string(10 + n % 50) + ":" + std::to_string(10 + n % 40);
    r.index = 2 * n;
    r.tag = "TAG-" + std::to_string(n);
    r.text1 = tag;
    r.text2 = "0-10 bar";
    r.task = "field";
    r.strategy = "5 up down";
    r.verdict = kvtapp::Verdict::Pass;
    r.setup.input = {"current", "", "A", {0.004f, 0.02f}, "  4.0000mA", ""};
    r.setup.output = {"pressure", "", "bar", {0, 10}, "  0.0000bar", ""};
    r.setup.rangeHigh = 0.0331f;
    r.setup.loopPower = "24v";
    r.setup.tolerance = 0.25f;
    for (int i = 0; i < 9; ++i) {
        kvtapp::Point p;
        p.index = i;
        p.fraction = i <= 4 ? i * 0.25f : (8 - i) * 0.25f;
        p.down = i > 4;
        p.nominalSource = 10 * p.fraction;
        p.source = static_cast<float>(p.nominalSource);
        p.sourceLimit = 759.1f;
        p.expected = 0.004 + 0.016 * p.fraction;
        p.error = 0.01 * ((n * 7 + i * 3) % 11 - 5);
        p.reading = static_cast<float>(p.expected + p.error * 0.016 / 100);
        p.readingLimit = 0.0331f;
        p.recordedError = static_cast<float>(p.error);
        p.resolution = 1e-6;
        p.verdict = kvtapp::Verdict::Pass;
        r.points.push_back(p);
    }
    std::vector<uint8_t> bytes(210, 0);
    for (size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>((n * 131 + day) >> (i * 4));
    r.records = {
        {"result", "results", r.index, 7, 0, r.taken, bytes},
        {"tag", "results", r.index + 1, 15, 0, r.taken, std::vector<uint8_t>(24, 'T')},
        {"setup", "procedure", 12, 5, 1, "2024-01-02 08:00:00", std::vector<uint8_t>(160, 5)},
        {"strategy", "procedure", 5, 14, 0, "2024-01-02 08:00:00", std::vector<uint8_t>(24, 1)}};
    return r;
}

Upload uploadOf(std::vector<Result> results, int serial) {
    Upload u;
    u.calibrator.model = "ORVAN K27";
    u.calibrator.firmware = "V1.2.0";
    u.calibrator.serialNumber = "SN" + std::to_string(serial);
    u.uploaded = "2024-06-20 10:00:00";
    u.source = "bench";
    u.results = std::move(results);
    return u;
}

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
