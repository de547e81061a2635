#include "memory/template_decode.h"

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
    return finishTemplate(strategy, target, info);
}

}  // namespace

bool decodeTemplate(MemoryImage& image, RecordRef ref, SetupTarget* target, TemplateInfo* info) {
    *info = TemplateInfo{};
    const Record* record = resolveRef(image, ref);
    if (record == nullptr) return false;
    switch (record->kind()) {
        case TEMPLATE:
            return decodeTemplateRecord(image, ref, *record, target, info);
        default:
            // Calibration results (kinds 7 and 8) decode through a branch of their own.
            return false;
    }
}

bool finishTemplate(const StrategyView& strategy, SetupTarget* target, TemplateInfo* info) {
    if (target != nullptr && !target->commitScaled()) return false;
    info->strategyName = strategy.name;
    return true;
}

}  // namespace kvtlnk
