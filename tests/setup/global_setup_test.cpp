// The process-wide setup. Keep the state-at-load test first: it assumes nothing ran before.
#include <gtest/gtest.h>

#include "kvtlnk/kvtlnk.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {
namespace {

TEST(TheSetupState, StateAtLoad) {
    const SetupState& s = theSetupState();
    EXPECT_EQ(s.setupCode, 0u);
    EXPECT_EQ(s.outChanged, 0);
    EXPECT_EQ(s.logCapacity, 8000u);
    char name[16];
    EXPECT_STREQ(STAgetTempUnits(name), "celsius");
    EXPECT_STREQ(STAgetPresUnits(name), "psi");
}

TEST(TheSetupState, InitResetsAndCommits) {
    SetupState& s = theSetupState();
    s.presUnits = kUnitBar;
    s.tempUnits = kUnitFahrenheit;
    s.tempStd = kStdIpts68;
    s.outFunction = kFnTc;
    s.logStartTime.year = 7;
    s.status = kStatusOutputRange;
    EXPECT_EQ(STAinit(), 1u);
    EXPECT_EQ(s.setupCode, 5u);
    EXPECT_EQ(s.outFunction, kFnNone);
    EXPECT_EQ(s.outChanged, 1);
    EXPECT_EQ(s.presUnits + s.tempUnits + s.tempStd, kUnitPsi + kUnitCelsius + kStdIts90);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.changeFlags, 0u);
    EXPECT_EQ(s.logStartTime.year, 7);  // the last log's stamps stay
}

}  // namespace
}  // namespace kvtlnk
