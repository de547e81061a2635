#include "setup/setup_state.h"

#include <gtest/gtest.h>

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_scaling.h"

namespace kvtlnk {
namespace {

TEST(SetupState, MarkChangedFindsThePressureSide) {
    const uint32_t cases[][3] = {
        {kFnPressure, kFnPressure, kPressureOutput},  // output wins
        {kFnNone, kFnPressure, kPressureInput},
        {kFnDcv, kFnTc, kPressureNone},
    };
    for (const auto& c : cases) {
        SetupState s;
        s.changeOutput().function = c[0];
        s.changeInput().function = c[1];
        s.markChanged(kChangedInput);
        s.markChanged(kChangedOutput);
        EXPECT_EQ(s.pressureSide(), c[2]) << c[0] << "/" << c[1];
        EXPECT_EQ(s.pendingChanges(), kChangedInput | kChangedOutput);
    }
}

TEST(NameTables, EachCodeHasOneName) {
    for (const NameTable* t : {&kFunctionNames, &kUnitNames, &kRtdNames, &kTcNames,
                               &kLoopPowerNames, &kTempStdNames, &kTrefModeNames}) {
        for (uint32_t code = 0; code < t->count; ++code)
            EXPECT_EQ(codeOf(*t, nameOf(*t, code)), code) << nameOf(*t, code);
        EXPECT_EQ(nameOf(*t, t->count), nullptr);
    }
    EXPECT_EQ(statusToResult(12345), 0u);  // a status without a result reports success
}

}  // namespace
}  // namespace kvtlnk
