// The database engine under an archive: statements with numbered parameters ($1, $2, ...)
// that both engines read the same way, rows of typed cells, and write transactions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// A row of a query's result, its cells found by the names of their columns (as the query's
// select list gives them, "AS" names included). Cells convert as asked: an engine that hands
// out text (the PostgreSQL one) is read the same as one that hands out typed values.
class Row {
  public:
    Row(Columns columns, std::vector<Value> cells)
        : columns_(std::move(columns)), cells_(std::move(cells)) {}
    bool isNull(const char* column) const;
    int64_t integer(const char* column) const;  // 0 for null
    double real(const char* column) const;      // NaN for null
    std::string text(const char* column) const;
    std::vector<uint8_t> blob(const char* column) const;
    // Not by place: a cell is found by its column's name.
    bool isNull(int) const = delete;
    int64_t integer(int) const = delete;
    double real(int) const = delete;
    std::string text(int) const = delete;

  private:
    const Value& at(const char* column) const;
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

std::unique_ptr<Database> openSqlite(const std::string& path);
std::unique_ptr<Database> openPostgres(const std::string& connection);

}  // namespace kvtarchive
