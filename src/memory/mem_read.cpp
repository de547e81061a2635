// Reading the image record by record: directories, tasks, strategies, templates and prompts.
#include <algorithm>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "memory/record_views.h"
#include "memory/setup_record.h"
#include "memory/template_decode.h"

namespace kvtlnk {

namespace {

constexpr uint32_t kNoTaskWord = 0xFFFFFFFF;

void copyText(char* dst, const char* src, uint32_t size) {
    if (dst != nullptr) copyBounded(dst, src, size);
}

template <class T>
void put(T* out, T value) {
    if (out != nullptr) *out = value;
}

const Record* procedureRecord(const MemoryImage& image, int32_t index, uint16_t kind) {
    const Record* record = image.procedure().selectRecord(index);
    return record != nullptr && record->kind() == kind ? record : nullptr;
}

}  // namespace

uint32_t memDir(const MemoryImage& image, Memory memory, int32_t index, DirEntry* entry) {
    const Record* record = image.store(memory).selectRecord(index);
    if (record == nullptr) return KVTLNK_E_RECORD;
    const DateStamp& stamp = record->stamp();
    entry->code = directoryCode(record->kind(), memory);
    entry->year = static_cast<uint32_t>(stamp.fullYear());
    entry->month = stamp.month;
    entry->day = stamp.day;
    entry->hour = stamp.hour;
    entry->minute = stamp.minute;
    entry->second = stamp.second;
    return KVTLNK_OK;
}

uint32_t memTaskInfo(const MemoryImage& image, int32_t index, char* name, uint32_t* taskWord) {
    const Record* record = procedureRecord(image, index, TASK_START);
    TaskView task;
    if (record == nullptr || !decodeTaskStart(*record, &task)) {
        copyText(name, "", kNameBuffer);
        put(taskWord, kNoTaskWord);
        return KVTLNK_E_RECORD;
    }
    copyText(name, task.name, kNameBuffer);
    put(taskWord, uint32_t{task.word});
    return KVTLNK_OK;
}

uint32_t memStrategyInfo(const MemoryImage& image, int32_t index, char* name, int32_t* count,
                         int32_t maxPoints, float* points) {
    // Any record that decodes as a strategy is reported as one, whatever its kind.
    const Record* record = image.procedure().selectRecord(index);
    StrategyView strategy;
    if (record == nullptr || !decodeStrategy(*record, &strategy)) return KVTLNK_E_RECORD;
    put(count, int32_t{strategy.count});
    copyText(name, strategy.name, kStrategyNameBuffer);
    if (points != nullptr) {
        const int32_t n = std::min<int32_t>(maxPoints, strategy.count);
        for (int32_t i = 0; i < n; ++i)
            points[i] = strategy.point(i);
    }
    return KVTLNK_OK;
}

uint32_t memTemplateInfo(MemoryImage& image, int32_t index, uint32_t* strategyIndex, uint32_t* flag,
                         char* text1, char* text2) {
    TemplateInfo info;
    if (procedureRecord(image, index, TEMPLATE) == nullptr ||
        !decodeTemplate(image, makeRef(image, Memory::Procedure, index), nullptr, &info)) {
        return KVTLNK_E_RECORD;
    }
    put(strategyIndex, static_cast<uint32_t>(refIndex(info.strategy)));
    put(flag, uint32_t{info.flag != 0});
    copyText(text1, info.text1, kNameBuffer);
    copyText(text2, info.text2, kNameBuffer);
    return KVTLNK_OK;
}

uint32_t memTemplateState(MemoryImage& image, SetupState& state, int32_t index) {
    StateTarget target(state);
    TemplateInfo info;
    const bool ok = procedureRecord(image, index, TEMPLATE) != nullptr &&
                    decodeTemplate(image, index, &target, &info);
    // What went wrong is told by the result code; no status is left for the next setter.
    state.takeStatus();
    return ok ? KVTLNK_OK : KVTLNK_E_RECORD;
}

uint32_t memPromptInfo(MemoryImage& image, int32_t index, char* name) {
    const Record* record = procedureRecord(image, index, PROMPT);
    const char* promptName = nullptr;
    if (record != nullptr) promptName = RecordReader(*record).takeText();
    // The prompt must name a definition that exists.
    if (promptName == nullptr || findPromptDefn(image, promptName) < 0) {
        copyText(name, "", kNameBuffer);
        return KVTLNK_E_RECORD;
    }
    copyText(name, promptName, kNameBuffer);
    return KVTLNK_OK;
}

uint32_t memPromptDefnInfo(const MemoryImage& image, int32_t index, char* name,
                           uint32_t* textLength, int32_t textSize, char* text) {
    if (textSize <= 0) return KVTLNK_E_ARGUMENT;  // no room even for the terminator
    const Record* record = procedureRecord(image, index, PROMPT_DEFN);
    PromptDefnView defn;
    if (record == nullptr || !decodePromptDefn(*record, &defn)) {
        copyText(name, "", kNameBuffer);
        put(textLength, uint32_t{0});
        copyText(text, "", static_cast<uint32_t>(textSize));
        return KVTLNK_E_RECORD;
    }
    copyText(name, defn.name, kNameBuffer);
    const auto length = static_cast<uint32_t>(
        std::min<size_t>(std::strlen(defn.text), static_cast<size_t>(textSize) - 1));
    if (text != nullptr) {
        std::memcpy(text, defn.text, length);
        text[length] = '\0';
    }
    put(textLength, length);
    return KVTLNK_OK;
}

}  // namespace kvtlnk
