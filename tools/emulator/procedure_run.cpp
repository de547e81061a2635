#include "procedure_run.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "memory/record_layout.h"
#include "support/byte_order.h"

namespace k27emu {
namespace {

using kvtlnk::loadF32;
using kvtlnk::loadI32;
using kvtlnk::loadU32;
using kvtlnk::storeF32;
using kvtlnk::storeU16;
using kvtlnk::storeU32;

// Function codes of the setup.
constexpr int kFnNone = 0;
constexpr int kFnThermocouple = 10;
constexpr int kFnPressure = 14;
constexpr int kUnitsFahrenheit = 7;
constexpr uint8_t kPressureRange = 7;

constexpr size_t kHeadBytes = 80;
constexpr size_t kMinMaxBytes = 12;
constexpr size_t kOutputBytes = 72;
constexpr size_t kModuleBytes = 36;
constexpr size_t kLogHeadBytes = 28;
constexpr size_t kPressureRefBytes = 4;

// Where the blocks of a setup record lie; null for an absent block.
struct SetupBlocks {
    int form = 0;
    const uint8_t* head = nullptr;
    const uint8_t* inModule = nullptr;
    const uint8_t* output = nullptr;
    const uint8_t* outModule = nullptr;
    const uint8_t* pressureRef = nullptr;
    int inFunction() const { return static_cast<int8_t>(head[64]); }
    int outFunction() const { return static_cast<int8_t>(head[76]); }
};

bool parseSetup(const EmuRecord& r, SetupBlocks* b) {
    if (!kvtlnk::isSetupKind(r.kind) || r.data.size() < kHeadBytes) return false;
    const uint8_t* d = r.data.data();
    const size_t end = r.data.size();
    b->form = r.kind;
    b->head = d;
    size_t pos = kHeadBytes;
    auto take = [&](size_t n) -> const uint8_t* {
        if (end - pos < n) return nullptr;
        pos += n;
        return d + pos - n;
    };
    if (b->inFunction() == kFnPressure && (b->inModule = take(kModuleBytes)) == nullptr) {
        return false;
    }
    if ((b->form == 3 || b->form == 4) && take(kMinMaxBytes) == nullptr) return false;
    const bool hasOutput = b->form == 2 || b->form == 4 || b->form == 5 || b->outFunction() != 0;
    if (hasOutput) {
        if ((b->output = take(kOutputBytes)) == nullptr) return false;
        if (b->outFunction() == kFnPressure && (b->outModule = take(kModuleBytes)) == nullptr) {
            return false;
        }
    }
    if (b->form == 4) {
        const uint8_t* log = take(kLogHeadBytes);
        if (log == nullptr || take(4ull * loadU32(log + 8)) == nullptr) return false;
    }
    const bool refBit = (b->head[74] & 2) != 0 || (b->output != nullptr && (b->output[70] & 2));
    return !refBit || (b->pressureRef = take(kPressureRefBytes)) != nullptr;
}

// Electrical ranges of the instrument: number, unit prefix of the display, limits in base
// units. Stored readings are in the display units of the range they were taken in.
struct RangeRow {
    uint8_t number;
    uint8_t prefix;
    float low;
    float high;
};
struct RangeGroup {
    int function;
    int units;
    bool isSigned;
    std::vector<RangeRow> rows;
};

const std::vector<RangeGroup>& inputGroups() {
    static const std::vector<RangeGroup> groups = {
        {1, 2, false, {{5, 2, 0, 0.0331f}, {6, 2, 0.0299f, 0.113f}}},
        {2,
         1,
         false,
         {{6, 2, 0, 0.1101f},
          {7, 3, 0.099f, 1.101f},
          {8, 3, 0.999f, 11.01f},
          {9, 3, 9.99f, 110.1f},
          {10, 3, 99.9f, 309}}},
        {3,
         1,
         true,
         {{7, 3, 0, 1.101f}, {8, 3, 0.999f, 11.01f}, {9, 3, 9.99f, 110.1f}, {10, 3, 99.9f, 309}}},
        {4,
         4,
         true,
         {{9, 3, 19.9f, 110.1f},
          {10, 3, 99.99f, 1100.1f},
          {11, 4, 999.9f, 11001},
          {12, 4, 9999, 51500}}},
        {5,
         4,
         true,
         {{9, 3, 0.99f, 110.1f},
          {10, 3, 99.99f, 1100.1f},
          {11, 4, 999.9f, 11001},
          {12, 4, 9999, 51500}}},
        {6,
         3,
         true,
         {{8, 3, -2, 11.01f}, {9, 3, 9.99f, 110.1f}, {10, 3, 99.9f, 1101}, {11, 4, 999, 11300}}},
        {7,
         3,
         true,
         {{8, 3, -2, 11.01f}, {9, 3, 9.99f, 110.1f}, {10, 3, 99.9f, 1101}, {11, 4, 999, 11300}}},
        {8,
         3,
         true,
         {{8, 3, -2, 11.01f}, {9, 3, 9.99f, 110.1f}, {10, 3, 99.9f, 1101}, {11, 4, 999, 11300}}},
        {9, 3, true, {{10, 0, 0, 1e37f}}},
    };
    return groups;
}

const std::vector<RangeGroup>& outputGroups() {
    static const std::vector<RangeGroup> groups = {
        {1, 2, true, {{5, 2, 0, 0.0220001f}}},
        {15, 2, true, {{5, 2, 0, 0.0220001f}}},
        {2,
         1,
         true,
         {{6, 2, -0.0100001f, 0.1100001f},
          {7, 3, 0.0999999f, 1.100001f},
          {8, 3, 0.999999f, 11.00001f}}},
        {3, 1, true, {{8, 3, 0, 10.0001f}}},
        {4,
         4,
         true,
         {{9, 3, 1.999f, 110.001f},
          {10, 3, 99.9f, 1100.1f},
          {11, 4, 990, 11010},
          {12, 4, 9900, 50100}}},
        {6,
         3,
         true,
         {{8, 3, 0, 11.0001f},
          {9, 3, 9.999f, 110.001f},
          {10, 3, 99.99f, 1100.01f},
          {11, 4, 999.9f, 11000.1f}}},
    };
    return groups;
}

const RangeGroup* findGroup(const std::vector<RangeGroup>& table, int function, int units) {
    for (const RangeGroup& g : table) {
        if (g.function == function && g.units == units) return &g;
    }
    return nullptr;
}

// The range a value is shown in: the setup's range while the value stays within its limits,
// else the nearest range above or below that holds it (the instrument's auto-ranging), else
// the first that holds it, else the highest.
const RangeRow* rangeFor(const RangeGroup& g, uint8_t current, double v) {
    auto holds = [v](const RangeRow& r) { return r.low <= v && v <= r.high; };
    const auto& rows = g.rows;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].number != current) continue;
        if (holds(rows[i])) return &rows[i];
        if (v >= rows[i].low) {
            for (size_t j = i + 1; j < rows.size(); ++j) {
                if (holds(rows[j])) return &rows[j];
            }
        } else {
            for (size_t j = i; j-- > 0;) {
                if (holds(rows[j])) return &rows[j];
            }
        }
        break;
    }
    for (const RangeRow& r : rows) {
        if (holds(r)) return &r;
    }
    return &rows.back();
}

double toDisplay(double base, uint8_t prefix) {
    switch (prefix) {
        case 1:
            return base * 1e6;
        case 2:
            return base * 1e3;
        case 4:
            return base / 1e3;
        case 5:
            return base / 1e6;
        case 6:
            return base / 1e9;
        default:
            return base;
    }
}

// One side of the setup (measure or source) as the run needs it.
struct Side {
    int function = kFnNone;
    uint8_t rangeCode = 0;
    const RangeGroup* group = nullptr;
    double low = 0;  // the span the strategy points run over
    double high = 100;

    // The range a reading is taken in and the reading in its display units.
    void reading(double value, float* shown, uint8_t* range) const {
        *range = function == kFnPressure ? kPressureRange : rangeCode;
        *shown = static_cast<float>(value);
        if (group == nullptr) return;
        const double v = group->isSigned ? value : std::fabs(value);
        const RangeRow* row = rangeFor(*group, rangeCode, v);
        *range = row->number;
        *shown = static_cast<float>(toDisplay(value, row->prefix));
    }
};

// scale: the scale pair and its switch; module: the pressure module's limits, if any.
Side makeSide(int function, int units, uint8_t rangeCode, const std::vector<RangeGroup>& table,
              const uint8_t* scale, bool scaleOn, const uint8_t* module) {
    Side s;
    s.function = function;
    s.rangeCode = rangeCode;
    s.group = findGroup(table, function, units);
    const float lo = loadF32(scale), hi = loadF32(scale + 4);
    if (scaleOn && std::isfinite(lo) && std::isfinite(hi) && lo != hi) {
        s.low = lo;
        s.high = hi;
    } else if (s.group != nullptr) {
        const RangeRow* row = &s.group->rows.back();
        for (const RangeRow& r : s.group->rows) {
            if (r.number == rangeCode) row = &r;
        }
        s.low = row->low > 0 ? row->low : 0;
        s.high = row->high < 1e6f ? row->high : 1e6;
    } else if (function == kFnPressure && module != nullptr &&
               loadF32(module + 26) > loadF32(module + 30)) {
        s.low = loadF32(module + 30);
        s.high = loadF32(module + 26);
    }
    return s;
}

struct Strategy {
    std::vector<double> points;
};

bool decodeStrategy(const EmuRecord& r, Strategy* s) {
    if (r.kind != kvtlnk::STRATEGY) return false;
    kvtlnk::RecordReader reader(r.data.data(), static_cast<uint32_t>(r.data.size()));
    uint32_t count = 0;
    if (!reader.readU32(&count)) return false;
    const int16_t n = static_cast<int16_t>(count & 0xFFFF);
    if (n < 0) return false;
    const uint8_t* points = reader.takePoints(static_cast<uint32_t>(n));
    if (points == nullptr || reader.takeText() == nullptr) return false;
    for (int i = 0; i < n; ++i) {
        s->points.push_back(static_cast<int16_t>(kvtlnk::loadU16(points + 2 * i)) / 10000.0);
    }
    return true;
}

struct Template {
    int32_t strategyRef = 0;
    int32_t setupRef = 0;
    uint8_t flag = 0;
    std::string text1, text2;
};

bool decodeTemplate(const EmuRecord& r, Template* t) {
    kvtlnk::RecordReader reader(r.data.data(), static_cast<uint32_t>(r.data.size()));
    const char* text1 = nullptr;
    const char* text2 = nullptr;
    if (!reader.readI32(&t->strategyRef) || !reader.readI32(&t->setupRef) ||
        !reader.readByte(&t->flag) || (text1 = reader.takeText()) == nullptr ||
        (text2 = reader.takeText()) == nullptr) {
        return false;
    }
    t->text1 = text1;
    t->text2 = text2;
    return true;
}

// Uniform in [-1, 1), the same on every platform for a given generator state.
double uniform(std::mt19937& gen) {
    return (gen() >> 8) * (2.0 / 16777216.0) - 1.0;
}

// The reference-junction temperature stored with a thermocouple result: the user value of
// the setup, or a measured terminal temperature near 23 degrees C.
float junctionTemperature(const uint8_t* mode, const uint8_t* units, const uint8_t* value,
                          std::mt19937& gen) {
    if (*mode == 1) return loadF32(value);
    const double c = 23.0 + 0.5 * uniform(gen);
    return static_cast<float>(*units == kUnitsFahrenheit ? c * 9.0 / 5.0 + 32.0 : c);
}

class Run {
  public:
    Run(const EmuMemory& procedure, EmuMemory& results, uint32_t seed, const DateStamp& stamp)
        : procedure_(procedure), results_(results), gen_(seed), stamp_(stamp) {}

    RunSummary all() {
        for (const EmuRecord& r : procedure_.records()) {
            if (r.kind != kvtlnk::TEMPLATE) continue;
            if (one(r)) {
                ++summary_.templatesRun;
            } else {
                ++summary_.templatesSkipped;
            }
        }
        return summary_;
    }

  private:
    const EmuRecord* procedureItem(int32_t ref) const {
        return ref >= 0 ? procedure_.item(ref) : nullptr;
    }

    bool one(const EmuRecord& templ) {
        Template t;
        Strategy strategy;
        SetupBlocks setup;
        const EmuRecord* strategyItem = nullptr;
        const EmuRecord* setupItem = nullptr;
        if (!decodeTemplate(templ, &t) ||
            (strategyItem = procedureItem(t.strategyRef)) == nullptr ||
            !decodeStrategy(*strategyItem, &strategy) ||
            (setupItem = procedureItem(t.setupRef)) == nullptr || !parseSetup(*setupItem, &setup)) {
            return false;
        }
        EmuRecord copy = item(kvtlnk::SETUP_5, setupItem->version);
        setupAsForm5(*setupItem, &copy.data);
        const int32_t setupIndex = results_.count();
        EmuRecord result = item(kvtlnk::CAL_RESULT_A, 0);
        result.data = calResult(t, strategy, setup, -setupIndex - 1);
        EmuRecord tag = item(kvtlnk::TAG_ID, 0);
        tag.data = tagTexts(t);
        const uint64_t need = EmuMemory::share(copy.data.size()) +
                              EmuMemory::share(result.data.size()) +
                              EmuMemory::share(tag.data.size());
        if (need > results_.freeBytes() || result.data.size() > EmuMemory::kMaxItemBytes) {
            return false;
        }
        results_.append(std::move(copy));
        results_.append(std::move(result));
        results_.append(std::move(tag));
        return true;
    }

    EmuRecord item(uint16_t kind, uint16_t version) const {
        EmuRecord r;
        r.kind = kind;
        r.version = version;
        r.stamp = stamp_;
        return r;
    }

    std::vector<uint8_t> calResult(const Template& t, const Strategy& strategy,
                                   const SetupBlocks& setup, int32_t setupRef) {
        static const uint8_t zeros[kOutputBytes] = {};
        const uint8_t* head = setup.head;
        const uint8_t* out = setup.output != nullptr ? setup.output : zeros;
        const Side in = makeSide(setup.inFunction(), head[62], head[58], inputGroups(), head + 12,
                                 head[73] != 0, setup.inModule);
        const Side src = makeSide(setup.outFunction(), out[61], out[66], outputGroups(), out + 12,
                                  out[69] != 0, setup.outModule);

        const auto e = static_cast<uint16_t>(strategy.points.size());
        std::vector<uint8_t> d(12 + kvtlnk::kResultEntryBytes * e, 0);
        storeU32(d.data(), static_cast<uint32_t>(setupRef));
        storeU32(d.data() + 4, static_cast<uint32_t>(t.strategyRef));
        storeU16(d.data() + 8, e);
        d[10] = t.flag > 0 ? 1 : 0;
        for (uint16_t i = 0; i < e; ++i) {
            entry(in, src, strategy.points[i], d.data() + 12 + kvtlnk::kResultEntryBytes * i);
        }
        const bool pressure = in.function == kFnPressure || src.function == kFnPressure;
        if (pressure) {
            const uint8_t* module = setup.outModule != nullptr ? setup.outModule : setup.inModule;
            const size_t at = d.size();
            d.resize(at + kModuleBytes + 1, 0);
            if (module != nullptr) std::copy(module, module + kModuleBytes, d.begin() + at);
            d.back() = module != nullptr && ((head[74] & 2) || (out[70] & 2)) ? 1 : 0;
        }
        if (in.function == kFnThermocouple || src.function == kFnThermocouple) {
            const float tref = in.function == kFnThermocouple
                                   ? junctionTemperature(head + 69, head + 63, head + 28, gen_)
                                   : junctionTemperature(out + 67, out + 62, out + 28, gen_);
            d.resize(d.size() + 4);
            storeF32(d.data() + d.size() - 4, tref);
        }
        return d;
    }

    // Values: measured reading, source value, error in percent of span, reading after
    // adjustment. Flags: error present, reading present, source value present.
    void entry(const Side& in, const Side& src, double point, uint8_t* e) {
        const double span = in.high - in.low;
        const double expected = in.low + point * span;
        const double error = span * 0.0005 * uniform(gen_);
        float measured, asLeft, source;
        uint8_t inRange, outRange, ignored;
        in.reading(expected + error, &measured, &inRange);
        in.reading(expected + error * 0.1, &asLeft, &ignored);
        src.reading(src.low + point * (src.high - src.low), &source, &outRange);
        const bool hasSource = src.function != kFnNone;
        storeF32(e, in.function != kFnNone ? measured : 0.0f);
        storeF32(e + 4, hasSource ? source : 0.0f);
        storeF32(e + 8, span != 0 ? static_cast<float>(error / span * 100.0) : 0.0f);
        storeF32(e + 12, in.function != kFnNone ? asLeft : 0.0f);
        e[16] = inRange;
        e[17] = outRange;
        e[18] = 1;
        e[19] = in.function != kFnNone ? 1 : 0;
        e[20] = hasSource ? 1 : 0;
    }

    std::vector<uint8_t> tagTexts(const Template& t) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "TAG-%04d", summary_.templatesRun + 1);
        std::vector<uint8_t> d;
        for (const std::string& s : {std::string(tag), t.text1, t.text2}) {
            d.insert(d.end(), s.begin(), s.end());
            d.push_back(0);
        }
        return d;
    }

    const EmuMemory& procedure_;
    EmuMemory& results_;
    std::mt19937 gen_;
    DateStamp stamp_;
    RunSummary summary_;
};

}  // namespace

bool setupAsForm5(const EmuRecord& setup, std::vector<uint8_t>* out) {
    SetupBlocks b;
    if (!parseSetup(setup, &b)) return false;
    static const uint8_t zeros[kOutputBytes] = {};
    auto add = [out](const uint8_t* block, size_t n) {
        if (block != nullptr) out->insert(out->end(), block, block + n);
    };
    out->clear();
    add(b.head, kHeadBytes);
    (*out)[78] = 5;  // the setup code of a form-5 setup
    add(b.inModule, kModuleBytes);
    add(b.output != nullptr ? b.output : zeros, kOutputBytes);
    add(b.outModule, kModuleBytes);
    add(b.pressureRef, kPressureRefBytes);
    return true;
}

RunSummary runProcedures(const EmuMemory& procedure, EmuMemory& results, uint32_t seed,
                         const DateStamp& stamp) {
    return Run(procedure, results, seed, stamp).all();
}

}  // namespace k27emu
