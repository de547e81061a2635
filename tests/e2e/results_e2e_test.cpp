// A procedure built with the STA and MEM calls goes to the emulated calibrator, which runs it
// in the field; after the upload every result decodes to what the calibrator recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"
#include "setup/setup_state.h"

namespace kvtlnk {
namespace {

using k27emu::FieldPoint;
using k27emu::FieldTest;

uint32_t transfer(uint32_t (*start)(uint32_t*), uint32_t (*step)(uint32_t*)) {
    uint32_t remaining = 0;
    uint32_t r = start(&remaining);
    while (r == KVTLNK_OK && remaining > 0)
        r = step(&remaining);
    return r;
}

void expectNear(double got, double want, double relative, const std::string& what) {
    if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << what;
    } else {
        EXPECT_NEAR(got, want, relative * std::fabs(want) + 1e-9) << what;
    }
}

// Each setup: its shape, saved with STAsave; the index it got.
int32_t saved(const std::function<void(SetupState&)>& shape) {
    STAinit();
    SetupState& s = theSetupState();
    s.inScaleOn = s.outScaleOn = 1;
    shape(s);
    int32_t index = -1;
    EXPECT_EQ(STAsave(&index), KVTLNK_OK);
    return index;
}

TEST(ResultsE2e, EveryResultDecodesToWhatTheCalibratorRecorded) {
    MEMclear();
    const int32_t loop = saved([](SetupState& s) {  // 4-20 mA against 1-5 V, form 5
        s.inFunction = 1, s.inUnits = 2, s.inRange = 5, s.inScaleLow = 0.004f,
        s.inScaleHigh = 0.02f;
        s.outFunction = 2, s.outUnits = 1, s.outRange = 8, s.outScaleLow = 1, s.outScaleHigh = 5;
    });
    const int32_t tc = saved([](SetupState& s) {  // tc_k over 0-400 C, 0-1 V, form 3
        s.setupCode = 1, s.inMinMaxOn = 0, s.inFunction = 10, s.inTcType = 4, s.inUnits = 6;
        s.inTrefMode = 1, s.inTrefValue = 21.5f, s.inScaleHigh = 400;
        s.outFunction = 2, s.outUnits = 1, s.outRange = 7, s.outScaleHigh = 1;
    });
    const int32_t pressure = saved([](SetupState& s) {  // 0-100 psi module, form 2
        s.setupCode = 3, s.inFunction = 14, s.inUnits = 9, s.inScaleHigh = 100;
        s.pressureHigh = 100, s.pressureLow = 0, s.pressureModulePresent = 1;
        std::strcpy(s.pressureText1, "P100");
        s.outFunction = 1, s.outUnits = 2, s.outRange = 5, s.outScaleLow = 0.004f,
        s.outScaleHigh = 0.02f;
    });
    const int32_t logged = saved([](SetupState& s) {  // 0-10 V logged, form 4
        s.setupCode = 2, s.inFunction = 2, s.inUnits = 1, s.inRange = 8, s.inScaleHigh = 10;
        s.outFunction = 2, s.outUnits = 1, s.outRange = 8, s.outScaleLow = s.outScaleHigh = 1;
        s.logRequested = 50, s.logInterval = 2;
    });
    const int32_t rtd = saved([](SetupState& s) {  // Pt100 sourced 0-200 C, 4-20 mA, form 5
        s.inFunction = 1, s.inUnits = 2, s.inRange = 5, s.inScaleLow = 0.004f,
        s.inScaleHigh = 0.02f;
        s.outFunction = 11, s.outRtdType = 2, s.outUnits = 6, s.outScaleHigh = 200;
    });
    MEMstartTask("loops");
    MEMtemplate(0, 0, "FT-1", "flow", static_cast<uint32_t>(loop));
    MEMtemplate(6, 0, "TT-2", "oven", static_cast<uint32_t>(tc));
    MEMendTask();
    MEMstartTask("field");
    MEMtemplate(8, 0, "PT-3", "header", static_cast<uint32_t>(pressure));
    MEMtemplate(3, 0, "LG-4", "", static_cast<uint32_t>(logged));
    MEMtemplate(2, 1, "TT-5", "as left", static_cast<uint32_t>(rtd));
    MEMendTask();

    k27emu::Calibrator emu;
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(KVTopen(9600, emu.portPath().c_str(), 500, 5), KVTLNK_OK);
    ASSERT_EQ(transfer(KVTdnlStart, KVTdnlStep), KVTLNK_OK);
    const k27emu::RunSummary run = emu.runProcedures();
    ASSERT_EQ(run.templatesRun, 5);
    ASSERT_EQ(transfer(KVTuplStart, KVTuplStep), KVTLNK_OK);
    KVTclose();

    for (const FieldTest& t : run.tests) {
        SCOPED_TRACE(t.tag);
        uint32_t n = 0, task = 0, strategy = 0, flag = 0, code = 0, d = 0;
        ASSERT_EQ(MEMcalResult(t.resultIndex, &n), KVTLNK_OK);
        ASSERT_EQ(n, t.points.size());
        // The task: the one the template is in when the result names the template's setup.
        uint32_t taskStart = 0xFFFFFFFF;
        for (int32_t i = t.templateIndex; t.setupRef >= 0 && taskStart == 0xFFFFFFFF; --i) {
            MEMpDir(i, &code, &d, &d, &d, &d, &d, &d);
            if (code == 33) taskStart = static_cast<uint32_t>(i);
        }
        EXPECT_EQ(MEMasflInfo(t.resultIndex, &task, &strategy, &flag), KVTLNK_OK);
        EXPECT_EQ(task, taskStart);
        EXPECT_EQ(strategy, static_cast<uint32_t>(t.strategyIndex));
        EXPECT_EQ(flag, t.flagged ? 1u : 0u);
        char texts[3][33];
        EXPECT_EQ(MEMtagidInfo(static_cast<uint32_t>(t.resultIndex), texts[0], texts[1], texts[2]),
                  KVTLNK_OK);
        EXPECT_EQ(std::string(texts[0]) + "|" + texts[1] + "|" + texts[2],
                  t.tag + "|" + t.text1 + "|" + t.text2);
        for (uint32_t i = 0; i <= n; ++i) {
            float in = 0, inLimit = 0, out = 0, outLimit = 0, third = 0;
            uint32_t inFlag = 0, outFlag = 0;
            const uint32_t r =
                MEMcalResultEntry(t.resultIndex, static_cast<int32_t>(i), &in, &inFlag, &inLimit,
                                  &out, &outFlag, &outLimit, &third);
            ASSERT_EQ(r, i < n ? KVTLNK_OK : KVTLNK_E_RECORD);
            if (i == n) break;
            const FieldPoint& p = t.points[i];
            const std::string at = "point " + std::to_string(i);
            expectNear(in, t.flagged ? p.asLeft : p.measured, 1e-6, at);
            EXPECT_EQ(inFlag, t.flagged || p.measuredPresent ? 1u : 0u) << at;
            expectNear(inLimit, p.inLimit, 1e-4, at);
            expectNear(out, p.source, 1e-6, at);
            EXPECT_EQ(outFlag, p.sourcePresent ? 1u : 0u) << at;
            expectNear(outLimit, p.outLimit, 1e-4, at);
            expectNear(third, p.errorPercent, 1e-5, at);
        }
        EXPECT_EQ(MEMbaseState(t.resultIndex), KVTLNK_OK);
        if (t.logIndex < 0) continue;

        ASSERT_EQ(STArestore(t.logIndex), KVTLNK_OK);
        uint32_t count = 0, valid = 0;
        STAgetLogData(&count, &d, &d);
        ASSERT_EQ(count, t.log.size());
        std::vector<float> finite;
        for (uint32_t i = 0; i < count; ++i) {
            float value = -1;
            const bool isFinite = std::isfinite(t.log[i]);
            EXPECT_EQ(STAgetLoggedData(i, &valid, &value),
                      isFinite ? KVTLNK_OK : KVTLNK_E_NO_VALUE);
            EXPECT_EQ(value, isFinite ? t.log[i] : 0.0f) << i;
            if (isFinite) finite.push_back(t.log[i]);
        }
        ASSERT_LT(finite.size(), t.log.size());  // the log ran beyond the range
        float low = 0, high = 0;
        STAgetLogMinMax(&low, &high);
        EXPECT_EQ(low, *std::min_element(finite.begin(), finite.end()));
        EXPECT_EQ(high, *std::max_element(finite.begin(), finite.end()));
    }
    uint32_t procedureItems = 0, resultItems = 0;
    MEMstats(&procedureItems, &resultItems);
    char t1[33], t2[33], t3[33];
    EXPECT_EQ(MEMtagidInfo(resultItems - 1, t1, t2, t3), KVTLNK_E_NO_TAG);
    MEMclear();
    STAinit();
}

}  // namespace
}  // namespace kvtlnk
