// Setup records: the calibrator's own packing of its setup, block by block, big-endian.
#include "memory/setup_record.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kvtlnk/kvtlnk.h"
#include "memory/record_layout.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"
#include "setup/setup_scaling.h"
#include "support/byte_order.h"

namespace kvtlnk {

namespace {

using S = SetupState;

// One field of a block: its offset, its width in the record (4, 2 or 1 bytes) and the member
// that holds it. A one-byte field holds the member's low byte and is sign-extended back into
// the member's width.
struct Field {
    uint8_t at;
    uint8_t width;
    float S::*real;
    uint32_t S::*word;
    uint16_t S::*half;
    uint8_t S::*small;
};
constexpr Field f32(uint8_t at, float S::*m) {
    return {at, 4, m, nullptr, nullptr, nullptr};
}
constexpr Field u32(uint8_t at, uint32_t S::*m) {
    return {at, 4, nullptr, m, nullptr, nullptr};
}
constexpr Field u16(uint8_t at, uint16_t S::*m) {
    return {at, 2, nullptr, nullptr, m, nullptr};
}
constexpr Field byte(uint8_t at, uint32_t S::*m) {
    return {at, 1, nullptr, m, nullptr, nullptr};
}
constexpr Field byte(uint8_t at, uint16_t S::*m) {
    return {at, 1, nullptr, nullptr, m, nullptr};
}
constexpr Field byte(uint8_t at, uint8_t S::*m) {
    return {at, 1, nullptr, nullptr, nullptr, m};
}

// Head fields; the offset (52), the range code (58), the cont mode (70) and the flag byte (74)
// have rules of their own.
constexpr uint32_t kHeadOffset = 52;
constexpr uint32_t kHeadRangeCode = 58;
constexpr uint32_t kHeadContMode = 70;
constexpr uint32_t kHeadFlags = 74;
constexpr uint32_t kHeadTcType = 66;
constexpr uint32_t kHeadRtdType = 67;
const Field kHead[] = {
    f32(0, &S::inRawReading),     f32(4, &S::inFreqReading),   f32(8, &S::inContReading),
    f32(12, &S::inScaleLow),      f32(16, &S::inScaleHigh),    f32(20, &S::inScaledP1),
    f32(24, &S::inScaledP2),      f32(28, &S::inTrefValue),    f32(32, &S::inValue),
    f32(36, &S::inUnscaledValue), f32(40, &S::inLogValue),     f32(44, &S::inDisplayValue),
    f32(48, &S::inPercentError),  u16(56, &S::inError),        byte(59, &S::inFreqRange),
    byte(60, &S::inAutoRange),    byte(61, &S::inElecUnits),   byte(62, &S::inUnits),
    byte(63, &S::inTrefUnits),    byte(64, &S::inFunction),    byte(65, &S::inScaledMode),
    byte(66, &S::inTcType),       byte(67, &S::inRtdType),     byte(68, &S::inRangeSetting),
    byte(69, &S::inTrefMode),     byte(71, &S::inFlagCounter), byte(72, &S::inOffsetOn),
    byte(73, &S::inScaleOn),      byte(75, &S::tempStd),       byte(76, &S::outFunction),
    byte(77, &S::loopPower),      byte(78, &S::setupCode),
};

const Field kMinMax[] = {
    f32(0, &S::inMax),       f32(4, &S::inMin),        byte(8, &S::inMaxRange),
    byte(9, &S::inMinRange), byte(10, &S::inMinMaxOn),
};

// Output fields; the range code (66) and the flag byte (70) have rules of their own.
constexpr uint32_t kOutRangeCode = 66;
constexpr uint32_t kOutFlags = 70;
constexpr uint32_t kOutTcType = 64;
constexpr uint32_t kOutRtdType = 65;
const Field kOutput[] = {
    f32(0, &S::outValue),        f32(4, &S::outSetValue),    f32(8, &S::outFreqAmplitude),
    f32(12, &S::outScaleLow),    f32(16, &S::outScaleHigh),  f32(20, &S::outScaledP1),
    f32(24, &S::outScaledP2),    f32(28, &S::outTrefValue),  f32(32, &S::outIncrement),
    f32(36, &S::outStepLow),     f32(40, &S::outStepSize),   f32(44, &S::outStepHigh),
    f32(48, &S::testTolerance),  u16(52, &S::outError),      u16(54, &S::outStepIndex),
    u16(56, &S::outStepTotal),   byte(58, &S::outStepState), byte(59, &S::outStepDwell),
    byte(60, &S::outElecUnits),  byte(61, &S::outUnits),     byte(62, &S::outTrefUnits),
    byte(63, &S::outScaledMode), byte(64, &S::outTcType),    byte(65, &S::outRtdType),
    byte(67, &S::outTrefMode),   byte(68, &S::testTolOn),    byte(69, &S::outScaleOn),
    byte(71, &S::outConfirmed),
};

// Pressure-module block: two texts in 10-byte fields, six reserved bytes, the limits, the code.
constexpr uint32_t kModuleText1 = 0;
constexpr uint32_t kModuleText2 = 10;
constexpr uint32_t kModuleTextField = 10;
const Field kModule[] = {f32(26, &S::pressureHigh), f32(30, &S::pressureLow),
                         u16(34, &S::pressureCode)};

// Logging block: three counts, the two stamps, then the samples.
constexpr uint32_t kLogCount = 8;
constexpr uint32_t kLogStart = 12;
constexpr uint32_t kLogLast = 20;
const Field kLog[] = {u32(0, &S::logInterval), u32(4, &S::logRequested),
                      u32(kLogCount, &S::logCount)};

// Flag-byte bits of the head and the output block.
constexpr uint8_t kFlagBit = 0x1;         // inReadingValid, outChanged
constexpr uint8_t kPressureRefBit = 0x2;  // a pressure module is present on a function 14 side

// Status of a pressure module that was missing, cleared when a module with a name comes back.
constexpr uint16_t kStatusNoPressureModule = 15032;

// The change bits a restore leaves: both sides' settings and two more the calibrator keeps.
constexpr uint32_t kChangedByRestore = 0x30003;

template <size_t N>
void pack(const SetupState& s, const Field (&fields)[N], uint8_t* block) {
    for (const Field& f : fields) {
        uint8_t* p = block + f.at;
        if (f.real != nullptr) {
            storeF32(p, s.*f.real);
        } else if (f.width == 4) {
            storeU32(p, s.*f.word);
        } else if (f.width == 2) {
            storeU16(p, s.*f.half);
        } else {
            *p = static_cast<uint8_t>(f.word ? s.*f.word : f.half ? s.*f.half : s.*f.small);
        }
    }
}

template <size_t N>
void unpack(SetupState& s, const Field (&fields)[N], const uint8_t* block) {
    for (const Field& f : fields) {
        const uint8_t* p = block + f.at;
        const auto b = static_cast<int8_t>(*p);
        if (f.real != nullptr) {
            s.*f.real = loadF32(p);
        } else if (f.width == 4) {
            s.*f.word = loadU32(p);
        } else if (f.width == 2) {
            s.*f.half = loadU16(p);
        } else if (f.word != nullptr) {
            s.*f.word = static_cast<uint32_t>(int32_t{b});
        } else if (f.half != nullptr) {
            s.*f.half = static_cast<uint16_t>(int16_t{b});
        } else {
            s.*f.small = static_cast<uint8_t>(b);
        }
    }
}

uint32_t signExtended(uint8_t b) {
    return static_cast<uint32_t>(int32_t{static_cast<int8_t>(b)});
}

// The record kind of a setup code, 0 for none.
uint16_t formOf(const SetupState& s) {
    switch (s.setupCode) {
        case 1:
            return s.inMinMaxOn != 0 ? SETUP_1 : SETUP_3;
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

void packModule(const SetupState& s, uint8_t* block) {
    copyBounded(reinterpret_cast<char*>(block + kModuleText1), s.pressureText1, kModuleTextField);
    copyBounded(reinterpret_cast<char*>(block + kModuleText2), s.pressureText2, kModuleTextField);
    pack(s, kModule, block);
}

int32_t packSetup(const SetupState& s, RecordStore& procedure) {
    const uint16_t form = formOf(s);
    if (form == 0) return -1;
    const uint16_t version = needsLaterFirmware(s.inFunction, s.inTcType, s.inRtdType) ||
                                     needsLaterFirmware(s.outFunction, s.outTcType, s.outRtdType)
                                 ? 1
                                 : 0;
    const bool output = hasOutput(form, s.outFunction);
    const bool inModule = s.inFunction == kFnPressure;
    const bool outModule = output && s.outFunction == kFnPressure;
    const uint8_t moduleBit = s.pressureModulePresent != 0 ? kPressureRefBit : 0;

    RecordWriter record(procedure, form, version);
    if (uint8_t* head = record.takeZeros(kSetupHeadBytes)) {
        pack(s, kHead, head);
        storeF32(head + kHeadOffset, offsetAsSaved(s.inOffset));
        head[kHeadRangeCode] =
            rangeCode(version, s.inFunction, s.inUnits, s.inTcType, s.inRtdType, s.inRange);
        head[kHeadContMode] = static_cast<uint8_t>(s.inContMode);
        head[kHeadFlags] = static_cast<uint8_t>((s.inReadingValid != 0 ? kFlagBit : 0) |
                                                (inModule ? moduleBit : 0));
    }
    if (inModule) {
        if (uint8_t* block = record.takeZeros(kPressureModuleBytes)) packModule(s, block);
    }
    if (hasMinMax(form)) {
        if (uint8_t* block = record.takeZeros(kSetupMinMaxBytes)) pack(s, kMinMax, block);
    }
    if (output) {
        if (uint8_t* block = record.takeZeros(kSetupOutputBytes)) {
            pack(s, kOutput, block);
            block[kOutRangeCode] = rangeCode(version, s.outFunction, s.outUnits, s.outTcType,
                                             s.outRtdType, s.outRange);
            block[kOutFlags] = static_cast<uint8_t>((s.outChanged != 0 ? kFlagBit : 0) |
                                                    (outModule ? moduleBit : 0));
        }
    }
    if (outModule) {
        if (uint8_t* block = record.takeZeros(kPressureModuleBytes)) packModule(s, block);
    }
    if (form == SETUP_4) {
        // Only samples the object holds can be saved.
        const uint32_t m = s.logBuffer != nullptr ? std::min(s.logCount, s.logCapacity) : 0;
        if (uint8_t* block = record.takeZeros(kSetupLogHeadBytes)) {
            pack(s, kLog, block);
            storeU32(block + kLogCount, m);
            s.logStartTime.toBytes(block + kLogStart);
            s.logLastTime.toBytes(block + kLogLast);
        }
        for (uint32_t i = 0; i < m; ++i)
            record.writeF32(s.logBuffer[i]);
    }
    if ((inModule || outModule) && moduleBit != 0) record.writeF32(s.pressureRefPsi);
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
    copyBounded(s.pressureText1, reinterpret_cast<const char*>(block + kModuleText1),
                kModuleTextField);
    copyBounded(s.pressureText2, reinterpret_cast<const char*>(block + kModuleText2),
                kModuleTextField);
    unpack(s, kModule, block);
    const uint32_t units = s.inFunction == kFnPressure ? s.inUnits : s.outUnits;
    buildPressureRange(s, units);
    if (s.pressureText2[0] != '\0') {
        if (s.inError == kStatusNoPressureModule) s.inError = 0;
        if (s.outError == kStatusNoPressureModule) s.outError = 0;
    }
}

void restoreLog(SetupState& s, const SetupBlocks& b) {
    unpack(s, kLog, b.log);
    s.logStartTime = DateStamp::fromBytes(b.log + kLogStart);
    s.logLastTime = DateStamp::fromBytes(b.log + kLogLast);
    // The newest samples are kept when the record holds more than the object can.
    s.logCount = std::min(b.sampleCount, s.logCapacity);
    const uint8_t* newest = b.samples + 4 * (b.sampleCount - s.logCount);
    for (uint32_t i = 0; i < s.logCount; ++i)
        s.logBuffer[i] = loadF32(newest + 4 * i);
}

}  // namespace

int32_t saveSetup(SetupState& state, RecordStore& procedure) {
    state.beginRead();
    const int32_t index = packSetup(state, procedure);
    state.endRead();
    return index;
}

uint32_t staSave(SetupState& state, MemoryImage& image, int32_t firmwareLevel, int32_t* index) {
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
    s.beginWrite();
    s.resetSetup();

    unpack(s, kHead, b.head);
    s.inOffset = loadF32(b.head + kHeadOffset);
    s.inReadingValid = b.head[kHeadFlags] & kFlagBit;
    bool refFollows = false;
    const uint8_t* module = nullptr;
    if (s.inFunction == kFnPressure) {
        s.pressureModulePresent = (b.head[kHeadFlags] & kPressureRefBit) != 0;
        refFollows = s.pressureModulePresent != 0;
        module = b.inModule;
    }
    s.inTrefC = convertTemp(s.inTrefUnits, kUnitCelsius, s.inTrefValue);
    s.inRange = signExtended(b.head[kHeadRangeCode]);

    if (b.minMax != nullptr) unpack(s, kMinMax, b.minMax);
    if (b.output != nullptr) {
        unpack(s, kOutput, b.output);
        s.outChanged = b.output[kOutFlags] & kFlagBit;
        if (s.outFunction == kFnPressure) {
            s.pressureModulePresent = (b.output[kOutFlags] & kPressureRefBit) != 0;
            refFollows = refFollows || s.pressureModulePresent != 0;
            module = b.outModule;
        }
        s.outTrefC = convertTemp(s.outTrefUnits, kUnitCelsius, s.outTrefValue);
        s.outRange = signExtended(b.output[kOutRangeCode]);
    }
    if (module != nullptr) applyModule(s, module);
    if (b.log != nullptr) restoreLog(s, b);
    if (refFollows && b.pressureRef != nullptr) s.pressureRefPsi = loadF32(b.pressureRef);
    if (record->version() == 0) {
        s.inRange = rangeFromCode(inputRanges, s, s.inFunction, s.inRange);
        s.outRange = rangeFromCode(outputRanges, s, s.outFunction, s.outRange);
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
    if (result.modulePresent != nullptr) s.pressureModulePresent = *result.modulePresent;
    if (result.junctionTemperature != nullptr) {
        const float t = loadF32(result.junctionTemperature);
        if (s.inFunction == kFnTc) {
            s.inTrefValue = t;
            s.inTrefC = convertTemp(s.inTrefUnits, kUnitCelsius, t);
            s.markChanged(kChangedInput);
        } else if (s.outFunction == kFnTc) {
            s.outTrefValue = t;
            s.outTrefC = convertTemp(s.outTrefUnits, kUnitCelsius, t);
            s.markChanged(kChangedOutput);
        }
    }
    s.commit();
}

bool StateTarget::commitScaled() {
    state_.commit();
    return state_.inScaleOn != 0 && state_.outScaleOn != 0;
}

}  // namespace kvtlnk
