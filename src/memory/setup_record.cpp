// Setup records: the calibrator's own packing of its setup, block by block, big-endian.
#include "memory/setup_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/record_layout.h"
#include "memory/setup_blocks.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_scaling.h"
#include "support/byte_order.h"

namespace kvtlnk {

namespace {

using namespace setup_blocks;

// Flag-byte bits of the head and the output block.
constexpr uint8_t kFlagBit = 0x1;         // a valid input reading; an applied output
constexpr uint8_t kPressureRefBit = 0x2;  // a pressure module is present on a function 14 side

// Status of a pressure module that was missing, cleared when a module with a name comes back.
constexpr uint16_t kStatusNoPressureModule = 15032;

// The change bits a restore leaves: both sides' settings and two more the calibrator keeps.
constexpr uint32_t kChangedByRestore = 0x30003;

uint32_t signExtended(uint8_t b) {
    return static_cast<uint32_t>(int32_t{static_cast<int8_t>(b)});
}

// The record kind of a setup code, 0 for none.
uint16_t formOf(const SetupState& s) {
    switch (s.setupCode) {
        case 1:
            return s.minMax.on != 0 ? SETUP_1 : SETUP_3;
        case 2:
            return SETUP_4;
        case 3:
        case 4:
            return SETUP_2;
        case 5:
            return SETUP_5;
        default:
            return 0;
    }
}

bool hasMinMax(uint16_t form) {
    return form == SETUP_3 || form == SETUP_4;
}
bool hasOutput(uint16_t form, uint32_t outFunction) {
    return form == SETUP_2 || form == SETUP_4 || form == SETUP_5 || outFunction != kFnNone;
}

// Sensor types of the later firmware: thermocouples above type 9, RTDs from type 4.
bool needsLaterFirmware(uint32_t function, uint32_t tcType, uint32_t rtdType) {
    return (function == kFnTc && tcType > 9) || (isRtdFunction(function) && rtdType >= 4);
}

// The range code of a side: in a version-0 record a thermocouple or RTD side stores its sensor
// type (shifted by 9 or 3 for fahrenheit), every other side its range.
uint8_t rangeCode(uint16_t version, uint32_t function, uint32_t units, uint32_t tcType,
                  uint32_t rtdType, uint32_t range) {
    const uint32_t fahrenheit = units == kUnitFahrenheit ? 1 : 0;
    if (version == 0 && function == kFnTc) return static_cast<uint8_t>(tcType + 9 * fahrenheit);
    if (version == 0 && isRtdFunction(function))
        return static_cast<uint8_t>(rtdType + 3 * fahrenheit);
    return static_cast<uint8_t>(range);
}

// A version-0 range code of a thermocouple or RTD side turned back into a range: the 0-based
// position of the sensor type in its group.
uint32_t rangeFromCode(RangeTable table, const SetupState& s, uint32_t function, uint32_t code) {
    uint32_t step = 0;
    if (function == kFnTc) {
        step = 9;
    } else if (isRtdFunction(function)) {
        step = 3;
        function = kFn2wRtd;
    } else {
        return code;
    }
    uint32_t units = kUnitCelsius;
    if (code > step) {
        code -= step;
        units = kUnitFahrenheit;
    }
    const RangeGroup& group = findGroup(table, s, function, units);
    for (uint32_t i = 0; i <= group.last - group.first; ++i) {
        if (group.entries[i].kind == code) return i;
    }
    return 0;
}

// The input offset as the calibrator keeps it: a whole number of -128 ... 127.
float offsetAsSaved(float offset) {
    const double whole = std::trunc(static_cast<double>(offset));
    if (!std::isfinite(whole)) return 0.0f;
    const auto low =
        static_cast<int8_t>(static_cast<uint8_t>(static_cast<int32_t>(std::fmod(whole, 256.0))));
    return static_cast<float>(low);
}

void packModule(const PressureModule& m, uint8_t* block) {
    copyBounded(reinterpret_cast<char*>(block + kModuleText1), m.text1, kModuleTextField);
    copyBounded(reinterpret_cast<char*>(block + kModuleText2), m.text2, kModuleTextField);
    moduleFields(Packer{block}, m);
}

int32_t packSetup(const SetupState& s, RecordStore& procedure) {
    const uint16_t form = formOf(s);
    if (form == 0) return -1;
    const InputSettings& in = s.in();
    const OutputSettings& out = s.out();
    const uint16_t version = needsLaterFirmware(in.function, in.tcType, in.rtdType) ||
                                     needsLaterFirmware(out.function, out.tcType, out.rtdType)
                                 ? 1
                                 : 0;
    const bool output = hasOutput(form, out.function);
    const bool inModule = in.function == kFnPressure;
    const bool outModule = output && out.function == kFnPressure;
    const uint8_t moduleBit = s.module.present != 0 ? kPressureRefBit : 0;

    RecordWriter record(procedure, form, version);
    if (uint8_t* head = record.takeZeros(kSetupHeadBytes)) {
        headFields(Packer{head}, s);
        storeF32(head + kHeadOffset, offsetAsSaved(in.offset));
        head[kHeadRangeCode] =
            rangeCode(version, in.function, in.units, in.tcType, in.rtdType, in.range);
        head[kHeadContMode] = static_cast<uint8_t>(in.contMode);
        head[kHeadFlags] = static_cast<uint8_t>((s.inReadings.valid != 0 ? kFlagBit : 0) |
                                                (inModule ? moduleBit : 0));
    }
    if (inModule) {
        if (uint8_t* block = record.takeZeros(kPressureModuleBytes)) packModule(s.module, block);
    }
    if (hasMinMax(form)) {
        if (uint8_t* block = record.takeZeros(kSetupMinMaxBytes)) {
            minMaxFields(Packer{block}, s);
        }
    }
    if (output) {
        if (uint8_t* block = record.takeZeros(kSetupOutputBytes)) {
            outputFields(Packer{block}, s);
            block[kOutRangeCode] =
                rangeCode(version, out.function, out.units, out.tcType, out.rtdType, out.range);
            block[kOutFlags] = static_cast<uint8_t>((s.outState.changed != 0 ? kFlagBit : 0) |
                                                    (outModule ? moduleBit : 0));
        }
    }
    if (outModule) {
        if (uint8_t* block = record.takeZeros(kPressureModuleBytes)) packModule(s.module, block);
    }
    if (form == SETUP_4) {
        // Only samples the object holds can be saved.
        const LogRecord& log = s.log;
        const uint32_t m = log.buffer != nullptr ? std::min(log.count, log.capacity) : 0;
        if (uint8_t* block = record.takeZeros(kSetupLogHeadBytes)) {
            logFields(Packer{block}, log);
            storeU32(block + kLogCount, m);
            log.startTime.toBytes(block + kLogStart);
            log.lastTime.toBytes(block + kLogLast);
        }
        for (uint32_t i = 0; i < m; ++i)
            record.writeF32(log.buffer[i]);
    }
    if ((inModule || outModule) && moduleBit != 0) record.writeF32(s.module.refPsi);
    return record.finish();
}

// Where the blocks of a setup record lie; nullptr for a block the record does not carry.
struct SetupBlocks {
    const uint8_t* head = nullptr;
    const uint8_t* inModule = nullptr;
    const uint8_t* minMax = nullptr;
    const uint8_t* output = nullptr;
    const uint8_t* outModule = nullptr;
    const uint8_t* log = nullptr;
    const uint8_t* samples = nullptr;
    uint32_t sampleCount = 0;
    const uint8_t* pressureRef = nullptr;
};

// False when the record is shorter than the blocks its head calls for.
bool locateBlocks(const Record& record, SetupBlocks* b) {
    RecordReader reader(record);
    if ((b->head = reader.take(kSetupHeadBytes)) == nullptr) return false;
    const uint16_t form = record.kind();
    const uint32_t inFunction = signExtended(b->head[kHeadInFunction]);
    const uint32_t outFunction = signExtended(b->head[kHeadOutFunction]);
    auto take = [&reader](uint32_t n, const uint8_t** at) { return (*at = reader.take(n)); };
    if (inFunction == kFnPressure && !take(kPressureModuleBytes, &b->inModule)) return false;
    if (hasMinMax(form) && !take(kSetupMinMaxBytes, &b->minMax)) return false;
    if (hasOutput(form, outFunction)) {
        if (!take(kSetupOutputBytes, &b->output)) return false;
        if (outFunction == kFnPressure && !take(kPressureModuleBytes, &b->outModule)) return false;
    }
    if (form == SETUP_4) {
        if (!take(kSetupLogHeadBytes, &b->log)) return false;
        b->sampleCount = loadU32(b->log + kLogCount);
        if (b->sampleCount > reader.remaining() / 4) return false;
        b->samples = reader.take(4 * b->sampleCount);
    }
    const bool refBit = (b->head[kHeadFlags] & kPressureRefBit) != 0 ||
                        (b->output != nullptr && (b->output[kOutFlags] & kPressureRefBit) != 0);
    return !refBit || take(kSetupPressureRefBytes, &b->pressureRef);
}

// The calibrator has 11 thermocouple and 8 RTD types.
bool sensorTypesValid(uint32_t function, uint8_t tcType, uint8_t rtdType) {
    if (function == kFnTc) return tcType < 12;
    if (isRtdFunction(function)) return rtdType < 9;
    return true;
}

bool validate(const SetupBlocks& b) {
    return sensorTypesValid(signExtended(b.head[kHeadInFunction]), b.head[kHeadTcType],
                            b.head[kHeadRtdType]) &&
           (b.output == nullptr || sensorTypesValid(signExtended(b.head[kHeadOutFunction]),
                                                    b.output[kOutTcType], b.output[kOutRtdType]));
}

void applyModule(SetupState& s, const uint8_t* block) {
    PressureModule& m = s.module;
    copyBounded(m.text1, reinterpret_cast<const char*>(block + kModuleText1), kModuleTextField);
    copyBounded(m.text2, reinterpret_cast<const char*>(block + kModuleText2), kModuleTextField);
    moduleFields(Unpacker{block}, m);
    buildPressureRange(s, s.in().function == kFnPressure ? s.in().units : s.out().units);
    if (m.text2[0] != '\0') {
        if (s.inReadings.error == kStatusNoPressureModule) s.inReadings.error = 0;
        if (s.outState.error == kStatusNoPressureModule) s.outState.error = 0;
    }
}

void restoreLog(LogRecord& log, const SetupBlocks& b) {
    logFields(Unpacker{b.log}, log);
    log.startTime = DateStamp::fromBytes(b.log + kLogStart);
    log.lastTime = DateStamp::fromBytes(b.log + kLogLast);
    // The newest samples are kept when the record holds more than the object can.
    log.count = std::min(b.sampleCount, log.capacity);
    const uint8_t* newest = b.samples + 4 * (b.sampleCount - log.count);
    for (uint32_t i = 0; i < log.count; ++i)
        log.buffer[i] = loadF32(newest + 4 * i);
}

}  // namespace

int32_t saveSetup(const SetupState& state, RecordStore& procedure) {
    return packSetup(state, procedure);
}

uint32_t staSave(const SetupState& state, MemoryImage& image, int32_t firmwareLevel,
                 int32_t* index) {
    *index = -1;
    const int32_t at = saveSetup(state, image.procedure());
    if (at < 0) return KVTLNK_E_IMAGE;
    const uint16_t version = image.procedure().selectRecord(at)->version();
    if (firmwareLevel == 1 || (firmwareLevel == 0 && version == 0)) {
        *index = at;
        return KVTLNK_OK;
    }
    image.procedure().truncate(at);
    return KVTLNK_E_NOT_ACCEPTED;
}

bool restoreSetup(SetupState& s, const Record* record) {
    SetupBlocks b;
    if (record == nullptr || !isSetupKind(record->kind()) || record->version() > 1 ||
        !locateBlocks(*record, &b) || !validate(b)) {
        s.status = kStatusBadSetupRecord;
        return false;
    }
    s.resetSetup();
    // Both sides' settings change, and so are marked, with the fields.
    InputSettings& in = s.changeInput();
    OutputSettings& out = s.changeOutput();

    headFields(Unpacker{b.head}, s);
    in.offset = loadF32(b.head + kHeadOffset);
    s.inReadings.valid = b.head[kHeadFlags] & kFlagBit;
    bool refFollows = false;
    const uint8_t* module = nullptr;
    if (in.function == kFnPressure) {
        s.module.present = (b.head[kHeadFlags] & kPressureRefBit) != 0;
        refFollows = s.module.present != 0;
        module = b.inModule;
    }
    s.inReadings.trefC = convertTemp(in.tref.units, kUnitCelsius, in.tref.value);
    in.range = signExtended(b.head[kHeadRangeCode]);

    if (b.minMax != nullptr) minMaxFields(Unpacker{b.minMax}, s);
    if (b.output != nullptr) {
        outputFields(Unpacker{b.output}, s);
        s.outState.changed = b.output[kOutFlags] & kFlagBit;
        if (out.function == kFnPressure) {
            s.module.present = (b.output[kOutFlags] & kPressureRefBit) != 0;
            refFollows = refFollows || s.module.present != 0;
            module = b.outModule;
        }
        s.outState.trefC = convertTemp(out.tref.units, kUnitCelsius, out.tref.value);
        out.range = signExtended(b.output[kOutRangeCode]);
    }
    if (module != nullptr) applyModule(s, module);
    if (b.log != nullptr) restoreLog(s.log, b);
    if (refFollows && b.pressureRef != nullptr) s.module.refPsi = loadF32(b.pressureRef);
    if (record->version() == 0) {
        in.range = rangeFromCode(inputRanges, s, in.function, in.range);
        out.range = rangeFromCode(outputRanges, s, out.function, out.range);
    }
    s.markChanged(kChangedByRestore);
    return true;
}

uint32_t staRestore(SetupState& state, MemoryImage& image, int32_t index) {
    if (restoreSetup(state, image.results().selectRecord(index)) && state.commit()) {
        return KVTLNK_OK;
    }
    return statusToResult(state.takeStatus());
}

bool setupFunctions(const Record& record, int32_t* inFunction, int32_t* outFunction) {
    if (record.length() < kSetupHeadBytes) return false;
    *inFunction = static_cast<int8_t>(record.data()[kHeadInFunction]);
    *outFunction = static_cast<int8_t>(record.data()[kHeadOutFunction]);
    return true;
}

bool StateTarget::restore(MemoryImage& image, RecordRef setup) {
    if (restoreSetup(state_, resolveRef(image, setup))) return true;
    state_.commit();
    return false;
}

void StateTarget::applyResult(const CalResultView& result) {
    SetupState& s = state_;
    if (result.pressureModule != nullptr) applyModule(s, result.pressureModule);
    if (result.modulePresent != nullptr) s.module.present = *result.modulePresent;
    if (result.junctionTemperature != nullptr) {
        const float t = loadF32(result.junctionTemperature);
        if (s.in().function == kFnTc) {
            ReferenceJunction& tref = s.changeInput().tref;
            tref.value = t;
            s.inReadings.trefC = convertTemp(tref.units, kUnitCelsius, t);
        } else if (s.out().function == kFnTc) {
            ReferenceJunction& tref = s.changeOutput().tref;
            tref.value = t;
            s.outState.trefC = convertTemp(tref.units, kUnitCelsius, t);
        }
    }
    s.commit();
}

bool StateTarget::commitScaled() {
    state_.commit();
    return state_.inScale.on != 0 && state_.outScale.on != 0;
}

}  // namespace kvtlnk
