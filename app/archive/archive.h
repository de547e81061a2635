// The records archive: every calibration result a calibrator gave, with the raw bytes of the
// records it rests on and what the library decoded from them, grouped into calibration events
// of instruments, with their history and due dates. One interface, one implementation per
// engine: an SQLite file, or a PostgreSQL database that the benches of a lab share. It keeps
// the records model (records/) as it is given and gives it back the same.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "records/calibration.h"

namespace kvtarchive {

using kvtapp::Certificate;
using kvtapp::Conditions;
using kvtapp::Event;
using kvtapp::Instrument;
using kvtapp::RestingRecord;
using kvtapp::Result;
using kvtapp::Undecodable;
using kvtapp::Upload;

class Database;

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

struct AddOutcome {
    int64_t uploadId = 0;  // 0 when nothing was added
    size_t added = 0;      // results stored
    size_t held = 0;       // results the archive held already
    size_t events = 0;     // calibration events made
};

// What an event's records were: the calibrator and upload, and every record at its place.
struct EventRecords {
    Upload upload;  // without results
    std::vector<RestingRecord> records;
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

    // Adds the upload in one transaction; each result must come with its "result" record.
    // Results the archive holds already (the same calibrator serial number, stamp and result
    // bytes) are counted and skipped; an upload none of whose results is new adds nothing.
    // progress, when given, hears the count stored.
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
    // A text that differs after any change to what the listings show (an upload stored, an
    // interval set, a certificate issued) and stays the same while nothing changes: a front end
    // that keeps what it made of the archive asks this, one small query, to know whether that
    // still holds.
    std::string revision();
    // The records of an event's results; nothing when there is no such event.
    std::optional<EventRecords> eventRecords(int64_t eventId);

  private:
    std::unique_ptr<Database> db_;
};

// Where the archive is: the option, else KVTLNK_ARCHIVE, else the lab file's default, else
// the user's data folder's kvtlnk/records.db (~/.local/share/kvtlnk/records.db).
std::string archiveLocation(const std::string& option, const std::string& labDefault = "");
bool isPostgresLocation(const std::string& location);

// The SHA-256 of the bytes, as 64 lowercase hex digits.
std::string sha256Hex(const std::vector<uint8_t>& bytes);

}  // namespace kvtarchive
