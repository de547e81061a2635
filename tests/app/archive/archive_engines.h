// The engines the archive suite runs against: an SQLite file in a scratch folder, and a fresh
// database on the private PostgreSQL server of the tests (KVTLNK_TEST_POSTGRES), skipped with
// "SKIPPED: ..." when there is none; and the results and uploads the suite adds.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archive/archive.h"
#include "archive/database.h"

class ArchiveEngine {
  public:
    virtual ~ArchiveEngine() = default;
    // Where a new, empty archive is; empty with the reason in skipped() when there is none.
    virtual std::string location() = 0;
    std::string skipped;
};

std::unique_ptr<ArchiveEngine> makeEngine(const std::string& name);

// A suite run once per engine; each test gets archives of its own.
class EngineTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        engine_ = makeEngine(GetParam());
        location_ = engine_->location();
        if (location_.empty()) GTEST_SKIP() << engine_->skipped;
    }
    const std::string& location() const { return location_; }
    std::string another() { return engine_->location(); }
    std::unique_ptr<kvtarchive::Archive> open() {
        return kvtarchive::Archive::open(location_, kvtarchive::Access::Store);
    }

  private:
    std::unique_ptr<ArchiveEngine> engine_;
    std::string location_;
};

#define KVTLNK_BOTH_ENGINES(suite)                                                      \
    INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::Values("sqlite", "postgresql"), \
                             [](const auto& info) { return info.param; })

// The database under an archive, as other software reads it; a table's count of rows.
std::unique_ptr<kvtarchive::Database> rawDatabase(const std::string& location);
int64_t count(const std::string& location, const std::string& table);

// A result of the instrument tag (untagged for "") taken at the stamp, with a point for each
// error (in % of span) judged against the tolerance, and the records it rests on: its own bytes
// follow from its stamp, tag and errors; the strategy and the setup are shared by every result.
kvtapp::Result makeResult(const std::string& tag, const std::string& taken, bool asLeft,
                          const std::vector<double>& errors, float tolerance = 0.1f,
                          int32_t index = 1);
// An upload of the results from the calibrator, uploaded at the time given.
kvtapp::Upload makeUpload(const std::string& serial, std::vector<kvtapp::Result> results,
                          const std::string& uploaded = "2024-06-20 10:00:00");
