// A procedure built with the STA and MEM calls goes to the emulated calibrator, which runs it
// in the field; after the upload every result decodes to what the calibrator recorded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "api/library.h"
#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtlnk {
namespace {

using k27emu::FieldPoint;
using k27emu::FieldTest;
using ::testing::NanSensitiveDoubleNear;

uint32_t transfer(uint32_t (*start)(uint32_t*), uint32_t (*step)(uint32_t*)) {
    uint32_t remaining = 0;
    uint32_t r = start(&remaining);
    while (r == KVTLNK_OK && remaining > 0)
        r = step(&remaining);
    return r;
}

// A setup made with the STA calls (and the fields no call sets: the setup code, the log's
// request, the attached pressure module), saved with STAsave; the index it got.
int32_t saved(std::function<std::vector<uint32_t>(SetupState&)> shape) {
    STAinit();
    for (uint32_t result : shape(library().setup))
        EXPECT_EQ(result, KVTLNK_OK);
    int32_t index = -1;
    EXPECT_EQ(STAsave(&index), KVTLNK_OK);
    return index;
}

TEST(ResultsE2e, EveryResultDecodesToWhatTheCalibratorRecorded) {
    MEMclear();
    const int32_t loop = saved([](SetupState&) {  // 4-20 mA against 1-5 V, form 5
        return std::vector<uint32_t>{STAsetInput("current", ""), STAsetInputScale(0.004f, 0.02f),
                                     STAsetOutput("dcv", "", 1, 0), STAsetOutputScale(1, 5)};
    });
    const int32_t tc = saved([](SetupState& s) {  // tc_k over 0-400 C, 0-1 V, form 3
        s.setupCode = 1, s.minMax.on = 0;
        return std::vector<uint32_t>{STAsetInput("tc", "tc_k"), STAsetTref("user", 21.5f),
                                     STAsetInputScale(0, 400), STAsetOutput("dcv", "", 0.5f, 0),
                                     STAsetOutputScale(0, 1)};
    });
    const int32_t pressure = saved([](SetupState& s) {  // 0-100 psi module, form 2
        s.setupCode = 3, s.module.high = 100, s.module.low = 0, s.module.present = 1;
        return std::vector<uint32_t>{STAsetInput("pressure", ""), STAsetInputScale(0, 100),
                                     STAsetOutput("current", "", 0.012f, 0),
                                     STAsetOutputScale(0.004f, 0.02f)};
    });
    const int32_t logged = saved([](SetupState& s) {  // 0-10 V logged, form 4
        s.setupCode = 2, s.log.requested = 50, s.log.interval = 2;
        return std::vector<uint32_t>{STAsetInput("dcv", ""), STAsetInputRange(0, 10),
                                     STAsetInputScale(0, 10), STAsetOutput("dcv", "", 1, 0),
                                     STAsetOutputScale(1, 2)};
    });
    const int32_t rtd = saved([](SetupState&) {  // Pt100 sourced 0-200 C, nothing measured
        return std::vector<uint32_t>{STAsetOutput("2w_rtd", "rtd_pt100_385", 100, 0),
                                     STAsetInputScale(0, 1), STAsetOutputScale(0, 200)};
    });
    MEMstartTask("loops");
    MEMtemplate(0, 0, "FT-1", "flow", static_cast<uint32_t>(loop));
    MEMtemplate(6, 0, "TT-2", "oven", static_cast<uint32_t>(tc));
    MEMendTask();
    MEMstartTask("field");
    MEMtemplate(8, 1, "PT-3", "as left", static_cast<uint32_t>(pressure));
    MEMtemplate(3, 0, "LG-4", "", static_cast<uint32_t>(logged));
    MEMtemplate(2, 0, "TT-5", "", static_cast<uint32_t>(rtd));
    MEMtemplate(40, 0, "no strategy", "", static_cast<uint32_t>(loop));  // skipped in the field
    MEMendTask();

    k27emu::CalibratorOptions options;
    options.clock = kvttools::DateStamp{0, 30, 12, 1, 15, 3, 7};  // 15 March 1999, 12:30
    k27emu::Calibrator emu(options);
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(KVTopen(9600, emu.portPath().c_str(), 500, 5), KVTLNK_OK);
    ASSERT_EQ(transfer(KVTdnlStart, KVTdnlStep), KVTLNK_OK);
    const k27emu::RunSummary run = emu.runProcedures();
    ASSERT_EQ(std::make_pair(run.templatesRun, run.templatesSkipped), std::make_pair(5, 1));
    ASSERT_EQ(transfer(KVTuplStart, KVTuplStep), KVTLNK_OK);
    KVTclose();

    // Form 5 setups are named in place, others copied (code 6), a logging one (3) leaves its log.
    const uint32_t codes[] = {1, 0, 6, 1, 0, 6, 1, 0, 3, 6, 1, 0, 1, 0};
    uint32_t items = 0, resultItems = 0, code = 0, year = 0, month = 0, d = 0, h = 0, m = 0,
             sec = 0;
    MEMstats(&items, &resultItems);
    ASSERT_EQ(resultItems, std::size(codes));
    for (uint32_t i = 0; i <= resultItems; ++i) {
        const uint32_t want = i < resultItems ? codes[i] : code;  // none past the end: untouched
        EXPECT_EQ(MEMrDir(int32_t(i), &code, &year, &month, &d, &h, &m, &sec),
                  i < resultItems ? KVTLNK_OK : KVTLNK_E_RECORD);
        EXPECT_EQ(std::make_tuple(code, year, month, d, h, m, sec),
                  std::make_tuple(want, 1999u, 3u, 15u, 12u, 30u, 0u))
            << i;
    }
    char tag[3][33] = {"x", "x", "x"};
    EXPECT_EQ(MEMtagidInfo(resultItems - 1, tag[0], tag[1], tag[2]), KVTLNK_E_NO_TAG);  // the last
    EXPECT_EQ(std::string(tag[0]) + tag[1] + tag[2], "");

    // Results that name their template's setup (form 5) find its task: "loops" at 14, "field"
    // at 18; the others name a copy in the results memory.
    const uint32_t tasks[] = {14, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 18};
    for (size_t k = 0; k < run.tests.size(); ++k) {
        const FieldTest& t = run.tests[k];
        SCOPED_TRACE(t.tag);
        uint32_t n = 0, task = 0, strategy = 0, flag = 0;
        ASSERT_EQ(MEMcalResult(t.resultIndex, &n), KVTLNK_OK);
        ASSERT_EQ(n, t.points.size());
        EXPECT_EQ(MEMasflInfo(t.resultIndex, &task, &strategy, &flag), KVTLNK_OK);
        EXPECT_EQ(std::make_tuple(task, strategy, flag),
                  std::make_tuple(tasks[k], uint32_t(t.strategyIndex), t.flagged ? 1u : 0u));
        EXPECT_EQ(MEMtagidInfo(uint32_t(t.resultIndex), tag[0], tag[1], tag[2]), KVTLNK_OK);
        EXPECT_EQ(std::string(tag[0]) + "|" + tag[1] + "|" + tag[2],
                  t.tag + "|" + t.text1 + "|" + t.text2);
        library().setup.setupCode = 77;  // entries decode on an object of their own
        for (int32_t i = -1; i <= int32_t(n); ++i) {
            float v[5] = {};  // measured, its range limit, sourced, its range limit, third value
            uint32_t inFlag = 0, outFlag = 0;
            const bool entry = i >= 0 && i < int32_t(n);
            ASSERT_EQ(MEMcalResultEntry(t.resultIndex, i, &v[0], &inFlag, &v[1], &v[2], &outFlag,
                                        &v[3], &v[4]),
                      entry ? KVTLNK_OK : KVTLNK_E_RECORD);
            if (!entry) continue;
            const FieldPoint& p = t.points[size_t(i)];
            const double want[] = {t.flagged ? p.asLeft : p.measured, p.inLimit, p.source,
                                   p.outLimit, p.errorPercent};
            const double tolerance[] = {1e-6, 1e-4, 1e-6, 1e-4, 1e-5};
            for (int k = 0; k < 5; ++k) {
                const double margin = std::isnan(want[k]) ? 0 : tolerance[k] * std::fabs(want[k]);
                EXPECT_THAT(double{v[k]}, NanSensitiveDoubleNear(want[k], margin + 1e-9))
                    << "point " << i << " value " << k;
            }
            EXPECT_EQ(std::make_pair(inFlag, outFlag),
                      std::make_pair(t.flagged || p.measuredPresent ? 1u : 0u,
                                     p.sourcePresent ? 1u : 0u));
        }
        EXPECT_EQ(library().setup.setupCode, 77u);
        EXPECT_EQ(MEMbaseState(t.resultIndex + 1), KVTLNK_E_RECORD);  // its tag
        EXPECT_EQ(MEMbaseState(t.resultIndex), KVTLNK_OK);
        EXPECT_EQ(MEMtemplateState(t.templateIndex), KVTLNK_OK);
        if (t.logIndex < 0) continue;

        // The log, infinity for a reading beyond the range.
        ASSERT_EQ(STArestore(t.logIndex), KVTLNK_OK);
        uint32_t count = 0, valid = 0;
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
        EXPECT_EQ(std::make_pair(low, high),
                  std::make_pair(*std::min_element(finite.begin(), finite.end()),
                                 *std::max_element(finite.begin(), finite.end())));
    }
    MEMclear();
    STAinit();
}

}  // namespace
}  // namespace kvtlnk
