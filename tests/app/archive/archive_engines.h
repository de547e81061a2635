// The engines the archive suite runs against: an SQLite file in a scratch folder, and a fresh
// database on the private PostgreSQL server of the tests (KVTLNK_TEST_POSTGRES), skipped with
// "SKIPPED: ..." when there is none.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archive/archive.h"

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
