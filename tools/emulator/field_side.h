#pragma once

#include <cstdint>

#include "emu_facts.h"
#include "setup_blocks.h"

namespace k27emu {

// What the instrument shows for one value on one side: the value in the display units of the
// range it falls in (base value / scale), that range's number and its upper limit in base units.
struct Reading {
    float shown = 0;
    uint8_t range = 0;
    double scale = 1;
    double limit = 0;
};

// One side of a setup (measure or source) as a field run uses it: the function, the span the
// strategy points run over, and how a value on it is ranged and shown.
class Side {
  public:
    static Side measure(const SetupBlocks& setup);
    static Side source(const SetupBlocks& setup);

    int function() const { return function_; }
    bool present() const { return function_ != facts::kFnNone; }
    double low() const { return low_; }
    double span() const { return high_ - low_; }
    // The value at a strategy point, a fraction of the span.
    double at(double point) const { return low_ + point * span(); }

    Reading reading(double value) const;
    // The limits of the range the setup chose (electrical functions); false for none.
    bool fixedRange(double* low, double* high) const;

  private:
    Side(const SetupBlocks& setup, bool source);

    int function_ = facts::kFnNone;
    int units_ = 0;
    uint8_t rangeCode_ = 0;
    const facts::RangeGroup* group_ = nullptr;
    const facts::Sensor* sensor_ = nullptr;
    const uint8_t* module_ = nullptr;  // the pressure module the side reads through
    int pressureUnits_ = facts::kPsi;
    double low_ = 0;
    double high_ = 100;
};

}  // namespace k27emu
