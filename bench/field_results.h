// Calibration results as a field run leaves them, made up for the archive's benchmarks and the
// bench page's load script: nine points each, with the records a result rests on.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "base/time.h"

namespace kvtarchive {

using kvtapp::dateOfDay;

// A result as the tool stores one from a field run: nine points, its setup, its own record and
// the shared setup and strategy records.
inline Result fieldResult(const std::string& tag, int64_t day, int n) {
    Result r;
    r.taken =
        dateOfDay(day) + " 09:" + std::to_string(10 + n % 50) + ":" + std::to_string(10 + n % 40);
    r.index = 2 * n;
    r.tag = "TAG-" + std::to_string(n);
    r.text1 = tag;
    r.text2 = "0-10 bar";
    r.task = "field";
    r.strategy = "5 up down";
    r.verdict = kvtapp::Verdict::Pass;
    r.setup.input = {"current", "", "A", {0.004f, 0.02f}, "  4.0000mA", ""};
    r.setup.output = {"pressure", "", "bar", {0, 10}, "  0.0000bar", ""};
    r.setup.rangeHigh = 0.0331f;
    r.setup.loopPower = "24v";
    r.setup.tolerance = 0.25f;
    for (int i = 0; i < 9; ++i) {
        kvtapp::Point p;
        p.index = i;
        p.fraction = i <= 4 ? i * 0.25f : (8 - i) * 0.25f;
        p.down = i > 4;
        p.nominalSource = 10 * p.fraction;
        p.source = static_cast<float>(p.nominalSource);
        p.sourceLimit = 759.1f;
        p.expected = 0.004 + 0.016 * p.fraction;
        p.error = 0.01 * ((n * 7 + i * 3) % 11 - 5);
        p.reading = static_cast<float>(p.expected + p.error * 0.016 / 100);
        p.readingLimit = 0.0331f;
        p.recordedError = static_cast<float>(p.error);
        p.resolution = 1e-6;
        p.verdict = kvtapp::Verdict::Pass;
        r.points.push_back(p);
    }
    std::vector<uint8_t> bytes(210, 0);
    for (size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>((n * 131 + day) >> (i * 4));
    r.records = {
        {"result", "results", r.index, 7, 0, r.taken, bytes},
        {"tag", "results", r.index + 1, 15, 0, r.taken, std::vector<uint8_t>(24, 'T')},
        {"setup", "procedure", 12, 5, 1, "2024-01-02 08:00:00", std::vector<uint8_t>(160, 5)},
        {"strategy", "procedure", 5, 14, 0, "2024-01-02 08:00:00", std::vector<uint8_t>(24, 1)}};
    return r;
}

inline Upload uploadOf(std::vector<Result> results, int serial) {
    Upload u;
    u.calibrator.model = "ORVAN K27";
    u.calibrator.firmware = "V1.2.0";
    u.calibrator.serialNumber = "SN" + std::to_string(serial);
    u.source = "bench";
    u.results = std::move(results);
    // Uploaded after its last result, as a calibrator with a good clock is.
    u.uploaded = "2024-06-20 10:00:00";
    for (const Result& r : u.results)
        u.uploaded = std::max(u.uploaded, r.taken);
    return u;
}

}  // namespace kvtarchive
