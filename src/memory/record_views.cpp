#include "memory/record_views.h"

#include "memory/record_layout.h"
#include "support/byte_order.h"

namespace kvtlnk {

float StrategyView::point(int i) const {
    return static_cast<float>(static_cast<int16_t>(loadU16(points + 2 * i))) / 10000.0f;
}

bool decodeStrategy(const Record& record, StrategyView* view) {
    RecordReader reader(record);
    uint32_t count = 0;
    if (!reader.readU32(&count)) return false;
    const auto n = static_cast<int16_t>(count & 0xFFFF);
    if (n < 0) return false;
    const uint8_t* points = reader.takePoints(static_cast<uint32_t>(n));
    const char* name = reader.takeText();
    if (points == nullptr || name == nullptr) return false;
    *view = StrategyView{name, n, points};
    return true;
}

bool decodeStrategyAt(const MemoryImage& image, RecordRef ref, StrategyView* view) {
    const Record* record = resolveRef(image, ref);
    return record != nullptr && decodeStrategy(*record, view);
}

bool decodePromptDefn(const Record& record, PromptDefnView* view) {
    RecordReader reader(record);
    if (!reader.skip(2)) return false;
    const char* name = reader.takeText();
    const char* text = name != nullptr ? reader.takeText() : nullptr;
    if (text == nullptr) return false;
    *view = PromptDefnView{name, text};
    return true;
}

bool decodeTaskStart(const Record& record, TaskView* view) {
    RecordReader reader(record);
    uint16_t word = 0;
    if (!reader.readU16(&word)) return false;
    const char* name = reader.takeText();
    if (name == nullptr) return false;
    *view = TaskView{word, name};
    return true;
}

bool decodeTag(const Record& record, TagView* view) {
    RecordReader reader(record);
    TagView tag;
    for (const char*& text : tag.texts) {
        if ((text = reader.takeText()) == nullptr) return false;
    }
    *view = tag;
    return true;
}

const char* strategyName(const Record& record) {
    StrategyView view;
    if (record.kind() != STRATEGY || !decodeStrategy(record, &view)) return nullptr;
    return view.name;
}

const char* promptDefnName(const Record& record) {
    PromptDefnView view;
    if (record.kind() != PROMPT_DEFN || !decodePromptDefn(record, &view)) return nullptr;
    return view.name;
}

int32_t findStrategy(MemoryImage& image, const char* name) {
    return image.strategyNames().find(image.procedure(), &strategyName, name);
}

int32_t findPromptDefn(MemoryImage& image, const char* name) {
    return image.promptDefnNames().find(image.procedure(), &promptDefnName, name);
}

}  // namespace kvtlnk
