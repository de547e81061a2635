// A bench's SQLite archive copied into another archive of either engine: every result once, a
// second copy adding nothing, a grown source adding only what is new, intervals the destination
// lacks, and a check that finds a result resting on other records.
#include "archive/copy.h"
#include "archive_engines.h"

namespace {

using namespace kvtarchive;

std::vector<uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// A result of an instrument with the records it rests on; tag is the text of its tag record,
// which a result of another archive may hold otherwise under the same key.
Result result(const std::string& instrument, const std::string& taken,
              const std::string& tag = "TAG-0001") {
    Result r;
    r.taken = taken;
    r.index = 1;
    r.tag = tag;
    r.text1 = instrument;
    r.records = {
        {"result", "results", 1, 7, 0, taken, bytesOf(instrument + taken)},
        {"tag", "results", 2, 15, 0, taken, bytesOf(tag + '\0' + instrument)},
        {"strategy", "procedure", 3, 14, 0, "2024-01-01 08:00:00", {0, 0, 0, 3}},
    };
    return r;
}

Upload upload(std::vector<Result> results, const std::string& technician = "A. Tester") {
    Upload u;
    u.calibrator = {"ORVAN K27", "V1.2.0", "SN1", 0, 0, 0};
    u.uploaded = results.front().taken;
    u.host = "Bench 2";
    u.user = "atester";
    u.technician = technician;
    u.source = "/dev/ttyUSB0";
    u.results = std::move(results);
    return u;
}

class ArchiveCopy : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped()) return;
        bench = Archive::open(benchEngine->location(), Access::Store);
        bench->add(
            upload({result("PT-1", "2025-01-10 09:00:00"), result("TT-2", "2025-01-10 09:30:00")}));
        bench->add(upload({result("PT-1", "2025-02-10 09:00:00")}, "B. Tester"));
    }

    std::unique_ptr<ArchiveEngine> benchEngine = makeEngine("sqlite");
    std::unique_ptr<Archive> bench;
};
KVTLNK_BOTH_ENGINES(ArchiveCopy);

TEST_P(ArchiveCopy, EveryResultOnceThenNothingThenWhatIsNew) {
    auto shared = open();
    const CopyOutcome first = copyArchive(*bench, *shared);
    EXPECT_EQ(first.uploads, 2u);
    EXPECT_EQ(first.results, 3u);
    EXPECT_EQ(first.added, 3u);
    EXPECT_EQ(first.verified, 3u);
    EXPECT_EQ(first.digest.size(), 64u);
    const std::vector<Calibration> history = shared->history("PT-1");
    ASSERT_EQ(history.size(), 2u);
    ASSERT_EQ(history[1].uploads.size(), 1u);
    EXPECT_EQ(history[1].uploads[0].technician, "B. Tester");
    EXPECT_EQ(history[1].uploads[0].host, "Bench 2");
    EXPECT_EQ(history[1].uploads[0].uploaded, "2025-02-10 09:00:00");
    EXPECT_EQ(shared->resultFingerprints(), bench->resultFingerprints());

    const CopyOutcome again = copyArchive(*bench, *shared);
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(again.held, 3u);
    EXPECT_EQ(again.digest, first.digest);

    bench->add(upload({result("TT-2", "2025-03-10 09:00:00")}));
    const CopyOutcome grown = copyArchive(*bench, *shared);
    EXPECT_EQ(grown.added, 1u);
    EXPECT_EQ(grown.held, 3u);
    EXPECT_EQ(grown.verified, 4u);
    EXPECT_EQ(shared->history("TT-2").size(), 2u);
}

TEST_P(ArchiveCopy, IntervalsTheDestinationLacks) {
    auto shared = open();
    shared->add(upload({result("TT-2", "2024-12-01 09:00:00")}));
    ASSERT_TRUE(shared->setInterval("TT-2", 180));
    ASSERT_TRUE(bench->setInterval("PT-1", 90));
    ASSERT_TRUE(bench->setInterval("TT-2", 365));
    const CopyOutcome o = copyArchive(*bench, *shared);
    EXPECT_EQ(o.intervals, 1u);
    EXPECT_EQ(o.intervalsKept, std::vector<std::string>{"TT-2: 180 days kept, the source has 365"});
    EXPECT_EQ(shared->intervals(), (std::map<std::string, int>{{"PT-1", 90}, {"TT-2", 180}}));
}

// The destination holds one of the results under its key, but on another tag record: the copy
// adds the rest and says so.
TEST_P(ArchiveCopy, AResultOnOtherRecordsFailsTheCheck) {
    auto shared = open();
    shared->add(upload({result("TT-2", "2025-01-10 09:30:00", "TAG-0099")}));
    try {
        copyArchive(*bench, *shared);
        ADD_FAILURE() << "the copy checked";
    } catch (const ArchiveError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "the copy does not check: of the 3 results of the source, the destination "
                  "lacks 0 and holds 1 on other records");
    }
    EXPECT_EQ(shared->history("PT-1").size(), 2u);
}

}  // namespace
