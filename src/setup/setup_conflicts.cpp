// Functions that cannot run together. The measure side, the source side and loop power share
// the calibrator's terminals and its loop supply; when a new setting clashes with another, the
// side that was not just set gives way: the input falls back to "dcv", the output to "none",
// loop power goes off. The forced settings clash with nothing, so the recursion ends there.
#include "setup/name_tables.h"
#include "setup/setup_functions.h"
#include "setup/setup_state.h"

namespace kvtlnk {

namespace {

bool inRange(uint32_t function, uint32_t first, uint32_t last) {
    return function >= first && function <= last;
}

// Inputs that need the loop supply's terminals: freq_low, the ohms and cont functions, RTDs.
bool inputExcludesLoopPower(uint32_t in) {
    return inRange(in, kFnFreqLow, kFnCont) || isRtdFunction(in);
}

// Current outputs drive the loop themselves.
bool outputExcludesLoopPower(uint32_t out) {
    return out == kFnCurrent || out == kFnCurrentSink;
}

// Inputs that cannot run beside a current source or sink.
bool inputExcludesCurrentOutput(uint32_t in) {
    return in == kFnCurrent || inRange(in, kFn2wOhms, kFnCont) || isRtdFunction(in) ||
           in == kFnCurrentSink;
}

bool functionsClash(uint32_t in, uint32_t out) {
    if (in == kFnNone || out == kFnNone) return false;
    if (in == kFnFreqLow) return true;
    if (in == out && (in == kFnTc || in == kFnPressure)) return true;
    return outputExcludesLoopPower(out) && inputExcludesCurrentOutput(in);
}

// After a change of one side to function changed: loop power goes off first when the function
// excludes it, then the other side gives way when the two sides clash. The warning names what
// changed.
template <class GiveWay>
uint16_t resolveSide(SetupState& s, uint32_t changed, bool excludesLoopPower, GiveWay giveWay,
                     uint16_t clashWarning, uint16_t clashAndLoopOffWarning) {
    if (changed == kFnNone) return 0;
    const bool loopOff = excludesLoopPower && loopPowerOn(s.in().loopPower);
    if (loopOff) s.setLoopPower(kLoopOff);
    if (!functionsClash(s.in().function, s.out().function)) {
        return loopOff ? kStatusLoopPowerOff : 0;
    }
    giveWay();
    return loopOff ? clashAndLoopOffWarning : clashWarning;
}

}  // namespace

// Loop power is a setting of the measure side: its supply sits on the input terminals.
bool SetupState::setLoopPower(uint32_t code) {
    if (code == in().loopPower) return true;
    changeInput().loopPower = code;
    return settle(*this, resolveAfterLoopPower());
}

uint16_t SetupState::resolveAfterOutput() {
    return resolveSide(
        *this, out().function, outputExcludesLoopPower(out().function),
        [this] { setInputFunction(kFnDcv, 0); }, kStatusInputToDcv, kStatusInputToDcvLoopOff);
}

uint16_t SetupState::resolveAfterInput() {
    return resolveSide(
        *this, in().function, inputExcludesLoopPower(in().function),
        [this] { setOutputDefault(kFnNone, 0); }, kStatusOutputToNone, kStatusOutputToNoneLoopOff);
}

uint16_t SetupState::resolveAfterLoopPower() {
    if (!loopPowerOn(in().loopPower)) return 0;
    if (inputExcludesLoopPower(in().function)) {
        setInputFunction(kFnDcv, 0);
        return kStatusInputToDcv;
    }
    if (outputExcludesLoopPower(out().function)) {
        setOutputDefault(kFnNone, 0);
        return kStatusOutputToNone;
    }
    return 0;
}

}  // namespace kvtlnk
