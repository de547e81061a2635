#include "archive/database.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "archive/archive.h"

namespace kvtarchive {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A whole number as text shows it: "1e3" and "7.0" are not.
std::optional<int64_t> wholeText(const std::string& text) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string shownRange(const Field& f) {
    const auto bound = [](double v) {
        return std::fabs(v) >= 9e18 ? std::string(v < 0 ? "-" : "") + "any" : fmt::format("{}", v);
    };
    if (std::isinf(f.low) && std::isinf(f.high)) return "a number";
    if (f.high >= 9e18) return "a number from " + bound(f.low) + " up";
    return "a number from " + bound(f.low) + " to " + bound(f.high);
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

bool Row::isNull(const char* cell) const {
    return at(cell).type == Value::Type::Null;
}

void Row::refuse(const Field& f, const std::string& held, const std::string& expected) const {
    const Value* key = nullptr;
    for (size_t c = 0; c < columns_->size() && c < cells_.size(); ++c) {
        if ((*columns_)[c] == f.key) key = &cells_[c];
    }
    std::string row = key ? std::string(f.key) + "=" : "row unknown";
    if (key) {
        if (key->type == Value::Type::Integer) row += std::to_string(key->integer);
        if (key->type == Value::Type::Text) row += key->bytes.substr(0, 80);
    }
    throw ArchiveError(fmt::format(
        "the archive holds {} in {}.{} ({}), where {} belongs: it is damaged, or was written by "
        "other software",
        held, f.table, f.column, row, expected));
}

void Row::outOfRange(const Field& f, const std::string& held) const {
    refuse(f, held, shownRange(f));
}

int64_t Row::integer(const Field& f) const {
    const Value& v = at(f.cell);
    std::optional<int64_t> value;
    switch (v.type) {
        case Value::Type::Null:
            return 0;
        case Value::Type::Integer:
            value = v.integer;
            break;
        case Value::Type::Real:
            // Within the 64-bit range and whole; 2^63 itself is not.
            if (v.real >= -9223372036854775808.0 && v.real < 9223372036854775808.0 &&
                v.real == std::trunc(v.real)) {
                value = static_cast<int64_t>(v.real);
            }
            break;
        case Value::Type::Text:
            value = wholeText(v.bytes);
            break;
        case Value::Type::Blob:
            break;
    }
    if (!value) {
        outOfRange(
            f, v.type == Value::Type::Blob ? "bytes" : "\"" + text(f.cell).substr(0, 80) + "\"");
    }
    if (!(static_cast<double>(*value) >= f.low && static_cast<double>(*value) <= f.high)) {
        outOfRange(f, std::to_string(*value));
    }
    return *value;
}

double Row::real(const Field& f) const {
    const Value& v = at(f.cell);
    double value = kvtapp::kNone;
    switch (v.type) {
        case Value::Type::Null:
            return kvtapp::kNone;
        case Value::Type::Integer:
            value = static_cast<double>(v.integer);
            break;
        case Value::Type::Real:
            value = v.real;
            break;
        case Value::Type::Text: {
            // Also "Infinity", as PostgreSQL writes it.
            const auto [end, error] =
                std::from_chars(v.bytes.data(), v.bytes.data() + v.bytes.size(), value);
            if (error != std::errc() || end != v.bytes.data() + v.bytes.size()) {
                outOfRange(f, "\"" + v.bytes.substr(0, 80) + "\"");
            }
            break;
        }
        case Value::Type::Blob:
            outOfRange(f, "bytes");
    }
    if (!(value >= f.low && value <= f.high)) outOfRange(f, text(f.cell));
    return value;
}

std::string Row::text(const char* cell) const {
    const Value& v = at(cell);
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

// A blob, or the text form PostgreSQL gives a bytea: "\x" and two hex digits a byte. The count
// of bytes is the field's range.
std::vector<uint8_t> Row::blob(const Field& f) const {
    const Value& v = at(f.cell);
    const bool hex = v.type == Value::Type::Text;
    const std::string& t = v.bytes;
    if (hex && (t.size() % 2 != 0 || t.compare(0, 2, "\\x") != 0)) {
        refuse(f, "text", "bytes");
    }
    const size_t count = hex ? t.size() / 2 - 1 : t.size();
    if (!(static_cast<double>(count) >= f.low && static_cast<double>(count) <= f.high)) {
        refuse(f, std::to_string(count) + " bytes", fmt::format("{} to {} bytes", f.low, f.high));
    }
    if (!hex) return {t.begin(), t.end()};
    std::vector<uint8_t> data;
    data.reserve(count);
    for (size_t i = 2; i < t.size(); i += 2) {
        const int high = hexDigit(t[i]);
        const int low = hexDigit(t[i + 1]);
        if (high < 0 || low < 0) refuse(f, "damaged bytes", "bytes");
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
