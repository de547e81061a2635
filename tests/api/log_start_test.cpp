// When the log of the library's setup started, through the restores that bring a log in and
// those that do not.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "api/library.h"
#include "kvtlnk/kvtlnk.h"
#include "memory/setup_record.h"
#include "setup/sta_calls.h"

namespace kvtlnk {
namespace {

using Start = std::vector<uint32_t>;  // year, month, day, hour, minute, second

// What the library's setup reports as the start of its log.
Start logStart(const SetupState& s) {
    Start start(6);
    staGetLogStart(s, &start[0], &start[1], &start[2], &start[3], &start[4], &start[5]);
    return start;
}

// Saves a setup, with a log that started at the stamp (a record of form 4) or without one, into
// the results memory as an upload would bring it, and restores it into lib's setup.
uint32_t restoreSavedSetup(Library& lib, bool withLog, const DateStamp& logStart) {
    SetupState saved;
    saved.setupCode = withLog ? 2 : 1;  // the setup codes of forms 4 and 1
    saved.log.startTime = logStart;
    MemoryImage scratch;
    int32_t index = -1;
    if (staSave(saved, scratch, 1, &index) != KVTLNK_OK) return KVTLNK_E_IMAGE;
    const Record& record = *scratch.procedure().selectRecord(index);
    EXPECT_EQ(record.kind(), withLog ? 4 : 1);
    RecordStore& results = lib.image.results();
    results.truncate(0);
    results.beginRecord(record.kind(), record.version());
    results.writeBytes(record.data(), static_cast<int32_t>(record.length()));
    results.endRecord();
    return staRestore(lib.setup, lib.image, 0);
}

TEST(LogStart, IsWhatTheLastRestoredLogHolds) {
    const DateStamp march1999{45, 30, 12, 3, 15, 3, 7};
    const DateStamp none{0, 0, 0, 0, 0, 0, 0};  // a log without a start time
    enum Then { Nothing, RestoreWithoutLog, Init };
    const struct {
        const char* what;
        const DateStamp* restored;  // by a setup with a log; none: no log restored
        Then then;
        Start reported;
    } cases[] = {
        {"no log restored", nullptr, Nothing, {1992, 1, 1, 0, 0, 0}},
        {"a log started in March 1999", &march1999, Nothing, {1999, 3, 15, 12, 30, 45}},
        {"a log without a start time", &none, Nothing, {1992, 0, 0, 0, 0, 0}},
        {"then a setup without a log", &march1999, RestoreWithoutLog, {1999, 3, 15, 12, 30, 45}},
        {"then STAinit", &none, Init, {1992, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto lib = std::make_unique<Library>();
        if (c.restored != nullptr) {
            ASSERT_EQ(restoreSavedSetup(*lib, true, *c.restored), KVTLNK_OK) << c.what;
        }
        if (c.then == RestoreWithoutLog) {
            ASSERT_EQ(restoreSavedSetup(*lib, false, DateStamp{}), KVTLNK_OK) << c.what;
        }
        if (c.then == Init) staInit(lib->setup);
        EXPECT_EQ(logStart(lib->setup), c.reported) << c.what;
    }
}

}  // namespace
}  // namespace kvtlnk
