// A procedure built with the STA and MEM calls goes to the emulated calibrator, which runs it
// in the field; after the upload every result decodes to what the calibrator recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

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
    const int32_t rtd = saved([](SetupState& s) {  // Pt100 sourced 0-200 C, nothing measured
        s.outFunction = 11, s.outRtdType = 2, s.outUnits = 6, s.outScaleHigh = 200;
    });
    MEMstartTask("loops");
    MEMtemplate(0, 0, "FT-1", "flow", static_cast<uint32_t>(loop));
    MEMtemplate(6, 0, "TT-2", "oven", static_cast<uint32_t>(tc));
    MEMendTask();
    MEMstartTask("field");
    MEMtemplate(8, 1, "PT-3", "as left", static_cast<uint32_t>(pressure));
    MEMtemplate(3, 0, "LG-4", "", static_cast<uint32_t>(logged));
    MEMtemplate(2, 0, "TT-5", "", static_cast<uint32_t>(rtd));
    MEMendTask();

    k27emu::CalibratorOptions options;
    options.clock = DateStamp{0, 30, 12, 1, 15, 3, 7};  // 15 March 1999, 12:30
    k27emu::Calibrator emu(options);
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(KVTopen(9600, emu.portPath().c_str(), 500, 5), KVTLNK_OK);
    ASSERT_EQ(transfer(KVTdnlStart, KVTdnlStep), KVTLNK_OK);
    const k27emu::RunSummary run = emu.runProcedures();
    ASSERT_EQ(run.templatesRun, 5);
    ASSERT_EQ(transfer(KVTuplStart, KVTuplStep), KVTLNK_OK);
    KVTclose();

    // Results that name their template's setup (form 5) find its task: "loops" at 14, "field"
    // at 18; the others name a copy in the results memory.
    const uint32_t tasks[] = {14, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 18};
    for (size_t k = 0; k < run.tests.size(); ++k) {
        const FieldTest& t = run.tests[k];
        SCOPED_TRACE(t.tag);
        uint32_t n = 0, task = 0, strategy = 0, flag = 0, d = 0;
        ASSERT_EQ(MEMcalResult(t.resultIndex, &n), KVTLNK_OK);
        ASSERT_EQ(n, t.points.size());
        EXPECT_EQ(MEMasflInfo(t.resultIndex, &task, &strategy, &flag), KVTLNK_OK);
        EXPECT_EQ(std::make_tuple(task, strategy, flag),
                  std::make_tuple(tasks[k], uint32_t(t.strategyIndex), t.flagged ? 1u : 0u));
        char tag[3][33];
        EXPECT_EQ(MEMtagidInfo(uint32_t(t.resultIndex), tag[0], tag[1], tag[2]), KVTLNK_OK);
        EXPECT_EQ(std::string(tag[0]) + "|" + tag[1] + "|" + tag[2],
                  t.tag + "|" + t.text1 + "|" + t.text2);
        for (uint32_t i = 0; i <= n; ++i) {
            float v[5] = {};  // measured, its range limit, sourced, its range limit, third value
            uint32_t inFlag = 0, outFlag = 0;
            ASSERT_EQ(MEMcalResultEntry(t.resultIndex, int32_t(i), &v[0], &inFlag, &v[1], &v[2],
                                        &outFlag, &v[3], &v[4]),
                      i < n ? KVTLNK_OK : KVTLNK_E_RECORD);
            if (i == n) break;
            const FieldPoint& p = t.points[i];
            const double want[] = {t.flagged ? p.asLeft : p.measured, p.inLimit, p.source,
                                   p.outLimit, p.errorPercent};
            const double tolerance[] = {1e-6, 1e-4, 1e-6, 1e-4, 1e-5};
            for (int k = 0; k < 5; ++k)
                expectNear(v[k], want[k], tolerance[k], "point " + std::to_string(i));
            EXPECT_EQ(std::make_pair(inFlag, outFlag),
                      std::make_pair(t.flagged || p.measuredPresent ? 1u : 0u,
                                     p.sourcePresent ? 1u : 0u));
        }
        EXPECT_EQ(MEMbaseState(t.resultIndex), KVTLNK_OK);
        EXPECT_EQ(MEMtemplateState(t.templateIndex), KVTLNK_OK);
        if (t.logIndex < 0) continue;

        // The log, infinity for a reading beyond the range.
        ASSERT_EQ(STArestore(t.logIndex), KVTLNK_OK);
        uint32_t count = 0, valid = 0, year = 0, month = 0;
        STAgetLogData(&count, &d, &d);
        STAgetLogStart(&year, &month, &d, &d, &d, &d);
        ASSERT_EQ(std::make_tuple(count, year, month), std::make_tuple(t.log.size(), 1999u, 3u));
        std::vector<float> finite;
        for (uint32_t i = 0; i <= count; ++i) {
            float value = -1;
            const bool ok = i < count && std::isfinite(t.log[i]);
            EXPECT_EQ(STAgetLoggedData(i, &valid, &value), ok ? KVTLNK_OK : KVTLNK_E_NO_VALUE);
            EXPECT_EQ(std::make_pair(valid, value),
                      std::make_pair(ok ? 1u : 0u, ok ? t.log[i] : 0));
            if (ok) finite.push_back(t.log[i]);
        }
        float low = 0, high = 0;
        STAgetLogMinMax(&low, &high);
        ASSERT_LT(finite.size(), t.log.size());
        EXPECT_EQ(std::make_pair(low, high),
                  std::make_pair(*std::min_element(finite.begin(), finite.end()),
                                 *std::max_element(finite.begin(), finite.end())));
    }
    uint32_t items = 0, resultItems = 0;
    MEMstats(&items, &resultItems);
    char tag[33];
    EXPECT_EQ(MEMtagidInfo(resultItems - 1, tag, tag, tag), KVTLNK_E_NO_TAG);  // the last record
    MEMclear();
    STAinit();
}

}  // namespace
}  // namespace kvtlnk
