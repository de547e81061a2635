#include "memory/template_decode.h"

#include "memory/cal_result.h"
#include "memory/record_layout.h"

namespace kvtlnk {

namespace {

bool decodeTemplateRecord(MemoryImage& image, RecordRef ref, const Record& record,
                          SetupTarget* target, TemplateInfo* info) {
    RecordReader reader(record);
    uint8_t flag = 0;
    if (!reader.readI32(&info->strategy) || !reader.readI32(&info->setup) ||
        !reader.readByte(&flag)) {
        return false;
    }
    info->text1 = reader.takeText();
    info->text2 = info->text1 != nullptr ? reader.takeText() : nullptr;
    if (info->text2 == nullptr) return false;

    StrategyView strategy;
    if (!decodeStrategyAt(image, info->strategy, &strategy)) return false;
    if (target != nullptr && !target->restore(image, info->setup)) return false;
    info->flag = static_cast<int8_t>(flag);
    info->self = ref;
    if (target != nullptr && !target->commitScaled()) return false;
    info->strategyName = strategy.name;
    return true;
}

// A calibration result names the setup it ran with and the strategy; its texts are those of
// the TAG_ID that follows it.
bool decodeResultRecord(MemoryImage& image, RecordRef ref, SetupTarget* target,
                        TemplateInfo* info) {
    CalResultView result;
    StrategyView strategy;
    if (!decodeCalResult(image, ref, &result) ||
        !decodeStrategyAt(image, result.strategy, &strategy)) {
        return false;
    }
    if (target != nullptr && !loadResultSetup(image, result, *target)) return false;
    info->setup = result.setup;
    info->strategy = result.strategy;
    info->self = ref;
    info->flag = result.flag > 0 ? 1 : 0;
    const Record* next = resolveRef(image, nextRef(image, ref));
    TagView tag;
    if (next != nullptr && next->kind() == TAG_ID && decodeTag(*next, &tag)) {
        info->text1 = tag.texts[0];
        info->text2 = tag.texts[1];
        info->text3 = tag.texts[2];
    }
    info->strategyName = strategy.name;
    return true;
}

}  // namespace

bool loadResultSetup(MemoryImage& image, const CalResultView& result, SetupTarget& target) {
    if (!target.restore(image, result.setup)) return false;
    target.applyResult(result);
    return target.commitScaled();
}

bool decodeTemplate(MemoryImage& image, RecordRef ref, SetupTarget* target, TemplateInfo* info) {
    *info = TemplateInfo{};
    const Record* record = resolveRef(image, ref);
    if (record == nullptr) return false;
    if (record->kind() == TEMPLATE) return decodeTemplateRecord(image, ref, *record, target, info);
    if (isCalResultKind(record->kind())) return decodeResultRecord(image, ref, target, info);
    return false;
}

}  // namespace kvtlnk
