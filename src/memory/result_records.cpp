#include "memory/result_records.h"

#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/record_layout.h"
#include "memory/record_views.h"
#include "memory/template_decode.h"

namespace kvtlnk {

namespace {

// What a result's record says of itself, read as far as it goes: a damaged result still names
// its setup and strategy.
struct ResultHead {
    RecordRef setup = kNoRecord;
    RecordRef strategy = kNoRecord;
    bool hasFlag = false;
    bool flagged = false;
};

bool readResultHead(const Record& record, ResultHead* head) {
    if (!isCalResultKind(record.kind())) return false;
    RecordReader reader(record);
    if (!reader.readI32(&head->setup) || !reader.readI32(&head->strategy)) return false;
    uint16_t count = 0;
    uint8_t flag = 0;
    head->hasFlag = reader.readU16(&count) && reader.readByte(&flag);
    head->flagged = flag > 0;
    return true;
}

// The reference itself when it names a record of the image, else kNoRecord.
RecordRef existing(const MemoryImage& image, RecordRef ref) {
    return resolveRef(image, ref) != nullptr ? ref : kNoRecord;
}

bool sameText(const char* a, const char* b) {
    return std::strcmp(a != nullptr ? a : "", b != nullptr ? b : "") == 0;
}

// The test that made the result. A result run with a procedure setup names that setup, which
// its test names too and was saved before it; a setup the calibrator copied into the results
// memory leaves the strategy, the mark and the tag's first two texts to tell the test by.
RecordRef findTemplate(MemoryImage& image, const ResultHead& head, const TagView& tag) {
    const bool copied = isResultsRef(head.setup);
    if (copied && !head.hasFlag) return kNoRecord;
    const RecordStore& procedure = image.procedure();
    for (int32_t i = copied ? 0 : head.setup; i < procedure.count(); ++i) {
        TemplateInfo info;
        if (procedure.selectRecord(i)->kind() != TEMPLATE ||
            !decodeTemplate(image, i, nullptr, &info)) {
            continue;
        }
        const bool same =
            copied ? info.strategy == head.strategy && (info.flag != 0) == head.flagged &&
                         sameText(info.text1, tag.texts[0]) && sameText(info.text2, tag.texts[1])
                   : info.setup == head.setup;
        if (same) return i;
    }
    return kNoRecord;
}

// The TASK_START before a test, unless a TASK_END comes between.
RecordRef taskOf(const MemoryImage& image, RecordRef test) {
    for (int32_t i = test - 1; i >= 0; --i) {
        const uint16_t kind = image.procedure().selectRecord(i)->kind();
        if (kind == TASK_END) return kNoRecord;
        if (kind == TASK_START) return i;
    }
    return kNoRecord;
}

}  // namespace

bool findResultRecords(MemoryImage& image, int32_t result, ResultRecords* records) {
    *records = ResultRecords{};
    const RecordRef self = makeRef(image, Memory::Results, result);
    const Record* record = resolveRef(image, self);
    ResultHead head;
    if (record == nullptr || !readResultHead(*record, &head)) return false;
    records->setup = existing(image, head.setup);
    records->strategy = existing(image, head.strategy);
    const Record* next = resolveRef(image, nextRef(image, self));
    TagView tag;  // texts of a tag that does not decode stay absent
    if (next != nullptr && next->kind() == TAG_ID) {
        records->tag = nextRef(image, self);
        decodeTag(*next, &tag);
    }

    records->templ = findTemplate(image, head, tag);
    if (records->templ == kNoRecord) return true;
    TemplateInfo info;
    decodeTemplate(image, records->templ, nullptr, &info);
    records->templateSetup = existing(image, info.setup);
    records->task = taskOf(image, records->templ);
    return true;
}

uint32_t resultRecord(MemoryImage& image, int32_t result, uint32_t role, uint32_t* memory,
                      int32_t* index) {
    if (memory != nullptr) *memory = 0;
    if (index != nullptr) *index = -1;
    ResultRecords records;
    const RecordRef ResultRecords::*const roles[] = {
        &ResultRecords::setup,         &ResultRecords::strategy, &ResultRecords::templ,
        &ResultRecords::templateSetup, &ResultRecords::task,     &ResultRecords::tag};
    if (role >= sizeof roles / sizeof roles[0]) return KVTLNK_E_ARGUMENT;
    if (!findResultRecords(image, result, &records)) return KVTLNK_E_RECORD;
    const RecordRef ref = records.*roles[role];
    if (ref == kNoRecord) return KVTLNK_OK;
    if (memory != nullptr) *memory = static_cast<uint32_t>(refMemory(ref));
    if (index != nullptr) *index = refIndex(ref);
    return KVTLNK_OK;
}

}  // namespace kvtlnk
