#include "field_side.h"

#include <algorithm>
#include <cmath>

#include "protocol/byte_order.h"

namespace k27emu {

using namespace facts;
using kvttools::loadF32;

namespace {

const Range* rangeNumbered(const RangeGroup& g, uint8_t number) {
    for (const Range& r : g.ranges) {
        if (r.number == number) return &r;
    }
    return nullptr;
}

// The range a value is shown in: the current one while the value stays within its limits,
// else the nearest range above or below that holds it (the instrument's auto-ranging), else
// the first that holds it, else the highest.
const Range& rangeFor(const RangeGroup& g, uint8_t current, double v) {
    auto holds = [v](const Range& r) { return r.low <= v && v <= r.high; };
    const std::vector<Range>& rows = g.ranges;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].number != current) continue;
        if (holds(rows[i])) return rows[i];
        if (v >= rows[i].low) {
            for (size_t j = i + 1; j < rows.size(); ++j) {
                if (holds(rows[j])) return rows[j];
            }
        } else {
            for (size_t j = i; j-- > 0;) {
                if (holds(rows[j])) return rows[j];
            }
        }
        break;
    }
    const auto first = std::find_if(rows.begin(), rows.end(), holds);
    return first != rows.end() ? *first : rows.back();
}

}  // namespace

Side Side::measure(const SetupBlocks& setup) {
    return Side(setup, false);
}

Side Side::source(const SetupBlocks& setup) {
    return Side(setup, true);
}

Side::Side(const SetupBlocks& b, bool source) {
    static const uint8_t noOutput[output::kSize] = {};
    const uint8_t* block = source ? (b.output != nullptr ? b.output : noOutput) : b.head;
    function_ = source ? b.outFunction() : b.inFunction();
    units_ = block[source ? output::kUnits : head::kUnits];
    rangeCode_ = block[source ? output::kRangeCode : head::kRangeCode];
    const int type = function_ == kFnTc ? block[source ? output::kTcType : head::kTcType]
                                        : block[source ? output::kRtdType : head::kRtdType];
    sensor_ = findSensor(function_, type, source);
    group_ = findGroup(source ? sourceRanges() : measureRanges(), function_, units_);
    // The instrument reads one pressure module, in the units of the pressure input if there
    // is one, else of the pressure output.
    module_ = b.outModule != nullptr ? b.outModule : b.inModule;
    pressureUnits_ = b.inFunction() == kFnPressure ? b.head[head::kUnits] : units_;

    const float lo = loadF32(block + (source ? output::kScaleLow : head::kScaleLow));
    const float hi = loadF32(block + (source ? output::kScaleHigh : head::kScaleHigh));
    const bool scaled = block[source ? output::kScaleOn : head::kScaleOn] != 0;
    double rangeLow = 0, rangeHigh = 0;
    if (scaled && std::isfinite(lo) && std::isfinite(hi) && lo != hi) {
        low_ = lo;
        high_ = hi;
    } else if (group_ != nullptr) {
        if (!fixedRange(&rangeLow, &rangeHigh)) {
            rangeLow = group_->ranges.back().low;
            rangeHigh = group_->ranges.back().high;
        }
        low_ = std::max(rangeLow, 0.0);
        high_ = std::min(rangeHigh, 1e6);
    } else if (function_ == kFnPressure && module_ != nullptr) {
        low_ = loadF32(module_ + module::kLow) * unitsPerPsi(pressureUnits_);
        high_ = loadF32(module_ + module::kHigh) * unitsPerPsi(pressureUnits_);
    }
}

bool Side::fixedRange(double* low, double* high) const {
    const Range* r = group_ != nullptr ? rangeNumbered(*group_, rangeCode_) : nullptr;
    if (r == nullptr) return false;
    *low = r->low;
    *high = r->high;
    return true;
}

Reading Side::reading(double value) const {
    constexpr uint8_t kPressureRange = 7;
    Reading r;
    r.range = rangeCode_;
    r.shown = present() ? static_cast<float>(value) : 0.0f;
    if (function_ == kFnPressure) {
        // The module's span, 10 % beyond its limits either way, in the display units.
        r.range = kPressureRange;
        if (module_ != nullptr) {
            const double high = loadF32(module_ + module::kHigh);
            const double low = loadF32(module_ + module::kLow);
            r.limit = (high + (high - low) * 0.1) * unitsPerPsi(pressureUnits_);
        }
    } else if (sensor_ != nullptr) {
        r.limit = units_ == kCelsius ? sensor_->highC : units_ == kFahrenheit ? sensor_->highF : 0;
    } else if (group_ != nullptr) {
        const Range& row =
            rangeFor(*group_, rangeCode_, group_->isSigned ? value : std::fabs(value));
        r.range = row.number;
        r.scale = prefixScale(row.prefix);
        r.shown = static_cast<float>(value / r.scale);
        r.limit = row.high;
    }
    return r;
}

}  // namespace k27emu
