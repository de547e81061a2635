// Building the procedure memory: strategies, prompt definitions, tasks and their steps.
#include <cstring>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "memory/mem_api.h"
#include "memory/prompt_fit.h"
#include "memory/record_layout.h"
#include "memory/record_views.h"
#include "support/byte_order.h"
#include "support/font.h"

namespace kvtlnk {

namespace {

constexpr int32_t kMaxPoints = 32000;
constexpr float kMaxPoint = 3.0f;

// The result code of a record built by the definition calls.
uint32_t finished(RecordWriter& record) {
    return record.finish() >= 0 ? KVTLNK_OK : KVTLNK_E_IMAGE;
}

bool longerThan(const char* s, size_t max) {
    return std::strlen(s) > max;
}

// A new STRATEGY of n zero points, or the existing one of that name when it has n points;
// its index, or -1.
int32_t defineStrategy(MemoryImage& image, const char* name, int16_t n) {
    const size_t nameLength = std::strlen(name);
    if (nameLength == 0 || nameLength > kStrategyNameMax || n < 1 || n > kMaxPoints) return -1;

    const int32_t existing = findStrategy(image, name);
    if (existing >= 0) {
        StrategyView view;
        decodeStrategy(*image.procedure().selectRecord(existing), &view);
        return view.count == n ? existing : -1;
    }

    RecordWriter record(image.procedure(), STRATEGY);
    record.writeU32(static_cast<uint32_t>(n));
    record.takePoints(static_cast<uint32_t>(n));
    record.writeText(name);
    return record.finish();
}

bool pointInSpan(float v) {
    return v >= 0.0f && v <= kMaxPoint;  // false for NaN too
}

uint16_t pointValue(float v) {
    return static_cast<uint16_t>(static_cast<double>(v) * 10000.0 + 0.5);
}

struct StandardStrategy {
    const char* name;
    std::vector<float> points;
};

// Points 0, 1/steps, ... 1 rising, falling, or rising and falling again.
std::vector<float> ramp(int steps, bool up, bool down) {
    std::vector<float> points;
    if (up) {
        for (int i = 0; i <= steps; ++i)
            points.push_back(static_cast<float>(i) / static_cast<float>(steps));
    }
    if (down) {
        for (int i = up ? steps - 1 : steps; i >= 0; --i)
            points.push_back(static_cast<float>(i) / static_cast<float>(steps));
    }
    return points;
}

// The calibrator's nine standard strategies; 0x8C and 0x8D are its up and down arrows.
std::vector<StandardStrategy> standardStrategies() {
    return {
        {"3 \x8C", ramp(2, true, false)},      {"3 \x8D", ramp(2, false, true)},
        {"3 \x8C\x8D", ramp(2, true, true)},   {"5 \x8C", ramp(4, true, false)},
        {"5 \x8D", ramp(4, false, true)},      {"5 \x8C\x8D", ramp(4, true, true)},
        {"11 \x8C", ramp(10, true, false)},    {"11 \x8D", ramp(10, false, true)},
        {"11 \x8C\x8D", ramp(10, true, true)},
    };
}

}  // namespace

void memClear(MemoryImage& image) {
    image.results().truncate(0);
    image.procedure().truncate(0);
    for (const StandardStrategy& s : standardStrategies()) {
        memStrategyDefn(image, nullptr, s.name, static_cast<int32_t>(s.points.size()),
                        s.points.data());
    }
}

uint32_t memStrategyDefn(MemoryImage& image, uint32_t* index, const char* name, int32_t n,
                         const float* points) {
    if (name == nullptr || (n > 0 && points == nullptr)) return KVTLNK_E_ARGUMENT;
    if (longerThan(name, kStrategyNameMax)) return KVTLNK_E_TOO_LONG;
    const int32_t at = defineStrategy(image, name, static_cast<int16_t>(n));
    if (at < 0) return KVTLNK_E_IMAGE;
    if (index != nullptr) *index = static_cast<uint32_t>(at);

    // The points are written in place; the record's name, and so the look-ups, stay as they are.
    Record& record = *image.procedure().selectRecord(at);
    StrategyView view;
    decodeStrategy(record, &view);
    uint8_t* slots = record.data() + 4;  // after the point count
    for (int32_t i = 0; i < n; ++i) {
        if (i >= view.count || !pointInSpan(points[i])) {
            image.procedure().truncate(at);
            return KVTLNK_E_STRATEGY_POINT;
        }
        storeU16(slots + 2 * i, pointValue(points[i]));
    }
    return KVTLNK_OK;
}

uint32_t memCheckPromptDefn(const ProportionalFont& font, const char* text,
                            uint32_t* fittingLength) {
    if (fittingLength != nullptr) *fittingLength = 0;
    if (text == nullptr) return KVTLNK_E_ARGUMENT;
    const PromptFit fit = fitPrompt(font, text);
    if (fittingLength != nullptr) *fittingLength = fit.length;
    return fit.fits ? KVTLNK_OK : KVTLNK_E_PROMPT_FIT;
}

uint32_t memPromptDefn(MemoryImage& image, const ProportionalFont& font, const char* name,
                       const char* text) {
    if (name == nullptr || text == nullptr) return KVTLNK_E_ARGUMENT;
    if (longerThan(name, kNameMax)) return KVTLNK_E_TOO_LONG;
    // A text too long for the display is cut to what it shows.
    const PromptFit fit = fitPrompt(font, text);
    RecordWriter record(image.procedure(), PROMPT_DEFN);
    record.takeZeros(2);
    record.writeText(name);
    record.writeBytes(text, fit.length);
    record.takeZeros(1);
    return finished(record);
}

uint32_t memStartTask(MemoryImage& image, const char* name) {
    if (name == nullptr) return KVTLNK_E_ARGUMENT;
    if (longerThan(name, kNameMax)) return KVTLNK_E_TOO_LONG;
    RecordWriter record(image.procedure(), TASK_START);
    record.takeZeros(2);
    record.writeText(name);
    return finished(record);
}

uint32_t memPrompt(MemoryImage& image, const char* promptDefnName) {
    if (promptDefnName == nullptr) return KVTLNK_E_ARGUMENT;
    if (longerThan(promptDefnName, kNameMax)) return KVTLNK_E_TOO_LONG;
    RecordWriter record(image.procedure(), PROMPT);
    record.writeText(promptDefnName);
    return finished(record);
}

uint32_t memTemplate(MemoryImage& image, uint32_t strategyIndex, uint32_t flag, const char* text1,
                     const char* text2, uint32_t setupIndex) {
    if (text1 == nullptr || text2 == nullptr) return KVTLNK_E_ARGUMENT;
    if (longerThan(text1, kNameMax) || longerThan(text2, kNameMax)) return KVTLNK_E_TOO_LONG;
    RecordWriter record(image.procedure(), TEMPLATE);
    record.writeU32(strategyIndex);
    record.writeU32(setupIndex);
    record.writeByte(flag != 0 ? 1 : 0);
    record.writeText(text1);
    record.writeText(text2);
    return finished(record);
}

uint32_t memEndTask(MemoryImage& image) {
    RecordWriter record(image.procedure(), TASK_END);
    record.takeZeros(1);
    return finished(record);
}

}  // namespace kvtlnk
