// The archive in a PostgreSQL database, for the benches of a lab that share one. Parameters
// go with their types (bigint, double precision, text, bytea, the last in binary); rows come
// back as text, which Row reads. Every wait on the server is bounded: connect_timeout while
// connecting, statement_timeout and lock_timeout on the server, and the client's own wait for
// a server that does not answer at all; the URI may set each, and a message names the one that
// ran out.
#include <fmt/format.h>
#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include "archive/archive.h"
#include "archive/database.h"

namespace kvtarchive {
namespace {

// Type numbers of the server's catalogue.
constexpr Oid kInt8 = 20;
constexpr Oid kFloat8 = 701;
constexpr Oid kText = 25;
constexpr Oid kBytea = 17;

// Any number; the key of the advisory lock that serialises schema changes.
constexpr long long kSchemaLock = 0x6b76746c;
// The key of the advisory lock under which the audit trail's head is appended.
constexpr long long kAuditLock = 0x6b76746d;

// The bounds a connection has unless its URI (or PGCONNECT_TIMEOUT, PGOPTIONS) sets them: as
// long as SQLite waits for a lock, twice that for a statement.
constexpr const char* kConnectTimeoutSeconds = "10";
constexpr const char* kServerBounds = "-c statement_timeout=60s -c lock_timeout=30s";

// "300 ms", "10 s".
std::string duration(long long ms) {
    return ms % 1000 == 0 ? fmt::format("{} s", ms / 1000) : fmt::format("{} ms", ms);
}

std::string realText(double v) {
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return error == std::errc() ? std::string(buffer, end) : "NaN";
}

class Result {
  public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    PGresult* get() const { return r_; }
    PGresult* release() {
        PGresult* r = r_;
        r_ = nullptr;
        return r;
    }

  private:
    PGresult* r_;
};

class PostgresDatabase : public Database {
  public:
    PostgresDatabase(const std::string& connection, Access access) : connection_(connection) {
        connect(access == Access::Read);
        // NOTICE lines ("relation already exists, skipping") are not for the user.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
        PQsetnonblocking(conn_, 1);
        for (const Row& r : query("SELECT name, setting FROM pg_settings WHERE name IN "
                                  "('statement_timeout', 'lock_timeout')",
                                  {})) {
            long long ms = 0;
            const std::string setting = r.text("setting");
            std::from_chars(setting.data(), setting.data() + setting.size(), ms);
            (r.text("name") == "lock_timeout" ? lockTimeoutMs_ : statementTimeoutMs_) = ms;
        }
    }

    ~PostgresDatabase() override { PQfinish(conn_); }

    std::string engine() const override { return "postgresql"; }
    std::string where() const override { return shownLocation(connection_); }

    std::vector<Row> query(const std::string& sql, const std::vector<Value>& params) override {
        std::vector<Oid> types;
        std::vector<std::string> texts;
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
        texts.reserve(params.size());
        for (const Value& v : params) {
            const char* value = nullptr;
            int length = 0;
            int format = 0;
            Oid type = 0;
            switch (v.type) {
                case Value::Type::Null:
                    break;
                case Value::Type::Integer:
                    type = kInt8;
                    texts.push_back(std::to_string(v.integer));
                    break;
                case Value::Type::Real:
                    type = kFloat8;
                    texts.push_back(realText(v.real));
                    break;
                case Value::Type::Text:
                    type = kText;
                    value = v.bytes.c_str();
                    break;
                case Value::Type::Blob:
                    type = kBytea;
                    value = v.bytes.data();
                    length = static_cast<int>(v.bytes.size());
                    format = 1;
                    break;
            }
            if (type == kInt8 || type == kFloat8) value = texts.back().c_str();
            types.push_back(type);
            values.push_back(value);
            lengths.push_back(length);
            formats.push_back(format);
        }
        Result r(run([&] {
            return PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(params.size()),
                                     types.data(), values.data(), lengths.data(), formats.data(),
                                     0);
        }));
        std::vector<Row> rows;
        const int columns = PQnfields(r.get());
        auto names = std::make_shared<std::vector<std::string>>();
        for (int c = 0; c < columns; ++c)
            names->push_back(PQfname(r.get(), c));
        for (int i = 0; i < PQntuples(r.get()); ++i) {
            std::vector<Value> cells;
            for (int c = 0; c < columns; ++c) {
                cells.push_back(PQgetisnull(r.get(), i, c)
                                    ? Value()
                                    : Value(std::string(PQgetvalue(r.get(), i, c),
                                                        PQgetlength(r.get(), i, c))));
            }
            rows.emplace_back(names, std::move(cells));
        }
        return rows;
    }

    void script(const std::string& sql) override {
        const Result done(run([&] { return PQsendQuery(conn_, sql.c_str()); }));
    }

    void begin() override { script("BEGIN"); }
    void commit() override { script("COMMIT"); }
    void rollback() override {
        if (conn_ && PQtransactionStatus(conn_) != PQTRANS_IDLE) script("ROLLBACK");
    }
    void lockSchema() override {
        script("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
    }
    void lockAudit() override {
        script("SELECT pg_advisory_xact_lock(" + std::to_string(kAuditLock) + ")");
    }

    std::vector<std::string> tables() override {
        std::vector<std::string> names;
        for (const Row& r : query("SELECT table_name FROM information_schema.tables "
                                  "WHERE table_schema = current_schema()",
                                  {})) {
            names.push_back(r.text("table_name"));
        }
        return names;
    }
    std::string idColumn() const override {
        return "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
    }
    std::string sequenceColumn() const override {
        return "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
    }
    std::string blobColumn() const override { return "BYTEA"; }

  private:
    // libpq's message without its closing line break, and with the tab that indents its second
    // lines ("\tIs the server running locally ...?") as spaces, so that it reads as it does in
    // psql.
    static std::string trimmed(std::string text) {
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        for (size_t tab = text.find('\t'); tab != std::string::npos; tab = text.find('\t', tab))
            text.replace(tab, 1, "  ");
        return text;
    }

    // The URI's settings, with the bounds it does not set: connect_timeout, and the server's
    // statement_timeout and lock_timeout before the options it gives (which come later, and
    // so are the ones that hold); a reading session's transactions read-only.
    void connect(bool readOnly) {
        char* error = nullptr;
        PQconninfoOption* given = PQconninfoParse(connection_.c_str(), &error);
        if (!given) {
            const std::string reason = error ? trimmed(error) : "out of memory";
            PQfreemem(error);
            throw ArchiveError("the PostgreSQL archive " + where() +
                               " is not a connection URI: " + reason);
        }
        std::vector<std::pair<std::string, std::string>> settings;
        const char* options = std::getenv("PGOPTIONS");
        const char* connectTimeout = std::getenv("PGCONNECT_TIMEOUT");
        for (PQconninfoOption* o = given; o->keyword; ++o) {
            if (!o->val) continue;
            if (std::string(o->keyword) == "options") {
                options = o->val;
            } else {
                if (std::string(o->keyword) == "connect_timeout") connectTimeout = o->val;
                settings.emplace_back(o->keyword, o->val);
            }
        }
        connectTimeoutSeconds_ =
            std::atoi(connectTimeout ? connectTimeout : kConnectTimeoutSeconds);
        if (!connectTimeout) settings.emplace_back("connect_timeout", kConnectTimeoutSeconds);
        settings.emplace_back("options",
                              std::string(kServerBounds) +
                                  (readOnly ? " -c default_transaction_read_only=on" : "") +
                                  (options ? std::string(" ") + options : ""));
        PQconninfoFree(given);
        std::vector<const char*> keywords, values;
        for (const auto& [keyword, value] : settings) {
            keywords.push_back(keyword.c_str());
            values.push_back(value.c_str());
        }
        keywords.push_back(nullptr);
        values.push_back(nullptr);
        conn_ = PQconnectdbParams(keywords.data(), values.data(), 0);
        if (PQstatus(conn_) != CONNECTION_OK) {
            std::string reason = trimmed(PQerrorMessage(conn_));
            PQfinish(conn_);
            conn_ = nullptr;
            if (reason.find("timeout expired") != std::string::npos) {
                reason = "no answer within connect_timeout (" +
                         duration(1000LL * std::max(connectTimeoutSeconds_, 2)) +
                         "): is the server stopped, or the network down? (" + reason + ")";
            }
            throw ArchiveError("cannot reach the PostgreSQL archive " + where() + ": " + reason);
        }
    }

    // The most the client waits for an answer: the server's own bound on a statement, and the
    // time a connection may take to answer at all; no bound when the URI lifts the server's.
    std::optional<std::chrono::milliseconds> answerWait() const {
        if (statementTimeoutMs_ == 0) return std::nullopt;
        return std::chrono::milliseconds(statementTimeoutMs_ + 1000LL * connectTimeoutSeconds_);
    }

    // Sends a statement and waits for its results, at most answerWait(); the first error, else
    // the last result.
    PGresult* run(const std::function<int()>& send) {
        if (!conn_) {
            throw ArchiveError("the PostgreSQL archive " + where() +
                               ": the connection was given up after the server did not answer");
        }
        if (!send()) check(nullptr);
        const auto limit = answerWait();
        const auto deadline =
            std::chrono::steady_clock::now() + limit.value_or(std::chrono::milliseconds(0));
        std::unique_ptr<Result> outcome;  // the first error, else the last result
        for (;;) {
            int flushed;
            while ((flushed = PQflush(conn_)) == 1)
                awaitSocket(POLLOUT | POLLIN, limit, deadline);
            if (flushed < 0) check(nullptr);
            while (PQisBusy(conn_)) {
                awaitSocket(POLLIN, limit, deadline);
                if (!PQconsumeInput(conn_)) check(nullptr);
            }
            PGresult* r = PQgetResult(conn_);
            if (!r) break;
            auto result = std::make_unique<Result>(r);
            if (!outcome || succeeded(outcome->get())) outcome = std::move(result);
        }
        if (!outcome) check(nullptr);
        check(outcome->get());
        return outcome->release();
    }

    void awaitSocket(short events, const std::optional<std::chrono::milliseconds>& limit,
                     std::chrono::steady_clock::time_point deadline) {
        pollfd socket{PQsocket(conn_), events, 0};
        for (;;) {
            int wait = -1;
            if (limit) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                wait = static_cast<int>(std::max<long long>(0, left.count()));
            }
            const int ready = poll(&socket, 1, wait);
            if (ready > 0) return;
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) giveUp();
            return;
        }
    }

    [[noreturn]] void giveUp() {
        PQfinish(conn_);
        conn_ = nullptr;
        throw ArchiveError(fmt::format(
            "the PostgreSQL archive {} did not answer within {} (statement_timeout {} and "
            "connect_timeout {}): is the server stopped, or the network down?",
            where(), duration(answerWait()->count()), duration(statementTimeoutMs_),
            duration(1000LL * connectTimeoutSeconds_)));
    }

    static bool succeeded(const PGresult* r) {
        const ExecStatusType status = PQresultStatus(r);
        return r && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
    }

    void check(PGresult* r) const {
        if (succeeded(r)) return;
        if (PQstatus(conn_) != CONNECTION_OK) {
            throw ArchiveError("the PostgreSQL archive " + where() +
                               " went away: " + trimmed(PQerrorMessage(conn_)));
        }
        const std::string reason = trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(conn_));
        const std::string state = r && PQresultErrorField(r, PG_DIAG_SQLSTATE)
                                      ? PQresultErrorField(r, PG_DIAG_SQLSTATE)
                                      : "";
        const std::string message = "the PostgreSQL archive " + where() + ": ";
        if (reason.find("due to lock timeout") != std::string::npos) {
            throw ArchiveError(message + "waited past lock_timeout (" + duration(lockTimeoutMs_) +
                               ") for a lock that another program holds; try again when it is "
                               "done, or wait longer with options=-c lock_timeout=... in the URI");
        }
        if (reason.find("due to statement timeout") != std::string::npos) {
            throw ArchiveError(message + "a statement ran past statement_timeout (" +
                               duration(statementTimeoutMs_) +
                               "); the server is busy, or waits for a lock (options=-c "
                               "statement_timeout=... in the URI waits longer)");
        }
        // A deadlock, or a serialization failure: the transaction may simply run again.
        if (state == "40P01" || state == "40001") throw RetryError(message + reason);
        throw ArchiveError(message + reason);
    }

    std::string connection_;
    PGconn* conn_ = nullptr;
    int connectTimeoutSeconds_ = 0;
    long long statementTimeoutMs_ = 60000;  // until the server says
    long long lockTimeoutMs_ = 30000;
};

}  // namespace

std::unique_ptr<Database> openPostgres(const std::string& connection, Access access) {
    return std::make_unique<PostgresDatabase>(connection, access);
}

}  // namespace kvtarchive
