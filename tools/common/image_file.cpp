#include "common/image_file.h"

#include <fmt/format.h>

#include <charconv>

#include "common/files.h"

namespace kvttools {
namespace {

bool fail(FileProblem* problem, std::string field, std::string message) {
    *problem = {std::move(field), std::move(message)};
    return false;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool fromHex(const std::string& s, std::vector<uint8_t>* out) {
    if (s.size() % 2 != 0) return false;
    out->clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        const int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out->push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}

// Day of the week (0 = Sunday) of a date in the Gregorian calendar; 0 for a month that no
// calendar has.
int weekday(int y, int m, int d) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 1 || m > 12) return 0;
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + offsets[m - 1] + d) % 7;
}

// "YYYY-MM-DD hh:mm:ss" with each field as the calibrator sent it: a year byte of 0 to 255
// (1992 to 2247), and any byte in the other fields, a month 13 or an hour 99 included, so that
// a file holds every stamp a calibrator may report.
bool parseStamp(const std::string& text, DateStamp* s) {
    static const char separators[] = "-- ::";
    unsigned fields[6] = {};
    const char* p = text.data();
    const char* const end = p + text.size();
    for (int i = 0; i < 6; ++i) {
        if (i > 0 && (p == end || *p++ != separators[i - 1])) return false;
        if (p == end || *p < '0' || *p > '9') return false;
        const auto [stop, ec] = std::from_chars(p, end, fields[i]);
        if (ec != std::errc() || stop - p > 4) return false;
        p = stop;
    }
    const unsigned year = fields[0] - DateStamp::kBaseYear;
    if (p != end || fields[0] < DateStamp::kBaseYear || year > 255) return false;
    for (int i = 1; i < 6; ++i) {
        if (fields[i] > 255) return false;
    }
    const auto byte = [](unsigned v) { return static_cast<uint8_t>(v); };
    *s = {byte(fields[5]),
          byte(fields[4]),
          byte(fields[3]),
          byte(weekday(static_cast<int>(fields[0]), static_cast<int>(fields[1]),
                       static_cast<int>(fields[2]))),
          byte(fields[2]),
          byte(fields[1]),
          byte(year)};
    return true;
}

bool parseItem(const Json& j, const std::string& path, MemoryRecord* r, FileProblem* problem) {
    if (!j.is_object()) return fail(problem, path, "must be an object");
    for (const char* key : {"kind", "version"}) {
        const auto it = j.find(key);
        if (it == j.end() || !it->is_number_unsigned() || it->get<uint64_t>() > 0xFFFF) {
            return fail(problem, fmt::format("{}.{}", path, key),
                        "must be a whole number from 0 to 65535");
        }
    }
    r->kind = j["kind"].get<uint16_t>();
    r->version = j["version"].get<uint16_t>();
    const auto stamp = j.find("stamp");
    if (stamp == j.end() || !stamp->is_string() ||
        !parseStamp(stamp->get<std::string>(), &r->stamp)) {
        return fail(problem, path + ".stamp",
                    "must be a stamp \"YYYY-MM-DD hh:mm:ss\": a year from 1992 to 2247, each "
                    "other field from 0 to 255");
    }
    const auto data = j.find("data");
    if (data == j.end() || !data->is_string() || !fromHex(data->get<std::string>(), &r->data)) {
        return fail(problem, path + ".data", "must be hexadecimal byte pairs");
    }
    if (r->data.size() > CalibratorMemory::kMaxItemBytes) {
        return fail(problem, path + ".data",
                    fmt::format("holds {} bytes; a record holds at most {}", r->data.size(),
                                CalibratorMemory::kMaxItemBytes));
    }
    return true;
}

bool parseMemory(const Json& doc, const char* name, Memory which, std::vector<MemoryRecord>* out,
                 FileProblem* problem) {
    const auto it = doc.find(name);
    if (it == doc.end()) return true;  // an absent memory is empty
    if (!it->is_array()) return fail(problem, name, "must be a list");
    CalibratorMemory check(which);
    for (size_t i = 0; i < it->size(); ++i) {
        const std::string path = fmt::format("{}[{}]", name, i);
        MemoryRecord r;
        if (!parseItem((*it)[i], path, &r, problem)) return false;
        if (check.append(r) < 0) {
            return fail(problem, path, "the memory holds at most 1,048,576 bytes");
        }
        out->push_back(std::move(r));
    }
    return true;
}

}  // namespace

const char* kindName(uint16_t kind) {
    static const char* const names[] = {nullptr,        "SETUP_1",  "SETUP_2",     "SETUP_3",
                                        "SETUP_4",      "SETUP_5",  "TEMPLATE",    "CAL_RESULT_A",
                                        "CAL_RESULT_B", nullptr,    "PROMPT_DEFN", "TASK_START",
                                        "PROMPT",       "TASK_END", "STRATEGY",    "TAG_ID"};
    return kind < std::size(names) && names[kind] ? names[kind] : "UNKNOWN";
}

std::string formatStamp(const DateStamp& s) {
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", s.fullYear(), s.month, s.day, s.hour,
                       s.minute, s.second);
}

std::string toHex(const std::vector<uint8_t>& data) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(data.size() * 2);
    for (uint8_t b : data) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

Json itemJson(const MemoryRecord& r) {
    return {{"kind", r.kind},
            {"name", kindName(r.kind)},
            {"version", r.version},
            {"stamp", formatStamp(r.stamp)},
            {"data", toHex(r.data)}};
}

bool readMemoryDocument(const Json& doc, MemoryFile* out, FileProblem* problem) {
    if (!doc.is_object() || (!doc.contains("procedure") && !doc.contains("results"))) {
        return fail(problem, "(top level)",
                    "holds no \"procedure\" or \"results\" list: not a file of both memories "
                    "(written by kvtsim --save or kvtlnk upload --out)");
    }
    MemoryFile file;
    if (!parseMemory(doc, "procedure", Memory::Procedure, &file.procedure, problem) ||
        !parseMemory(doc, "results", Memory::Results, &file.results, problem)) {
        return false;
    }
    *out = std::move(file);
    return true;
}

std::string formatMemoryFile(const MemoryFile& file) {
    Json doc = {{"procedure", Json::array()}, {"results", Json::array()}};
    for (const MemoryRecord& r : file.procedure)
        doc["procedure"].push_back(itemJson(r));
    for (const MemoryRecord& r : file.results)
        doc["results"].push_back(itemJson(r));
    return doc.dump(1) + "\n";
}

bool loadMemoryFile(const std::string& path, MemoryFile* out, std::string* error) {
    std::string text;
    if (!readTextFile(path, &text, error)) return false;
    FileProblem problem{"(file)", ""};
    const std::optional<Json> doc = parseJson(text, &problem.message, &problem.field);
    if (!doc || !readMemoryDocument(*doc, out, &problem)) {
        *error = path + ": " + problem.text();
        return false;
    }
    return true;
}

}  // namespace kvttools
