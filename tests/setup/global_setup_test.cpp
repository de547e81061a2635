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
    EXPECT_EQ(s.presUnits, kUnitPsi);
    EXPECT_EQ(s.tempUnits, kUnitCelsius);
    EXPECT_EQ(s.setupCode, 0u);
    EXPECT_EQ(s.outChanged, 0);
    EXPECT_NE(s.logBuffer, nullptr);
    EXPECT_EQ(s.logCapacity, 8000u);
    EXPECT_EQ(s.logStartTime, emptyStamp());
    EXPECT_EQ(s.inFunction, kFnNone);
    EXPECT_EQ(s.outFunction, kFnNone);
}

TEST(TheSetupState, InitResetsAndCommits) {
    SetupState& s = theSetupState();
    s.presUnits = kUnitBar;
    s.tempUnits = kUnitFahrenheit;
    s.tempStd = kStdIpts68;
    s.inFunction = kFnDcv;
    s.outFunction = kFnTc;
    s.loopPower = kLoop24v;
    s.trefUser = 50.0f;
    s.logCount = 3;
    s.logStartTime.year = 7;
    s.status = kStatusOutputRange;

    EXPECT_EQ(STAinit(), 1u);
    EXPECT_EQ(s.setupCode, 5u);
    EXPECT_EQ(s.loopPower, kLoopOff);
    EXPECT_EQ(s.inAutoRange, 1);
    EXPECT_EQ(s.inFunction, kFnNone);
    EXPECT_EQ(s.outFunction, kFnNone);
    EXPECT_EQ(s.trefUser, 23.0f);
    EXPECT_EQ(s.outChanged, 1);
    EXPECT_EQ(s.presUnits, kUnitPsi);
    EXPECT_EQ(s.tempUnits, kUnitCelsius);
    EXPECT_EQ(s.tempStd, kStdIts90);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.changeFlags, 0u);
    EXPECT_EQ(s.logCount, 0u);
    EXPECT_EQ(s.logStartTime.year, 7);  // the last log's stamps stay
    EXPECT_EQ(s.logCapacity, 8000u);
}

}  // namespace
}  // namespace kvtlnk
