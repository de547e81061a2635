#include "archive/database.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "archive/archive.h"

namespace kvtarchive {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <typename T>
T parsed(const std::string& text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw ArchiveError("the archive holds \"" + text + "\" where a number belongs");
    }
    return value;
}

}  // namespace

Value::Value(double v) {
    if (std::isnan(v)) return;
    type = Type::Real;
    real = v;
}

Value Value::blob(const std::vector<uint8_t>& data) {
    Value v;
    v.type = Type::Blob;
    v.bytes.assign(data.begin(), data.end());
    return v;
}

// The cell of the one column of that name: a query that gives two (a join's "id" twice) names
// them apart with AS.
const Value& Row::at(const char* column) const {
    const Value* found = nullptr;
    for (size_t c = 0; c < columns_->size() && c < cells_.size(); ++c) {
        if ((*columns_)[c] != column) continue;
        if (found)
            throw ArchiveError(std::string("a query of the archive gave two columns ") + column);
        found = &cells_[c];
    }
    if (!found) throw ArchiveError(std::string("a query of the archive gave no column ") + column);
    return *found;
}

bool Row::isNull(const char* column) const {
    return at(column).type == Value::Type::Null;
}

int64_t Row::integer(const char* column) const {
    const Value& v = at(column);
    switch (v.type) {
        case Value::Type::Integer:
            return v.integer;
        case Value::Type::Real:
            return static_cast<int64_t>(v.real);
        case Value::Type::Text:
            return parsed<int64_t>(v.bytes);
        default:
            return 0;
    }
}

double Row::real(const char* column) const {
    const Value& v = at(column);
    switch (v.type) {
        case Value::Type::Integer:
            return static_cast<double>(v.integer);
        case Value::Type::Real:
            return v.real;
        case Value::Type::Text:
            return parsed<double>(v.bytes);  // also "Infinity", as PostgreSQL writes it
        default:
            return kvtapp::kNone;
    }
}

std::string Row::text(const char* column) const {
    const Value& v = at(column);
    switch (v.type) {
        case Value::Type::Integer:
            return std::to_string(v.integer);
        case Value::Type::Real: {
            char buffer[32];
            const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v.real);
            return error == std::errc() ? std::string(buffer, end) : std::string();
        }
        default:
            return v.bytes;
    }
}

// A blob, or the text form PostgreSQL gives a bytea: "\x" and two hex digits a byte.
std::vector<uint8_t> Row::blob(const char* column) const {
    const Value& v = at(column);
    if (v.type != Value::Type::Text) return {v.bytes.begin(), v.bytes.end()};
    const std::string& t = v.bytes;
    if (t.size() % 2 != 0 || t.compare(0, 2, "\\x") != 0) {
        throw ArchiveError("the archive holds record bytes in a form it does not read");
    }
    std::vector<uint8_t> data;
    data.reserve(t.size() / 2 - 1);
    for (size_t i = 2; i < t.size(); i += 2) {
        const int high = hexDigit(t[i]);
        const int low = hexDigit(t[i + 1]);
        if (high < 0 || low < 0) throw ArchiveError("the archive holds damaged record bytes");
        data.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return data;
}

std::vector<Row> Database::insert(const std::string& table, const Cells& cells,
                                  const std::string& tail) {
    std::string names, places;
    std::vector<Value> values;
    for (const auto& [name, value] : cells) {
        names += (names.empty() ? "" : ", ") + std::string(name);
        values.push_back(value);
        places += (places.empty() ? "$" : ", $") + std::to_string(values.size());
    }
    return query("INSERT INTO " + table + " (" + names + ") VALUES (" + places + ")" + tail,
                 values);
}

Transaction::~Transaction() {
    if (done_) return;
    try {
        db_.rollback();
    } catch (const ArchiveError&) {
        // The connection is gone; the server drops what was not committed.
    }
}

void Transaction::commit() {
    db_.commit();
    done_ = true;
}

}  // namespace kvtarchive
