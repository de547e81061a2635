#include "common/image_file.h"

#include <fmt/format.h>

#include <cstdio>

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

// Day of the week (0 = Sunday) of a date in the Gregorian calendar.
int weekday(int y, int m, int d) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + offsets[m - 1] + d) % 7;
}

bool parseStamp(const std::string& text, DateStamp* s) {
    int y, mo, d, h, mi, sec;
    char tail;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &sec, &tail) != 6) {
        return false;
    }
    if (y < DateStamp::kBaseYear || y > DateStamp::kBaseYear + 99 || mo < 1 || mo > 12 || d < 1 ||
        d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59) {
        return false;
    }
    *s = {static_cast<uint8_t>(sec),
          static_cast<uint8_t>(mi),
          static_cast<uint8_t>(h),
          static_cast<uint8_t>(weekday(y, mo, d)),
          static_cast<uint8_t>(d),
          static_cast<uint8_t>(mo),
          static_cast<uint8_t>(y - DateStamp::kBaseYear)};
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
                    "must be a date \"YYYY-MM-DD hh:mm:ss\" from 1992 to 2091");
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
