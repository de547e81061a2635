#include "emu_facts.h"

namespace k27emu::facts {

namespace {

constexpr int kCurrent = 1, kDcv = 2, kAcv = 3, kFreq = 4, kFreqLow = 5, k2wOhms = 6, k3wOhms = 7,
              k4wOhms = 8, kCont = 9, kCurrentSink = 15;
constexpr int kVolts = 1, kAmps = 2, kOhms = 3, kHertz = 4;
constexpr int kMmHg = 10, kInHg = 11, kInH2o = 12, kFtH2o = 13, kBar = 14, kKpa = 15;

using P = Prefix;

const std::vector<Range> kOhmsMeasured = {{8, P::Unity, -2, 11.01},
                                          {9, P::Unity, 9.99, 110.1},
                                          {10, P::Unity, 99.9, 1101},
                                          {11, P::Kilo, 999, 11300}};
const std::vector<Range> kCurrentSourced = {{5, P::Milli, 0, 0.0220001}};

// Thermocouple types 1 ... 11 (E N J K T B R S C L U), then RTD types 1 ... 8 (Pt100 0.00392,
// Pt100 0.00385, Ni120, Pt200, Pt500, Pt1000, Cu10, Pt100 0.003916).
const std::vector<Sensor> kSensors = {
    {kFnTc, 1, -252, 1002, -422, 1836},   {kFnTc, 2, -202, 1302, -332, 2376},
    {kFnTc, 3, -212, 1202, -350, 2196},   {kFnTc, 4, -202, 1374, -332, 2505.6},
    {kFnTc, 5, -252, 402, -422, 756},     {kFnTc, 6, 594, 1826, 1100, 3320},
    {kFnTc, 7, -22, 1771, -8, 3220.6},    {kFnTc, 8, -22, 1771, -8, 3220.6},
    {kFnTc, 9, -4, 2320, 24, 4208.8},     {kFnTc, 10, -202, 909, -332, 1668},
    {kFnTc, 11, -202, 606, -332, 1122},   {kFn2wRtd, 1, -202, 632, -332, 1170},
    {kFn2wRtd, 2, -202, 802, -332, 1476}, {kFn2wRtd, 3, -82, 262, -116, 504},
    {kFn2wRtd, 4, -202, 632, -332, 1170}, {kFn2wRtd, 5, -202, 632, -332, 1170},
    {kFn2wRtd, 6, -202, 632, -332, 1170}, {kFn2wRtd, 7, -102, 262, -152, 504},
    {kFn2wRtd, 8, -202, 632, -332, 1170},
};

}  // namespace

double prefixScale(Prefix p) {
    switch (p) {
        case P::Micro:
            return 1e-6;
        case P::Milli:
            return 1e-3;
        case P::Kilo:
            return 1e3;
        case P::Mega:
            return 1e6;
        case P::Giga:
            return 1e9;
        default:
            return 1;
    }
}

const std::vector<RangeGroup>& measureRanges() {
    static const std::vector<RangeGroup> groups = {
        {kCurrent, kAmps, false, {{5, P::Milli, 0, 0.0331}, {6, P::Milli, 0.0299, 0.113}}},
        {kDcv,
         kVolts,
         false,
         {{6, P::Milli, 0, 0.1101},
          {7, P::Unity, 0.099, 1.101},
          {8, P::Unity, 0.999, 11.01},
          {9, P::Unity, 9.99, 110.1},
          {10, P::Unity, 99.9, 309}}},
        {kAcv,
         kVolts,
         true,
         {{7, P::Unity, 0, 1.101},
          {8, P::Unity, 0.999, 11.01},
          {9, P::Unity, 9.99, 110.1},
          {10, P::Unity, 99.9, 309}}},
        {kFreq,
         kHertz,
         true,
         {{9, P::Unity, 19.9, 110.1},
          {10, P::Unity, 99.99, 1100.1},
          {11, P::Kilo, 999.9, 11001},
          {12, P::Kilo, 9999, 51500}}},
        {kFreqLow,
         kHertz,
         true,
         {{9, P::Unity, 0.99, 110.1},
          {10, P::Unity, 99.99, 1100.1},
          {11, P::Kilo, 999.9, 11001},
          {12, P::Kilo, 9999, 51500}}},
        {k2wOhms, kOhms, true, kOhmsMeasured},
        {k3wOhms, kOhms, true, kOhmsMeasured},
        {k4wOhms, kOhms, true, kOhmsMeasured},
        {kCont, kOhms, true, {{10, P::None, 0, 1e37}}},
    };
    return groups;
}

const std::vector<RangeGroup>& sourceRanges() {
    static const std::vector<RangeGroup> groups = {
        {kCurrent, kAmps, true, kCurrentSourced},
        {kCurrentSink, kAmps, true, kCurrentSourced},
        {kDcv,
         kVolts,
         true,
         {{6, P::Milli, -0.0100001, 0.1100001},
          {7, P::Unity, 0.0999999, 1.100001},
          {8, P::Unity, 0.999999, 11.00001}}},
        {kAcv, kVolts, true, {{8, P::Unity, 0, 10.0001}}},
        {kFreq,
         kHertz,
         true,
         {{9, P::Unity, 1.999, 110.001},
          {10, P::Unity, 99.9, 1100.1},
          {11, P::Kilo, 990, 11010},
          {12, P::Kilo, 9900, 50100}}},
        {k2wOhms,
         kOhms,
         true,
         {{8, P::Unity, 0, 11.0001},
          {9, P::Unity, 9.999, 110.001},
          {10, P::Unity, 99.99, 1100.01},
          {11, P::Kilo, 999.9, 11000.1}}},
    };
    return groups;
}

const RangeGroup* findGroup(const std::vector<RangeGroup>& side, int function, int units) {
    for (const RangeGroup& g : side) {
        if (g.function == function && g.units == units) return &g;
    }
    return nullptr;
}

const Sensor* findSensor(int function, int type, bool source) {
    if (function > kFn2wRtd && function <= kFn4wRtd && !source) function = kFn2wRtd;
    for (const Sensor& s : kSensors) {
        if (s.function == function && s.type == type) return &s;
    }
    return nullptr;
}

double unitsPerPsi(int units) {
    switch (units) {
        case kMmHg:
            return 51.7149;
        case kInHg:
            return 2.03602;
        case kInH2o:
            return 27.6807;
        case kFtH2o:
            return 2.30672;
        case kBar:
            return 0.0689476;
        case kKpa:
            return 6.89476;
        default:
            return 1;
    }
}

}  // namespace k27emu::facts
