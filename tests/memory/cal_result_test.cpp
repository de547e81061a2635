// A calibration result stays decoded from one results call to the next: whatever changes the
// memories in between, the next call reads what an image that never held the result reads.
// Under the sanitize preset a read through a pointer into a removed record fails here.
#include "memory/cal_result.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "memory/setup_record.h"
#include "setup/commit.h"
#include "support/byte_order.h"

namespace kvtlnk {
namespace {

constexpr int32_t kResult = 1;     // in the results memory, after its setup
constexpr uint32_t kScaleOn = 73;  // head byte: input scaling on
constexpr uint32_t kFirstAt = 12;  // the first entry in a result record

// Appends to the results memory a form-5 setup measuring DC volts and sourcing current, a
// result of standard strategy 0 (three points) run with it whose entries derive from value,
// and the result's tag.
void addResult(MemoryImage& image, float value, uint8_t flag, bool scaled = true) {
    SetupState s;
    initSetup(s);
    InputSettings& in = s.changeInput();
    OutputSettings& out = s.changeOutput();
    in.function = 1, in.units = 2, in.range = 5, out.function = 2, out.units = 1;
    s.inScale.on = scaled ? 1 : 0, s.outScale.on = 1;
    MemoryImage scratch;
    const Record& setup = *scratch.procedure().selectRecord(saveSetup(s, scratch.procedure()));
    const int32_t at = addRaw(image.results(), SETUP_5, bytesOf(setup));
    Bytes d(kFirstAt + 3 * kResultEntryBytes);
    storeU32(&d[0], static_cast<uint32_t>(-at - 1));
    storeU16(&d[8], 3);
    d[10] = flag;
    for (size_t e = 0; e < 3; ++e) {
        uint8_t* entry = &d[kFirstAt + kResultEntryBytes * e];
        for (size_t v = 0; v < 4; ++v)
            storeF32(entry + 4 * v, value * static_cast<float>(e + v + 1));
        entry[16] = 5, entry[17] = 8, entry[18] = e != 1, entry[19] = e != 2, entry[20] = 1;
    }
    addRaw(image.results(), CAL_RESULT_A, d);
    addRaw(image.results(), TAG_ID, bytesOf(std::string("T\0a\0b\0", 6)));
}

// What MEMcalResultEntry reads of every entry of the result, and of one before and one after.
std::string entries(MemoryImage& image) {
    std::string all;
    for (int32_t e = -1; e <= 3; ++e) {
        EntryValues v;
        char line[200];
        const uint32_t code = memCalResultEntry(image, kResult, e, &v);
        std::snprintf(line, sizeof line, "%d: %u %a %u %a %a %u %a %a\n", e, code, v.inValue,
                      v.inFlag, v.inLimit, v.outValue, v.outFlag, v.outLimit, v.thirdValue);
        all += line;
    }
    return all;
}

// An image holding the same records, which has never decoded anything.
std::unique_ptr<MemoryImage> copyOf(const MemoryImage& image) {
    auto copy = std::make_unique<MemoryImage>();
    for (Memory m : {Memory::Procedure, Memory::Results}) {
        for (int32_t i = 0; i < image.store(m).count(); ++i) {
            const Record& r = *image.store(m).selectRecord(i);
            addRaw(copy->store(m), r.kind(), bytesOf(r), r.version());
        }
    }
    return copy;
}

// A change to the memories as the library's calls and an upload make them.
void rewrite(RecordStore& store, int32_t index, uint32_t at, uint8_t byte) {
    store.selectRecord(index)->data()[at] = byte;
    store.dataChanged();  // as an upload step does once it has filled the record
}

struct Change {
    const char* what;
    bool scaled;   // whether the result's setup can be taken before the change
    bool differs;  // whether the result reads otherwise after it
    std::function<void(MemoryImage&)> apply;
};

TEST(CurrentResult, ReadsWhatTheMemoriesHoldAfterEveryChange) {
    const float points[] = {0.0f, 1.0f};
    const Change changes[] = {
        {"cleared", true, true, [](MemoryImage& m) { memClear(m); }},
        {"uploaded again", true, true,
         [](MemoryImage& m) {
             m.results().truncate(0);
             addResult(m, 7.5f, 1);
         }},
        {"a value rewritten", true, true,
         [](MemoryImage& m) { rewrite(m.results(), kResult, kFirstAt + 1, 0x7F); }},
        {"its setup rewritten without scaling", true, true,
         [](MemoryImage& m) { rewrite(m.results(), 0, kScaleOn, 0); }},
        {"its setup rewritten with scaling", false, true,
         [](MemoryImage& m) { rewrite(m.results(), 0, kScaleOn, 1); }},
        {"its strategy redefined with two points", true, true,
         [&](MemoryImage& m) {
             m.procedure().truncate(0);
             memStrategyDefn(m, nullptr, "two", 2, points);
         }},
        {"its tag removed", true, false, [](MemoryImage& m) { m.results().truncate(kResult + 1); }},
        {"a result appended", true, false, [](MemoryImage& m) { addResult(m, -2.0f, 0); }},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        MemoryImage image;
        memClear(image);
        addResult(image, 1.25f, 0, c.scaled);
        const std::string before = entries(image);
        ASSERT_EQ(before, entries(*copyOf(image)));
        c.apply(image);
        const std::string after = entries(*copyOf(image));
        EXPECT_EQ(entries(image), after);
        EXPECT_EQ(before != after, c.differs) << before;
    }
}

}  // namespace
}  // namespace kvtlnk
