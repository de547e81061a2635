// The library object: what it holds when built, and the seams that reach what uses them.
#include "api/library.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "memory/mem_api.h"
#include "setup/sta_calls.h"

namespace kvtlnk {
namespace {

int gOpens = 0;
int gWaits = 0;

TEST(Library, SeamsReachWhatUsesThem) {
    Seams seams;
    seams.clock = [] { return DateStamp{1, 2, 3, 4, 5, 6, 7}; };
    seams.sleep = [](uint32_t) { ++gWaits; };
    seams.systemCalls.open = [](const char*, int) {
        ++gOpens;
        errno = ENOENT;
        return -1;
    };
    const auto lib = std::make_unique<Library>(seams);

    memClear(lib->image);
    EXPECT_EQ(lib->image.procedure().selectRecord(0)->stamp(), seams.clock());
    gWaits = 0;
    lib->session.waitSeconds(1);
    EXPECT_EQ(gWaits, 1);
    gOpens = 0;
    EXPECT_FALSE(lib->serialPort.open("/dev/ttyK27"));
    EXPECT_EQ(gOpens, 1);
}

// Each library holds its own: a test's library and the process's share nothing.
TEST(Library, LibrariesShareNothing) {
    const auto first = std::make_unique<Library>();
    const auto second = std::make_unique<Library>();
    staInit(first->setup);
    ASSERT_EQ(staSetTempUnits(first->setup, "fahrenheit"), 0u);
    memClear(first->image);
    char name[16];
    EXPECT_STREQ(staGetTempUnits(second->setup, name), "celsius");
    EXPECT_EQ(second->image.procedure().count(), 0);
    EXPECT_NE(&second->setup, &library().setup);
}

}  // namespace
}  // namespace kvtlnk
