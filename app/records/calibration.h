// The lab's records around results: the calibrator and upload they came from, the calibration
// events of instruments (one instrument's results of one upload: as found, and as left when
// the calibrator recorded an adjusted result), what a certificate states besides the results,
// and each instrument with its last event and due date. The archive stores and gives back these;
// the JSON and CSV views here are what the history and due listings show.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "records/result.h"

namespace kvtapp {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr int kDefaultIntervalDays = 365;

// What identifies a calibrator: as KVTgetK2x reports it, with the capacity of each of its
// memories and the items they held.
struct Calibrator {
    std::string model, firmware, serialNumber;
    uint32_t memoryCapacity = 0, procedureItems = 0, resultItems = 0;
};

// The calibrator's identity as JSON: identify --json, an image's calibrator.
nlohmann::ordered_json toJson(const Calibrator& calibrator);

// One upload from a calibrator, or one image file read.
struct Upload {
    int64_t id = 0;  // given by the archive
    Calibrator calibrator;
    std::string uploaded;  // "2024-05-02 14:10:00"
    std::string host, user, technician;
    std::string source;  // the port or the file it came from
    std::vector<Result> results;
};

// What an event's certificate states besides its results: the ambient conditions and the
// remarks, stored with the event.
struct Conditions {
    double temperature = kNone;  // ambient, in °C
    double humidity = kNone;     // relative, in %
    std::string remarks;         // lines separated by "\n"; empty for none
};

// The certificate of an event: its number, given once and never again, and its day of issue.
struct Certificate {
    int64_t number = 0;
    std::string issued;  // "2025-01-10"
    Conditions conditions;
};

// The results of one instrument in one upload: as found, and as left when the calibrator
// recorded an adjusted result. A side's verdict combines its results' ("fail" over "pass" over
// "not judged"); nothing for a side without results.
struct Event {
    int64_t id = 0;
    std::string instrument;
    std::string date;  // the last result's stamp
    Upload upload;     // without its results
    std::optional<Verdict> asFound, asLeft;
    double asFoundError = kNone, asLeftError = kNone;  // the largest of each side, signed
    Conditions conditions;
    int64_t certificate = 0;      // its certificate's number, 0 before one is made
    std::vector<Result> results;  // oldest first; without their records
};

// The verdicts and largest errors of the results, by side, as an event holds them.
void judgeSides(Event& event);

// An instrument with its last event and when it is due.
struct Instrument {
    std::string tag;
    int64_t events = 0;
    int64_t lastEvent = 0;
    std::string lastDate;
    Verdict lastVerdict = Verdict::None;  // as left when there is one, else as found
    std::string calibratorSerial;
    int intervalDays = kDefaultIntervalDays;
    bool intervalSet = false;      // set for this instrument in the archive
    bool intervalFromLab = false;  // else the lab file's for its tag; else the default
    std::string due;               // "2025-05-02"
    int64_t daysLeft = 0;          // negative when overdue
};

// A result that does not decode, as the archive keeps it.
struct Undecodable {
    int64_t id = 0;
    std::string calibratorSerial, taken, tag;
    uint32_t resultCode = 0;
    std::string problem;
};

// An instrument's events as history --json gives them; each result with the errors at its
// points and what was decoded.
nlohmann::ordered_json historyJson(const std::vector<Event>& events);
// One row per test point of every result of the events, after a header row.
std::string historyCsv(const std::vector<Event>& events);
nlohmann::ordered_json instrumentJson(const Instrument& instrument);
// Where an instrument's interval comes from: "archive", "lab file" or "default".
const char* intervalSource(const Instrument& instrument);
nlohmann::ordered_json undecodableJson(const Undecodable& result);

// A number for JSON: null for NaN and the infinities.
nlohmann::ordered_json numberJson(double value);

}  // namespace kvtapp
