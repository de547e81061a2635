// Capturing the library's image: MEMdump writes each memory's listing and record data to a
// scratch directory, the reading calls decode the procedure records.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include <fmt/format.h>

#include "charset.h"
#include "failure.h"
#include "image.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"
#include "memory/record_store.h"

namespace kvtcli {
namespace {

namespace fs = std::filesystem;

enum : uint16_t {
    kTemplate = 6,
    kPromptDefn = 10,
    kTaskStart = 11,
    kPrompt = 12,
    kTaskEnd = 13,
    kStrategy = 14,
};

// A directory that lives as long as the object.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        // MEMdump takes paths of up to 255 bytes with its suffixes, so stay short.
        fs::path base = fs::temp_directory_path();
        if (base.string().size() > 160) base = "/tmp";
        std::string pattern = (base / "kvtlnk-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw CliError(kExitCalibrator, "cannot make a scratch directory in " + base.string());
        }
        path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CliError(kExitCalibrator, "the image dump lacks " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using DirFn = uint32_t(KVTLNK_CALL*)(int32_t, uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                     uint32_t*, uint32_t*);

// One memory from its listing ("0: name(14),V(0),03/02/1998 10:04:05") and data files.
std::vector<ImageRecord> readMemory(const std::string& base, uint32_t expected, DirFn dir) {
    std::ifstream listing(base + ".dir");
    if (!listing) throw CliError(kExitCalibrator, "the image dump lacks " + base + ".dir");
    static const std::regex line(R"(^(\d+): .*\((\d+)\),V\((\d+)\),.*$)");
    std::vector<ImageRecord> records;
    std::string text;
    while (std::getline(listing, text)) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        ImageRecord r;
        r.index = static_cast<int32_t>(records.size());
        r.kind = static_cast<uint16_t>(std::stoul(m[2]));
        r.version = static_cast<uint16_t>(std::stoul(m[3]));
        uint32_t t[6] = {};  // year, month, day, hour, minute, second
        dir(r.index, &r.code, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5]);
        r.stamp = {static_cast<uint8_t>(t[5]),
                   static_cast<uint8_t>(t[4]),
                   static_cast<uint8_t>(t[3]),
                   0,
                   static_cast<uint8_t>(t[2]),
                   static_cast<uint8_t>(t[1]),
                   static_cast<uint8_t>(t[0] - kvtlnk::DateStamp::kBaseYear)};
        r.data = readBytes(fmt::format("{}{}.nd", base, r.index));
        records.push_back(std::move(r));
    }
    if (records.size() != expected) {
        throw CliError(kExitCalibrator,
                       fmt::format("the image dump in {}.dir lists {} records, not {}", base,
                                   records.size(), expected));
    }
    return records;
}

// Output buffers sized by the record itself: an uploaded record's texts are bounded only by
// its length.
std::string buffer(const ImageRecord& r) {
    return std::string(r.data.size() + 34, '\0');
}

std::string cText(const std::string& buf) {
    return toUtf8(std::string(buf.c_str()));
}

// Decodes the procedure records one by one and groups task steps under their task.
class Decoder {
  public:
    explicit Decoder(ImageDocument& image) : image_(image) {}

    void run() {
        for (const ImageRecord& r : image_.procedure) {
            switch (r.kind) {
                case kStrategy:
                    strategy(r);
                    break;
                case kPromptDefn:
                    promptDefinition(r);
                    break;
                case kTaskStart:
                    taskStart(r);
                    break;
                case kPrompt:
                    prompt(r);
                    break;
                case kTemplate:
                    test(r);
                    break;
                case kTaskEnd:
                    if (task_ >= 0) image_.tasks[task_].ended = true;
                    task_ = -1;
                    break;
                default:
                    if (r.kind >= 1 && r.kind <= 5) image_.setups.push_back(r.index);
                    break;
            }
        }
        // A test may name a strategy defined after it.
        for (TaskView& t : image_.tasks) {
            for (StepView& step : t.steps) {
                for (const StrategyView& s : image_.strategies) {
                    if (step.kind == "test" && s.index == step.strategy) step.strategyName = s.name;
                }
            }
        }
    }

  private:
    void note(const ImageRecord& r, uint32_t rc) {
        image_.notes.push_back(fmt::format("procedure record {} ({}): {}: {}", r.index,
                                           kindName(r.kind), rc, kvtlnkMessage(rc)));
    }

    void strategy(const ImageRecord& r) {
        std::string name = buffer(r);
        std::vector<float> points(r.data.size() / 2 + 1);
        int32_t count = 0;
        const uint32_t rc = MEMstrategyInfo(r.index, name.data(), &count,
                                            static_cast<int32_t>(points.size()), points.data());
        if (rc != KVTLNK_OK) return note(r, rc);
        points.resize(std::min<size_t>(points.size(), static_cast<size_t>(count)));
        image_.strategies.push_back({r.index, cText(name), points});
    }

    void promptDefinition(const ImageRecord& r) {
        std::string name = buffer(r);
        std::string text = buffer(r);
        uint32_t length = 0;
        const uint32_t rc = MEMpromptDefnInfo(r.index, name.data(), &length,
                                              static_cast<int32_t>(text.size()), text.data());
        if (rc != KVTLNK_OK) return note(r, rc);
        image_.prompts.push_back({r.index, cText(name), toUtf8(text.substr(0, length))});
    }

    void taskStart(const ImageRecord& r) {
        std::string name = buffer(r);
        uint32_t word = 0;
        const uint32_t rc = MEMtaskInfo(r.index, name.data(), &word);
        if (rc != KVTLNK_OK) return note(r, rc);
        image_.tasks.push_back({r.index, cText(name), word, false, {}});
        task_ = static_cast<int>(image_.tasks.size()) - 1;
    }

    // Steps before any task start still show, under a task without a name.
    std::vector<StepView>& steps(const ImageRecord& r) {
        if (task_ < 0) {
            image_.tasks.push_back({r.index, "", 0, false, {}});
            task_ = static_cast<int>(image_.tasks.size()) - 1;
        }
        return image_.tasks[task_].steps;
    }

    void prompt(const ImageRecord& r) {
        std::string name = buffer(r);
        StepView step;
        step.index = r.index;
        step.kind = "prompt";
        if (MEMpromptInfo(r.index, name.data()) == KVTLNK_OK) {
            step.prompt = cText(name);
        } else {
            // The reading call reports only prompts whose definition exists; the record itself
            // is just the name.
            step.prompt = toUtf8(std::string(r.data.begin(), r.data.end()).c_str());
            step.defined = false;
        }
        steps(r).push_back(step);
    }

    void test(const ImageRecord& r) {
        std::string text1 = buffer(r);
        std::string text2 = buffer(r);
        uint32_t strategy = 0;
        uint32_t flag = 0;
        const uint32_t rc = MEMtemplateInfo(r.index, &strategy, &flag, text1.data(), text2.data());
        if (rc != KVTLNK_OK) return note(r, rc);
        StepView step;
        step.index = r.index;
        step.kind = "test";
        step.strategy = static_cast<int32_t>(strategy);
        step.flag = flag != 0;
        step.text1 = cText(text1);
        step.text2 = cText(text2);
        if (MEMtemplateState(r.index) == KVTLNK_OK) step.setup = readSetup();
        steps(r).push_back(step);
    }

    ImageDocument& image_;
    int task_ = -1;  // the task whose steps follow
};

}  // namespace

ImageDocument captureImage() {
    ImageDocument image;
    uint32_t procedureCount = 0;
    uint32_t resultCount = 0;
    MEMstats(&procedureCount, &resultCount);
    ScratchDirectory scratch;
    MEMdump(scratch.path().c_str());
    image.procedure = readMemory(scratch.path() + "/prc", procedureCount, MEMpDir);
    image.results = readMemory(scratch.path() + "/res", resultCount, MEMrDir);
    Decoder(image).run();
    image.calibrations = readResults();
    return image;
}

std::vector<uint32_t> recordSizes() {
    uint32_t procedure = 0;
    uint32_t results = 0;
    MEMstats(&procedure, &results);
    ScratchDirectory scratch;
    MEMdump(scratch.path().c_str());
    std::vector<uint32_t> sizes;
    const auto add = [&](const char* memory, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            std::error_code ec;
            const auto data =
                fs::file_size(fmt::format("{}/{}{}.nd", scratch.path(), memory, i), ec);
            // What the record takes in the image, as MEMused counts it.
            sizes.push_back(kvtlnk::RecordStore::kHeaderBytes + (ec ? 0 : (data + 1) / 2 * 2));
        }
    };
    add("prc", procedure);
    add("res", results);
    return sizes;
}

}  // namespace kvtcli
