// The records archive: every calibration result a calibrator gave, with the raw bytes of the
// records it rests on and what the library decoded from them, grouped into the calibrations of
// instruments, with their history, due dates and certificates as issued. One interface, one
// implementation per engine: an SQLite file, or a PostgreSQL database that the benches of a lab
// share. It keeps the records model (records/) as it is given and gives it back the same.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/files.h"
#include "lab/lab.h"
#include "records/calibration.h"
#include "records/visits.h"

namespace kvtarchive {

using kvtapp::Calibration;
using kvtapp::Conditions;
using kvtapp::Instrument;
using kvtapp::InstrumentIdentity;
using kvtapp::IssuedCertificate;
using kvtapp::RestingRecord;
using kvtapp::Result;
using kvtapp::Undecodable;
using kvtapp::Upload;
using kvtapp::VisitRules;

class Database;

// A reference standard or pressure module a calibration rests on, as recorded when the
// calibration was stored: the certificate of it in force on the calibration's day (only the
// serial number when the lab file had none), and what that meant on the day ("within its
// calibration", "past its due date", "not listed in the lab file", ...).
struct StandardUsed {
    int64_t calibration = 0;
    std::string kind;  // "calibrator" or "pressure module"
    kvtlab::Standard standard;
    std::string status;
    std::string recorded;        // when, "2025-01-10T08:00:00Z"
    bool reconstructed = false;  // not recorded: worked out later from the lab file
};

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

// Another issue took the certificate number meanwhile: issuing again with the next number
// succeeds.
class NumberTaken : public ArchiveError {
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

// Who makes the changes of an open archive: the technician (as the command, the image or the
// web page's user names them) and the command with its arguments, passwords removed. The
// operating system's user is the process's unless named.
struct Actor {
    std::string technician;
    std::string command;
    std::string osUser;
};

// A row of the audit trail: when (UTC), who, with what command, the change it made, the rows
// it touched (a JSON object: table, then key, then the SHA-256 of the row as the change left
// it), facts given with the change (a JSON object), and the SHA-256 of the row before it and
// of its own content.
struct AuditEntry {
    int64_t id = 0;
    std::string at, technician, osUser, command, change;
    std::string touched, facts;
    std::string previous, sha256;
    // The SHA-256 of its content, the previous row's hash included.
    std::string contentSha256() const;
};

// What the audit trail finds in an archive: one finding per row or record that holds what no
// change of the tool left there.
struct AuditFinding {
    std::string what;   // "changed", "inserted" or "deleted"
    std::string table;  // "results", "records", "audit", ...
    std::string key;    // the row's key: an id, a number, a record's hash
    std::string detail;
};

struct AuditVerdict {
    size_t rows = 0;     // audit rows read
    size_t sealed = 0;   // rows of the archive checked against the trail
    size_t results = 0;  // results whose raw records were hashed again
    int64_t headId = 0;  // the last audit row, 0 for none
    std::string head;    // its SHA-256
    std::vector<AuditFinding> findings;
    bool whole() const { return findings.empty(); }
    // One line: "whole: ..." or how many findings.
    std::string line() const;
};

// An audit row's hash as written down earlier ("witnessed"), which the chain must still pass
// through: the only defence against a chain computed again from some row on.
struct Witness {
    int64_t id = 0;
    std::string sha256;
};

struct AddOutcome {
    int64_t uploadId = 0;     // 0 when nothing was added
    size_t added = 0;         // results stored
    size_t held = 0;          // results the archive held already
    size_t calibrations = 0;  // calibrations made or added to
    size_t suspect = 0;       // results stored whose stamps are not believed
    bool created = false;     // the archive was made for this add
};

// The records of a calibration's results from one upload: the calibrator and upload, and every
// record at its place in the memories of that upload.
struct UploadRecords {
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
    // The actor is who the changes made through it are audited as (a migration included).
    static std::unique_ptr<Archive> open(const std::string& location, Access access,
                                         const Actor& actor = {});
    explicit Archive(std::unique_ptr<Database> db);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Who the changes from here on are audited as.
    void setActor(const Actor& actor) { actor_ = actor; }
    // Facts (members of a JSON object) to add to the audit row of the next change, for
    // example the SHA-256 of a file written with it.
    void addFacts(const nlohmann::ordered_json& facts);

    // The audit trail, oldest first, from the time or day given ("2025-01-31", "" for all);
    // only its newest rows when newest is not 0.
    std::vector<AuditEntry> auditLog(const std::string& since = "", size_t newest = 0);
    // How many rows of the audit trail are from the time or day given on.
    int64_t auditCount(const std::string& since = "");
    // The audit chain computed again, every sealed row compared with the hash its last change
    // left, every result's raw records hashed again; each witness checked.
    AuditVerdict verify(const std::vector<Witness>& witnesses = {});

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
    // Each new result's stamp is judged against the upload's time and the calibrator's
    // previous upload, and the result put into a calibration of its instrument, by the rules.
    // progress, when given, hears the count stored.
    AddOutcome add(const Upload& upload, const VisitRules& rules = {},
                   const std::function<void(size_t done, size_t total)>& progress = {});
    // For each result (its "result" record and stamp), whether the archive holds it.
    std::vector<bool> holds(const std::string& serialNumber, const std::vector<Result>& results);

    // Every instrument, by tag, with its last calibration that has a day and its due date from
    // there (today's day number, the interval of its own else the default).
    std::vector<Instrument> instruments(int64_t today, int defaultIntervalDays);
    // The calibrations of an instrument, oldest first; empty when the archive does not know it.
    std::vector<Calibration> history(const std::string& tag);
    // One calibration, as history gives it; nothing when there is no such calibration.
    std::optional<Calibration> calibration(int64_t id);
    // The last calibration of an instrument (the latest day, then the latest made); 0 when the
    // archive does not know the instrument.
    int64_t lastCalibration(const std::string& tag);
    // The calibrations without a day (stamps not believed and not confirmed), oldest first.
    std::vector<Calibration> undated();
    // The calibrations done on that day and later, oldest first.
    std::vector<int64_t> calibrationsSince(int64_t day);
    // Records a person's word on the day of a calibration; false when there is no such
    // calibration.
    bool confirmDate(int64_t calibration, const kvtapp::DateConfirmation& confirmation);

    // Sets the calibration interval of an instrument; false when the archive does not know it.
    bool setInterval(const std::string& tag, int days);
    // What identifies an instrument, as last set; an empty identity when never set.
    InstrumentIdentity identity(const std::string& tag);
    // Every setting of it, the latest first; none when never set.
    std::vector<InstrumentIdentity> identities(const std::string& tag);
    // Sets it, kept beside every earlier setting (the instrument is made when the archive does
    // not know it); false when the parts are the ones it has.
    bool setIdentity(const std::string& tag, const InstrumentIdentity& identity);
    // The lab file's identity of an instrument the archive knows, kept when the lab file
    // says otherwise than it did the last time it was kept; false when nothing changed.
    bool noteLabIdentity(const std::string& tag, const InstrumentIdentity& identity);

    // The reference standards as the lab file gives them, each of its certificates kept once
    // (by serial number and certificate number, earlier ones included); and every certificate
    // kept of a standard, the earliest calibrated first.
    void keepStandards(const std::vector<kvtlab::Standard>& standards);
    std::vector<kvtlab::Standard> keptStandards(const std::string& serial);

    // Records the standards a calibration rests on; those recorded for it already (by kind and
    // serial number) stay as they were. The standards recorded for a calibration; every record
    // of a standard, by its serial number, oldest calibration first. The calibrations an upload
    // brought results to; the calibrations without a record of their standards.
    void recordStandardsUsed(const std::vector<StandardUsed>& used);
    std::vector<StandardUsed> standardsUsed(int64_t calibration);
    std::vector<StandardUsed> usesOf(const std::string& serial);
    std::vector<int64_t> calibrationsOfUpload(int64_t upload);
    std::vector<int64_t> calibrationsWithoutStandards();

    // The number the next certificate takes.
    int64_t nextCertificateNumber();
    // Stores an issued certificate in one transaction: its number must be the next one
    // (NumberTaken otherwise), its calibration must have none in force unless it replaces that
    // one, which it marks replaced.
    void storeCertificate(const IssuedCertificate& certificate);
    // A certificate by its number; the certificates of a calibration, oldest first.
    std::optional<IssuedCertificate> certificate(int64_t number);
    std::vector<IssuedCertificate> certificates(int64_t calibration);

    std::vector<Undecodable> undecodable();
    // A text that differs after any change to what the listings show (an upload stored, an
    // interval, an identity or a date set, a certificate issued) and stays the same while nothing
    // changes: a front end that keeps what it made of the archive asks this, one small query, to
    // know whether that still holds.
    std::string revision();
    // The records of a calibration's results, by upload; nothing when there is no such
    // calibration.
    std::optional<std::vector<UploadRecords>> calibrationRecords(int64_t calibration);

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
    // Appends the audit row of the change made in the current transaction, as the technician
    // given when one is (else the actor's).
    void audited(const std::string& change,
                 const std::map<std::string, std::set<std::string>>& touched,
                 const std::string& technician = "");
    std::unique_ptr<Database> db_;
    bool created_ = false;
    Actor actor_;
    nlohmann::ordered_json facts_ = nlohmann::ordered_json::object();
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
