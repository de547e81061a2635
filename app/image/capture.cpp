// Capturing the library's image: MEMdump writes each memory's listing and record data to a
// scratch directory, the reading calls decode the procedure records.
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "base/charset.h"
#include "base/error.h"
#include "base/platform.h"
#include "common/files.h"
#include "common/memory.h"
#include "image/image.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"

namespace kvtapp {
namespace {

namespace fs = std::filesystem;
using kvttools::CalibratorMemory;

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
    ScratchDirectory() : path_(platform::makeScratchFolder("kvtlnk")) {}
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

Error dumpError(const std::string& what) {
    return calibratorError("the image dump " + what);
}

// The data file of a record: at most what a record holds.
std::vector<uint8_t> readData(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw dumpError("lacks " + path);
    std::vector<uint8_t> data(CalibratorMemory::kMaxItemBytes + 1);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (in.bad() || in.gcount() > static_cast<std::streamsize>(CalibratorMemory::kMaxItemBytes)) {
        throw dumpError(path + " is not the data of a record");
    }
    data.resize(static_cast<size_t>(in.gcount()));
    return data;
}

// The decimal number that fills text[from, to), at most max.
bool wholeNumber(const std::string& text, size_t from, size_t to, uint32_t max, uint32_t* out) {
    if (from >= to || to > text.size()) return false;
    const char* end = text.data() + to;
    const auto [stop, ec] = std::from_chars(text.data() + from, end, *out);
    return ec == std::errc() && stop == end && *out <= max;
}

// Index, kind and version of a listing line "12: <<nil>>(14),V(0),03/02/1998 10:04:05"; the
// kind's name between the index and the kind is "<<nil>>" or empty.
bool parseListing(const std::string& line, uint32_t* index, ImageRecord* r) {
    const size_t colon = line.find(": ");
    const size_t version = line.find("),V(");
    if (colon == std::string::npos || version == std::string::npos) return false;
    const size_t kind = line.rfind('(', version);
    const size_t versionEnd = line.find("),", version + 4);
    uint32_t kindValue = 0, versionValue = 0;
    if (kind == std::string::npos || kind < colon || versionEnd == std::string::npos ||
        !wholeNumber(line, 0, colon, UINT32_MAX, index) ||
        !wholeNumber(line, kind + 1, version, 0xFFFF, &kindValue) ||
        !wholeNumber(line, version + 4, versionEnd, 0xFFFF, &versionValue)) {
        return false;
    }
    r->kind = static_cast<uint16_t>(kindValue);
    r->version = static_cast<uint16_t>(versionValue);
    return true;
}

using DirFn = uint32_t(KVTLNK_CALL*)(int32_t, uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                     uint32_t*, uint32_t*);

// One memory from its listing and data files, with the directory code and stamp of each record
// from the reading call.
std::vector<ImageRecord> readMemory(const std::string& base, uint32_t expected, DirFn dir) {
    std::ifstream listing(base + ".dir");
    if (!listing) throw dumpError("lacks " + base + ".dir");
    std::vector<ImageRecord> records;
    std::string line;
    while (std::getline(listing, line)) {
        ImageRecord r;
        r.index = static_cast<int32_t>(records.size());
        uint32_t listed = 0;
        if (!parseListing(line, &listed, &r) || listed != records.size()) {
            throw dumpError(fmt::format("in {}.dir has line {} as \"{}\"", base, records.size() + 1,
                                        line.substr(0, 80)));
        }
        records.push_back(std::move(r));
    }
    if (records.size() != expected) {
        throw dumpError(
            fmt::format("in {}.dir lists {} records, not {}", base, records.size(), expected));
    }
    for (ImageRecord& r : records) {
        uint32_t t[6] = {};  // year, month, day, hour, minute, second
        dir(r.index, &r.code, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5]);
        r.stamp = {static_cast<uint8_t>(t[5]),
                   static_cast<uint8_t>(t[4]),
                   static_cast<uint8_t>(t[3]),
                   0,
                   static_cast<uint8_t>(t[2]),
                   static_cast<uint8_t>(t[1]),
                   static_cast<uint8_t>(t[0] - kvttools::DateStamp::kBaseYear)};
        r.data = readData(fmt::format("{}{}.nd", base, r.index));
    }
    return records;
}

// Both memories of the library's image, record by record. The C API reads records as what
// they mean; their bytes, kinds and versions come only through MEMdump's files.
struct Dump {
    std::vector<ImageRecord> procedure;
    std::vector<ImageRecord> results;
};
Dump dumpImage() {
    uint32_t procedureCount = 0;
    uint32_t resultCount = 0;
    MEMstats(&procedureCount, &resultCount);
    ScratchDirectory scratch;
    MEMdump(scratch.path().c_str());
    return {readMemory(scratch.path() + "/prc", procedureCount, MEMpDir),
            readMemory(scratch.path() + "/res", resultCount, MEMrDir)};
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
    Dump dump = dumpImage();
    image.procedure = std::move(dump.procedure);
    image.results = std::move(dump.results);
    Decoder(image).run();
    image.calibrations = readResults();
    for (Result& r : image.calibrations)
        r.records = restingRecords(image, r);
    return image;
}

std::vector<std::string> dumpFilesAmiss(const std::string& directory, size_t* total) {
    uint32_t procedureCount = 0;
    uint32_t resultCount = 0;
    MEMstats(&procedureCount, &resultCount);
    ScratchDirectory scratch;
    MEMdump(scratch.path().c_str());
    std::vector<std::string> amiss;
    *total = 0;
    const auto check = [&](const std::string& name) {
        ++*total;
        std::string made, found, error;
        if (!kvttools::readTextFile(scratch.path() + "/" + name, &made, &error)) {
            throw dumpError("to check " + directory + " against: " + error);
        }
        if (!kvttools::readTextFile(directory + "/" + name, &found, &error) || found != made) {
            amiss.push_back(name);
        }
    };
    for (const auto& [base, count] : {std::pair{"res", resultCount}, {"prc", procedureCount}}) {
        check(base + std::string(".dir"));
        for (uint32_t i = 0; i < count; ++i)
            check(fmt::format("{}{}.nd", base, i));
    }
    return amiss;
}

std::vector<uint32_t> recordSizes() {
    const Dump dump = dumpImage();
    std::vector<uint32_t> sizes;
    for (const auto* memory : {&dump.procedure, &dump.results}) {
        for (const ImageRecord& r : *memory)
            sizes.push_back(CalibratorMemory::share(static_cast<uint32_t>(r.data.size())));
    }
    return sizes;
}

}  // namespace kvtapp
