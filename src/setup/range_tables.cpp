#include "setup/range_tables.h"

#include "readings/units.h"
#include "setup/name_tables.h"
#include "setup/setup_state.h"

namespace kvtlnk {

const RangeEntry kEmptyRangeEntry = {0, "<Nr>", 0, 0.0f, 0.0f};
const RangeGroup kSentinelRangeGroup = {&kEmptyRangeEntry, 0, 0, 1, kFnNone, kUnitNone};

namespace {

constexpr uint32_t kSigned = 1;
constexpr uint32_t kMagnitude = 0;

// Measure side, electrical functions.
const RangeEntry kInCurrent[] = {
    {0, "%6.3f", kPrefixMilli, 0.0f, 0.0331f},     // 5
    {0, "%6.2f ", kPrefixMilli, 0.0299f, 0.113f},  // 6
};
const RangeEntry kInDcv[] = {
    {0, "%7.3f", kPrefixMilli, 0.0f, 0.1101f},   // 6
    {0, "%7.5f", kPrefixUnity, 0.099f, 1.101f},  // 7
    {0, "%7.4f", kPrefixUnity, 0.999f, 11.01f},  // 8
    {0, "%7.3f", kPrefixUnity, 9.99f, 110.1f},   // 9
    {0, "%6.2f ", kPrefixUnity, 99.9f, 309.0f},  // 10
};
const RangeEntry kInAcv[] = {
    {0, "%6.4f", kPrefixUnity, 0.0f, 1.101f},    // 7
    {0, "%6.3f", kPrefixUnity, 0.999f, 11.01f},  // 8
    {0, "%6.2f", kPrefixUnity, 9.99f, 110.1f},   // 9
    {0, "%5.1f ", kPrefixUnity, 99.9f, 309.0f},  // 10
};
const RangeEntry kInFreq[] = {
    {0, "%6.2f", kPrefixUnity, 19.9f, 110.1f},     // 9
    {0, "%6.1f", kPrefixUnity, 99.99f, 1100.1f},   // 10
    {0, "%6.3f", kPrefixKilo, 999.9f, 11001.0f},   // 11
    {0, "%6.2f", kPrefixKilo, 9999.0f, 51500.0f},  // 12
};
const RangeEntry kInFreqLow[] = {
    {0, "%6.2f", kPrefixUnity, 0.99f, 110.1f},     // 9
    {0, "%6.1f", kPrefixUnity, 99.99f, 1100.1f},   // 10
    {0, "%6.3f", kPrefixKilo, 999.9f, 11001.0f},   // 11
    {0, "%6.2f", kPrefixKilo, 9999.0f, 51500.0f},  // 12
};
const RangeEntry kInOhms[] = {
    {0, "%6.3f", kPrefixUnity, -2.0f, 11.01f},    // 8
    {0, "%6.2f", kPrefixUnity, 9.99f, 110.1f},    // 9
    {0, "%6.1f", kPrefixUnity, 99.9f, 1101.0f},   // 10
    {0, "%6.3f", kPrefixKilo, 999.0f, 11300.0f},  // 11
};
const RangeEntry kInCont[] = {
    {0, "%6.3f", kPrefixNone, 0.0f, 1e37f},  // 10
};

// Source side, electrical functions.
const RangeEntry kOutCurrent[] = {
    {0, "%6.3f", kPrefixMilli, 0.0f, 0.0220001f},  // 5
};
const RangeEntry kOutDcv[] = {
    {0, "%6.3f", kPrefixMilli, -0.0100001f, 0.1100001f},  // 6
    {0, "%6.5f", kPrefixUnity, 0.0999999f, 1.100001f},    // 7
    {0, "%6.4f", kPrefixUnity, 0.999999f, 11.00001f},     // 8
};
const RangeEntry kOutAcv[] = {
    {0, "%6.3f", kPrefixUnity, 0.0f, 10.0001f},  // 8
};
const RangeEntry kOutFreq[] = {
    {0, "%6.2f", kPrefixUnity, 1.999f, 110.001f},  // 9
    {0, "%6.0f", kPrefixUnity, 99.9f, 1100.1f},    // 10
    {0, "%6.1f", kPrefixKilo, 990.0f, 11010.0f},   // 11
    {0, "%6.0f", kPrefixKilo, 9900.0f, 50100.0f},  // 12
};
const RangeEntry kOutOhms[] = {
    {0, "%6.3f", kPrefixUnity, 0.0f, 11.0001f},    // 8
    {0, "%6.2f", kPrefixUnity, 9.999f, 110.001f},  // 9
    {0, "%6.1f", kPrefixUnity, 99.99f, 1100.01f},  // 10
    {0, "%6.3f", kPrefixKilo, 999.9f, 11000.1f},   // 11
};

// Temperature ranges, shared by both sides: range number = sensor type = kind.
const RangeEntry kTcCelsius[] = {
    {1, "%6.1f", kPrefixUnity, -252.0f, 1002.0f},  // tc_e
    {2, "%6.1f", kPrefixUnity, -202.0f, 1302.0f},  // tc_n
    {3, "%6.1f", kPrefixUnity, -212.0f, 1202.0f},  // tc_j
    {4, "%6.1f", kPrefixUnity, -202.0f, 1374.0f},  // tc_k
    {5, "%6.1f", kPrefixUnity, -252.0f, 402.0f},   // tc_t
    {6, "%6.1f", kPrefixUnity, 594.0f, 1826.0f},   // tc_b
    {7, "%6.1f", kPrefixUnity, -22.0f, 1771.0f},   // tc_r
    {8, "%6.1f", kPrefixUnity, -22.0f, 1771.0f},   // tc_s
    {9, "%6.1f", kPrefixUnity, -4.0f, 2320.0f},    // tc_c
    {10, "%6.1f", kPrefixUnity, -202.0f, 909.0f},  // tc_l
    {11, "%6.1f", kPrefixUnity, -202.0f, 606.0f},  // tc_u
};
const RangeEntry kTcFahrenheit[] = {
    {1, "%6.1f", kPrefixUnity, -422.0f, 1836.0f},   // tc_e
    {2, "%6.1f", kPrefixUnity, -332.0f, 2376.0f},   // tc_n
    {3, "%6.1f", kPrefixUnity, -350.0f, 2196.0f},   // tc_j
    {4, "%6.1f", kPrefixUnity, -332.0f, 2505.6f},   // tc_k
    {5, "%6.1f", kPrefixUnity, -422.0f, 756.0f},    // tc_t
    {6, "%6.1f", kPrefixUnity, 1100.0f, 3320.0f},   // tc_b
    {7, "%6.1f", kPrefixUnity, -8.0f, 3220.6f},     // tc_r
    {8, "%6.1f", kPrefixUnity, -8.0f, 3220.6f},     // tc_s
    {9, "%6.1f", kPrefixUnity, 24.0f, 4208.8f},     // tc_c
    {10, "%6.1f", kPrefixUnity, -332.0f, 1668.0f},  // tc_l
    {11, "%6.1f", kPrefixUnity, -332.0f, 1122.0f},  // tc_u
};
const RangeEntry kRtdCelsius[] = {
    {1, "%6.1f", kPrefixUnity, -202.0f, 632.0f},  // rtd_pt100_392
    {2, "%6.1f", kPrefixUnity, -202.0f, 802.0f},  // rtd_pt100_385
    {3, "%6.1f", kPrefixUnity, -82.0f, 262.0f},   // rtd_ni120
    {4, "%6.1f", kPrefixUnity, -202.0f, 632.0f},  // rtd_pt200_385
    {5, "%6.1f", kPrefixUnity, -202.0f, 632.0f},  // rtd_pt500_385
    {6, "%6.1f", kPrefixUnity, -202.0f, 632.0f},  // rtd_pt1000_385
    {7, "%6.0f", kPrefixUnity, -102.0f, 262.0f},  // rtd_cu10
    {8, "%6.1f", kPrefixUnity, -202.0f, 632.0f},  // rtd_pt100_3916
};
const RangeEntry kRtdFahrenheit[] = {
    {1, "%6.1f", kPrefixUnity, -332.0f, 1170.0f},  // rtd_pt100_392
    {2, "%6.1f", kPrefixUnity, -332.0f, 1476.0f},  // rtd_pt100_385
    {3, "%6.1f", kPrefixUnity, -116.0f, 504.0f},   // rtd_ni120
    {4, "%6.1f", kPrefixUnity, -332.0f, 1170.0f},  // rtd_pt200_385
    {5, "%6.1f", kPrefixUnity, -332.0f, 1170.0f},  // rtd_pt500_385
    {6, "%6.1f", kPrefixUnity, -332.0f, 1170.0f},  // rtd_pt1000_385
    {7, "%6.0f", kPrefixUnity, -152.0f, 504.0f},   // rtd_cu10
    {8, "%6.1f", kPrefixUnity, -332.0f, 1170.0f},  // rtd_pt100_3916
};

// Groups: entries, last, first, signed, function, units.
const RangeGroup kInCurrentGroup = {kInCurrent, 6, 5, kMagnitude, kFnCurrent, kUnitAmps};
const RangeGroup kInDcvGroup = {kInDcv, 10, 6, kMagnitude, kFnDcv, kUnitVolts};
const RangeGroup kInAcvGroup = {kInAcv, 10, 7, kSigned, kFnAcv, kUnitVolts};
const RangeGroup kInFreqGroup = {kInFreq, 12, 9, kSigned, kFnFreq, kUnitHertz};
const RangeGroup kInFreqLowGroup = {kInFreqLow, 12, 9, kSigned, kFnFreqLow, kUnitHertz};
const RangeGroup kIn2wOhmsGroup = {kInOhms, 11, 8, kSigned, kFn2wOhms, kUnitOhms};
const RangeGroup kIn3wOhmsGroup = {kInOhms, 11, 8, kSigned, kFn3wOhms, kUnitOhms};
const RangeGroup kIn4wOhmsGroup = {kInOhms, 11, 8, kSigned, kFn4wOhms, kUnitOhms};
const RangeGroup kInContGroup = {kInCont, 10, 10, kSigned, kFnCont, kUnitOhms};
const RangeGroup kTcCGroup = {kTcCelsius, 11, 1, kSigned, kFnTc, kUnitCelsius};
const RangeGroup kTcFGroup = {kTcFahrenheit, 11, 1, kSigned, kFnTc, kUnitFahrenheit};
const RangeGroup k2wRtdCGroup = {kRtdCelsius, 8, 1, kSigned, kFn2wRtd, kUnitCelsius};
const RangeGroup k2wRtdFGroup = {kRtdFahrenheit, 8, 1, kSigned, kFn2wRtd, kUnitFahrenheit};
const RangeGroup k3wRtdCGroup = {kRtdCelsius, 8, 1, kSigned, kFn3wRtd, kUnitCelsius};
const RangeGroup k3wRtdFGroup = {kRtdFahrenheit, 8, 1, kSigned, kFn3wRtd, kUnitFahrenheit};
const RangeGroup k4wRtdCGroup = {kRtdCelsius, 8, 1, kSigned, kFn4wRtd, kUnitCelsius};
const RangeGroup k4wRtdFGroup = {kRtdFahrenheit, 8, 1, kSigned, kFn4wRtd, kUnitFahrenheit};

const RangeGroup kOutCurrentGroup = {kOutCurrent, 5, 5, kSigned, kFnCurrent, kUnitAmps};
const RangeGroup kOutSinkGroup = {kOutCurrent, 5, 5, kSigned, kFnCurrentSink, kUnitAmps};
const RangeGroup kOutDcvGroup = {kOutDcv, 8, 6, kSigned, kFnDcv, kUnitVolts};
const RangeGroup kOutAcvGroup = {kOutAcv, 8, 8, kSigned, kFnAcv, kUnitVolts};
const RangeGroup kOutFreqGroup = {kOutFreq, 12, 9, kSigned, kFnFreq, kUnitHertz};
const RangeGroup kOutOhmsGroup = {kOutOhms, 11, 8, kSigned, kFn2wOhms, kUnitOhms};

bool holds(const RangeEntry& e, float value) {
    return e.low <= value && value <= e.high;
}

const RangeEntry& entryOf(const RangeGroup& group, uint32_t number) {
    return group.entries[number - group.first];
}

}  // namespace

const RangeGroup* const inputRanges[] = {
    &kInCurrentGroup, &kInDcvGroup,    &kInAcvGroup,    &kInFreqGroup, &kInFreqLowGroup,
    &kIn2wOhmsGroup,  &kIn3wOhmsGroup, &kIn4wOhmsGroup, &kInContGroup, &kTcCGroup,
    &kTcFGroup,       &k2wRtdCGroup,   &k2wRtdFGroup,   &k3wRtdCGroup, &k3wRtdFGroup,
    &k4wRtdCGroup,    &k4wRtdFGroup,   nullptr,
};

const RangeGroup* const outputRanges[] = {
    &kOutCurrentGroup, &kOutDcvGroup, &kOutAcvGroup, &kOutFreqGroup, &kOutOhmsGroup, &kTcCGroup,
    &kTcFGroup,        &k2wRtdCGroup, &k2wRtdFGroup, &kOutSinkGroup, nullptr,
};

const RangeGroup& findGroup(RangeTable table, const SetupState& owner, uint32_t function,
                            uint32_t units) {
    if (function == kFnPressure) return owner.pressureRange.group;
    for (; *table != nullptr; ++table) {
        if ((*table)->function == function && (*table)->units == units) return **table;
    }
    return kSentinelRangeGroup;
}

const RangeEntry& rangeEntry(const RangeGroup& group, uint32_t number, uint32_t kind) {
    if (number != 0) {
        if (number < group.first || number > group.last) return kEmptyRangeEntry;
        return entryOf(group, number);
    }
    for (uint32_t n = group.last + 1; n-- > group.first;) {
        if (entryOf(group, n).kind == kind) return entryOf(group, n);
    }
    return kEmptyRangeEntry;
}

float defaultValue(RangeTable table, const SetupState& owner, uint32_t function, uint32_t units,
                   uint32_t kind) {
    const RangeGroup& group = findGroup(table, owner, function, units);
    if (&group == &kSentinelRangeGroup) return 0.0f;
    const RangeEntry* e = &entryOf(group, group.first);
    if (kind != 0) {
        e = nullptr;
        for (uint32_t n = group.first; n <= group.last && e == nullptr; ++n) {
            if (entryOf(group, n).kind == kind) e = &entryOf(group, n);
        }
        if (e == nullptr) return 0.0f;
    }
    if (e->low >= 0.0f) return e->low;
    return e->high >= 0.0f ? 0.0f : e->high;
}

uint32_t findRange(RangeTable table, const SetupState& owner, uint32_t function, uint32_t units,
                   uint32_t kind, uint32_t start, float value) {
    const RangeGroup& group = findGroup(table, owner, function, units);
    if (&group == &kSentinelRangeGroup) return 0;
    if (kind != 0) start = 0;
    if (!group.isSigned && value < 0.0f) value = -value;

    if (start == 0) {
        for (uint32_t n = group.first; n <= group.last; ++n) {
            const RangeEntry& e = entryOf(group, n);
            if (e.kind == kind && holds(e, value)) return n;
        }
        return 0;
    }

    if (start < group.first) start = group.first;
    if (start > group.last) start = group.last;
    if (value >= entryOf(group, start).low) {
        for (uint32_t n = start; n <= group.last; ++n) {
            if (holds(entryOf(group, n), value)) return n;
        }
        return 0;
    }
    for (uint32_t n = start; n-- > group.first;) {
        if (holds(entryOf(group, n), value)) return n;
    }
    return 0;
}

}  // namespace kvtlnk
