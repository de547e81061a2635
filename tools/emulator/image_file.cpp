#include "image_file.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace k27emu {
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

bool parseItem(const Json& j, const std::string& path, EmuRecord* r, FileProblem* problem) {
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
    if (r->data.size() > EmuMemory::kMaxItemBytes) {
        return fail(problem, path + ".data",
                    fmt::format("holds {} bytes; a record holds at most {}", r->data.size(),
                                EmuMemory::kMaxItemBytes));
    }
    return true;
}

bool parseMemory(const Json& doc, const char* name, Memory which, std::vector<EmuRecord>* out,
                 FileProblem* problem) {
    const auto it = doc.find(name);
    if (it == doc.end()) return true;  // an absent memory is empty
    if (!it->is_array()) return fail(problem, name, "must be a list");
    EmuMemory check(which);
    for (size_t i = 0; i < it->size(); ++i) {
        const std::string path = fmt::format("{}[{}]", name, i);
        EmuRecord r;
        if (!parseItem((*it)[i], path, &r, problem)) return false;
        if (check.append(r) < 0) {
            return fail(problem, path, "the memory holds at most 1,048,576 bytes");
        }
        out->push_back(std::move(r));
    }
    return true;
}

// Finds where a number too large for a double stands, which the parser reports without saying
// where: a second pass that keeps the path to the value it is in.
class NumberOverflow : public nlohmann::json_sax<Json> {
  public:
    std::string field;  // "strategies[0].points[2]"
    std::string token;  // "1e400"

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& name) override {
        path_.back().key = name;
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string& last,
                     const nlohmann::detail::exception&) override {
        value();
        for (const Level& l : path_)
            field += l.array ? fmt::format("[{}]", l.index) : (field.empty() ? "" : ".") + l.key;
        token = last;
        return false;
    }

  private:
    struct Level {
        bool array;
        long index;
        std::string key;
    };
    bool value() {
        if (!path_.empty() && path_.back().array) ++path_.back().index;
        return true;
    }
    bool open(bool array) {
        value();
        path_.push_back({array, -1, {}});
        return true;
    }
    bool close() {
        path_.pop_back();
        return true;
    }
    std::vector<Level> path_;
};

std::mutex pendingMutex;
std::set<std::string> pending;  // temporary files of AtomicFile not yet renamed

std::string reason(const std::string& path, int err) {
    return fmt::format("{}: {}", path, std::strerror(err));
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

Json itemJson(const EmuRecord& r) {
    return {{"kind", r.kind},
            {"name", kindName(r.kind)},
            {"version", r.version},
            {"stamp", formatStamp(r.stamp)},
            {"data", toHex(r.data)}};
}

std::optional<Json> parseJson(const std::string& text, std::string* reason, std::string* field) {
    try {
        return Json::parse(text);
    } catch (const Json::out_of_range&) {
        NumberOverflow where;
        Json::sax_parse(text, &where);
        *field = where.field.empty() ? "(top level)" : where.field;
        *reason = "is " + where.token + ", a number beyond any the calibrator takes";
        return std::nullopt;
    } catch (const Json::parse_error& e) {
        // The text starts with the parser's own tag ("[json.exception.parse_error.101] ");
        // the reader needs only what follows.
        const std::string what = e.what();
        const size_t tagEnd = what.find("] ");
        *field = "(file)";
        *reason =
            "not valid JSON: " + (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2));
        return std::nullopt;
    }
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
    for (const EmuRecord& r : file.procedure)
        doc["procedure"].push_back(itemJson(r));
    for (const EmuRecord& r : file.results)
        doc["results"].push_back(itemJson(r));
    return doc.dump(1) + "\n";
}

bool readTextFile(const std::string& path, std::string* text, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        *error = path + ": is a directory, not a file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = reason(path, errno);
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        *error = reason(path, errno);
        return false;
    }
    *text = content.str();
    return true;
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

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::open(const std::string& path, std::string* error) {
    discard();
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        *error = path + ": is a directory; name a file";
        return false;
    }
    // A device or a pipe (/dev/stdout, /dev/null) is written in place: renaming a file over it
    // would replace the device node.
    if (exists && !S_ISREG(st.st_mode)) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            *error = reason(path, errno);
            return false;
        }
        path_ = path;
        fd_ = fd;
        return true;
    }
    // Beside the file, so that the rename stays within one file system.
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = dir + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = reason(path, errno);
        return false;
    }
    // mkstemp makes the file private; the result gets the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending.insert(temporary);
    }
    path_ = path;
    temporary_ = temporary;
    fd_ = fd;
    return true;
}

bool AtomicFile::commit(const std::string& text, std::string* error) {
    size_t done = 0;
    while (fd_ >= 0 && done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool inPlace = temporary_.empty();
    bool ok = fd_ >= 0 && done == text.size() && (inPlace || ::fsync(fd_) == 0);
    int err = errno;
    if (fd_ >= 0 && ::close(fd_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    fd_ = -1;
    if (ok && !inPlace && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        *error = reason(path_, err);
        discard();
        return false;
    }
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending.erase(temporary_);
    temporary_.clear();
    return true;
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (temporary_.empty()) return;
    ::unlink(temporary_.c_str());
    std::lock_guard<std::mutex> lock(pendingMutex);
    pending.erase(temporary_);
    temporary_.clear();
}

void AtomicFile::removePending() {
    std::lock_guard<std::mutex> lock(pendingMutex);
    for (const std::string& t : pending)
        ::unlink(t.c_str());
    pending.clear();
}

}  // namespace k27emu
