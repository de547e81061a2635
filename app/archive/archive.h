// The records archive: every calibration result a calibrator gave, with the raw bytes of the
// records it rests on and what the library decoded from them, grouped into calibration events
// of instruments, with their history and due dates. One archive, two engines: an SQLite file,
// or a PostgreSQL database that the benches of a lab share. The archive stores what it is
// given; it knows nothing of the K27 library.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvtarchive {

class Database;

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr int kDefaultIntervalDays = 365;

class ArchiveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A transaction the server broke off to resolve a conflict with another; trying it again
// succeeds.
class RetryError : public ArchiveError {
  public:
    using ArchiveError::ArchiveError;
};

// A record of the calibrator's memory as it came: where it stood, its header and its bytes.
struct StoredRecord {
    std::string role;    // "result", "tag", "setup", "log", "template", "task", "strategy",
                         // "template setup"
    std::string memory;  // "procedure" or "results"
    int32_t index = 0;   // its place in that memory
    uint16_t kind = 0;
    uint16_t version = 0;
    std::string stamp;  // "2024-05-02 14:10:00"
    std::vector<uint8_t> data;
};

// One test point as decoded; NaN where there is no value.
struct Point {
    int32_t index = 0;
    double fraction = 0;  // of the span
    bool down = false;    // on the way down the span
    double nominalSource = kNone, source = kNone, sourceLimit = kNone;
    double expected = kNone, reading = kNone, readingLimit = kNone;
    double recordedError = kNone;  // the entry's own error value
    double error = kNone;          // (reading - expected) / input span, in %
    std::string verdict;           // "pass", "fail", "not judged"
};

// A calibration result: its key, what was decoded, and the records it rests on.
struct Result {
    int64_t id = 0;  // given by the archive
    std::string taken;
    int32_t index = 0;              // its place in the results memory
    std::string tag, text1, text2;  // the TAG_ID's texts; text1 names the instrument
    std::string task, strategy;     // names
    bool asLeft = false;            // the calibrator recorded an adjusted result
    std::string verdict;            // "pass", "fail", "not judged"
    double tolerance = kNone;       // % of span
    double largestError = kNone;    // the error of largest magnitude, signed
    std::string inputUnit, outputUnit;
    std::string setupInput, setupOutput, setupRest;  // the setup in words
    uint32_t resultCode = 0;                         // why it does not decode; 0 when it does
    std::string problem;
    std::string decoded;  // what the library decoded, as JSON text
    std::vector<Point> points;
    std::vector<StoredRecord> records;  // must hold the "result" record; see eventRecords
};

struct Calibrator {
    std::string model, firmware, serialNumber;
};

// One upload from a calibrator, or one image file read.
struct Upload {
    int64_t id = 0;  // given by the archive
    Calibrator calibrator;
    std::string uploaded;  // "2024-05-02T14:10:00+02:00"
    std::string host, user, technician;
    std::string source;  // the port or the file it came from
    std::vector<Result> results;
};

struct AddOutcome {
    int64_t uploadId = 0;  // 0 when nothing was added
    size_t added = 0;      // results stored
    size_t held = 0;       // results the archive held already
    size_t events = 0;     // calibration events made
};

// What a calibration event's certificate states besides its results: the ambient conditions
// and the remarks, stored with the event.
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
// recorded an adjusted result.
struct Event {
    int64_t id = 0;
    std::string instrument;
    std::string date;             // the last result's stamp
    Upload upload;                // without its results
    std::string asFound, asLeft;  // verdicts; asLeft empty without an adjusted result
    double asFoundError = kNone, asLeftError = kNone;
    Conditions conditions;
    int64_t certificate = 0;      // its certificate's number, 0 before one is made
    std::vector<Result> results;  // oldest first; points, no records
};

// An instrument with its last event and when it is due.
struct Instrument {
    std::string tag;
    int64_t events = 0;
    int64_t lastEvent = 0;
    std::string lastDate;
    std::string lastVerdict;  // as left when there is one, else as found
    std::string calibratorSerial;
    int intervalDays = kDefaultIntervalDays;
    bool intervalSet = false;  // set for this instrument, not the default
    std::string due;           // "2025-05-02"
    int64_t daysLeft = 0;      // negative when overdue
};

// A result that does not decode.
struct Undecodable {
    int64_t id = 0;
    std::string calibratorSerial, taken, tag;
    uint32_t resultCode = 0;
    std::string problem;
};

// What an event's records were: the calibrator and upload, and every record at its place.
struct EventRecords {
    Upload upload;  // without results
    std::vector<StoredRecord> records;
};

// Open archives. Methods throw ArchiveError with a message for the user.
class Archive {
  public:
    // An SQLite file (made with its folder when missing) or a PostgreSQL connection
    // ("postgresql://..." or "postgres://..."). Brings an older archive up to date; refuses one
    // newer than this code, and an SQLite file that is not an archive.
    static std::unique_ptr<Archive> open(const std::string& location);
    explicit Archive(std::unique_ptr<Database> db);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // The highest schema version this code knows, and the archive's.
    static int knownVersion();
    int schemaVersion();
    std::string engine() const;

    // Adds the upload in one transaction. Results the archive holds already (the same
    // calibrator serial number, stamp and result bytes) are counted and skipped; an upload
    // none of whose results is new adds nothing. progress, when given, hears the count stored.
    AddOutcome add(const Upload& upload,
                   const std::function<void(size_t done, size_t total)>& progress = {});
    // For each result (its "result" record and stamp), whether the archive holds it.
    std::vector<bool> holds(const std::string& serialNumber, const std::vector<Result>& results);

    // Every instrument, by tag; due dates from today's day number.
    std::vector<Instrument> instruments(int64_t today, int defaultIntervalDays);
    // Those due by the given day, soonest first.
    std::vector<Instrument> due(int64_t today, int64_t byDay, int defaultIntervalDays);
    // The events of an instrument, oldest first; empty when the archive does not know it.
    std::vector<Event> history(const std::string& tag);
    // One event, as history gives it; nothing when there is no such event.
    std::optional<Event> event(int64_t id);
    // The last event of an instrument (the latest day, then the latest added); 0 when the
    // archive does not know the instrument.
    int64_t lastEvent(const std::string& tag);
    // The events of that day and later, oldest first.
    std::vector<int64_t> eventsSince(int64_t day);
    // The certificate of an event, made on the first call (numbered from a sequence that never
    // gives a number twice) and the same on every later one; nothing when there is no such
    // event. The conditions given are stored with the event where it holds none; one that
    // differs from what it holds is refused (ArchiveError) and nothing changes: a certificate
    // states what it was issued with.
    std::optional<Certificate> certify(int64_t eventId, const Conditions& given,
                                       const std::string& issued);
    // Sets the calibration interval of an instrument; false when the archive does not know it.
    bool setInterval(const std::string& tag, int days);
    std::vector<Undecodable> undecodable();
    // The records of an event's results; nothing when there is no such event.
    std::optional<EventRecords> eventRecords(int64_t eventId);

  private:
    std::unique_ptr<Database> db_;
};

// Day numbers: days since 1970-01-01, and back.
int64_t dayNumber(int year, int month, int day);
// The day of a stamp "2024-05-02 ..." or "2024-05-02"; nothing when it is not a date.
std::optional<int64_t> dayOfStamp(const std::string& stamp);
std::string dateOfDay(int64_t day);

// Where the archive is: the option, else KVTLNK_ARCHIVE, else the lab file's default, else
// $XDG_DATA_HOME/kvtlnk/records.db (~/.local/share/kvtlnk/records.db without it).
std::string archiveLocation(const std::string& option, const std::string& labDefault = "");
bool isPostgresLocation(const std::string& location);

// The SHA-256 of the bytes, as 64 lowercase hex digits.
std::string sha256Hex(const std::vector<uint8_t>& bytes);

}  // namespace kvtarchive
