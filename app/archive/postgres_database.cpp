// The archive in a PostgreSQL database, for the benches of a lab that share one. Parameters
// go with their types (bigint, double precision, text, bytea, the last in binary); rows come
// back as text, which Row reads.
#include <libpq-fe.h>

#include <charconv>
#include <cmath>

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

  private:
    PGresult* r_;
};

class PostgresDatabase : public Database {
  public:
    explicit PostgresDatabase(const std::string& connection) : connection_(connection) {
        conn_ = PQconnectdb(connection.c_str());
        if (PQstatus(conn_) != CONNECTION_OK) {
            const std::string reason = trimmed(PQerrorMessage(conn_));
            PQfinish(conn_);
            conn_ = nullptr;
            throw ArchiveError("cannot reach the PostgreSQL archive " + redacted() + ": " + reason);
        }
        // NOTICE lines ("relation already exists, skipping") are not for the user.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
    }

    ~PostgresDatabase() override { PQfinish(conn_); }

    std::string engine() const override { return "postgresql"; }
    std::string where() const override { return redacted(); }

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
        Result r(PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), types.data(),
                              values.data(), lengths.data(), formats.data(), 0));
        check(r.get());
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
        Result r(PQexec(conn_, sql.c_str()));
        check(r.get());
    }

    void begin() override { script("BEGIN"); }
    void commit() override { script("COMMIT"); }
    void rollback() override {
        if (PQtransactionStatus(conn_) != PQTRANS_IDLE) script("ROLLBACK");
    }
    void lockSchema() override {
        script("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
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

    // The connection without a password that it may carry.
    std::string redacted() const {
        std::string text = connection_;
        const size_t scheme = text.find("://");
        const size_t at = text.find('@');
        if (scheme != std::string::npos && at != std::string::npos && at > scheme) {
            const size_t colon = text.find(':', scheme + 3);
            if (colon != std::string::npos && colon < at) text.replace(colon, at - colon, ":***");
        }
        const size_t password = text.find("password=");
        if (password != std::string::npos) {
            const size_t end = text.find(' ', password);
            text.replace(password, end == std::string::npos ? std::string::npos : end - password,
                         "password=***");
        }
        return text;
    }

    void check(PGresult* r) const {
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
        if (PQstatus(conn_) != CONNECTION_OK) {
            throw ArchiveError("the PostgreSQL archive " + redacted() +
                               " went away: " + trimmed(PQerrorMessage(conn_)));
        }
        const std::string message = "the PostgreSQL archive " + redacted() + ": " +
                                    trimmed(r ? PQresultErrorMessage(r) : PQerrorMessage(conn_));
        const char* state = r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        // A deadlock, or a serialization failure: the transaction may simply run again.
        if (state && (std::string(state) == "40P01" || std::string(state) == "40001")) {
            throw RetryError(message);
        }
        throw ArchiveError(message);
    }

    std::string connection_;
    PGconn* conn_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> openPostgres(const std::string& connection) {
    return std::make_unique<PostgresDatabase>(connection);
}

}  // namespace kvtarchive
