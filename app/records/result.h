// The calibration results of the library's results memory, read through the MEM results calls
// and, for the setup each ran with, MEMbaseState and the STA getters; with the error of each
// test point against the setup's scales and its verdict against the setup's tolerance.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "setup.h"

namespace kvtcli {

enum class Verdict { None, Pass, Fail };  // None: no tolerance, or no reading to judge
const char* verdictName(Verdict v);       // "pass", "fail", "not judged"

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// One test point: the values of MEMcalResultEntry in base units (the reading is the reading
// after adjustment when the result is flagged), and what follows from the setup.
struct PointView {
    int32_t index = 0;
    float fraction = 0;                          // the strategy's point, a fraction of the span
    bool down = false;                           // on the way down the span
    float reading = kNoValue, readingLimit = 0;  // NaN when the entry holds none
    float source = kNoValue, sourceLimit = 0;
    float recordedError = kNoValue;  // the entry's third value
    double nominalSource = 0;        // the point through the output scale
    double expected = 0;             // the point through the input scale: the ideal reading
    double error = kNoValue;         // (reading - expected) / input span, in %
    double resolution = kNoValue;    // the display's step for the reading; NaN when unknown
    // The source or the reading lies beyond the limit of its range: the calibrator could not
    // have sourced or measured it, so the point fails whatever its error.
    bool beyondRange = false;
    Verdict verdict = Verdict::None;
};

struct ResultView {
    int32_t index = 0;  // of the result in the results memory
    std::string taken;  // its stamp, "2024-05-02 14:10:00"
    std::string tag, text1, text2;
    int64_t taskIndex = -1;  // -1: no task found
    std::string task;
    int32_t strategyIndex = 0;
    std::string strategy;
    bool flagged = false;
    SetupView setup;
    std::vector<PointView> points;
    std::string problem;      // why the result does not decode; empty when it does
    uint32_t resultCode = 0;  // the library's code for that
    Verdict verdict = Verdict::None;
};

// Every calibration result of the library's results memory, in memory order.
std::vector<ResultView> readResults();

Verdict overallVerdict(const std::vector<ResultView>& results);

// "as found", or "as left" for a result the calibrator recorded after adjustment (flagged).
const char* sideName(const ResultView& result);

// A test point as a technician reads it: sourced values in the output scale's unit, readings
// and their error in the input scale's unit at the display's resolution, errors in % of span.
struct PointText {
    std::string nominal, source, expected, reading, error, errorPercent, recorded;
};
PointText pointText(const ResultView& result, const PointView& point);

// The ways of printing results: text tables, JSON, and CSV for a spreadsheet (one row per test
// point after a header row, numbers with a decimal point whatever the locale).
void printResults(std::ostream& out, const std::vector<ResultView>& results);
nlohmann::ordered_json toJson(const std::vector<ResultView>& results);
// A result as toJson wrote it (the archive keeps that text); what is missing or of another type
// stays as a new ResultView has it.
ResultView resultFromJson(const nlohmann::ordered_json& value);
std::string resultsCsv(const std::vector<ResultView>& results);

}  // namespace kvtcli
