// Calibration results of the results memory: decoding, and the calls that report them.
#include "memory/cal_result.h"

#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "kvtlnk/kvtlnk.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "memory/record_views.h"
#include "memory/setup_record.h"
#include "memory/template_decode.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "support/byte_order.h"

namespace kvtlnk {

namespace {

constexpr uint32_t kNoTask = 0xFFFFFFFF;

// Fields of a result entry.
constexpr uint32_t kEntryThird = 8;
constexpr uint32_t kEntryFourth = 12;
constexpr uint32_t kEntryInRange = 16;
constexpr uint32_t kEntryOutRange = 17;
constexpr uint32_t kEntryThirdFlag = 18;
constexpr uint32_t kEntryFirstFlag = 19;
constexpr uint32_t kEntrySecondFlag = 20;

// The ranges of one side, found in the setup the result ran with.
SideRanges sideRanges(RangeTable table, const SetupState& s, uint32_t function, uint32_t units,
                      uint32_t tcType, uint32_t rtdType) {
    SideRanges side;
    side.group = &findGroup(table, s, function, units);
    if (function == kFnTc)
        side.bySensor = &rangeEntry(*side.group, 0, tcType);
    else if (isRtdFunction(function))
        side.bySensor = &rangeEntry(*side.group, 0, rtdType);
    return side;
}

// The ranges of the current result's entries, from the setup it ran with, loaded on the first
// entry read after the result was decoded: 0; 2012 when there is no memory for the setup; 2014
// when the setup cannot be taken, which is kept, so that the result's other entries say so at
// once.
uint32_t loadEntryRanges(MemoryImage& image, const EntryRanges** ranges) {
    CurrentResult& current = image.currentResult();
    if (current.setupRefused) return KVTLNK_E_RECORD;
    if (current.ranges == nullptr) {
        std::unique_ptr<EntryRanges> loaded(new (std::nothrow) EntryRanges());
        if (loaded == nullptr) return KVTLNK_E_IMAGE;
        StateTarget target(loaded->setup);
        if (!loadResultSetup(image, current.view, target)) {
            current.setupRefused = true;
            return KVTLNK_E_RECORD;
        }
        const SetupState& s = loaded->setup;
        const InputSettings& in = s.in();
        const OutputSettings& out = s.out();
        loaded->in = sideRanges(inputRanges, s, in.function, in.units, in.tcType, in.rtdType);
        loaded->out = sideRanges(outputRanges, s, out.function, out.units, out.tcType, out.rtdType);
        current.ranges = std::move(loaded);
    }
    *ranges = current.ranges.get();
    return KVTLNK_OK;
}

// A value goes from the display units of the range it was taken in to base units; the range's
// upper limit is the side's limit.
float toBase(const RangeEntry& range, float* value) {
    prefixToBase(value, range.prefix);
    return range.high;
}

void copyOut(char* dst, const char* src) {
    if (dst != nullptr) copyBounded(dst, src != nullptr ? src : "", kNameBuffer);
}

}  // namespace

bool decodeCalResult(MemoryImage& image, RecordRef ref, CalResultView* view) {
    *view = CalResultView{};
    view->self = ref;
    const Record* record = resolveRef(image, ref);
    if (record == nullptr || !isCalResultKind(record->kind())) return false;

    RecordReader reader(*record);
    uint16_t count = 0;
    if (!reader.readI32(&view->setup) || !reader.readI32(&view->strategy) ||
        !reader.readU16(&count) || !reader.readByte(&view->flag) || !reader.skip(1) ||
        (view->entries = reader.takeEntries(count)) == nullptr) {
        return false;
    }
    view->count = static_cast<int16_t>(count);

    const Record* setup = resolveRef(image, view->setup);
    int32_t inFunction = 0, outFunction = 0;
    if (setup == nullptr || setup->kind() != SETUP_5 ||
        !setupFunctions(*setup, &inFunction, &outFunction)) {
        return false;
    }
    if (inFunction == kFnPressure || outFunction == kFnPressure) {
        if ((view->pressureModule = reader.take(kPressureModuleBytes)) == nullptr) return false;
        view->modulePresent = reader.take(1);  // the record may end before it
    }
    if (inFunction == kFnTc || outFunction == kFnTc) view->junctionTemperature = reader.take(4);

    StrategyView strategy;
    return decodeStrategyAt(image, view->strategy, &strategy) && strategy.count == view->count;
}

CurrentResult::CurrentResult() = default;
CurrentResult::~CurrentResult() = default;

bool selectResult(MemoryImage& image, int32_t index) {
    CurrentResult& current = image.currentResult();
    const uint64_t procedureEpoch = image.procedure().epoch();
    const uint64_t resultsEpoch = image.results().epoch();
    if (current.held && current.index == index && current.procedureEpoch == procedureEpoch &&
        current.resultsEpoch == resultsEpoch) {
        return true;
    }
    current.ranges.reset();
    current.setupRefused = false;
    current.held = decodeCalResult(image, makeRef(image, Memory::Results, index), &current.view);
    current.index = index;
    current.procedureEpoch = procedureEpoch;
    current.resultsEpoch = resultsEpoch;
    return current.held;
}

uint32_t memCalResult(MemoryImage& image, int32_t index, uint32_t* entryCount) {
    if (!selectResult(image, index)) return KVTLNK_E_RECORD;
    if (entryCount != nullptr) {
        *entryCount = static_cast<uint32_t>(int32_t{image.currentResult().view.count});
    }
    return KVTLNK_OK;
}

uint32_t memCalResultEntry(MemoryImage& image, int32_t index, int32_t entry, EntryValues* values) {
    const CalResultView& result = image.currentResult().view;
    if (!selectResult(image, index) || entry < 0 || entry >= result.count) {
        return KVTLNK_E_RECORD;
    }
    const EntryRanges* ranges = nullptr;
    if (const uint32_t r = loadEntryRanges(image, &ranges)) return r;

    const uint8_t* e = result.entries + kResultEntryBytes * static_cast<uint32_t>(entry);
    EntryValues v;
    if (result.flag > 0) {
        v.inValue = loadF32(e + kEntryFourth);
        v.inFlag = 1;
    } else {
        v.inValue = loadF32(e);
        v.inFlag = e[kEntryFirstFlag] != 0 ? 1 : 0;
    }
    v.outValue = loadF32(e + 4);
    v.outFlag = e[kEntrySecondFlag] != 0 ? 1 : 0;
    v.thirdValue = e[kEntryThirdFlag] != 0 ? loadF32(e + kEntryThird)
                                           : std::numeric_limits<float>::quiet_NaN();
    v.inLimit = toBase(ranges->in.of(e[kEntryInRange]), &v.inValue);
    v.outLimit = toBase(ranges->out.of(e[kEntryOutRange]), &v.outValue);
    *values = v;
    return KVTLNK_OK;
}

uint32_t memBaseState(MemoryImage& image, SetupState& state, int32_t index) {
    StateTarget target(state);
    const bool ok =
        selectResult(image, index) && loadResultSetup(image, image.currentResult().view, target);
    // What went wrong is told by the result code; no status is left for the next setter.
    state.takeStatus();
    return ok ? KVTLNK_OK : KVTLNK_E_RECORD;
}

uint32_t memAsflInfo(MemoryImage& image, int32_t index, uint32_t* taskIndex,
                     uint32_t* strategyIndex, uint32_t* flag) {
    if (!selectResult(image, index)) return KVTLNK_E_RECORD;
    const CalResultView& result = image.currentResult().view;
    uint32_t task = kNoTask;
    if (!isResultsRef(result.setup)) {
        // The task is the one whose template names the same setup, found from the setup on.
        RecordRef taskStart = kNoRecord;
        const RecordStore& procedure = image.procedure();
        for (int32_t i = result.setup; i < procedure.count(); ++i) {
            const uint16_t kind = procedure.selectRecord(i)->kind();
            TemplateInfo info;
            if (kind == TASK_START) {
                taskStart = i;
            } else if (kind == TEMPLATE && decodeTemplate(image, i, nullptr, &info) &&
                       info.setup == result.setup) {
                task = static_cast<uint32_t>(taskStart);
                break;
            }
        }
    }
    if (taskIndex != nullptr) *taskIndex = task;
    if (strategyIndex != nullptr) *strategyIndex = static_cast<uint32_t>(refIndex(result.strategy));
    if (flag != nullptr) *flag = result.flag > 0 ? 1 : 0;
    return KVTLNK_OK;
}

uint32_t memTagidInfo(MemoryImage& image, uint32_t index, char* text1, char* text2, char* text3) {
    const Record* record = index < static_cast<uint32_t>(image.results().count())
                               ? image.results().selectRecord(static_cast<int32_t>(index) + 1)
                               : nullptr;
    TagView tag;
    const bool ok = record != nullptr && record->kind() == TAG_ID && decodeTag(*record, &tag);
    copyOut(text1, tag.texts[0]);
    copyOut(text2, tag.texts[1]);
    copyOut(text3, tag.texts[2]);
    return ok ? KVTLNK_OK : KVTLNK_E_NO_TAG;
}

}  // namespace kvtlnk
