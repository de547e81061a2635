// A calibration result: the test points the calibrator recorded for one test, the setup it ran
// with, the error of each point against the setup's scales and its verdict against the
// setup's tolerance, and the records of the calibrator's memory it rests on. The one model of
// a result: decoded from the library, stored in the archive, and shown as JSON, CSV, a table
// or a page, each a view of it.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "records/setup.h"

namespace kvtapp {

enum class Verdict { None, Pass, Fail };  // None: no tolerance, or no reading to judge
const char* verdictName(Verdict v);       // "pass", "fail", "not judged"
Verdict verdictNamed(const std::string& name);

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// One test point: the values of MEMcalResultEntry in base units (the reading is the reading
// after adjustment when the result is flagged), and what follows from the setup.
struct Point {
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
    // Where a decision rule judged the point: the expanded uncertainty (k = 2) of its error in
    // the reading's base units, and the test uncertainty ratio; NaN where not known.
    double uncertainty = kNoValue;
    double tur = kNoValue;
};

// A record of the calibrator's memory as it came, and the part it plays for a result: the
// result itself, its tag, the setup it names and the log before it, its strategy, and the test
// (template) that made it with that test's setup and task.
struct RestingRecord {
    std::string role;    // "result", "tag", "setup", "log", "strategy", "template",
                         // "template setup", "task"
    std::string memory;  // "procedure" or "results"
    int32_t index = 0;   // its place in that memory
    uint16_t kind = 0;
    uint16_t version = 0;
    std::string stamp;  // "2024-05-02 14:10:00"
    std::vector<uint8_t> data;
};

struct Result {
    int64_t id = 0;                 // the archive's number for it; 0 for a result not stored
    int32_t index = 0;              // of the result in the results memory
    std::string taken;              // its stamp, "2024-05-02 14:10:00"
    std::string tag, text1, text2;  // the tag texts; text1 names the instrument
    int64_t taskIndex = -1;         // -1: no task found
    std::string task;
    int32_t strategyIndex = 0;
    std::string strategy;
    bool flagged = false;  // recorded after adjustment: as left
    Setup setup;
    std::vector<Point> points;
    std::string problem;      // why the result does not decode; empty when it does
    uint32_t resultCode = 0;  // the library's code for that
    Verdict verdict = Verdict::None;
    // The records it rests on, each as it came; empty where they were not asked for.
    std::vector<RestingRecord> records;
    // As the archive keeps it: the upload it came in, why its stamp is not believed (empty
    // when it is), and its place in its calibration ("as found", "second as found", "as left").
    int64_t upload = 0;
    std::string stampProblem;
    std::string label;
};

Verdict overallVerdict(const std::vector<Result>& results);

// "as found", or "as left" for a result the calibrator recorded after adjustment (flagged).
const char* sideName(const Result& result);
// The instrument a result is of: its first tag text, else its tag.
const std::string& instrumentName(const Result& result);
// The setup's tolerance in % of span; NaN without one.
double toleranceOf(const Result& result);
// The error of largest magnitude, signed, in % of span; NaN when no point has one.
double largestError(const Result& result);

// A test point as a technician reads it: sourced values in the output scale's unit, readings
// and their error in the input scale's unit at the display's resolution, errors in % of span.
struct PointText {
    std::string nominal, source, expected, reading, error, errorPercent, recorded;
};
PointText pointText(const Result& result, const Point& point);

// The JSON view: every value in base units, as results --json gives it and the archive keeps
// it; and the result it was made of, read back (what is missing or of another type stays as a
// new Result has it).
nlohmann::ordered_json toJson(const Result& result);
nlohmann::ordered_json toJson(const std::vector<Result>& results);
Result resultFromJson(const nlohmann::ordered_json& value);

// The CSV view: one row per test point after a header row (a result without points has a row
// of its own, so that its tags are not lost), numbers with a decimal point whatever the locale.
std::string resultsCsv(const std::vector<Result>& results);

}  // namespace kvtapp
