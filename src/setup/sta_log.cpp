// The STA entry points that read the log a setup restore brought in: its counts, its start,
// its extremes and its samples. The library takes no samples itself.
#include <cmath>
#include <limits>

#include "kvtlnk/kvtlnk.h"
#include "setup/setup_state.h"
#include "support/export_guard.h"

using namespace kvtlnk;

namespace {

// A sample that is infinite or not a number stands for no reading.
bool validSample(float sample) {
    return std::isfinite(sample);
}

template <class T>
void put(T* out, T value) {
    if (out != nullptr) *out = value;
}

}  // namespace

extern "C" {

KVTLNK_API uint32_t KVTLNK_CALL STAgetLogData(uint32_t* count, uint32_t* interval,
                                              uint32_t* requested) {
    guardedVoid([&] {
        SetupState& s = theSetupState();
        s.beginRead();
        put(count, s.logCount);
        put(interval, s.logInterval);
        put(requested, s.logRequested);
        s.endRead();
    });
    return KVTLNK_OK;
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetLogStart(uint32_t* year, uint32_t* month, uint32_t* day,
                                               uint32_t* hour, uint32_t* minute, uint32_t* second) {
    guardedVoid([&] {
        SetupState& s = theSetupState();
        s.beginRead();
        const DateStamp start = s.logStartTime;
        s.endRead();
        put(year, static_cast<uint32_t>(start.fullYear()));
        put(month, uint32_t{start.month});
        put(day, uint32_t{start.day});
        put(hour, uint32_t{start.hour});
        put(minute, uint32_t{start.minute});
        put(second, uint32_t{start.second});
    });
    return KVTLNK_OK;
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetLogMinMax(float* minimum, float* maximum) {
    guardedVoid([&] {
        const SetupState& s = theSetupState();
        float low = std::numeric_limits<float>::max();
        float high = -std::numeric_limits<float>::max();
        for (uint32_t i = 0; i < s.logCount; ++i) {
            const float sample = s.logBuffer[i];
            if (!validSample(sample)) continue;
            if (sample < low) low = sample;
            if (sample > high) high = sample;
        }
        put(minimum, low);
        put(maximum, high);
    });
    return KVTLNK_OK;
}

KVTLNK_API uint32_t KVTLNK_CALL STAgetLoggedData(uint32_t index, uint32_t* valid, float* value) {
    return guarded(KVTLNK_E_NO_VALUE, [&] {
        const SetupState& s = theSetupState();
        const bool found = index < s.logCount && validSample(s.logBuffer[index]);
        put(valid, found ? 1u : 0u);
        put(value, found ? s.logBuffer[index] : 0.0f);
        return found ? KVTLNK_OK : KVTLNK_E_NO_VALUE;
    });
}

}  // extern "C"
