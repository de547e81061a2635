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
    const InputSettings& in = s.in();
    return rangeEntry(findGroup(inputRanges, s, in.function, in.units), range,
                      sensorKind(in.function, in.tcType, in.rtdType));
}

const RangeEntry& outputEntry(const SetupState& s) {
    const OutputSettings& out = s.out();
    return rangeEntry(findGroup(outputRanges, s, out.function, out.units), out.range,
                      sensorKind(out.function, out.tcType, out.rtdType));
}

// One end of the min/max record: real units for modes 0 and 5, the transfer-function display
// for modes 1 to 4, nothing for a mode only a restored setup can hold.
DisplayRecord minMaxEnd(const SetupState& s, float value, uint32_t range, bool finite) {
    DisplayRecord r;
    r.value = value;
    const uint32_t mode = s.inScaled.mode;
    if (mode == kScaleNone || mode == kScaleNoneAlt) {
        r.unit = s.in().units;
        takeEntry(r, inputEntry(s, range));
        prefixFromBase(&r.value, r.prefix);
    } else if (mode <= kScalePercent) {
        takeTransferDisplay(r, mode);
    }
    r.finite = finite;
    r.valid = s.inReadings.valid != 0;
    return r;
}

// Appends text after what dst holds, within kDisplayStringSize bytes.
void appendText(char* dst, const char* text) {
    const size_t used = std::strlen(dst);
    copyText(dst + used, text, kDisplayStringSize - used);
}

}  // namespace

DisplayRecord readInputPrimary(const SetupState& s, bool* settled) {
    DisplayRecord r;
    r.value = s.inReadings.display;
    r.valid = s.inReadings.valid != 0;
    *settled = r.valid && s.inReadings.flagCounter == 8;
    if (s.inScaled.mode == kScaleNone) {
        r.unit = s.in().units;
        takeEntry(r, inputEntry(s, s.in().range));
    } else {
        takeTransferDisplay(r, s.inScaled.mode);
    }
    finishRecord(r);
    return r;
}

DisplayRecord readInputSecondary(const SetupState& s) {
    const InputSettings& in = s.in();
    const InputReadings& reading = s.inReadings;
    DisplayRecord r;
    r.valid = reading.valid != 0;
    if (s.inScaled.mode != kScaleNone) {
        // The reading before scaling, in real units.
        r.value = reading.unscaled;
        r.unit = in.units;
        takeEntry(r, inputEntry(s, in.range));
    } else if (in.function == kFnAcv) {
        // The frequency of the signal; none measured yet at exactly 0 Hz.
        r.value = reading.freq;
        r.unit = kUnitHertz;
        takeEntry(r,
                  rangeEntry(findGroup(inputRanges, s, kFnFreq, kUnitHertz), reading.freqRange, 0));
        if (r.value == 0.0f) r.valid = false;
    } else if (in.function == kFnCont) {
        r.value = reading.cont;
        r.unit = kUnitOhms;
        takeFormat(r, kTwoDecimals);
    } else if (isTemperatureFunction(in.function)) {
        // The EMF or resistance behind the temperature.
        r.value = reading.raw;
        r.unit = in.elecUnits;
        takeEntry(r, rangeEntry(electricalGroup(inputRanges, s, in.function), in.rangeSetting, 0));
    }
    finishRecord(r);
    return r;
}

DisplayRecord readOutputPrimary(const SetupState& s, bool* confirmed) {
    DisplayRecord r;
    r.value = s.out().setValue;
    r.valid = s.outState.changed != 0;
    *confirmed = s.outState.confirmed != 0;
    r.unit = s.out().units;
    takeEntry(r, outputEntry(s));
    if (s.outScaled.mode != kScaleNone) takeTransferDisplay(r, s.outScaled.mode);
    finishRecord(r);
    return r;
}

DisplayRecord readOutputSecondary(const SetupState& s) {
    const OutputSettings& out = s.out();
    DisplayRecord r;
    r.valid = s.outState.changed != 0;
    if (s.outScaled.mode != kScaleNone) {
        // The value in real units behind the scaled one.
        r.value = out.value;
        r.unit = out.units;
        takeEntry(r, outputEntry(s));
    } else if (out.function == kFnFreq) {
        // The amplitude of the frequency output, in the AC volts range that holds it.
        r.value = out.freqAmplitude;
        r.unit = kUnitVolts;
        const uint32_t range = findRange(outputRanges, s, kFnAcv, kUnitVolts, 0, 0, r.value);
        takeEntry(r, rangeEntry(findGroup(outputRanges, s, kFnAcv, kUnitVolts), range, 0));
    } else if (isTemperatureFunction(out.function)) {
        // The EMF or resistance sourced for the temperature.
        r.value = s.outState.elecValue;
        r.unit = out.elecUnits;
        takeEntry(
            r, rangeEntry(electricalGroup(outputRanges, s, out.function), s.outState.elecRange, 0));
    }
    finishRecord(r);
    return r;
}

MinMaxRecords readMinMax(const SetupState& s) {
    const MinMaxRecord& record = s.minMax;
    const bool finite = isNotFinite(&record.min) == 0 && isNotFinite(&record.max) == 0;
    return MinMaxRecords{minMaxEnd(s, record.max, record.maxRange, finite),
                         minMaxEnd(s, record.min, record.minRange, finite)};
}

uint32_t inputResult(const SetupState& s) {
    const uint16_t error = s.inReadings.error;
    return error == 0 ? 0 : statusToResult(error);
}

uint32_t outputResult(const SetupState& s) {
    const uint16_t error = s.outState.error;
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

SideNames inputNames(const SetupState& s) {
    return sideNames(s.in().function, s.in().tcType, s.in().rtdType);
}

SideNames outputNames(const SetupState& s) {
    return sideNames(s.out().function, s.out().tcType, s.out().rtdType);
}

float inputRangeHigh(const SetupState& s, bool* automatic) {
    const InputSettings& in = s.in();
    *automatic = in.autoRange != 0;
    const uint32_t kind = sensorKind(in.function, in.tcType, in.rtdType);
    const uint32_t number = isTemperatureFunction(in.function) ? 0 : in.range;
    return rangeEntry(findGroup(inputRanges, s, in.function, in.units), number, kind).high;
}

const char* loopPowerName(const SetupState& s) {
    return nameOrEmpty(kLoopPowerNames, s.in().loopPower);
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
