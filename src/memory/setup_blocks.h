// The fields of the blocks of a setup record and the members of the setup that hold them.
#pragma once

#include <cstdint>

#include "memory/setup_record.h"
#include "setup/setup_state.h"
#include "support/byte_order.h"

namespace kvtlnk {
namespace setup_blocks {

// One description of each block serves both directions: the block's fields are listed once, in a
// function that hands each to a Packer (record from setup) or an Unpacker (setup from record).
// A one-byte field holds the member's low byte and is sign-extended back into the member's width.
struct Packer {
    uint8_t* block;
    void f32(uint32_t at, float v) { storeF32(block + at, v); }
    void u32(uint32_t at, uint32_t v) { storeU32(block + at, v); }
    void u16(uint32_t at, uint16_t v) { storeU16(block + at, v); }
    template <class T>
    void byte(uint32_t at, T v) {
        block[at] = static_cast<uint8_t>(v);
    }
};

struct Unpacker {
    const uint8_t* block;
    void f32(uint32_t at, float& v) { v = loadF32(block + at); }
    void u32(uint32_t at, uint32_t& v) { v = loadU32(block + at); }
    void u16(uint32_t at, uint16_t& v) { v = loadU16(block + at); }
    template <class T>
    void byte(uint32_t at, T& v) {
        v = static_cast<T>(static_cast<int8_t>(block[at]));
    }
};

// The sides' settings: read from a setup that is packed, changed (and so marked) in one that
// is restored.
inline const InputSettings& inputOf(const SetupState& s) {
    return s.in();
}
inline InputSettings& inputOf(SetupState& s) {
    return s.changeInput();
}
inline const OutputSettings& outputOf(const SetupState& s) {
    return s.out();
}
inline OutputSettings& outputOf(SetupState& s) {
    return s.changeOutput();
}

// Head fields; the offset (52), the range code (58), the cont mode (70) and the flag byte (74)
// have rules of their own.
constexpr uint32_t kHeadOffset = 52;
constexpr uint32_t kHeadRangeCode = 58;
constexpr uint32_t kHeadContMode = 70;
constexpr uint32_t kHeadFlags = 74;
constexpr uint32_t kHeadTcType = 66;
constexpr uint32_t kHeadRtdType = 67;
template <class Io, class State>
void headFields(Io io, State& s) {
    auto& in = inputOf(s);
    auto& reading = s.inReadings;
    io.f32(0, reading.raw);
    io.f32(4, reading.freq);
    io.f32(8, reading.cont);
    io.f32(12, s.inScale.low);
    io.f32(16, s.inScale.high);
    io.f32(20, s.inScaled.p1);
    io.f32(24, s.inScaled.p2);
    io.f32(28, in.tref.value);
    io.f32(32, reading.value);
    io.f32(36, reading.unscaled);
    io.f32(40, reading.log);
    io.f32(44, reading.display);
    io.f32(48, reading.percentError);
    io.u16(56, reading.error);
    io.byte(59, reading.freqRange);
    io.byte(60, in.autoRange);
    io.byte(61, in.elecUnits);
    io.byte(62, in.units);
    io.byte(63, in.tref.units);
    io.byte(kHeadInFunction, in.function);
    io.byte(65, s.inScaled.mode);
    io.byte(kHeadTcType, in.tcType);
    io.byte(kHeadRtdType, in.rtdType);
    io.byte(68, in.rangeSetting);
    io.byte(69, in.tref.mode);
    io.byte(71, reading.flagCounter);
    io.byte(72, in.offsetOn);
    io.byte(73, s.inScale.on);
    io.byte(75, s.tempStd);
    io.byte(kHeadOutFunction, outputOf(s).function);
    io.byte(77, in.loopPower);
    io.byte(78, s.setupCode);
}

template <class Io, class State>
void minMaxFields(Io io, State& s) {
    auto& m = s.minMax;
    io.f32(0, m.max);
    io.f32(4, m.min);
    io.byte(8, m.maxRange);
    io.byte(9, m.minRange);
    io.byte(10, m.on);
}

// Output fields; the range code (66) and the flag byte (70) have rules of their own.
constexpr uint32_t kOutRangeCode = 66;
constexpr uint32_t kOutFlags = 70;
constexpr uint32_t kOutTcType = 64;
constexpr uint32_t kOutRtdType = 65;
template <class Io, class State>
void outputFields(Io io, State& s) {
    auto& out = outputOf(s);
    auto& step = s.outStep;
    io.f32(0, out.value);
    io.f32(4, out.setValue);
    io.f32(8, out.freqAmplitude);
    io.f32(12, s.outScale.low);
    io.f32(16, s.outScale.high);
    io.f32(20, s.outScaled.p1);
    io.f32(24, s.outScaled.p2);
    io.f32(28, out.tref.value);
    io.f32(32, step.increment);
    io.f32(36, step.low);
    io.f32(40, step.size);
    io.f32(44, step.high);
    io.f32(48, s.tolerance.value);
    io.u16(52, s.outState.error);
    io.u16(54, step.index);
    io.u16(56, step.total);
    io.byte(58, step.state);
    io.byte(59, step.dwell);
    io.byte(60, out.elecUnits);
    io.byte(61, out.units);
    io.byte(62, out.tref.units);
    io.byte(63, s.outScaled.mode);
    io.byte(kOutTcType, out.tcType);
    io.byte(kOutRtdType, out.rtdType);
    io.byte(67, out.tref.mode);
    io.byte(68, s.tolerance.on);
    io.byte(69, s.outScale.on);
    io.byte(71, s.outState.confirmed);
}

// Pressure-module block: two texts in 10-byte fields, six reserved bytes, the limits, the code.
constexpr uint32_t kModuleText1 = 0;
constexpr uint32_t kModuleText2 = 10;
constexpr uint32_t kModuleTextField = 10;
template <class Io, class Module>
void moduleFields(Io io, Module& m) {
    io.f32(26, m.high);
    io.f32(30, m.low);
    io.u16(34, m.code);
}

// Logging block: three counts, the two stamps, then the samples.
constexpr uint32_t kLogCount = 8;
constexpr uint32_t kLogStart = 12;
constexpr uint32_t kLogLast = 20;
template <class Io, class Log>
void logFields(Io io, Log& log) {
    io.u32(0, log.interval);
    io.u32(4, log.requested);
    io.u32(kLogCount, log.count);
}

}  // namespace setup_blocks
}  // namespace kvtlnk
