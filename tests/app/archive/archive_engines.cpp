#include "archive_engines.h"

#include <unistd.h>

#include <atomic>
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
