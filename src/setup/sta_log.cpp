// The log that a setup restore brought in: its counts, its start, its extremes and its samples.
#include <cmath>
#include <limits>

#include "kvtlnk/kvtlnk.h"
#include "setup/sta_calls.h"
#include "support/outputs.h"

namespace kvtlnk {

namespace {

// A sample that is infinite or not a number stands for no reading.
bool validSample(float sample) {
    return std::isfinite(sample);
}

}  // namespace

uint32_t staGetLogData(const SetupState& s, uint32_t* count, uint32_t* interval,
                       uint32_t* requested) {
    put(count, s.log.count);
    put(interval, s.log.interval);
    put(requested, s.log.requested);
    return KVTLNK_OK;
}

uint32_t staGetLogStart(const SetupState& s, uint32_t* year, uint32_t* month, uint32_t* day,
                        uint32_t* hour, uint32_t* minute, uint32_t* second) {
    const DateStamp& start = s.log.startTime;
    put(year, static_cast<uint32_t>(start.fullYear()));
    put(month, uint32_t{start.month});
    put(day, uint32_t{start.day});
    put(hour, uint32_t{start.hour});
    put(minute, uint32_t{start.minute});
    put(second, uint32_t{start.second});
    return KVTLNK_OK;
}

uint32_t staGetLogMinMax(const SetupState& s, float* minimum, float* maximum) {
    float low = std::numeric_limits<float>::max();
    float high = -std::numeric_limits<float>::max();
    for (uint32_t i = 0; i < s.log.count; ++i) {
        const float sample = s.log.buffer[i];
        if (!validSample(sample)) continue;
        if (sample < low) low = sample;
        if (sample > high) high = sample;
    }
    put(minimum, low);
    put(maximum, high);
    return KVTLNK_OK;
}

uint32_t staGetLoggedData(const SetupState& s, uint32_t index, uint32_t* valid, float* value) {
    const bool found = index < s.log.count && validSample(s.log.buffer[index]);
    put(valid, found ? 1u : 0u);
    put(value, found ? s.log.buffer[index] : 0.0f);
    return found ? KVTLNK_OK : KVTLNK_E_NO_VALUE;
}

}  // namespace kvtlnk
