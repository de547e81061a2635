// The records archive: every calibration result a calibrator gave, with the raw bytes of the
// records it rests on and what the library decoded from them, grouped into calibration events
// of instruments, with their history and due dates. One interface, one implementation per
// engine: an SQLite file, or a PostgreSQL database that the benches of a lab share. It keeps
// the records model (records/) as it is given and gives it back the same.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/files.h"
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

// An archive asked for where there is none: no file there, or an empty file or database.
class NoArchive : public ArchiveError {
  public:
    using ArchiveError::ArchiveError;
};

// What a piece of work does with an archive: reads it (and never writes it, but to bring an
// older archive up to date); changes what it holds (an interval, a certificate); or stores
// results, the only work that makes an archive where there is none.
enum class Access { Read, Change, Store };

struct AddOutcome {
    int64_t uploadId = 0;  // 0 when nothing was added
    size_t added = 0;      // results stored
    size_t held = 0;       // results the archive held already
    size_t events = 0;     // calibration events made
    bool created = false;  // the archive was made for this add
};

// What an event's records were: the calibrator and upload, and every record at its place.
struct EventRecords {
    Upload upload;  // without results
    std::vector<RestingRecord> records;
};

// Open archives. Methods throw ArchiveError with a message for the user.
class Archive {
  public:
    // An SQLite file or a PostgreSQL connection ("postgresql://..." or "postgres://..."), for
    // the access (see openSqlite). Brings an older archive up to date; refuses one newer than
    // this code, and an SQLite file or a database that is not an archive. Where there is no
    // archive (no file, or an empty file or database), only Store makes one; else NoArchive.
    static std::unique_ptr<Archive> open(const std::string& location, Access access);
    explicit Archive(std::unique_ptr<Database> db);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Whether this open made the archive.
    bool created() const { return created_; }

    // The highest schema version this code knows, and the archive's.
    static int knownVersion();
    int schemaVersion();
    std::string engine() const;
    // Where it is, for messages: the file, or the database and its server without a password.
    std::string where() const;

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

    // Every upload's number, oldest first; and an upload with every result it brought, each
    // with the records it rests on, as add takes it (nothing when there is no such upload).
    std::vector<int64_t> uploadIds();
    std::optional<Upload> upload(int64_t id);
    // Every result the archive holds, by its key (resultKey), with the SHA-256 of the records
    // it rests on, each with its role and place: the same in two archives that hold the same
    // result on the same records.
    std::map<std::string, std::string> resultFingerprints();
    // The intervals set for instruments (setInterval), by tag.
    std::map<std::string, int> intervals();

  private:
    std::unique_ptr<Database> db_;
    bool created_ = false;
};

// Where the archive is, and who named it, for a message: "given by --archive".
struct ArchivePlace {
    std::string location;
    std::string origin;
};

// The option, else KVTLNK_ARCHIVE, else the lab file's archive (its path relative to the lab
// file already), else the user's data folder's kvtlnk/records.db
// (~/.local/share/kvtlnk/records.db).
ArchivePlace archivePlace(const std::string& option, const std::string& labArchive = "",
                          const std::string& labFile = "");
bool isPostgresLocation(const std::string& location);

// The location as it may be shown: a password it carries ("postgresql://user:pw@host/db",
// "?password=pw") as "***".
std::string shownLocation(const std::string& location);

// The files of an SQLite archive, which no output may replace: the file, and beside it the
// journal, write-ahead log and shared memory that SQLite keeps; none for PostgreSQL.
std::vector<kvtapp::KeptFile> archiveFiles(const std::string& location);

// The SHA-256 of the bytes, as 64 lowercase hex digits.
std::string sha256Hex(const std::vector<uint8_t>& bytes);

// What identifies a result in every archive: the calibrator's serial number, the result's
// stamp and the hash of its record, one line each.
std::string resultKey(const std::string& serialNumber, const std::string& taken,
                      const std::string& resultHash);

}  // namespace kvtarchive
