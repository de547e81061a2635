// The image file's JSON form, written by upload --out and read by show.
#include <cstdio>

#include "image.h"
#include "json_file.h"

namespace kvtcli {
namespace {

using json = nlohmann::ordered_json;

constexpr int kImageFormat = 1;
constexpr size_t kMaxRecordBytes = 64976;

std::string toHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

bool fromHex(const std::string& hex, std::vector<uint8_t>& bytes) {
    if (hex.size() % 2 != 0) return false;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = nibble(hex[i]);
        const int low = nibble(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return true;
}

json recordsJson(const std::vector<ImageRecord>& records) {
    json list = json::array();
    for (const ImageRecord& r : records) {
        list.push_back({{"index", r.index},
                        {"kind", r.kind},
                        {"name", kindName(r.kind)},
                        {"version", r.version},
                        {"code", r.code},
                        {"stamp", r.stamp.text()},
                        {"length", r.data.size()},
                        {"data", toHex(r.data)}});
    }
    return list;
}

json stepJson(const StepView& s) {
    if (s.kind == "prompt") {
        return {{"index", s.index}, {"kind", s.kind}, {"prompt", s.prompt}, {"defined", s.defined}};
    }
    return {{"index", s.index},       {"kind", s.kind},
            {"strategy", s.strategy}, {"strategyName", s.strategyName},
            {"flag", s.flag},         {"text1", s.text1},
            {"text2", s.text2}};
}

json decodedJson(const ImageDocument& image) {
    json strategies = json::array();
    for (const StrategyView& s : image.strategies) {
        strategies.push_back({{"index", s.index}, {"name", s.name}, {"points", s.points}});
    }
    json prompts = json::array();
    for (const PromptDefinitionView& p : image.prompts) {
        prompts.push_back({{"index", p.index}, {"name", p.name}, {"text", p.text}});
    }
    json tasks = json::array();
    for (const TaskView& t : image.tasks) {
        json steps = json::array();
        for (const StepView& s : t.steps)
            steps.push_back(stepJson(s));
        tasks.push_back({{"index", t.index},
                         {"name", t.name},
                         {"word", t.word},
                         {"ended", t.ended},
                         {"steps", steps}});
    }
    return {{"strategies", strategies},
            {"promptDefinitions", prompts},
            {"tasks", tasks},
            {"setups", image.setups},
            {"notes", image.notes}};
}

// Reads fields of an untrusted file, noting what is missing or of the wrong type.
class Reader {
  public:
    explicit Reader(std::vector<Problem>& problems) : problems_(problems) {}

    void problem(const std::string& field, const std::string& message) {
        problems_.push_back({field.empty() ? "(top level)" : field, message});
    }

    static std::string join(const std::string& path, const char* key) {
        return path.empty() ? key : path + "." + key;
    }

    const json* field(const json& object, const std::string& path, const char* key) {
        if (!object.is_object()) {
            problem(path, "must be an object, not " + describeType(object));
            return nullptr;
        }
        const auto it = object.find(key);
        if (it == object.end()) {
            problem(path, std::string("missing key \"") + key + "\"");
            return nullptr;
        }
        return &*it;
    }

    const json* list(const json& object, const std::string& path, const char* key) {
        const json* v = field(object, path, key);
        if (v && !v->is_array()) {
            problem(join(path, key), "must be a list, not " + describeType(*v));
            return nullptr;
        }
        return v;
    }

    template <typename T>
    void integer(const json& object, const std::string& path, const char* key, T& out, int64_t min,
                 int64_t max) {
        const json* v = field(object, path, key);
        if (!v) return;
        if (!v->is_number_integer() || v->get<int64_t>() < min || v->get<int64_t>() > max) {
            problem(join(path, key), "must be a whole number from " + std::to_string(min) + " to " +
                                         std::to_string(max));
            return;
        }
        out = static_cast<T>(v->get<int64_t>());
    }

    void text(const json& object, const std::string& path, const char* key, std::string& out) {
        const json* v = field(object, path, key);
        if (!v) return;
        if (!v->is_string()) return problem(join(path, key), "must be a text");
        out = v->get<std::string>();
    }

  private:
    std::vector<Problem>& problems_;
};

// A record's stamp holds the year as a byte counted from 1992.
void readStamp(Reader& in, const json& record, const std::string& path, Stamp& s) {
    std::string text;
    in.text(record, path, "stamp", text);
    if (text.empty()) return;
    char end = 0;
    if (std::sscanf(text.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &s.year, &s.month, &s.day, &s.hour,
                    &s.minute, &s.second, &end) != 6 ||
        s.year < 1992 || s.year > 1992 + 255 || s.month < 1 || s.month > 12 || s.day < 1 ||
        s.day > 31 || s.hour > 23 || s.minute > 59 || s.second > 59) {
        in.problem(path + ".stamp", "must be a date \"YYYY-MM-DD hh:mm:ss\" from 1992 to 2247");
    }
}

// A memory absent from the file is empty; the index, length and code of a record are written
// for the reader and follow from its place and data.
std::vector<ImageRecord> readRecords(Reader& in, const json& file, const char* which) {
    std::vector<ImageRecord> records;
    const std::string base = which;
    if (!file.contains(which)) return records;
    const json* list = in.list(file, "", which);
    if (!list) return records;
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string path = base + "[" + std::to_string(i) + "]";
        const json& item = (*list)[i];
        ImageRecord r;
        r.index = static_cast<int32_t>(i);
        in.integer(item, path, "kind", r.kind, 0, 65535);
        in.integer(item, path, "version", r.version, 0, 65535);
        readStamp(in, item, path, r.stamp);
        std::string hex;
        in.text(item, path, "data", hex);
        if (!fromHex(hex, r.data)) {
            in.problem(path + ".data", "must be hexadecimal byte pairs");
        } else if (r.data.size() > kMaxRecordBytes) {
            in.problem(path + ".data", "holds " + std::to_string(r.data.size()) +
                                           " bytes; a record holds at most " +
                                           std::to_string(kMaxRecordBytes));
        }
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace

std::string Stamp::text() const {
    char t[32];
    std::snprintf(t, sizeof t, "%04u-%02u-%02u %02u:%02u:%02u", year % 10000, month % 100,
                  day % 100, hour % 100, minute % 100, second % 100);
    return t;
}

const char* kindName(uint16_t kind) {
    static const char* const names[] = {"UNKNOWN",      "SETUP_1",  "SETUP_2",     "SETUP_3",
                                        "SETUP_4",      "SETUP_5",  "TEMPLATE",    "CAL_RESULT_A",
                                        "CAL_RESULT_B", "UNKNOWN",  "PROMPT_DEFN", "TASK_START",
                                        "PROMPT",       "TASK_END", "STRATEGY",    "TAG_ID"};
    return kind < std::size(names) ? names[kind] : "UNKNOWN";
}

json toJson(const ImageDocument& image) {
    return {{"kvtlnkImage", kImageFormat},
            {"calibrator", image.calibrator},
            {"procedure", recordsJson(image.procedure)},
            {"results", recordsJson(image.results)},
            {"decoded", decodedJson(image)}};
}

bool isImageJson(const json& value) {
    return value.is_object() && (value.contains("kvtlnkImage") || value.contains("procedure") ||
                                 value.contains("results"));
}

ImageDocument imageFromJson(const json& value, std::vector<Problem>& problems) {
    ImageDocument image;
    Reader in(problems);
    // Memory files of the emulator (kvtsim --save) carry no format number; their records are
    // those of format 1.
    const auto format = value.find("kvtlnkImage");
    if (format != value.end() && *format != kImageFormat) {
        in.problem("kvtlnkImage",
                   "this kvtlnk reads image files of format 1, not " + format->dump());
        return image;
    }
    if (value.contains("calibrator")) image.calibrator = value["calibrator"];
    image.procedure = readRecords(in, value, "procedure");
    image.results = readRecords(in, value, "results");
    return image;
}

}  // namespace kvtcli
