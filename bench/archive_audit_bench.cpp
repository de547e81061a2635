// The audit trail: archive verify over 100,000 audit rows (each an interval set) on an SQLite
// archive of 2,000 results in 100 uploads, the chain, every sealed row and every result's raw
// records checked; the target is under 2 s. The archive is a file in a scratch folder, built
// once.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "archive/archive.h"
#include "archive/audit.h"
#include "archive/database.h"
#include "field_results.h"

namespace {

using namespace kvtarchive;

constexpr int kAuditRows = 100000;

class Scratch {
  public:
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtaudit-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string dir_;
};

std::string builtArchive() {
    static Scratch scratch;
    static std::string path;
    if (!path.empty()) return path;
    path = scratch.dir_ + "/audit.db";
    {
        auto archive = Archive::open(path, Access::Store);
        for (int u = 0; u < 100; ++u) {
            std::vector<Result> results;
            for (int i = 0; i < 20; ++i)
                results.push_back(
                    fieldResult("PT-" + std::to_string(i), 19000 + u * 30, u * 20 + i));
            archive->add(uploadOf(std::move(results), u));
        }
    }
    // The rest of the rows as setting intervals appends them, in one transaction for speed.
    auto db = openSqlite(path, Access::Change);
    db->begin();
    const Actor actor{"Ada", "kvtlnk archive interval PT-1 180d", "ada"};
    for (int row = 0; row < kAuditRows - 101; ++row) {
        const std::string id = std::to_string(1 + row % 20);
        db->query("UPDATE instruments SET interval_days = $1 WHERE id = $2",
                  {30 + row % 300, 1 + row % 20});
        appendAudit(*db, actor, "interval set", {{"instruments", {id}}}, {{"interval_days", 30}});
    }
    db->commit();
    return path;
}

void BM_Verify100000AuditRows(benchmark::State& state) {
    const std::string path = builtArchive();
    auto archive = Archive::open(path, Access::Read);
    for (auto _ : state) {
        const AuditVerdict verdict = archive->verify();
        if (!verdict.whole() || verdict.rows != kAuditRows)
            state.SkipWithError(verdict.line().c_str());
        benchmark::DoNotOptimize(verdict);
    }
    state.counters["audit rows/s"] =
        benchmark::Counter(double(kAuditRows) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Verify100000AuditRows)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
