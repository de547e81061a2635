// The archive in an SQLite file: WAL, so that readers never wait for a writer, and a busy
// time-out, so that two processes of one machine may add at once. The file is named by its
// path and opened through a URI this code makes, so that the reader chooses how (read-only,
// immutable) and no name makes an archive that lives in memory only.
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "archive/archive.h"
#include "archive/database.h"

namespace kvtarchive {
namespace {

namespace fs = std::filesystem;

constexpr int kBusyTimeoutMs = 30000;
// Prepared statements kept for reuse; inserts of many rows at once make one of each size.
constexpr size_t kCachedStatements = 256;
// The longest text or bytes of a cell: far beyond a record (64,976 bytes) or the JSON of its
// result, short of what would exhaust memory.
constexpr int kMaxCellBytes = 16 << 20;

// How the file is opened: to write (and make when missing), to read, or to read a file that
// nothing writes meanwhile without its companion files.
enum class Mode { Write, Read, Immutable };

// "file:///abs/path?mode=ro": the path with the characters a URI gives meaning to escaped.
std::string uriOf(const std::string& path, Mode mode) {
    std::string uri = "file://";
    for (const char c : fs::absolute(path).lexically_normal().string()) {
        if (c == '%' || c == '?' || c == '#' || static_cast<unsigned char>(c) < 0x20) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + (mode == Mode::Read ? "?mode=ro" : mode == Mode::Immutable ? "?immutable=1" : "");
}

// An archive must be a file that lasts: a name SQLite keeps in memory, or a URI whose options
// would choose how it is kept, is refused, and so is anything but a regular file (a device, a
// pipe, a folder), before SQLite makes a journal beside it.
void refusePlace(const std::string& path) {
    const bool uri = path.rfind("file:", 0) == 0;
    if (path == ":memory:" || (uri && (path.find("mode=memory") != std::string::npos ||
                                       path.find(":memory:") != std::string::npos ||
                                       path.find("vfs=memdb") != std::string::npos))) {
        throw ArchiveError("the archive " + path +
                           " would last only as long as this command: name an archive file");
    }
    if (uri)
        throw ArchiveError("the archive " + path + " is a URI: name the archive file by its path");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return;
    const char* kind = S_ISDIR(st.st_mode)    ? "a directory"
                       : S_ISCHR(st.st_mode)  ? "a character device"
                       : S_ISBLK(st.st_mode)  ? "a block device"
                       : S_ISFIFO(st.st_mode) ? "a pipe"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                                              : "not a regular file";
    throw ArchiveError("the archive " + path + " is " + kind +
                       ", not a file: name an archive file");
}

// Where a storing command cannot write: the file, or the folder where SQLite keeps its
// journal and write-ahead log beside it; empty when both may be written.
std::string unwritable(const std::string& path) {
    const fs::path folder = fs::absolute(path).parent_path();
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0) {
        return "it is read-only for this user";
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        return "its folder " + folder.string() +
               " is read-only for this user (SQLite keeps its journal beside the archive)";
    }
    return "";
}

// Whether a read-only open may take the file as immutable: there is no write-ahead log with
// changes that are in it alone.
bool noPendingLog(const std::string& path) {
    struct stat st {};
    return ::stat((path + "-wal").c_str(), &st) != 0 || st.st_size == 0;
}

// What a read-only connection meets when the file cannot be read as it was opened.
class CannotRead : public ArchiveError {
  public:
    using ArchiveError::ArchiveError;
};

class SqliteDatabase : public Database {
  public:
    SqliteDatabase(const std::string& path, Mode mode) : path_(path), mode_(mode) {
        const int flags =
            SQLITE_OPEN_URI | (mode == Mode::Write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                   : SQLITE_OPEN_READONLY);
        const int rc = sqlite3_open_v2(uriOf(path, mode).c_str(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            db_ = nullptr;
            throw ArchiveError("cannot open the archive " + path + ": " + reason);
        }
        sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxCellBytes);
    }

    // Settings of the connection; a file that is not SQLite fails here, at its first read.
    void configure() {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        sqlite3_extended_result_codes(db_, 1);
        script("PRAGMA foreign_keys = ON");
        if (!sqlite3_db_readonly(db_, "main")) query("PRAGMA journal_mode = WAL", {});
        // A read: a file that is not SQLite, or one that cannot be read as opened, fails here.
        query("SELECT COUNT(*) FROM sqlite_master", {});
    }

    ~SqliteDatabase() override {
        forgetStatements();
        sqlite3_close(db_);
    }

    std::string engine() const override { return "sqlite"; }
    std::string where() const override { return path_; }

    std::vector<Row> query(const std::string& sql, const std::vector<Value>& params) override {
        sqlite3_stmt* statement = prepared(sql);
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        for (size_t i = 0; i < params.size(); ++i)
            bind(statement, i + 1, params[i]);
        std::vector<Row> rows;
        Columns names;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            if (!names) names = columnNames(statement);
            rows.push_back(row(statement, names));
        }
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE) fail(rc);
        return rows;
    }

    void script(const std::string& sql) override {
        char* message = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
        if (rc == SQLITE_OK) return;
        const std::string reason = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        fail(rc, reason);
    }

    void begin() override { script("BEGIN IMMEDIATE"); }
    void commit() override { script("COMMIT"); }
    void rollback() override {
        if (!sqlite3_get_autocommit(db_)) script("ROLLBACK");
    }
    void lockSchema() override {}  // BEGIN IMMEDIATE holds the only write lock already
    void lockAudit() override {}

    std::vector<std::string> tables() override {
        std::vector<std::string> names;
        for (const Row& r : query("SELECT name FROM sqlite_master WHERE type = 'table'", {}))
            names.push_back(r.text("name"));
        return names;
    }
    std::string idColumn() const override { return "INTEGER PRIMARY KEY"; }
    // Without AUTOINCREMENT, SQLite gives the largest key again once its row is deleted.
    std::string sequenceColumn() const override { return "INTEGER PRIMARY KEY AUTOINCREMENT"; }
    std::string blobColumn() const override { return "BLOB"; }

  private:
    sqlite3_stmt* prepared(const std::string& sql) {
        const auto found = statements_.find(sql);
        if (found != statements_.end()) return found->second;
        if (statements_.size() >= kCachedStatements) forgetStatements();
        sqlite3_stmt* statement = nullptr;
        const int rc = sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size() + 1),
                                          &statement, nullptr);
        if (rc != SQLITE_OK) fail(rc);
        return statements_[sql] = statement;
    }

    void forgetStatements() {
        for (auto& [sql, statement] : statements_)
            sqlite3_finalize(statement);
        statements_.clear();
    }

    void bind(sqlite3_stmt* statement, size_t n, const Value& v) {
        const int index =
            sqlite3_bind_parameter_index(statement, ("$" + std::to_string(n)).c_str());
        if (index == 0) return;  // a parameter the statement does not use
        int rc = SQLITE_OK;
        switch (v.type) {
            case Value::Type::Null:
                rc = sqlite3_bind_null(statement, index);
                break;
            case Value::Type::Integer:
                rc = sqlite3_bind_int64(statement, index, v.integer);
                break;
            case Value::Type::Real:
                rc = sqlite3_bind_double(statement, index, v.real);
                break;
            case Value::Type::Text:
                rc = sqlite3_bind_text(statement, index, v.bytes.data(),
                                       static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
                break;
            case Value::Type::Blob:
                rc = sqlite3_bind_blob(statement, index, v.bytes.data(),
                                       static_cast<int>(v.bytes.size()), SQLITE_TRANSIENT);
                break;
        }
        if (rc != SQLITE_OK) fail(rc);
    }

    static Columns columnNames(sqlite3_stmt* statement) {
        auto names = std::make_shared<std::vector<std::string>>();
        for (int c = 0; c < sqlite3_column_count(statement); ++c)
            names->push_back(sqlite3_column_name(statement, c));
        return names;
    }

    static Row row(sqlite3_stmt* statement, const Columns& names) {
        std::vector<Value> cells;
        const int n = sqlite3_column_count(statement);
        for (int c = 0; c < n; ++c) {
            Value v;
            switch (sqlite3_column_type(statement, c)) {
                case SQLITE_INTEGER:
                    v = Value(static_cast<int64_t>(sqlite3_column_int64(statement, c)));
                    break;
                case SQLITE_FLOAT:
                    v = Value(sqlite3_column_double(statement, c));
                    break;
                case SQLITE_TEXT:
                    v = Value(std::string(
                        reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                        static_cast<size_t>(sqlite3_column_bytes(statement, c))));
                    break;
                case SQLITE_BLOB: {
                    const auto* data =
                        static_cast<const uint8_t*>(sqlite3_column_blob(statement, c));
                    v = Value::blob({data, data + sqlite3_column_bytes(statement, c)});
                    break;
                }
                default:
                    break;
            }
            cells.push_back(std::move(v));
        }
        return Row(names, std::move(cells));
    }

    [[noreturn]] void fail(int rc, std::string reason = "") const {
        if (reason.empty()) reason = sqlite3_errmsg(db_);
        // Read-only, its files cannot be opened, or the write-ahead log's shared memory cannot
        // be made or read (the extended codes of SQLITE_READONLY: a folder that cannot be
        // written, ...).
        if (mode_ == Mode::Read && ((rc & 0xFF) == SQLITE_CANTOPEN ||
                                    (rc != SQLITE_READONLY && (rc & 0xFF) == SQLITE_READONLY))) {
            throw CannotRead("cannot read the archive " + path_ + ": " + reason);
        }
        switch (rc & 0xFF) {
            case SQLITE_TOOBIG:
                throw ArchiveError("the archive " + path_ + " holds a text or bytes longer than " +
                                   std::to_string(kMaxCellBytes >> 20) +
                                   " MiB: it is damaged, or was written by other software");
            case SQLITE_NOTADB:
                throw ArchiveError(path_ + " is not a kvtlnk archive (" + reason + ")");
            case SQLITE_READONLY:
                throw ArchiveError("the archive " + path_ + " is read-only: " + reason);
            case SQLITE_BUSY:
                throw ArchiveError("the archive " + path_ + " stayed busy for " +
                                   std::to_string(kBusyTimeoutMs / 1000) +
                                   " s: another program is writing to it");
            default:
                throw ArchiveError("the archive " + path_ + ": " + reason);
        }
    }

    std::string path_;
    Mode mode_;
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

}  // namespace

std::unique_ptr<Database> openSqlite(const std::string& path, Access access) {
    refusePlace(path);
    std::error_code unseen;
    if (access != Access::Store && !fs::exists(path, unseen)) {
        throw NoArchive("there is no archive at " + path);
    }
    const bool readOnly = access == Access::Read;
    if (!readOnly) {
        std::error_code ignored;
        const fs::path folder = fs::path(path).parent_path();
        if (!folder.empty()) fs::create_directories(folder, ignored);
        const std::string why = unwritable(path);
        if (!why.empty()) throw ArchiveError("cannot write to the archive " + path + ": " + why);
    }
    auto db = std::make_unique<SqliteDatabase>(path, readOnly ? Mode::Read : Mode::Write);
    try {
        db->configure();
    } catch (const CannotRead&) {
        // A write-ahead log needs its shared memory file beside the archive, which a folder
        // this user may not write cannot take: nothing writes there, so read it as it stands.
        if (!readOnly || !noPendingLog(path)) throw;
        db = std::make_unique<SqliteDatabase>(path, Mode::Immutable);
        db->configure();
    }
    return db;
}

}  // namespace kvtarchive
