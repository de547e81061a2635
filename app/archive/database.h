// The database engine under an archive: statements with numbered parameters ($1, $2, ...)
// that both engines read the same way, rows of typed cells, and write transactions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace kvtarchive {

// A parameter or a cell of a row.
struct Value {
    enum class Type { Null, Integer, Real, Text, Blob };
    Type type = Type::Null;
    int64_t integer = 0;
    double real = 0;
    std::string bytes;  // text, or a blob's bytes

    Value() = default;
    Value(int64_t v) : type(Type::Integer), integer(v) {}  // NOLINT: a parameter list reads well
    Value(int v) : Value(static_cast<int64_t>(v)) {}       // NOLINT
    Value(bool v) : Value(static_cast<int64_t>(v)) {}      // NOLINT
    Value(double v);                                       // NOLINT: NaN is null
    Value(std::string v) : type(Type::Text), bytes(std::move(v)) {}  // NOLINT
    Value(const char* v) : Value(std::string(v)) {}                  // NOLINT
    static Value blob(const std::vector<uint8_t>& data);
};

// The cells of a row to write: each column's name and its value.
using Cells = std::vector<std::pair<const char*, Value>>;

// The names of a query's columns, shared by its rows.
using Columns = std::shared_ptr<const std::vector<std::string>>;

// A cell of the archive that holds a number (or bytes), as a row gives it back: the table and
// column it comes from, its name among the row's cells, the cell that names the row ("event_id",
// "tag"), and the values it may hold (the count of bytes, for bytes). An archive is read as the
// calibrator's line is: whatever is there may be damaged, or written by other software.
struct Field {
    const char* table;
    const char* column;
    const char* cell;  // as the query's select list names it ("AS" names included)
    const char* key;
    double low, high;
};

// A row of a query's result, its cells found by the names of their columns (as the query's
// select list gives them, "AS" names included). Cells convert as asked: an engine that hands
// out text (the PostgreSQL one) is read the same as one that hands out typed values. A number
// is read through its Field: a value that is not a number of its range (a fraction where a whole
// number belongs, one beyond 64 bits, one outside the range) is refused with an ArchiveError
// naming the table, the column and the row.
class Row {
  public:
    Row(Columns columns, std::vector<Value> cells)
        : columns_(std::move(columns)), cells_(std::move(cells)) {}
    bool isNull(const char* cell) const;
    int64_t integer(const Field& field) const;  // 0 for null
    double real(const Field& field) const;      // NaN for null
    std::string text(const char* cell) const;
    std::vector<uint8_t> blob(const Field& field) const;
    // Refuses the cell of the field, which holds what is described ("text that is not JSON"),
    // where expected belongs.
    [[noreturn]] void refuse(const Field& field, const std::string& held,
                             const std::string& expected) const;
    // Not by place: a cell is found by its column's name.
    bool isNull(int) const = delete;
    std::string text(int) const = delete;

  private:
    const Value& at(const char* cell) const;
    [[noreturn]] void outOfRange(const Field& field, const std::string& held) const;
    Columns columns_;
    std::vector<Value> cells_;
};

class Database {
  public:
    virtual ~Database() = default;
    virtual std::string engine() const = 0;  // "sqlite" or "postgresql"
    // Where it is, for messages: the file, or the database and its server.
    virtual std::string where() const = 0;

    // One statement; parameters are $1, $2, ... in the order given.
    virtual std::vector<Row> query(const std::string& sql,
                                   const std::vector<Value>& params = {}) = 0;
    // One statement that inserts a row of the table: a column and its value each.
    std::vector<Row> insert(const std::string& table, const Cells& cells,
                            const std::string& tail = "");
    // Statements without parameters, separated by semicolons.
    virtual void script(const std::string& sql) = 0;

    // A transaction that writes: SQLite takes the write lock at its start, so that two writers
    // wait for each other instead of failing midway.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Within a transaction: waits until no other process is changing the schema.
    virtual void lockSchema() = 0;
    // Within a transaction: waits until no other writer is appending to the audit trail, so
    // that each appends after the head the other left.
    virtual void lockAudit() = 0;

    // The names of the tables the database holds.
    virtual std::vector<std::string> tables() = 0;
    // The engine's words for the column types a schema names {id}, {sequence} and {blob}.
    virtual std::string idColumn() const = 0;
    virtual std::string sequenceColumn() const = 0;
    virtual std::string blobColumn() const = 0;
};

// Rolls back unless committed.
class Transaction {
  public:
    explicit Transaction(Database& db) : db_(db) { db_.begin(); }
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    Database& db_;
    bool done_ = false;
};

// A connection for the access. To read: one that never writes (an SQLite file opened as
// mode=ro, or as immutable when it can be read no other way and no write-ahead log holds
// changes; a PostgreSQL session whose transactions are read-only). To change or store: a
// database this user may write (for SQLite the file and its folder), refused with the reason
// otherwise. Only to store is a missing SQLite file made, with its folder; else NoArchive.
// SQLite files that would not outlast the process (":memory:", a URI) and anything but a
// regular file are refused before anything is made beside them.
std::unique_ptr<Database> openSqlite(const std::string& path, Access access = Access::Store);
std::unique_ptr<Database> openPostgres(const std::string& connection,
                                       Access access = Access::Store);

}  // namespace kvtarchive
