// The archive in an SQLite file: WAL, so that readers never wait for a writer, and a busy
// time-out, so that two processes of one machine may add at once.
#include <sqlite3.h>

#include <filesystem>
#include <unordered_map>

#include "archive/archive.h"
#include "archive/database.h"

namespace kvtarchive {
namespace {

constexpr int kBusyTimeoutMs = 30000;
// Prepared statements kept for reuse; inserts of many rows at once make one of each size.
constexpr size_t kCachedStatements = 256;

class SqliteDatabase : public Database {
  public:
    explicit SqliteDatabase(const std::string& path) : path_(path) {
        std::error_code ignored;
        const std::filesystem::path folder = std::filesystem::path(path).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
        const int rc = sqlite3_open_v2(path.c_str(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            db_ = nullptr;
            throw ArchiveError("cannot open the archive " + path + ": " + reason);
        }
    }

    // Settings of the connection; a file that is not SQLite fails here, at its first read.
    void configure() {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        sqlite3_extended_result_codes(db_, 1);
        script("PRAGMA foreign_keys = ON");
        if (!sqlite3_db_readonly(db_, "main")) query("PRAGMA journal_mode = WAL", {});
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
        switch (rc & 0xFF) {
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
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

}  // namespace

std::unique_ptr<Database> openSqlite(const std::string& path) {
    auto db = std::make_unique<SqliteDatabase>(path);
    db->configure();
    return db;
}

}  // namespace kvtarchive
