#include "image_file.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace k27emu {
namespace {

using nlohmann::json;

bool fail(std::string* problem, std::string text) {
    *problem = std::move(text);
    return false;
}

const char* kindName(uint16_t kind) {
    static const char* const names[] = {nullptr,        "SETUP_1",  "SETUP_2",     "SETUP_3",
                                        "SETUP_4",      "SETUP_5",  "TEMPLATE",    "CAL_RESULT_A",
                                        "CAL_RESULT_B", nullptr,    "PROMPT_DEFN", "TASK_START",
                                        "PROMPT",       "TASK_END", "STRATEGY",    "TAG_ID"};
    return kind < sizeof names / sizeof names[0] && names[kind] ? names[kind] : "UNKNOWN";
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

std::string formatStamp(const DateStamp& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", s.fullYear(), s.month, s.day,
                  s.hour, s.minute, s.second);
    return text;
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
    s->year = static_cast<uint8_t>(y - DateStamp::kBaseYear);
    s->month = static_cast<uint8_t>(mo);
    s->day = static_cast<uint8_t>(d);
    s->hour = static_cast<uint8_t>(h);
    s->minute = static_cast<uint8_t>(mi);
    s->second = static_cast<uint8_t>(sec);
    s->weekday = static_cast<uint8_t>(weekday(y, mo, d));
    return true;
}

bool parseItem(const json& j, EmuRecord* r, std::string* problem) {
    if (!j.is_object()) return fail(problem, "is not an object");
    for (const char* key : {"kind", "version"}) {
        const auto it = j.find(key);
        if (it == j.end() || !it->is_number_unsigned() || it->get<uint64_t>() > 0xFFFF) {
            return fail(problem, std::string("\"") + key + "\" is not a number 0 ... 65535");
        }
    }
    r->kind = j["kind"].get<uint16_t>();
    r->version = j["version"].get<uint16_t>();
    const auto stamp = j.find("stamp");
    if (stamp == j.end() || !stamp->is_string() ||
        !parseStamp(stamp->get<std::string>(), &r->stamp)) {
        return fail(problem, "\"stamp\" is not a date \"YYYY-MM-DD hh:mm:ss\" in 1992 ... 2091");
    }
    const auto data = j.find("data");
    if (data == j.end() || !data->is_string() || !fromHex(data->get<std::string>(), &r->data)) {
        return fail(problem, "\"data\" is not a text of hex digit pairs");
    }
    if (r->data.size() > EmuMemory::kMaxItemBytes) {
        return fail(problem, "\"data\" holds more than 64976 bytes");
    }
    return true;
}

bool parseMemory(const json& doc, const char* name, std::vector<EmuRecord>* out,
                 std::string* error) {
    const auto it = doc.find(name);
    if (it == doc.end()) return true;  // an absent memory is empty
    if (!it->is_array()) return fail(error, std::string("\"") + name + "\" is not a list");
    EmuMemory check(Memory::Procedure);
    for (size_t i = 0; i < it->size(); ++i) {
        EmuRecord r;
        std::string problem;
        if (!parseItem((*it)[i], &r, &problem)) {
            *error = std::string(name) + " item " + std::to_string(i) + ": " + problem;
            return false;
        }
        if (check.append(r) < 0) {
            *error = std::string(name) + " item " + std::to_string(i) +
                     ": the memory holds more than 1048576 bytes";
            return false;
        }
        out->push_back(std::move(r));
    }
    return true;
}

json formatMemory(const std::vector<EmuRecord>& records) {
    json list = json::array();
    for (const EmuRecord& r : records) {
        list.push_back({{"kind", r.kind},
                        {"name", kindName(r.kind)},
                        {"version", r.version},
                        {"stamp", formatStamp(r.stamp)},
                        {"data", toHex(r.data)}});
    }
    return list;
}

}  // namespace

bool parseMemoryFile(const std::string& text, MemoryFile* out, std::string* error) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        *error = "not a JSON object";
        return false;
    }
    MemoryFile file;
    if (!parseMemory(doc, "procedure", &file.procedure, error) ||
        !parseMemory(doc, "results", &file.results, error)) {
        return false;
    }
    *out = std::move(file);
    return true;
}

std::string formatMemoryFile(const MemoryFile& file) {
    const json doc = {{"procedure", formatMemory(file.procedure)},
                      {"results", formatMemory(file.results)}};
    return doc.dump(1) + "\n";
}

bool loadMemoryFile(const std::string& path, MemoryFile* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!parseMemoryFile(text.str(), out, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool saveMemoryFile(const std::string& path, const MemoryFile& file, std::string* error) {
    std::ofstream outFile(path, std::ios::binary | std::ios::trunc);
    outFile << formatMemoryFile(file);
    outFile.close();
    if (!outFile) {
        *error = path + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace k27emu
