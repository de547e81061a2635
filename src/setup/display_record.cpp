#include "setup/display_record.h"

#include <cstring>

#include "readings/sensor_curves.h"
#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/range_tables.h"

namespace kvtlnk {

namespace {

// A transfer-function value, and the resistance behind a continuity reading, are shown with
// two decimals.
constexpr char kTwoDecimals[] = "%6.2f";
constexpr char kOverload[] = "!!!!!!";
constexpr char kNotValid[] = "------";

// The sensor type that picks a temperature range: the thermocouple type for tc, the RTD type
// for the RTD functions, else 0.
uint32_t sensorKind(uint32_t function, uint32_t tcType, uint32_t rtdType) {
    if (function == kFnTc) return tcType;
    return isRtdFunction(function) ? rtdType : 0;
}

// The group of the electrical quantity behind a temperature: volts for a thermocouple, the
// ohms function of the same wiring for an RTD (the source side has only two-wire ohms, so
// the other wirings find the missing group there).
const RangeGroup& electricalGroup(RangeTable table, const SetupState& s, uint32_t function) {
    if (function == kFnTc) return findGroup(table, s, kFnDcv, kUnitVolts);
    return findGroup(table, s, function - kFn2wRtd + kFn2wOhms, kUnitOhms);
}

void takeFormat(DisplayRecord& r, const char* format) {
    copyText(r.format, format, sizeof r.format);
}

void takeEntry(DisplayRecord& r, const RangeEntry& e) {
    takeFormat(r, e.format);
    r.prefix = e.prefix;
}

// A reading under a transfer function: percent for mode 4, user units for the others; the
// value stays as it is.
void takeTransferDisplay(DisplayRecord& r, uint32_t mode) {
    r.unit = mode == kScalePercent ? kUnitPercent : kUnitUdf;
    r.prefix = kPrefixUnity;
    takeFormat(r, kTwoDecimals);
}

// The finite flag from the value in base units, then the value expressed with the prefix (a
// transfer-function value, at unity, stays as it is).
void finishRecord(DisplayRecord& r) {
    r.finite = isNotFinite(&r.value) == 0;
    prefixFromBase(&r.value, r.prefix);
}

const RangeEntry& inputEntry(const SetupState& s, uint32_t range) {
    return rangeEntry(findGroup(inputRanges, s, s.inFunction, s.inUnits), range,
                      sensorKind(s.inFunction, s.inTcType, s.inRtdType));
}

const RangeEntry& outputEntry(const SetupState& s) {
    return rangeEntry(findGroup(outputRanges, s, s.outFunction, s.outUnits), s.outRange,
                      sensorKind(s.outFunction, s.outTcType, s.outRtdType));
}

// One end of the min/max record: real units for modes 0 and 5, the transfer-function display
// for modes 1 to 4, nothing for a mode only a restored setup can hold.
DisplayRecord minMaxEnd(const SetupState& s, float value, uint32_t range, bool finite) {
    DisplayRecord r;
    r.value = value;
    if (s.inScaledMode == kScaleNone || s.inScaledMode == kScaleNoneAlt) {
        r.unit = s.inUnits;
        takeEntry(r, inputEntry(s, range));
        prefixFromBase(&r.value, r.prefix);
    } else if (s.inScaledMode <= kScalePercent) {
        takeTransferDisplay(r, s.inScaledMode);
    }
    r.finite = finite;
    r.valid = s.inReadingValid != 0;
    return r;
}

// Appends text after what dst holds, within kDisplayStringSize bytes.
void appendText(char* dst, const char* text) {
    const size_t used = std::strlen(dst);
    copyText(dst + used, text, kDisplayStringSize - used);
}

}  // namespace

DisplayRecord readInputPrimary(SetupState& s, bool* settled) {
    DisplayRecord r;
    s.beginRead();
    r.value = s.inDisplayValue;
    r.valid = s.inReadingValid != 0;
    *settled = r.valid && s.inFlagCounter == 8;
    if (s.inScaledMode == kScaleNone) {
        r.unit = s.inUnits;
        takeEntry(r, inputEntry(s, s.inRange));
    } else {
        takeTransferDisplay(r, s.inScaledMode);
    }
    s.endRead();
    finishRecord(r);
    return r;
}

DisplayRecord readInputSecondary(SetupState& s) {
    DisplayRecord r;
    s.beginRead();
    r.valid = s.inReadingValid != 0;
    if (s.inScaledMode != kScaleNone) {
        // The reading before scaling, in real units.
        r.value = s.inUnscaledValue;
        r.unit = s.inUnits;
        takeEntry(r, inputEntry(s, s.inRange));
    } else if (s.inFunction == kFnAcv) {
        // The frequency of the signal; none measured yet at exactly 0 Hz.
        r.value = s.inFreqReading;
        r.unit = kUnitHertz;
        takeEntry(r, rangeEntry(findGroup(inputRanges, s, kFnFreq, kUnitHertz), s.inFreqRange, 0));
        if (r.value == 0.0f) r.valid = false;
    } else if (s.inFunction == kFnCont) {
        r.value = s.inContReading;
        r.unit = kUnitOhms;
        takeFormat(r, kTwoDecimals);
    } else if (isTemperatureFunction(s.inFunction)) {
        // The EMF or resistance behind the temperature.
        r.value = s.inRawReading;
        r.unit = s.inElecUnits;
        takeEntry(r,
                  rangeEntry(electricalGroup(inputRanges, s, s.inFunction), s.inRangeSetting, 0));
    }
    s.endRead();
    finishRecord(r);
    return r;
}

DisplayRecord readOutputPrimary(SetupState& s, bool* confirmed) {
    DisplayRecord r;
    s.beginRead();
    r.value = s.outSetValue;
    r.valid = s.outChanged != 0;
    *confirmed = s.outConfirmed != 0;
    r.unit = s.outUnits;
    takeEntry(r, outputEntry(s));
    if (s.outScaledMode != kScaleNone) takeTransferDisplay(r, s.outScaledMode);
    s.endRead();
    finishRecord(r);
    return r;
}

DisplayRecord readOutputSecondary(SetupState& s) {
    DisplayRecord r;
    s.beginRead();
    r.valid = s.outChanged != 0;
    if (s.outScaledMode != kScaleNone) {
        // The value in real units behind the scaled one.
        r.value = s.outValue;
        r.unit = s.outUnits;
        takeEntry(r, outputEntry(s));
    } else if (s.outFunction == kFnFreq) {
        // The amplitude of the frequency output, in the AC volts range that holds it.
        r.value = s.outFreqAmplitude;
        r.unit = kUnitVolts;
        const uint32_t range = findRange(outputRanges, s, kFnAcv, kUnitVolts, 0, 0, r.value);
        takeEntry(r, rangeEntry(findGroup(outputRanges, s, kFnAcv, kUnitVolts), range, 0));
    } else if (isTemperatureFunction(s.outFunction)) {
        // The EMF or resistance sourced for the temperature.
        r.value = s.outElecValue;
        r.unit = s.outElecUnits;
        takeEntry(r,
                  rangeEntry(electricalGroup(outputRanges, s, s.outFunction), s.outElecRange, 0));
    }
    s.endRead();
    finishRecord(r);
    return r;
}

MinMaxRecords readMinMax(SetupState& s) {
    s.beginRead();
    const bool finite = isNotFinite(&s.inMin) == 0 && isNotFinite(&s.inMax) == 0;
    MinMaxRecords m{minMaxEnd(s, s.inMax, s.inMaxRange, finite),
                    minMaxEnd(s, s.inMin, s.inMinRange, finite)};
    s.endRead();
    return m;
}

uint32_t inputResult(SetupState& s) {
    s.beginRead();
    const uint16_t error = s.inError;
    s.endRead();
    return error == 0 ? 0 : statusToResult(error);
}

uint32_t outputResult(SetupState& s) {
    s.beginRead();
    const uint16_t error = s.outError;
    s.endRead();
    return error == 0 ? 0 : statusToResult(error);
}

namespace {

const char* nameOrEmpty(const NameTable& table, uint32_t code) {
    const char* name = nameOf(table, code);
    return name != nullptr ? name : "";
}

SideNames sideNames(uint32_t function, uint32_t tcType, uint32_t rtdType) {
    SideNames n{nameOrEmpty(kFunctionNames, function), ""};
    if (function == kFnTc) n.sensor = nameOrEmpty(kTcNames, tcType);
    if (isRtdFunction(function)) n.sensor = nameOrEmpty(kRtdNames, rtdType);
    return n;
}

}  // namespace

SideNames inputNames(SetupState& s) {
    uint32_t function, tcType, rtdType;
    s.readInTc(&function, &tcType);
    s.readInRtd(&function, &rtdType);
    return sideNames(function, tcType, rtdType);
}

SideNames outputNames(SetupState& s) {
    uint32_t function, tcType, rtdType;
    s.readOutFunction(&function);
    s.readOutTcType(&tcType);
    s.readOutRtdType(&rtdType);
    return sideNames(function, tcType, rtdType);
}

float inputRangeHigh(SetupState& s, bool* automatic) {
    uint32_t range, function, units, tcType, rtdType;
    uint16_t autoRange;
    s.readInputRange(&range, &autoRange);
    s.readInUnits(&units);
    s.readInTc(&function, &tcType);
    s.readInRtd(&function, &rtdType);
    *automatic = autoRange != 0;
    const uint32_t kind = sensorKind(function, tcType, rtdType);
    const uint32_t number = isTemperatureFunction(function) ? 0 : range;
    return rangeEntry(findGroup(inputRanges, s, function, units), number, kind).high;
}

const char* loopPowerName(SetupState& s) {
    s.beginRead();
    const uint32_t code = s.loopPower;
    s.endRead();
    return nameOrEmpty(kLoopPowerNames, code);
}

float baseValue(const DisplayRecord& r) {
    float v = r.value;
    prefixToBase(&v, r.prefix);
    return v;
}

void composeDisplay(const TextTables& tables, const DisplayRecord& r, Blank blank, char* dst) {
    if (blank == Blank::Empty && r.format[0] == '\0') {
        dst[0] = '\0';
    } else if (!r.finite) {
        copyText(dst, kOverload, kDisplayStringSize);
    } else if (!r.valid) {
        copyText(dst, kNotValid, kDisplayStringSize);
    } else {
        formatValue(tables, r.format, dst, kDisplayStringSize, r.value);
        if (r.prefix != kPrefixNone)
            appendText(dst, listItem(tables.findList(kPrefixLettersList), r.prefix));
        appendText(dst, listItem(tables.findList(kUnitSymbolsList), r.unit));
    }
}

void copyText(char* dst, const char* text, size_t size) {
    if (size == 0) return;
    size_t n = 0;
    for (; n + 1 < size && text[n] != '\0'; ++n)
        dst[n] = text[n];
    dst[n] = '\0';
}

}  // namespace kvtlnk
