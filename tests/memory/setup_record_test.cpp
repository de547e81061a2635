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
        EXPECT_EQ(state.inReadings.freqRange, 0xFFFFFFF0u);
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
    s.changeInput().offset = 2.7f;
    EXPECT_EQ(loadF32(save()->data() + 52), 2.0f);
    s.changeInput().offset = -130.0f;
    EXPECT_EQ(loadF32(save()->data() + 52), 126.0f);

    InputSettings& in = s.changeInput();
    s.setupCode = 5, in.function = 10, in.units = 7, in.tcType = 10, in.range = 10;
    EXPECT_EQ(save()->version(), 1);  // tc_l needs the later firmware
    EXPECT_EQ(p.selectRecord(3)->data()[58], 10);
    in.tcType = 4, in.range = 4;  // tc_k in fahrenheit keeps version 0 ...
    const Record* tcK = save();
    EXPECT_EQ(tcK->version(), 0);
    EXPECT_EQ(tcK->data()[58], 13);  // ... and stores its type shifted by 9
    SetupState back;
    ASSERT_TRUE(restoreSetup(back, tcK));
    // The range becomes the 0-based position of tc_k among the fahrenheit ranges.
    EXPECT_EQ(std::make_pair(back.in().range, back.in().tcType), std::make_pair(3u, 4u));

    s.changeInput().function = 14;
    std::strcpy(s.module.text2, "0-100 PSIG");  // one character more than the record keeps
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(save()->data()) + 90), "0-100 PSI");

    // The firmware level (-1: the calibrator was refused) decides whether the record stays.
    // input tc type (10 needs the later firmware), setup code, firmware level, result
    const int32_t saves[][4] = {{10, 5, 1, KVTLNK_OK},
                                {10, 5, 0, KVTLNK_E_NOT_ACCEPTED},
                                {4, 5, 0, KVTLNK_OK},
                                {4, 5, -1, KVTLNK_E_NOT_ACCEPTED},
                                {4, 6, 1, KVTLNK_E_IMAGE}};
    s.changeInput().function = 10;
    for (const auto& c : saves) {
        s.changeInput().tcType = uint32_t(c[0]), s.setupCode = uint32_t(c[1]);
        const int32_t count = p.count();
        int32_t index = 7;
        EXPECT_EQ(staSave(s, image, c[2], &index), uint32_t(c[3])) << c[0] << c[1] << c[2];
        EXPECT_EQ(std::make_pair(index, p.count()),
                  c[3] == KVTLNK_OK ? std::make_pair(count, count + 1) : std::make_pair(-1, count));
    }
}

TEST(SetupRecord, RecordsItCannotTakeAreRefused) {
    const Bytes good = formRecord({"", 4, 2, 14, 14, 2, true, 80 + 36 + 12 + 72 + 36 + 28 + 8 + 4});
    Bytes tc = good, rtd = good;
    tc[64] = 10;   // a tc input of type 69 (byte 66)
    rtd[76] = 13;  // an RTD output of type 123 (output byte 65)
    MemoryImage image;
    RecordStore& r = image.results();
    addRaw(r, TAG_ID, good);
    addRaw(r, SETUP_4, good, 2);
    addRaw(r, SETUP_5, tc);
    addRaw(r, SETUP_5, rtd);
    SetupState s;
    for (int32_t i = 0; i <= r.count(); ++i)
        EXPECT_EQ(staRestore(s, image, i), KVTLNK_E_NOT_ACCEPTED) << i;
    addRaw(r, SETUP_4, good);
    float log[1];
    SetupState small(log, 1);
    EXPECT_EQ(staRestore(small, image, r.count() - 1), KVTLNK_OK);
    // One sample kept: the newest.
    EXPECT_EQ(std::make_pair(small.log.count, log[0]),
              std::make_pair(1u, loadF32(&good[80 + 36 + 12 + 72 + 36 + 28 + 4])));
    EXPECT_EQ(std::string(small.module.text2), "DEFGHIJKL");
}

TEST(SetupRecord, ATemplateLoadsItsSetupOnlyWithBothScales) {
    MemoryImage image;
    memClear(image);
    SetupState s, target;
    initSetup(s);
    saveSetup(s, image.procedure());  // 9: no scales
    s.inScale.on = s.outScale.on = 1, s.changeInput().function = 2;
    saveSetup(s, image.procedure());   // 10
    for (uint32_t setup : {9, 10, 0})  // 0 is a strategy
        memTemplate(image, 0, 0, "a", "b", setup);
    for (int32_t index : {11, 13, 10})  // 10 is no template
        EXPECT_EQ(memTemplateState(image, target, index), KVTLNK_E_RECORD) << index;
    EXPECT_EQ(target.status, 0);
    EXPECT_EQ(memTemplateState(image, target, 12), KVTLNK_OK);
    EXPECT_EQ(target.in().function, 2u);
}

// Calibration results the calibrator could not have made: truncated and corrupted results
// and tags give a clear code, never a read past the record. What decoding reports of the
// results a field run leaves is checked in results_e2e_test.cpp.
// A result of strategy 0 (three points) with entries of zeros and tail bytes after them.
Bytes result(int32_t setup, uint16_t count, size_t tail = 0) {
    Bytes d(12 + 3 * 22 + tail, 0);
    storeU32(&d[0], static_cast<uint32_t>(setup));
    storeU16(&d[8], count);
    return d;
}

TEST(CalResults, RecordsItCannotTake) {
    MemoryImage image;
    memClear(image);
    SetupState s;
    initSetup(s);
    s.changeInput().function = 14, s.changeOutput().function = 10,
    s.inScale.on = s.outScale.on = 1;  // pressure in, tc out
    const Record& pressureTc = *image.procedure().selectRecord(saveSetup(s, image.procedure()));
    addRaw(image.results(), SETUP_5, bytesOf(pressureTc));  // 0
    Bytes full = result(-1, 3, 36 + 1 + 4);  // module, its presence, junction temperature
    storeF32(&full[full.size() - 4], 21.5f);
    for (size_t length = 0; length <= full.size(); ++length) {
        const int32_t i =
            addRaw(image.results(), CAL_RESULT_A, Bytes(full.begin(), full.begin() + length));
        uint32_t n = 0;
        EXPECT_EQ(memCalResult(image, i, &n), length >= 12 + 66 + 36 ? KVTLNK_OK : KVTLNK_E_RECORD)
            << length;
    }
    EXPECT_EQ(memBaseState(image, s, image.results().count() - 1), KVTLNK_OK);
    EXPECT_EQ(s.out().tref.value, 21.5f);

    const Bytes tag = bytesOf(std::string("T\0a\0b\0", 6));
    for (size_t length = 0; length <= tag.size(); ++length) {
        const int32_t i = addRaw(image.results(), CAL_RESULT_A, result(-1, 3));
        addRaw(image.results(), TAG_ID, Bytes(tag.begin(), tag.begin() + length));
        char t[33];
        EXPECT_EQ(memTagidInfo(image, i, t, t, t), length == 6 ? KVTLNK_OK : KVTLNK_E_NO_TAG);
    }
    const int32_t aTag = image.results().count() - 1;
    addRaw(image.results(), SETUP_5, Bytes(79, 0));  // a head cut short
    const Bytes corrupted[] = {
        result(-1, 4),       // one entry more than the strategy's points
        result(-1, 0xFFFF),  // more entries than the record holds
        result(-aTag - 1, 3), result(kNoRecord, 3), result(-image.results().count(), 3),
    };
    for (const Bytes& d : corrupted) {
        uint32_t n = 0;
        EXPECT_EQ(memCalResult(image, addRaw(image.results(), CAL_RESULT_A, d), &n),
                  KVTLNK_E_RECORD);
    }
}

}  // namespace
}  // namespace kvtlnk
