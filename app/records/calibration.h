// The lab's records around results: the calibrator and upload they came from, the instruments
// with what identifies them, and their calibrations (one instrument, one visit: its results as
// found and as left, which may have come in one upload or several), each with when it took
// place and whether its stamps can be believed, and the certificates issued for it. The archive
// stores and gives back these; the JSON and CSV views here are what the history and due
// listings show.
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
    std::string uploaded;  // "2024-05-02 14:10:00", the host's clock
    std::string host, user, technician;
    std::string source;  // the port or the file it came from
    std::vector<Result> results;
};

// What identifies an instrument beside its tag, each part empty while it is not known; and
// when it was set and where from.
struct InstrumentIdentity {
    std::string make, model, serialNumber, range, customer;
    std::string set;     // "2025-01-10T08:00:00Z"; empty when never set
    std::string source;  // "lab file", or the user who set it with the tool
};
// Whether two identities name the same parts (when and where from aside).
bool sameParts(const InstrumentIdentity& a, const InstrumentIdentity& b);
nlohmann::ordered_json toJson(const InstrumentIdentity& identity);

// A person's word on when a calibration took place, given where its stamps are not believed.
struct DateConfirmation {
    std::string date;  // "2025-01-10"
    std::string by;    // who confirmed it
    std::string at;    // when, "2025-01-11T08:00:00Z"
};

// What a certificate states besides its results: the ambient conditions and the remarks.
struct Conditions {
    double temperature = kNone;  // ambient, in °C
    double humidity = kNone;     // relative, in %
    std::string remarks;         // lines separated by "\n"; empty for none
};

// One instrument, one visit: its results as found (recorded before an adjustment) and as left
// (recorded after one), oldest first, each labelled ("as found", or "first as found", "second
// as found" when there are several). A side's verdict combines its results' ("fail" over
// "pass" over "not judged"); nothing for a side without results.
struct Calibration {
    int64_t id = 0;
    std::string instrument;  // the tag, or untaggedName() of its results
    bool untagged = false;
    std::string date;  // the last result's stamp, as the calibrator sent it
    // A result's stamp is after its upload, or well before the calibrator's previous upload;
    // a result's stamp names no day of the calendar.
    bool clockSuspect = false, dateImpossible = false;
    std::optional<DateConfirmation> confirmed;
    std::vector<Upload> uploads;  // its results came in, without their results; oldest first
    std::optional<Verdict> asFound, asLeft;
    double asFoundError = kNone, asLeftError = kNone;  // the largest of each side, signed
    int64_t certificate = 0;      // the number of its certificate in force; 0 before one is issued
    std::vector<Result> results;  // oldest first; without their records
};

// Whether every stamp of the calibration is believed.
bool believed(const Calibration& calibration);
// The day the calibration counts as done: the date a person confirmed, else its last stamp's
// day when its stamps are believed; nothing otherwise (due dates leave it out).
std::optional<int64_t> calibrationDay(const Calibration& calibration);
// What a listing says of its date: "calibrator clock suspect", "date impossible", either with
// "; confirmed 2025-01-10 by NAME"; empty when its stamps are believed.
std::string dateNote(const Calibration& calibration);

// The verdicts and largest errors of the results, by side, as a calibration holds them; and
// each result's label. addToSide adds one result's verdict and largest error to its side.
void judgeSides(Calibration& calibration);
void addToSide(Calibration& calibration, bool asLeft, Verdict verdict, double largestError);
void labelResults(Calibration& calibration);

// An instrument with its last calibration and when it is due.
struct Instrument {
    std::string tag;
    bool untagged = false;
    InstrumentIdentity identity;
    int64_t calibrations = 0;
    int64_t lastCalibration = 0;          // the last one with a day; 0 when none has one
    std::string lastDate;                 // its last stamp
    std::string lastDay;                  // the day it counts as done, "2025-01-10"
    Verdict lastVerdict = Verdict::None;  // as left when there is one, else as found
    Verdict lastAsFound = Verdict::None;  // as found, before any adjustment
    std::string calibratorSerial;
    int64_t undated = 0;  // calibrations without a day: stamps not believed, not confirmed
    int intervalDays = kDefaultIntervalDays;
    bool intervalSet = false;      // set for this instrument in the archive
    bool intervalFromLab = false;  // else the lab file's for its tag; else the default
    std::string due;               // "2025-05-02"; empty without a calibration that has a day
    int64_t daysLeft = 0;          // negative when overdue
};

// A result that does not decode, as the archive keeps it.
struct Undecodable {
    int64_t id = 0;
    std::string calibratorSerial, taken, tag;
    uint32_t resultCode = 0;
    std::string problem;
};

// A certificate as issued: its number and calibration, when and by whom it was issued, the
// certificate it replaces and why, the conditions it states, what it states in full (the JSON
// of its content) and the document itself with its SHA-256. A certificate issued before
// documents were kept has its conditions alone.
struct IssuedCertificate {
    int64_t number = 0;
    int64_t calibration = 0;
    std::string issued;    // the day of issue, "2025-01-10"
    std::string issuedAt;  // "2025-01-10T08:00:00Z"; empty when not known
    std::string issuedBy;
    int64_t replaces = 0;  // 0 for none
    std::string reason;    // why it replaces that one
    int64_t replacedBy = 0;
    Conditions conditions;
    std::string content;   // JSON
    std::string document;  // HTML
    std::string sha256;    // of the document, 64 hex digits
};

// A calibration's history as history --json gives it; each result with its label, the errors
// at its points and what was decoded.
nlohmann::ordered_json historyJson(const std::vector<Calibration>& calibrations);
// One row per test point of every result of the calibrations, after a header row.
std::string historyCsv(const std::vector<Calibration>& calibrations);
nlohmann::ordered_json instrumentJson(const Instrument& instrument);
// Where an instrument's interval comes from: "archive", "lab file" or "default".
const char* intervalSource(const Instrument& instrument);
nlohmann::ordered_json undecodableJson(const Undecodable& result);

// A number for JSON: null for NaN and the infinities.
nlohmann::ordered_json numberJson(double value);

}  // namespace kvtapp
