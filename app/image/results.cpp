// Reading what the library decodes of results and setups: the MEM results calls and the STA
// getters; and which records a result rests on.
#include <fmt/format.h>

#include <cmath>

#include "base/charset.h"
#include "base/error.h"
#include "base/time.h"
#include "base/units.h"
#include "image/image.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_ext.h"
#include "kvtlnk/kvtlnk_messages.h"

namespace kvtapp {
namespace {

constexpr uint32_t kCalResultCodes[] = {1, 2};   // directory codes of calibration results
constexpr uint32_t kLastTaskIndex = 0x7FFFFFFE;  // above: no task

std::string failure(uint32_t rc, const char* what) {
    return libraryError(rc, what).what();
}

// The tag record stands on its own, so a result that does not decode is still named.
void readTag(Result& v) {
    char tag[3][33] = {"", "", ""};
    if (MEMtagidInfo(static_cast<uint32_t>(v.index), tag[0], tag[1], tag[2]) == KVTLNK_OK) {
        v.tag = toUtf8(tag[0]);
        v.text1 = toUtf8(tag[1]);
        v.text2 = toUtf8(tag[2]);
    }
}

void readNames(Result& v, uint32_t task, uint32_t strategy, std::vector<float>& fractions) {
    char name[33] = "";
    uint32_t word = 0;
    if (task <= kLastTaskIndex &&
        MEMtaskInfo(static_cast<int32_t>(task), name, &word) == KVTLNK_OK) {
        v.taskIndex = task;
        v.task = toUtf8(name);
    }
    int32_t count = 0;
    v.strategyIndex = static_cast<int32_t>(strategy);
    MEMstrategyInfo(v.strategyIndex, name, &count, static_cast<int32_t>(fractions.size()),
                    fractions.data());
    v.strategy = toUtf8(name);
}

// Up or down the span: by the step from the point before (the first point by the step to the
// next); a repeated point goes on the way the one before it went.
void markDirections(std::vector<Point>& points) {
    for (size_t i = 0; i < points.size(); ++i) {
        const float f = points[i].fraction;
        if (i == 0) {
            points[i].down = points.size() > 1 && points[1].fraction < f;
        } else {
            const float before = points[i - 1].fraction;
            points[i].down = f == before ? points[i - 1].down : f < before;
        }
    }
}

// The error of each point against the ideal reading through the setup's scales, and the
// verdicts against its tolerance.
void judge(Result& v) {
    // The scales and tolerance as the decimals the procedure gave.
    const double in[] = {decimal(v.setup.input.scale[0]), decimal(v.setup.input.scale[1])};
    const double out[] = {decimal(v.setup.output.scale[0]), decimal(v.setup.output.scale[1])};
    const double inSpan = in[1] - in[0];
    const double tolerance = decimal(v.setup.tolerance);
    bool passed = false;
    const auto beyond = [](float value, float limit) {
        return limit > 0 && std::fabs(value) > limit;
    };
    for (Point& p : v.points) {
        p.nominalSource = out[0] + decimal(p.fraction) * (out[1] - out[0]);
        p.expected = in[0] + decimal(p.fraction) * inSpan;
        p.beyondRange = beyond(p.source, p.sourceLimit) || beyond(p.reading, p.readingLimit);
        if (p.beyondRange) p.verdict = v.verdict = Verdict::Fail;
        if (std::isnan(p.reading) || inSpan == 0) continue;
        p.error = (p.reading - p.expected) / inSpan * 100.0;
        if (!(tolerance > 0) || p.beyondRange) continue;
        p.verdict = std::fabs(p.error) <= tolerance ? Verdict::Pass : Verdict::Fail;
        if (p.verdict == Verdict::Fail) v.verdict = Verdict::Fail;
        passed = passed || p.verdict == Verdict::Pass;
    }
    if (v.verdict != Verdict::Fail && passed) v.verdict = Verdict::Pass;
}

// The display's step for readings of a temperature or a pressure: that of the same quantity on
// the source side, whose ranges are the same, as the library shows it on the result's setup
// (which this changes); NaN when the library cannot show it.
double sourceSideStep(const Setup& s) {
    const Side& in = s.input;
    const UnitFamily family = unitFamily(in.function);
    uint32_t rc = KVTLNK_E_ARGUMENT;
    if (family == UnitFamily::Temperature) {
        const char* function = in.function == "tc" ? "tc" : "2w_rtd";
        for (float value : {in.scale[0], in.scale[1]}) {
            rc = STAsetOutput(function, in.sensor.c_str(), value, 0);
            if (rc < KVTLNK_E_STATUS_15000) break;
        }
    } else if (family == UnitFamily::Pressure) {
        rc = STAsetOutput("pressure", "", 0, 0);
        if (rc < KVTLNK_E_STATUS_15000) rc = STAsetPresUnits(s.pressureUnits.c_str());
    }
    if (rc >= KVTLNK_E_STATUS_15000) return kNoValue;
    char primary[KVTLNK_DISPLAY_STRING_SIZE] = "";
    char secondary[KVTLNK_DISPLAY_STRING_SIZE] = "";
    STAgetOutputString(primary, secondary);
    return displayStep(primary);
}

// Each reading's step on the display: by its range for an electrical function, else that of
// the source side.
void markResolutions(Result& v) {
    const bool electrical = unitFamily(v.setup.input.function) == UnitFamily::Electrical;
    const double sourceStep = electrical ? kNoValue : sourceSideStep(v.setup);
    for (Point& p : v.points)
        p.resolution =
            electrical ? inputRangeStep(v.setup.input.function, p.readingLimit) : sourceStep;
}

Result readResult(int32_t index, const std::string& taken) {
    Result v;
    v.index = index;
    v.taken = taken;
    uint32_t count = 0;
    uint32_t task = 0;
    uint32_t strategy = 0;
    uint32_t flag = 0;
    readTag(v);
    uint32_t rc = MEMcalResult(index, &count);
    if (rc == KVTLNK_OK) rc = MEMasflInfo(index, &task, &strategy, &flag);
    if (rc != KVTLNK_OK) {
        v.problem = failure(rc, "MEMcalResult");
        v.resultCode = rc;
        return v;
    }
    v.flagged = flag != 0;
    std::vector<float> fractions(count);
    readNames(v, task, strategy, fractions);
    if ((rc = MEMbaseState(index)) != KVTLNK_OK) {
        v.problem = failure(rc, "MEMbaseState");
        v.resultCode = rc;
        return v;
    }
    v.setup = readSetup();
    for (uint32_t e = 0; e < count; ++e) {
        Point p;
        p.index = static_cast<int32_t>(e);
        p.fraction = fractions[e];
        uint32_t inFlag = 0;
        uint32_t outFlag = 0;
        rc = MEMcalResultEntry(index, p.index, &p.reading, &inFlag, &p.readingLimit, &p.source,
                               &outFlag, &p.sourceLimit, &p.recordedError);
        if (rc != KVTLNK_OK) {
            v.problem = failure(rc, "MEMcalResultEntry");
            v.resultCode = rc;
            break;
        }
        if (inFlag == 0) p.reading = kNoValue;
        if (outFlag == 0) p.source = kNoValue;
        v.points.push_back(p);
    }
    markDirections(v.points);
    judge(v);
    markResolutions(v);
    return v;
}

// A setup of the logging form, which a result's setup in the results memory may follow.
constexpr uint16_t kLoggingSetup = 4;

}  // namespace

Setup readSetup() {
    Setup s;
    char function[KVTLNK_NAME_SIZE] = "";
    char sensor[KVTLNK_NAME_SIZE] = "";
    char primary[KVTLNK_DISPLAY_STRING_SIZE] = "";
    char secondary[KVTLNK_DISPLAY_STRING_SIZE] = "";
    char name[16] = "";
    s.temperatureUnits = STAgetTempUnits(name);
    s.pressureUnits = STAgetPresUnits(name);
    s.standard = STAgetTempStd(name);
    s.junctionMode = STAgetTref(name, &s.junctionTemperature);
    STAgetLoopPower(name);
    s.loopPower = name;

    STAgetInput(function, sensor, nullptr, nullptr, nullptr, nullptr);
    STAgetInputString(primary, secondary);
    s.input = {function, sensor, "", {0, 0}, toUtf8(primary), toUtf8(secondary)};
    STAgetInputScale(&s.input.scale[0], &s.input.scale[1]);
    uint32_t automatic = 0;
    STAgetInputRange(&automatic, &s.rangeHigh);
    s.automaticRange = automatic != 0;

    STAgetOutput(function, sensor, nullptr, nullptr, nullptr, nullptr);
    STAgetOutputString(primary, secondary);
    s.output = {function, sensor, "", {0, 0}, toUtf8(primary), toUtf8(secondary)};
    STAgetOutputScale(&s.output.scale[0], &s.output.scale[1]);
    STAgetTestTolerance(&s.tolerance);
    for (Side* side : {&s.input, &s.output})
        side->unit = unitSymbol(side->function, s.temperatureUnits, s.pressureUnits);
    char moduleText[KVTLNK_PRESSURE_TEXT_SIZE] = "";
    char moduleName[KVTLNK_PRESSURE_TEXT_SIZE] = "";
    uint32_t present = 0;
    STAgetPressure(moduleText, moduleName, &present);
    if (present && (s.input.function == "pressure" || s.output.function == "pressure"))
        s.pressureModule = {toUtf8(moduleName), toUtf8(moduleText)};
    return s;
}

std::vector<Result> readResults() {
    uint32_t procedureItems = 0;
    uint32_t resultItems = 0;
    MEMstats(&procedureItems, &resultItems);
    std::vector<Result> results;
    for (uint32_t i = 0; i < resultItems; ++i) {
        uint32_t code = 0;
        uint32_t t[6] = {};
        MEMrDir(static_cast<int32_t>(i), &code, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5]);
        for (uint32_t c : kCalResultCodes) {
            if (code != c) continue;
            results.push_back(
                readResult(static_cast<int32_t>(i), stampText(t[0], t[1], t[2], t[3], t[4], t[5])));
        }
    }
    return results;
}

std::vector<RestingRecord> restingRecords(const ImageDocument& image, const Result& r) {
    std::vector<RestingRecord> records;
    if (r.index < 0 || size_t(r.index) >= image.results.size()) return records;
    const auto keep = [&](const char* role, uint32_t memory, int32_t index) {
        const std::vector<ImageRecord>& in =
            memory == KVX_PROCEDURE ? image.procedure : image.results;
        if (index < 0 || size_t(index) >= in.size()) return;
        const ImageRecord& record = in[size_t(index)];
        records.push_back({role, memory == KVX_PROCEDURE ? "procedure" : "results", index,
                           record.kind, record.version, kvttools::formatStamp(record.stamp),
                           record.data});
    };
    struct Found {
        uint32_t memory = 0;
        int32_t index = -1;
    };
    const auto found = [&r](uint32_t role) {
        Found f;
        KVXresultRecord(r.index, role, &f.memory, &f.index);
        return f;
    };
    keep("result", KVX_RESULTS, r.index);
    const Found tag = found(KVX_ROLE_TAG), setup = found(KVX_ROLE_SETUP);
    keep("tag", tag.memory, tag.index);
    keep("setup", setup.memory, setup.index);
    // A setup the calibrator copied into the results memory may follow the log it kept.
    if (setup.memory == KVX_RESULTS && setup.index > 0 &&
        image.results[size_t(setup.index) - 1].kind == kLoggingSetup) {
        keep("log", KVX_RESULTS, setup.index - 1);
    }
    const Found strategy = found(KVX_ROLE_STRATEGY);
    keep("strategy", strategy.memory, strategy.index);
    const Found test = found(KVX_ROLE_TEMPLATE);
    if (test.index < 0) return records;  // no test: no test's setup or task either
    keep("template", test.memory, test.index);
    const Found testSetup = found(KVX_ROLE_TEMPLATE_SETUP);
    if (testSetup.memory != setup.memory || testSetup.index != setup.index)
        keep("template setup", testSetup.memory, testSetup.index);
    const Found task = found(KVX_ROLE_TASK);
    keep("task", task.memory, task.index);
    return records;
}

}  // namespace kvtapp
