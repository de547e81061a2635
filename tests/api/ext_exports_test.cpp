// The extension's calls on the library of the process: an image built with the definition
// calls and loaded back from its bytes reads the same through every MEM reading call.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_ext.h"
#include "kvtlnk/kvtlnk_messages.h"
#include "support/byte_order.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct StoredRecord {
    uint32_t kind;
    uint32_t version;
    uint8_t stamp[KVX_STAMP_SIZE];
    Bytes data;
};

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char line[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(line, sizeof line, pattern, args);
    va_end(args);
    return line;
}

uint32_t count(uint32_t memory) {
    uint32_t procedure = 0, results = 0;
    MEMstats(&procedure, &results);
    return memory == KVX_PROCEDURE ? procedure : results;
}

std::vector<StoredRecord> readAll(uint32_t memory) {
    std::vector<StoredRecord> records;
    Bytes buffer(KVX_RECORD_SIZE_MAX);
    for (uint32_t i = 0; i < count(memory); ++i) {
        StoredRecord r{};
        uint32_t length = 0;
        EXPECT_EQ(KVXreadRecord(memory, static_cast<int32_t>(i), &r.kind, &r.version, r.stamp,
                                &length, buffer.data(), KVX_RECORD_SIZE_MAX),
                  KVTLNK_OK);
        r.data.assign(buffer.begin(), buffer.begin() + length);
        records.push_back(r);
    }
    return records;
}

void loadAll(uint32_t memory, const std::vector<StoredRecord>& records) {
    for (size_t i = 0; i < records.size(); ++i) {
        const StoredRecord& r = records[i];
        int32_t index = -1;
        ASSERT_EQ(KVXloadRecord(memory, r.kind, r.version, r.stamp, r.data.data(),
                                static_cast<uint32_t>(r.data.size()), &index),
                  KVTLNK_OK);
        ASSERT_EQ(index, static_cast<int32_t>(i));
    }
}

// Everything the MEM reading calls, the setup they load and the extension report of the image.
// Each call runs before its outputs are read; outputs start empty for every record.
std::string describe() {
    std::string out;
    uint32_t procedure = 0, results = 0, used = 0;
    MEMstats(&procedure, &results);
    MEMused(&used);
    out += format("%u procedure, %u results, %u bytes\n", procedure, results, used);
    for (int32_t i = 0; i < static_cast<int32_t>(procedure); ++i) {
        char a[64] = "", b[64] = "", c[64] = "";
        uint32_t u[7] = {};
        uint32_t r = MEMpDir(i, &u[0], &u[1], &u[2], &u[3], &u[4], &u[5], &u[6]);
        out += format("p%d dir %u: %u %u-%u-%u %u:%u:%u\n", i, r, u[0], u[1], u[2], u[3], u[4],
                      u[5], u[6]);
        r = MEMtaskInfo(i, a, &u[0]);
        out += format(" task %u %s %u\n", r, a, u[0]);
        int32_t n = 0;
        float points[32] = {};
        r = MEMstrategyInfo(i, a, &n, 32, points);
        out += format(" strategy %u %s %d:", r, a, n);
        for (int32_t p = 0; r == 0 && p < n && p < 32; ++p)
            out += format(" %g", points[p]);
        r = MEMtemplateInfo(i, &u[0], &u[1], a, b);
        out += format("\n template %u %u %u %s %s\n", r, u[0], u[1], a, b);
        if (MEMtemplateState(i) == KVTLNK_OK) {
            STAgetInputString(a, b);
            STAgetOutputString(c, b);
            out += format(" state %s %s\n", a, c);
        }
        r = MEMpromptInfo(i, a);
        out += format(" prompt %u %s", r, a);
        r = MEMpromptDefnInfo(i, a, &u[0], 64, b);
        out += format(" defn %u %s %u %s\n", r, a, u[0], b);
    }
    for (int32_t i = 0; i < static_cast<int32_t>(results); ++i) {
        char a[64] = "", b[64] = "", c[64] = "";
        uint32_t u[7] = {};
        uint32_t r = MEMrDir(i, &u[0], &u[1], &u[2], &u[3], &u[4], &u[5], &u[6]);
        out += format("r%d dir %u: %u %u-%u-%u %u:%u:%u\n", i, r, u[0], u[1], u[2], u[3], u[4],
                      u[5], u[6]);
        uint32_t entries = 0;
        r = MEMcalResult(i, &entries);
        out += format(" result %u %u", r, entries);
        for (int32_t e = 0; e < static_cast<int32_t>(entries); ++e) {
            float v[5] = {};
            uint32_t flags[2] = {};
            MEMcalResultEntry(i, e, &v[0], &flags[0], &v[1], &v[2], &flags[1], &v[3], &v[4]);
            out +=
                format(" (%g %u %g %g %u %g %g)", v[0], flags[0], v[1], v[2], flags[1], v[3], v[4]);
        }
        r = MEMasflInfo(i, &u[0], &u[1], &u[2]);
        out += format("\n asfl %u %u %u %u", r, u[0], u[1], u[2]);
        r = MEMtagidInfo(static_cast<uint32_t>(i), a, b, c);
        out += format(" tag %u %s %s %s", r, a, b, c);
        out += format(" base %u\n", MEMbaseState(i));
        for (uint32_t role = KVX_ROLE_SETUP; role <= KVX_ROLE_TAG; ++role) {
            int32_t index = 0;
            r = KVXresultRecord(i, role, &u[0], &index);
            out += format(" rests %u %u:%d", r, u[0], index);
        }
        out += "\n";
    }
    return out;
}

// A procedure with a task of a prompt and a test, and a result of that test as the calibrator
// records it: the copy of the test's setup, the result of three points, its tag.
void buildImage() {
    MEMclear();
    STAinit();
    int32_t setup = -1;
    ASSERT_EQ(STAsetInput("current", nullptr), KVTLNK_OK);
    ASSERT_EQ(STAsetOutput("dcv", nullptr, 1.0f, 0.0f), KVTLNK_OK);
    ASSERT_EQ(STAsetInputScale(0.004f, 0.020f), KVTLNK_OK);
    ASSERT_EQ(STAsetOutputScale(1.0f, 5.0f), KVTLNK_OK);
    ASSERT_EQ(STAsave(&setup), KVTLNK_OK);
    const float points[] = {0.0f, 0.5f, 1.0f};
    uint32_t strategy = 0;
    ASSERT_EQ(MEMstrategyDefn(&strategy, "three", 3, points), KVTLNK_OK);
    ASSERT_EQ(MEMpromptDefn("connect", "Connect the loop."), KVTLNK_OK);
    ASSERT_EQ(MEMstartTask("loop check"), KVTLNK_OK);
    ASSERT_EQ(MEMprompt("connect"), KVTLNK_OK);
    ASSERT_EQ(MEMtemplate(strategy, 0, "PT-101", "as found", static_cast<uint32_t>(setup)),
              KVTLNK_OK);
    ASSERT_EQ(MEMendTask(), KVTLNK_OK);

    uint32_t length = 0;
    Bytes bytes(KVX_RECORD_SIZE_MAX);
    ASSERT_EQ(KVXreadRecord(KVX_PROCEDURE, setup, nullptr, nullptr, nullptr, &length, bytes.data(),
                            KVX_RECORD_SIZE_MAX),
              KVTLNK_OK);
    const uint8_t stamp[KVX_STAMP_SIZE] = {5, 4, 3, 2, 1, 12, 33};
    ASSERT_EQ(KVXloadRecord(KVX_RESULTS, 5, 0, stamp, bytes.data(), length, nullptr), KVTLNK_OK);
    Bytes result(12 + 22 * 3);
    kvtlnk::storeU32(&result[0], static_cast<uint32_t>(-1));  // the copy, results index 0
    kvtlnk::storeU32(&result[4], strategy);
    kvtlnk::storeU16(&result[8], 3);
    for (int e = 0; e < 3; ++e) {
        uint8_t* entry = &result[12 + 22 * e];
        kvtlnk::storeF32(entry, 4.0f + 8.0f * static_cast<float>(e));
        kvtlnk::storeF32(entry + 4, 1.0f + 2.0f * static_cast<float>(e));
        entry[19] = entry[20] = 1;
    }
    ASSERT_EQ(KVXloadRecord(KVX_RESULTS, 7, 0, stamp, result.data(), 78, nullptr), KVTLNK_OK);
    const char tag[] = "PT-101\0as found\0serial 7";
    ASSERT_EQ(KVXloadRecord(KVX_RESULTS, 15, 0, nullptr, reinterpret_cast<const uint8_t*>(tag),
                            sizeof tag, nullptr),
              KVTLNK_OK);
}

TEST(ExtensionCalls, AnImageLoadedFromItsRecordsReadsAsTheImageItWasReadFrom) {
    buildImage();
    const std::string before = describe();
    // The result decodes, and rests on the records it was built from.
    EXPECT_NE(before.find("result 0 3 ("), std::string::npos) << before;
    EXPECT_NE(before.find("rests 0 2:0 rests 0 1:10 rests 0 1:14 rests 0 1:9 rests 0 1:12 rests "
                          "0 2:2"),
              std::string::npos)
        << before;

    const std::vector<StoredRecord> procedure = readAll(KVX_PROCEDURE);
    const std::vector<StoredRecord> results = readAll(KVX_RESULTS);
    ASSERT_EQ(KVXtruncate(KVX_PROCEDURE, 0), KVTLNK_OK);
    ASSERT_EQ(KVXtruncate(KVX_RESULTS, 0), KVTLNK_OK);
    ASSERT_EQ(count(KVX_PROCEDURE) + count(KVX_RESULTS), 0u);
    STAinit();
    loadAll(KVX_PROCEDURE, procedure);
    loadAll(KVX_RESULTS, results);
    EXPECT_EQ(describe(), before);
}

TEST(ExtensionCalls, GiveTheTextOfEveryResultCode) {
    for (uint32_t code = 0; code < 3000; ++code) {
        ASSERT_STREQ(KVXmessage(code), kvtlnkMessage(code)) << code;
    }
}

}  // namespace
