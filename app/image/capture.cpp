// Capturing the library's image: its records as bytes, what the reading calls decode of the
// procedure records, and the results with the records each rests on.
#include <fmt/format.h>

#include "base/charset.h"
#include "image/image.h"
#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"

namespace kvtapp {
namespace {

enum : uint16_t {
    kTemplate = 6,
    kPromptDefn = 10,
    kTaskStart = 11,
    kPrompt = 12,
    kTaskEnd = 13,
    kStrategy = 14,
};

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
    image.procedure = imageRecords(kvttools::Memory::Procedure);
    image.results = imageRecords(kvttools::Memory::Results);
    Decoder(image).run();
    image.calibrations = readResults();
    for (Result& r : image.calibrations)
        r.records = restingRecords(image, r);
    return image;
}

}  // namespace kvtapp
