#include "memory/setup_record.h"

#include <gtest/gtest.h>

#include "kvtlnk/kvtlnk.h"
#include "memory/image_helpers.h"
#include "memory/mem_api.h"
#include "memory/record_layout.h"
#include "setup/commit.h"
#include "support/byte_order.h"

namespace kvtlnk {
namespace {

// A setup record of a form with every byte a field carries set to its own value (bytes whose
// floats are all finite), and the bytes the calibrator gives rules to set as they must be.
struct Form {
    const char* what;
    uint16_t form;
    uint8_t setupCode, inFunction, outFunction, samples;
    bool moduleAttached;
    uint32_t length;
};

Bytes formRecord(const Form& f) {
    Bytes d(f.length);
    for (size_t i = 0; i < d.size(); ++i)
        d[i] = static_cast<uint8_t>(0x40 + i % 61);
    storeF32(&d[52], -122.0f);  // a whole offset
    d[59] = 0xF0;               // a negative byte
    d[64] = f.inFunction, d[70] = 0, d[76] = f.outFunction, d[78] = f.setupCode, d[79] = 0;
    d[74] = 1 | (f.inFunction == 14 && f.moduleAttached ? 2 : 0);
    size_t at = 80;
    auto module = [&] {  // the setup holds one module: both sides' blocks are the same
        const Bytes texts = bytesOf(std::string("ABC\0\0\0\0\0\0\0DEFGHIJKL\0\0\0\0\0\0\0", 26));
        std::copy(texts.begin(), texts.end(), d.begin() + at);
        storeF32(&d[at + 26], 100), storeF32(&d[at + 30], -14.5f), storeU16(&d[at + 34], 2);
        at += 36;
    };
    if (f.inFunction == 14) module();
    if (f.form == 3 || f.form == 4) d[at + 10] = f.form == 3 ? 0 : 1, d[at + 11] = 0, at += 12;
    if (f.form == 2 || f.form == 4 || f.form == 5 || f.outFunction != 0) {
        d[at + 70] = f.outFunction == 14 && f.moduleAttached ? 2 : 0;
        at += 72;
        if (f.outFunction == 14) module();
    }
    if (f.form == 4) storeU32(&d[at + 8], f.samples), d[at + 19] = d[at + 27] = 0;
    return d;
}

TEST(SetupRecord, EveryFieldOfEveryFormComesBackWhereItWas) {
    const Form forms[] = {
        {"form 1 without output", 1, 1, 2, 0, 0, false, 80},
        {"form 1 with output", 1, 1, 2, 2, 0, false, 152},
        {"form 3: min/max, no output", 3, 1, 2, 0, 0, false, 92},
        {"form 3 with output", 3, 1, 2, 6, 0, false, 164},
        {"form 2: both sides pressure, module attached", 2, 3, 14, 14, 0, true, 228},
        {"form 4: log of 3", 4, 2, 2, 3, 3, false, 80 + 12 + 72 + 28 + 12},
        {"form 5: pressure input, module attached", 5, 5, 14, 0, 0, true, 192},
        {"form 5: pressure output, no module", 5, 5, 2, 14, 0, false, 188},
    };
    for (const Form& f : forms) {
        SCOPED_TRACE(f.what);
        MemoryImage image;
        RecordStore& results = image.results();
        const Bytes original = formRecord(f);
        for (size_t length = 1; length <= original.size(); ++length)
            addRaw(results, f.form, Bytes(original.begin(), original.begin() + length));
        float log[4];
        SetupState state(log, 4);
        for (int32_t i = 0; i + 1 < results.count(); ++i)  // shorter than its blocks
            EXPECT_EQ(staRestore(state, image, i), KVTLNK_E_NOT_ACCEPTED) << i;
        EXPECT_EQ(state.setupCode, 0u);  // untouched
        ASSERT_TRUE(restoreSetup(state, results.selectRecord(results.count() - 1)));
        EXPECT_EQ(state.inFreqRange, 0xFFFFFFF0u);
        ASSERT_EQ(saveSetup(state, image.procedure()), 0);
        const Record& saved = *image.procedure().selectRecord(0);
        EXPECT_EQ(std::make_pair(saved.kind(), saved.version()),
                  std::make_pair(f.form, uint16_t{0}));
        EXPECT_EQ(bytesOf(saved), original);
    }
}

TEST(SetupRecord, LayoutsAtKnownOffsets) {
    SetupState s;
    initSetup(s);
    MemoryImage image;
    RecordStore& p = image.procedure();
    auto save = [&] { return p.selectRecord(saveSetup(s, p)); };
    EXPECT_EQ(save()->length(), 152u);  // form 5 carries the output block without an output
    s.inOffset = 2.7f;
    EXPECT_EQ(loadF32(save()->data() + 52), 2.0f);
    s.inOffset = -130.0f;
    EXPECT_EQ(loadF32(save()->data() + 52), 126.0f);

    s.setupCode = 5, s.inFunction = 10, s.inUnits = 7, s.inTcType = 10, s.inRange = 10;
    EXPECT_EQ(save()->version(), 1);  // tc_l needs the later firmware
    EXPECT_EQ(p.selectRecord(3)->data()[58], 10);
    s.inTcType = 4, s.inRange = 4;  // tc_k in fahrenheit keeps version 0 ...
    const Record* tcK = save();
    EXPECT_EQ(tcK->version(), 0);
    EXPECT_EQ(tcK->data()[58], 13);  // ... and stores its type shifted by 9
    SetupState back;
    ASSERT_TRUE(restoreSetup(back, tcK));
    EXPECT_EQ(back.inRange, 3u);  // the 0-based position of tc_k among the fahrenheit ranges
    EXPECT_EQ(back.inTcType, 4u);

    s.inFunction = 14, s.outFunction = 2, s.pressureModulePresent = 1, s.pressureRefPsi = 14.7f;
    std::strcpy(s.pressureText2, "0-100 PSIG");  // one character more than the record keeps
    const Record* pressure = save();
    ASSERT_EQ(pressure->length(), 80u + 36 + 72 + 4);
    EXPECT_EQ(pressure->data()[74], 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(pressure->data()) + 90), "0-100 PSI");
    EXPECT_EQ(loadF32(pressure->data() + 188), 14.7f);

    s.setupCode = 6;
    int32_t index = 5;
    EXPECT_EQ(staSave(s, image, 1, &index), KVTLNK_E_IMAGE);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(p.count(), 6);
}

TEST(SetupRecord, TheFirmwareLevelDecidesWhetherTheRecordStays) {
    // firmware level, output tc type (10 needs the later firmware), result
    const int32_t cases[][3] = {{1, 10, KVTLNK_OK},
                                {0, 4, KVTLNK_OK},
                                {0, 10, KVTLNK_E_NOT_ACCEPTED},
                                {-1, 4, KVTLNK_E_NOT_ACCEPTED}};
    MemoryImage image;
    SetupState s;
    initSetup(s);
    s.outFunction = 10;
    for (const auto& c : cases) {
        s.outTcType = static_cast<uint32_t>(c[1]);
        const int32_t count = image.procedure().count();
        int32_t index = 7;
        EXPECT_EQ(staSave(s, image, c[0], &index), static_cast<uint32_t>(c[2])) << c[0] << c[1];
        EXPECT_EQ(index, c[2] == KVTLNK_OK ? count : -1);
        EXPECT_EQ(image.procedure().count(), count + (c[2] == KVTLNK_OK ? 1 : 0));
    }
}

TEST(SetupRecord, RecordsItCannotTakeAreRefused) {
    const Bytes good = formRecord({"", 4, 2, 14, 14, 2, true, 80 + 36 + 12 + 72 + 36 + 28 + 8 + 4});
    auto with = [&good](size_t at, uint8_t b) {
        Bytes d = good;
        d[at] = b;
        return d;
    };
    MemoryImage image;
    RecordStore& r = image.results();
    addRaw(r, TAG_ID, good);
    addRaw(r, SETUP_4, good, 2);
    addRaw(r, SETUP_5, with(64, 10));  // a tc input of type 69 (byte 66)
    addRaw(r, SETUP_5, with(76, 13));  // an RTD output of type 123 (output byte 65)
    for (int32_t i = 0; i <= r.count(); ++i) {
        SetupState s;
        EXPECT_EQ(staRestore(s, image, i), KVTLNK_E_NOT_ACCEPTED) << i;
    }
    addRaw(r, SETUP_4, good);
    float log[1];
    SetupState small(log, 1);
    EXPECT_EQ(staRestore(small, image, r.count() - 1), KVTLNK_OK);
    EXPECT_EQ(small.logCount, 1u);
    EXPECT_EQ(log[0], loadF32(&good[80 + 36 + 12 + 72 + 36 + 28 + 4]));  // the newest sample
    EXPECT_EQ(std::string(small.pressureText2), "DEFGHIJKL");
}

TEST(SetupRecord, ATemplateLoadsItsSetupOnlyWithBothScales) {
    MemoryImage image;
    memClear(image);
    SetupState s, target;
    initSetup(s);
    saveSetup(s, image.procedure());  // 9: no scales
    s.inScaleOn = s.outScaleOn = 1, s.inFunction = 2;
    saveSetup(s, image.procedure());   // 10
    for (uint32_t setup : {9, 10, 0})  // 0 is a strategy
        memTemplate(image, 0, 0, "a", "b", setup);
    for (int32_t index : {11, 13, 10})  // 10 is no template
        EXPECT_EQ(memTemplateState(image, target, index), KVTLNK_E_RECORD) << index;
    EXPECT_EQ(target.status, 0);
    EXPECT_EQ(memTemplateState(image, target, 12), KVTLNK_OK);
    EXPECT_EQ(target.inFunction, 2u);
}

}  // namespace
}  // namespace kvtlnk
