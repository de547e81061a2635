#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emu_memory.h"
#include "protocol/byte_order.h"

namespace k27emu::setup_builder {

// A setup record of the calibrator, built block by block with the fields a field run reads.
struct SetupShape {
    int form = 5;
    int inFunction = 2, inUnits = 1, inRange = 8;
    float inLow = 0, inHigh = 10;
    bool inScaleOn = true;
    int outFunction = 0, outUnits = 0, outRange = 0;
    float outLow = 0, outHigh = 0;
    bool outScaleOn = true;
    int tcType = 0;
    bool pressureRef = false;
    uint32_t logCount = 0, logRequested = 0, logInterval = 0;
};

inline std::vector<uint8_t> block(size_t n, uint8_t fill) {
    return std::vector<uint8_t>(n, fill);
}

inline MemoryRecord setupRecord(const SetupShape& s) {
    using kvttools::storeF32;
    std::vector<uint8_t> head = block(80, 0);
    storeF32(&head[12], s.inLow);
    storeF32(&head[16], s.inHigh);
    storeF32(&head[28], 21.5f);  // reference-junction value
    head[58] = static_cast<uint8_t>(s.inRange);
    head[62] = static_cast<uint8_t>(s.inUnits);
    head[63] = 6;  // celsius
    head[64] = static_cast<uint8_t>(s.inFunction);
    head[66] = static_cast<uint8_t>(s.tcType);
    head[69] = 1;  // user reference junction
    head[73] = s.inScaleOn ? 1 : 0;
    head[74] = s.pressureRef ? 2 : 0;
    head[76] = static_cast<uint8_t>(s.outFunction);
    head[78] = static_cast<uint8_t>(s.form);
    std::vector<uint8_t> d = head;
    if (s.inFunction == 14) {
        std::vector<uint8_t> module = block(36, 0xA1);
        storeF32(&module[26], 30.0f);
        storeF32(&module[30], 0.0f);
        d.insert(d.end(), module.begin(), module.end());
    }
    if (s.form == 3 || s.form == 4) {
        const auto mm = block(12, 0xC3);
        d.insert(d.end(), mm.begin(), mm.end());
    }
    if (s.form == 2 || s.form == 4 || s.form == 5 || s.outFunction != 0) {
        std::vector<uint8_t> out = block(72, 0);
        storeF32(&out[12], s.outLow);
        storeF32(&out[16], s.outHigh);
        out[61] = static_cast<uint8_t>(s.outUnits);
        out[66] = static_cast<uint8_t>(s.outRange);
        out[69] = s.outScaleOn ? 1 : 0;
        d.insert(d.end(), out.begin(), out.end());
        if (s.outFunction == 14) {
            const auto module = block(36, 0xB2);
            d.insert(d.end(), module.begin(), module.end());
        }
    }
    if (s.form == 4) {
        std::vector<uint8_t> log = block(28 + 4 * s.logCount, 0xD4);
        kvttools::storeU32(&log[0], s.logInterval);
        kvttools::storeU32(&log[4], s.logRequested);
        kvttools::storeU32(&log[8], s.logCount);
        d.insert(d.end(), log.begin(), log.end());
    }
    if (s.pressureRef) {
        const auto ref = block(4, 0xE5);
        d.insert(d.end(), ref.begin(), ref.end());
    }
    MemoryRecord r;
    r.kind = static_cast<uint16_t>(s.form);
    r.data = d;
    return r;
}

inline MemoryRecord strategyRecord(const std::vector<double>& points, const std::string& name) {
    MemoryRecord r;
    r.kind = 14;
    r.data.resize(4 + 2 * points.size());
    kvttools::storeU32(r.data.data(), static_cast<uint32_t>(points.size()));
    for (size_t i = 0; i < points.size(); ++i) {
        kvttools::storeU16(r.data.data() + 4 + 2 * i,
                           static_cast<uint16_t>(points[i] * 10000 + 0.5));
    }
    r.data.insert(r.data.end(), name.begin(), name.end());
    r.data.push_back(0);
    return r;
}

inline MemoryRecord templateRecord(int32_t strategy, int32_t setup, uint8_t flag,
                                   const std::string& text1, const std::string& text2) {
    MemoryRecord r;
    r.kind = 6;
    r.data.resize(9);
    kvttools::storeU32(r.data.data(), static_cast<uint32_t>(strategy));
    kvttools::storeU32(r.data.data() + 4, static_cast<uint32_t>(setup));
    r.data[8] = flag;
    for (const std::string& t : {text1, text2}) {
        r.data.insert(r.data.end(), t.begin(), t.end());
        r.data.push_back(0);
    }
    return r;
}

}  // namespace k27emu::setup_builder
