#include "archive_engines.h"

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "archive/database.h"

namespace {

class SqliteEngine : public ArchiveEngine {
  public:
    SqliteEngine() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtarch-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir_ = pattern;
    }
    ~SqliteEngine() override {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    std::string location() override {
        return dir_ + "/a" + std::to_string(++count_) + "/records.db";
    }

  private:
    std::string dir_;
    int count_ = 0;
};

// Each archive a database of its own, dropped with the engine, so tests run side by side.
class PostgresEngine : public ArchiveEngine {
  public:
    PostgresEngine() {
        const char* server = std::getenv("KVTLNK_TEST_POSTGRES");
        if (!server || !*server) {
            skipped = "SKIPPED: no PostgreSQL server for the tests (KVTLNK_TEST_POSTGRES)";
            return;
        }
        server_ = server;
        try {
            admin_ = kvtarchive::openPostgres(server_);
        } catch (const kvtarchive::ArchiveError& e) {
            skipped = std::string("SKIPPED: ") + e.what();
        }
    }
    ~PostgresEngine() override {
        for (const std::string& name : databases_) {
            try {
                admin_->script("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
            } catch (const kvtarchive::ArchiveError&) {
            }
        }
    }
    std::string location() override {
        if (!admin_) return "";
        static std::atomic<int> count{0};
        const std::string name = "kvt_" + std::to_string(getpid()) + "_" + std::to_string(++count);
        admin_->script("CREATE DATABASE " + name);
        databases_.push_back(name);
        std::string location = server_;
        const size_t at = location.find("/postgres?");
        if (at != std::string::npos) location.replace(at, 10, "/" + name + "?");
        return location;
    }

  private:
    std::string server_;
    std::unique_ptr<kvtarchive::Database> admin_;
    std::vector<std::string> databases_;
};

}  // namespace

std::unique_ptr<ArchiveEngine> makeEngine(const std::string& name) {
    if (name == "sqlite") return std::make_unique<SqliteEngine>();
    return std::make_unique<PostgresEngine>();
}

std::unique_ptr<kvtarchive::Database> rawDatabase(const std::string& location) {
    return kvtarchive::isPostgresLocation(location) ? kvtarchive::openPostgres(location)
                                                    : kvtarchive::openSqlite(location);
}

int64_t count(const std::string& location, const std::string& table) {
    return std::stoll(
        rawDatabase(location)->query("SELECT COUNT(*) AS n FROM " + table, {}).at(0).text("n"));
}

namespace {

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

kvtapp::Result makeResult(const std::string& tag, const std::string& taken, bool asLeft,
                          const std::vector<double>& errors, float tolerance, int32_t index) {
    kvtapp::Result r;
    r.taken = taken;
    r.index = index;
    r.tag = "TAG-0001";
    r.text1 = tag;
    r.text2 = asLeft ? "as left" : "as found";
    r.taskIndex = 12;
    r.task = "field";
    r.strategyIndex = 2;
    r.strategy = "3 up";
    r.flagged = asLeft;
    r.setup.input = {"current", "", "A", {0.004f, 0.02f}, "", ""};
    r.setup.output = {"pressure", "", "bar", {0, 10}, "", ""};
    r.setup.loopPower = "24v";
    r.setup.tolerance = tolerance;
    r.verdict = kvtapp::Verdict::Pass;
    std::string identity = tag + taken + (asLeft ? "L" : "F");
    for (size_t i = 0; i < errors.size(); ++i) {
        kvtapp::Point p;
        p.index = static_cast<int32_t>(i);
        p.fraction = errors.size() > 1 ? float(i) / float(errors.size() - 1) : 0;
        p.nominalSource = 10 * p.fraction;
        p.source = static_cast<float>(p.nominalSource);
        p.sourceLimit = 20;
        p.expected = 0.004 + 0.016 * p.fraction;
        p.error = errors[i];
        p.reading = std::isnan(errors[i])
                        ? kvtapp::kNoValue
                        : static_cast<float>(p.expected + errors[i] * 0.016 / 100);
        p.readingLimit = 0.024f;
        p.recordedError = static_cast<float>(errors[i]);
        p.resolution = 1e-6;
        p.verdict = std::isnan(errors[i])               ? kvtapp::Verdict::None
                    : std::fabs(errors[i]) <= tolerance ? kvtapp::Verdict::Pass
                                                        : kvtapp::Verdict::Fail;
        if (p.verdict == kvtapp::Verdict::Fail) r.verdict = kvtapp::Verdict::Fail;
        r.points.push_back(p);
        identity += std::to_string(errors[i]);
    }
    r.records = {
        {"result", "results", index, 7, 0, taken, bytesOf(identity)},
        {"tag", "results", index + 1, 15, 0, taken, bytesOf("TAG-0001\0" + tag + '\0')},
        {"setup", "results", 0, 5, 1, taken, std::vector<uint8_t>(80, 0x5A)},
        {"strategy", "procedure", 3, 14, 0, "2024-01-01 08:00:00", {0, 0, 0, 3, 0, 0}},
    };
    return r;
}

kvtapp::Upload makeUpload(const std::string& serial, std::vector<kvtapp::Result> results,
                          const std::string& uploaded) {
    kvtapp::Upload u;
    u.calibrator.model = "ORVAN K27";
    u.calibrator.firmware = "V1.2.0";
    u.calibrator.serialNumber = serial;
    u.uploaded = uploaded;
    u.host = "bench-1";
    u.user = "lab";
    u.technician = "A. Tester";
    u.source = "field.json";
    u.results = std::move(results);
    return u;
}
