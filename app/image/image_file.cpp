// The image file's JSON form, written by upload --out and read by show.
#include <fmt/format.h>

#include "base/error.h"
#include "base/json.h"
#include "image/image.h"

namespace kvtapp {
namespace {

using json = nlohmann::ordered_json;

constexpr int kImageFormat = 1;
// The most bytes of each text of an image's upload: a name, not a document.
constexpr size_t kMaxUploadText = 256;

json recordsJson(const std::vector<ImageRecord>& records) {
    json list = json::array();
    for (const ImageRecord& r : records) {
        const json item = kvttools::itemJson(r);
        list.push_back({{"index", r.index},
                        {"kind", r.kind},
                        {"name", item["name"]},
                        {"version", r.version},
                        {"code", r.code},
                        {"stamp", item["stamp"]},
                        {"length", r.data.size()},
                        {"data", item["data"]}});
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
            {"text2", s.text2},       {"setup", s.setup ? toJson(*s.setup) : json(nullptr)}};
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
            {"results", toJson(image.calibrations)},
            {"notes", image.notes}};
}

// The upload an image file names: an object whose bench, user and technician are short texts.
bool readUpload(const json& value, json* upload, kvttools::FileProblem* problem) {
    const auto it = value.find("upload");
    if (it == value.end() || it->is_null()) return true;
    if (!it->is_object()) {
        *problem = {"upload", "must be an object of the bench, user and technician"};
        return false;
    }
    for (const char* key : {"bench", "user", "technician"}) {
        const auto text = it->find(key);
        if (text == it->end()) continue;
        if (!text->is_string() || text->get_ref<const std::string&>().size() > kMaxUploadText) {
            *problem = {std::string("upload.") + key,
                        fmt::format("must be a text of at most {} bytes", kMaxUploadText)};
            return false;
        }
    }
    *upload = *it;
    return true;
}

}  // namespace

json toJson(const ImageDocument& image) {
    return {{"kvtlnkImage", kImageFormat},
            {"calibrator", image.calibrator},
            {"upload", image.upload},
            {"procedure", recordsJson(image.procedure)},
            {"results", recordsJson(image.results)},
            {"decoded", decodedJson(image)}};
}

bool isImageJson(const json& value) {
    return value.is_object() && (value.contains("kvtlnkImage") || value.contains("procedure") ||
                                 value.contains("results"));
}

std::string calibratorText(const json& calibrator, const std::string& key) {
    for (const std::string& name : {key, std::string(key == "serialNumber" ? "ident3" : "")}) {
        const auto it = calibrator.is_object() ? calibrator.find(name) : calibrator.end();
        if (it != calibrator.end() && it->is_string()) return it->get<std::string>();
    }
    return "";
}

Calibrator calibratorOf(const json& calibrator) {
    Calibrator c;
    c.model = calibratorText(calibrator, "model");
    c.firmware = calibratorText(calibrator, "firmware");
    c.serialNumber = calibratorText(calibrator, "serialNumber");
    return c;
}

json calibratorJson(const Calibrator& c, const std::string& port, const std::string& uploaded) {
    json calibrator = toJson(c);
    calibrator["port"] = port;
    calibrator["uploaded"] = uploaded;
    return calibrator;
}

ImageFile readImageFile(const std::string& file, const json& value) {
    ImageFile image;
    // Memory files of the emulator (kvtsim --save) carry no format number; their records are
    // those of format 1.
    const auto format = value.find("kvtlnkImage");
    kvttools::FileProblem problem;
    if (format != value.end() && *format != kImageFormat) {
        problem = {"kvtlnkImage",
                   "this kvtlnk reads image files of format 1, not " + format->dump()};
    } else if (kvttools::readMemoryDocument(value, &image.memories, &problem) &&
               readUpload(value, &image.upload, &problem)) {
        if (value.contains("calibrator")) image.calibrator = value["calibrator"];
        return image;
    }
    throw Error::fileProblems(file, {{problem.field, problem.message}});
}

std::vector<std::string> procedureDifferences(const ImageDocument& sent,
                                              const ImageDocument& back) {
    std::vector<std::string> differences;
    if (sent.procedure.size() != back.procedure.size()) {
        differences.push_back(fmt::format("{} records sent, {} came back", sent.procedure.size(),
                                          back.procedure.size()));
    }
    const size_t n = std::min(sent.procedure.size(), back.procedure.size());
    for (size_t i = 0; i < n; ++i) {
        const ImageRecord& a = sent.procedure[i];
        const ImageRecord& b = back.procedure[i];
        if (a.kind != b.kind || a.version != b.version || a.data != b.data) {
            differences.push_back(fmt::format("record {} ({}) came back as {} with {} bytes", i,
                                              kindName(a.kind), kindName(b.kind), b.data.size()));
        }
    }
    return differences;
}

}  // namespace kvtapp
