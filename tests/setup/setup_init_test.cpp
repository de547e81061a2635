// STAinit on a setup of the test's own.
#include <gtest/gtest.h>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/sta_calls.h"
#include "setup_test_support.h"

namespace kvtlnk {
namespace {

TEST(SetupInit, InitResetsAndCommits) {
    OwnSetup own;
    SetupState& s = own.state;
    s.presUnits = kUnitBar;
    s.tempUnits = kUnitFahrenheit;
    s.tempStd = kStdIpts68;
    s.changeOutput().function = kFnTc;
    s.log.startTime.year = 7;
    s.status = kStatusOutputRange;
    EXPECT_EQ(staInit(s), 1u);
    EXPECT_EQ(s.setupCode, 5u);
    EXPECT_EQ(s.out().function, kFnNone);
    EXPECT_EQ(s.outState.changed, 1);
    EXPECT_EQ(s.presUnits + s.tempUnits + s.tempStd, kUnitPsi + kUnitCelsius + kStdIts90);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.pendingChanges(), 0u);
    EXPECT_EQ(s.log.startTime.year, 7);  // the last log's stamps stay
}

}  // namespace
}  // namespace kvtlnk
