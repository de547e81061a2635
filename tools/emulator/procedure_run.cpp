#include "procedure_run.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

#include "emu_facts.h"
#include "field_side.h"
#include "protocol/byte_order.h"

namespace k27emu {
namespace {

using namespace facts;
using kvttools::loadF32;
using kvttools::loadU16;
using kvttools::loadU32;
using kvttools::storeF32;
using kvttools::storeU16;
using kvttools::storeU32;

// The instrument's log holds this many samples.
constexpr uint32_t kLogCapacity = 8000;
// A log runs from the low end of the input span to this far beyond its high end.
constexpr double kLogReach = 1.2;

struct Strategy {
    std::vector<double> points;
};

bool decodeStrategy(const MemoryRecord& r, Strategy* s) {
    if (r.kind != kStrategy) return false;
    ItemReader reader(r.data);
    const uint8_t* count = reader.take(4);
    if (count == nullptr) return false;
    const auto n = static_cast<int16_t>(loadU32(count) & 0xFFFF);
    const uint8_t* points = n >= 0 ? reader.take(2 * static_cast<size_t>(n)) : nullptr;
    if (points == nullptr || reader.text() == nullptr) return false;
    for (int i = 0; i < n; ++i)
        s->points.push_back(static_cast<int16_t>(loadU16(points + 2 * i)) / 10000.0);
    return true;
}

struct Template {
    int32_t strategyRef = 0;
    int32_t setupRef = 0;
    uint8_t flag = 0;
    const char* text1 = nullptr;
    const char* text2 = nullptr;
};

bool decodeTemplate(const MemoryRecord& r, Template* t) {
    ItemReader reader(r.data);
    const uint8_t* refs = reader.take(9);
    if (refs == nullptr) return false;
    t->strategyRef = static_cast<int32_t>(loadU32(refs));
    t->setupRef = static_cast<int32_t>(loadU32(refs + 4));
    t->flag = refs[8];
    t->text1 = reader.text();
    t->text2 = reader.text();
    return t->text2 != nullptr;
}

// Uniform in [-1, 1), the same on every platform for a given generator state.
double uniform(std::mt19937& gen) {
    return (gen() >> 8) * (2.0 / 16777216.0) - 1.0;
}

// The reference-junction temperature stored with a thermocouple result: the user value of
// the setup, or a measured terminal temperature near 23 degrees C.
float junctionTemperature(const uint8_t* block, size_t mode, size_t units, size_t value,
                          std::mt19937& gen) {
    if (block[mode] == kUserJunction) return loadF32(block + value);
    const double c = 23.0 + 0.5 * uniform(gen);
    return static_cast<float>(block[units] == kFahrenheit ? c * 9.0 / 5.0 + 32.0 : c);
}

DateStamp later(const DateStamp& s, uint64_t seconds) {
    std::tm t{};
    t.tm_year = s.fullYear() - 1900;
    t.tm_mon = s.month - 1;
    t.tm_mday = s.day;
    t.tm_hour = s.hour;
    t.tm_min = s.minute;
    t.tm_sec = s.second;
    const std::time_t then = timegm(&t) + static_cast<std::time_t>(seconds);
    gmtime_r(&then, &t);
    return kvttools::stampOf(t);
}

void append(std::vector<uint8_t>* d, const uint8_t* block, size_t n) {
    d->insert(d->end(), block, block + n);
}

class Run {
  public:
    Run(const CalibratorMemory& procedure, CalibratorMemory& results, uint32_t seed,
        const DateStamp& stamp, double daysInService)
        : procedure_(procedure),
          results_(results),
          gen_(seed),
          seed_(seed),
          stamp_(stamp),
          days_(daysInService) {}

    RunSummary all() {
        for (int32_t i = 0; i < procedure_.count(); ++i) {
            if (procedure_.item(i)->kind != kTemplate) continue;
            if (one(i)) {
                ++summary_.templatesRun;
            } else {
                ++summary_.templatesSkipped;
            }
        }
        return summary_;
    }

  private:
    const MemoryRecord* procedureItem(int32_t ref) const {
        return ref >= 0 ? procedure_.item(ref) : nullptr;
    }

    bool one(int32_t templateIndex) {
        Template t;
        Strategy strategy;
        SetupBlocks setup;
        const MemoryRecord* strategyItem = nullptr;
        const MemoryRecord* setupItem = nullptr;
        if (!decodeTemplate(*procedure_.item(templateIndex), &t) ||
            (strategyItem = procedureItem(t.strategyRef)) == nullptr ||
            !decodeStrategy(*strategyItem, &strategy) ||
            (setupItem = procedureItem(t.setupRef)) == nullptr || !parseSetup(*setupItem, &setup)) {
            return false;
        }
        FieldTest test;
        test.templateIndex = templateIndex;
        test.strategyIndex = t.strategyRef;
        test.flagged = t.flag > 0;
        test.text1 = t.text1;
        test.text2 = t.text2;
        test.driftPercent = days_ == 0 ? 0.0 : driftPerDay(seed_, test.text1) * days_;
        drift_ = test.driftPercent / 100.0;
        char tag[16];
        std::snprintf(tag, sizeof tag, "TAG-%04d", summary_.templatesRun + 1);
        test.tag = tag;

        // A logging setup leaves its log; a setup of another form than 5 is kept as a form-5
        // copy, which the result names; a form-5 setup is named where it is.
        std::vector<MemoryRecord> items;
        const Side in = Side::measure(setup);
        if (setup.log != nullptr) {
            test.logIndex = results_.count();
            items.push_back(logged(*setupItem, setup, in, &test.log));
        }
        test.setupRef = t.setupRef;
        if (setup.form != kSetupForm5) {
            items.push_back(item(kSetupForm5, setupItem->version));
            setupAsForm5(*setupItem, &items.back().data);
            test.setupRef = -(results_.count() + static_cast<int32_t>(items.size()) - 1) - 1;
        }
        test.resultIndex = results_.count() + static_cast<int32_t>(items.size());
        items.push_back(item(kCalResult, 0));
        items.back().data = calResult(t, strategy, setup, in, &test);
        items.push_back(item(kTagId, 0));
        for (const std::string& s : {test.tag, test.text1, test.text2}) {
            items.back().data.insert(items.back().data.end(), s.begin(), s.end());
            items.back().data.push_back(0);
        }

        uint64_t need = 0;
        for (const MemoryRecord& r : items) {
            if (r.data.size() > CalibratorMemory::kMaxItemBytes) return false;
            need += CalibratorMemory::share(static_cast<uint32_t>(r.data.size()));
        }
        if (need > results_.freeBytes()) return false;
        for (MemoryRecord& r : items)
            results_.append(std::move(r));
        summary_.tests.push_back(std::move(test));
        return true;
    }

    MemoryRecord item(uint16_t kind, uint16_t version) const {
        MemoryRecord r;
        r.kind = kind;
        r.version = version;
        r.stamp = stamp_;
        return r;
    }

    // The setup as it was when its log ended: the samples requested (as many as the log
    // holds), one every interval from the run's time, ramping the input from the low end of
    // its span to beyond its high end. A reading beyond the setup's range is logged as
    // infinity, no reading.
    MemoryRecord logged(const MemoryRecord& setupItem, const SetupBlocks& setup, const Side& in,
                        std::vector<float>* samples) {
        const uint8_t* log = setup.log;
        const uint32_t m = std::min(loadU32(log + logging::kRequested), kLogCapacity);
        double rangeLow = 0, rangeHigh = std::numeric_limits<double>::infinity();
        in.fixedRange(&rangeLow, &rangeHigh);
        for (uint32_t k = 0; k < m; ++k) {
            const double v = in.at(kLogReach * k / std::max(m - 1, 1u)) +
                             in.span() * 0.0005 * uniform(gen_) + in.span() * drift_;
            samples->push_back(std::fabs(v) > rangeHigh ? std::numeric_limits<float>::infinity()
                                                        : static_cast<float>(v));
        }
        MemoryRecord r = item(setupItem.kind, setupItem.version);
        append(&r.data, setupItem.data.data(), static_cast<size_t>(log - setupItem.data.data()));
        std::vector<uint8_t> head(log, log + logging::kHeadSize);
        storeU32(&head[logging::kCount], m);
        stamp_.toBytes(&head[logging::kStart]);
        later(stamp_, uint64_t{loadU32(log + logging::kInterval)} * (m > 0 ? m - 1 : 0))
            .toBytes(&head[logging::kLast]);
        append(&r.data, head.data(), head.size());
        for (float sample : *samples) {
            uint8_t be[4];
            storeF32(be, sample);
            append(&r.data, be, 4);
        }
        if (setup.pressureRef != nullptr) append(&r.data, setup.pressureRef, kPressureRefSize);
        return r;
    }

    std::vector<uint8_t> calResult(const Template& t, const Strategy& strategy,
                                   const SetupBlocks& setup, const Side& in, FieldTest* test) {
        const Side src = Side::source(setup);
        const auto e = static_cast<uint16_t>(strategy.points.size());
        std::vector<uint8_t> d(result::kHeadSize + entry::kSize * e, 0);
        storeU32(&d[result::kSetupRef], static_cast<uint32_t>(test->setupRef));
        storeU32(&d[result::kStrategyRef], static_cast<uint32_t>(t.strategyRef));
        storeU16(&d[result::kCount], e);
        d[result::kFlag] = test->flagged ? 1 : 0;
        for (uint16_t i = 0; i < e; ++i) {
            uint8_t* at = &d[result::kHeadSize + entry::kSize * i];
            test->points.push_back(point(in, src, strategy.points[i], at));
        }
        const bool pressure = in.function() == kFnPressure || src.function() == kFnPressure;
        if (pressure) {
            // The module read and whether it is attached.
            const uint8_t* module = setup.outModule != nullptr ? setup.outModule : setup.inModule;
            append(&d, module, module::kSize);
            d.push_back(setup.pressureRef != nullptr ? 1 : 0);
        }
        if (in.function() == kFnTc || src.function() == kFnTc) {
            const float tref =
                in.function() == kFnTc
                    ? junctionTemperature(setup.head, head::kJunctionMode, head::kJunctionUnits,
                                          head::kJunctionValue, gen_)
                    : junctionTemperature(setup.output, output::kJunctionMode,
                                          output::kJunctionUnits, output::kJunctionValue, gen_);
            d.resize(d.size() + 4);
            storeF32(&d[d.size() - 4], tref);
        }
        return d;
    }

    // One entry: the reading, the value sourced, the error in percent of the input span, the
    // reading after adjustment (in the reading's range), the two ranges, and which values are
    // present.
    FieldPoint point(const Side& in, const Side& src, double p, uint8_t* e) {
        FieldPoint f;
        const double expected = in.at(p);
        const double error = in.span() * 0.0005 * uniform(gen_) + in.span() * drift_;
        const Reading measured = in.reading(expected + error);
        const Reading source = src.reading(src.at(p));
        f.measuredPresent = in.present();
        f.sourcePresent = src.present();
        if (f.measuredPresent) {
            f.measured = expected + error;
            f.asLeft = expected + error * 0.1;
            f.errorPercent = in.span() != 0 ? error / in.span() * 100.0 : 0.0;
            f.inLimit = measured.limit;
            storeF32(e + entry::kMeasured, measured.shown);
            storeF32(e + entry::kAsLeft, static_cast<float>(f.asLeft / measured.scale));
            storeF32(e + entry::kError, static_cast<float>(f.errorPercent));
        }
        if (f.sourcePresent) {
            f.source = src.at(p);
            f.outLimit = source.limit;
            storeF32(e + entry::kSource, source.shown);
        }
        e[entry::kInRange] = measured.range;
        e[entry::kOutRange] = source.range;
        e[entry::kErrorPresent] = e[entry::kMeasuredPresent] = f.measuredPresent ? 1 : 0;
        e[entry::kSourcePresent] = f.sourcePresent ? 1 : 0;
        return f;
    }

    const CalibratorMemory& procedure_;
    CalibratorMemory& results_;
    std::mt19937 gen_;
    uint32_t seed_;
    DateStamp stamp_;
    double days_;
    double drift_ = 0;  // of the test being run, as a fraction of the input span
    RunSummary summary_;
};

}  // namespace

RunSummary runProcedures(const CalibratorMemory& procedure, CalibratorMemory& results,
                         uint32_t seed, const DateStamp& stamp, double daysInService) {
    return Run(procedure, results, seed, stamp, daysInService).all();
}

double driftPerDay(uint32_t seed, const std::string& name) {
    // FNV-1a over the seed's bytes and the name: a generator of the instrument's own.
    uint32_t hash = 2166136261u;
    auto mix = [&hash](uint8_t byte) { hash = (hash ^ byte) * 16777619u; };
    for (int shift = 0; shift < 32; shift += 8)
        mix(static_cast<uint8_t>(seed >> shift));
    for (char c : name)
        mix(static_cast<uint8_t>(c));
    std::mt19937 gen(hash);
    return kMaxDriftPerDay * uniform(gen);
}

}  // namespace k27emu
