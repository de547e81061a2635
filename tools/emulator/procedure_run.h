#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "emu_memory.h"

namespace k27emu {

// One test point as the instrument took it, in base units (volts, amps, ohms, hertz; degrees
// and pressures in the side's units).
struct FieldPoint {
    double measured = 0;                                             // the reading
    double asLeft = 0;                                               // the reading after adjustment
    double source = 0;                                               // the value sourced
    double errorPercent = std::numeric_limits<double>::quiet_NaN();  // none without a reading
    double inLimit = 0;  // upper limits of the ranges the values were taken in; 0 for none
    double outLimit = 0;
    bool measuredPresent = false;
    bool sourcePresent = false;
};

// One template performed.
struct FieldTest {
    int32_t templateIndex = -1;  // in the procedure memory
    int32_t resultIndex = -1;    // of its calibration result in the results memory
    int32_t setupRef = 0;        // the setup the result names (below 0: in the results memory)
    int32_t strategyIndex = 0;
    bool flagged = false;
    std::string tag, text1, text2;
    double driftPercent = 0;  // added to every error of the test: drift per day x days in service
    std::vector<FieldPoint> points;
    int32_t logIndex = -1;   // results index of the logged setup of a form-4 test, or -1
    std::vector<float> log;  // its samples, oldest first; infinity for no reading
};

struct RunSummary {
    int templatesRun = 0;      // templates performed
    int templatesSkipped = 0;  // templates whose strategy or setup is missing or unreadable,
                               // or that found the results memory full
    std::vector<FieldTest> tests;
};

// Performs every TEMPLATE of the procedure memory as a technician would in the field, in
// memory order, and appends to the results memory what the calibrator stores for each (see
// the README's "Field runs"). The readings follow from the setup's scales and ranges with
// small errors drawn from the seed, so the same memories and seed always give the same
// results. New items carry the given stamp. Each instrument tested (named by the test's first
// text) drifts at its own rate a day, drawn from the seed and its name; daysInService says how
// long it has drifted.
RunSummary runProcedures(const CalibratorMemory& procedure, CalibratorMemory& results,
                         uint32_t seed, const DateStamp& stamp, double daysInService = 0);

// The drift of the instrument named so, in percent of its input span a day: within
// +-kMaxDriftPerDay, the same for the same seed and name.
constexpr double kMaxDriftPerDay = 0.005;
double driftPerDay(uint32_t seed, const std::string& name);

}  // namespace k27emu
