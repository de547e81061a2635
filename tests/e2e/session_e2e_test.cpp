// The library against the emulated calibrator over a pty: whole sessions, the commands they
// send, and every failure a calibrator can cause.
//
// Time: the library waits its own default time-out; the calibrator repeats an unacknowledged
// frame only after a second, so a stalled test thread cannot make it repeat one, yet well within
// the library's attempts. Faults come from the calibrator's fault script, and the link restart
// after "ds" waits on a clock that returns at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "api/library.h"
#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"

namespace kvtlnk {
namespace {

using k27emu::Calibrator;
using k27emu::CalibratorOptions;
using kvttools::MemoryRecord;
using Records = std::vector<MemoryRecord>;
using Strings = std::vector<std::string>;

constexpr uint32_t kTimeoutMs = 500;
constexpr int32_t kAttempts = 5;
constexpr kvttools::DateStamp kCalibratorClock{1, 2, 3, 4, 5, 6, 32};

CalibratorOptions calibrator(const char* model = "ORVAN K27") {
    CalibratorOptions o;
    o.identity.model = model;
    o.readTimeoutMs = 1000;
    o.clock = kCalibratorClock;
    return o;
}

std::vector<uint32_t> gWaits;  // the seconds each link restart asked to wait
void recordWait(uint32_t seconds) {
    gWaits.push_back(seconds);
}

MemoryRecord item(uint16_t kind, uint16_t version, size_t length, kvttools::DateStamp stamp = {}) {
    MemoryRecord r{kind, version, stamp, std::vector<uint8_t>(length)};
    for (size_t i = 0; i < length; ++i)
        r.data[i] = static_cast<uint8_t>(i * 13 + kind);
    return r;  // 13 is odd: 256 bytes hold every byte value, 0x10 and 0x04 among them
}

void setImage(const Records& records) {
    RecordStore& p = library().image.procedure();
    library().image.results().truncate(0);
    p.truncate(0);
    for (const MemoryRecord& r : records) {
        p.beginRecord(r.kind, r.version);
        p.writeBytes(r.data.data(), static_cast<int32_t>(r.data.size()));
        p.endRecord();
    }
}

Records imageOf(Memory m) {
    Records out;
    const RecordStore& store = library().image.store(m);
    for (int32_t i = 0; i < store.count(); ++i) {
        const Record* r = store.selectRecord(i);
        const DateStamp& s = r->stamp();
        out.push_back({r->kind(),
                       r->version(),
                       {s.second, s.minute, s.hour, s.weekday, s.day, s.month, s.year},
                       std::vector<uint8_t>(r->data(), r->data() + r->length())});
    }
    return out;
}

Records withStamp(Records records, kvttools::DateStamp stamp) {
    for (MemoryRecord& r : records)
        r.stamp = stamp;
    return records;
}

uint32_t run(uint32_t (*start)(uint32_t*), uint32_t (*step)(uint32_t*)) {
    uint32_t remaining = 0;
    uint32_t r = start(&remaining);
    while (r == KVTLNK_OK && remaining > 0)
        r = step(&remaining);
    return r;
}
uint32_t download() {
    return run(KVTdnlStart, KVTdnlStep);
}
uint32_t upload() {
    return run(KVTuplStart, KVTuplStep);
}

class E2e : public ::testing::Test {
  protected:
    void open(int32_t attempts = kAttempts) {
        emu = std::make_unique<Calibrator>(calibrator());
        ASSERT_TRUE(emu->start());
        ASSERT_EQ(KVTopen(9600, emu->portPath().c_str(), kTimeoutMs, attempts), KVTLNK_OK);
        emu->clearLogs();
    }
    void SetUp() override {
        library().session.waitSeconds = &recordWait;
        gWaits.clear();
        open();
    }
    void TearDown() override {
        KVTclose();
        library().session.waitSeconds = &sleepSeconds;
    }

    std::unique_ptr<Calibrator> emu;
};

TEST_F(E2e, RoundTripKeepsEveryByte) {
    Records image;
    for (size_t length : {116, 115, 1, 300, 2000, 7, 64976, 20, 21, 230, 231, 3})
        image.push_back(
            item(static_cast<uint16_t>(10 + image.size() % 6), image.size() % 2, length));
    setImage(image);
    ASSERT_EQ(download(), KVTLNK_OK);
    EXPECT_EQ(emu->memory(kvttools::Memory::Procedure), withStamp(image, kCalibratorClock));
    EXPECT_EQ(emu->statusTexts(),
              (Strings{"Clearing Task Memory", "Downloading 12 items to K27 Memory", "5 of 12",
                       "10 of 12", "Clearing Results Memory"}));

    const Records results{item(5, 1, 90, kvttools::DateStamp{59, 58, 23, 6, 31, 12, 6}),
                          item(7, 0, 400, kvttools::DateStamp{0, 0, 0, 0, 1, 1, 0}),
                          item(15, 0, 40, kvttools::DateStamp{30, 15, 12, 2, 29, 2, 32})};
    ASSERT_TRUE(emu->replaceMemory(kvttools::Memory::Results, results));
    ASSERT_EQ(upload(), KVTLNK_OK);
    EXPECT_EQ(imageOf(Memory::Procedure), emu->memory(kvttools::Memory::Procedure));
    EXPECT_EQ(imageOf(Memory::Results), results);
    EXPECT_EQ(library().image.results().selectRecord(0)->stamp().fullYear(), 1998);
}

TEST_F(E2e, CommandSequences) {
    setImage({item(14, 0, 116), item(10, 1, 1), item(11, 0, 5)});
    ASSERT_EQ(download(), KVTLNK_OK);
    EXPECT_EQ(emu->commands(),
              (Strings{"ds", "sf link,Clearing Task Memory", "mc p",
                       "sf link,Downloading 3 items to K27 Memory", "ma p,14,0,116", "mbp 115,0,0",
                       "mbp 1,0,115", "ma p,10,1,1", "mbp 1,1,0", "ma p,11,0,5", "mbp 5,2,0",
                       "sf link,Clearing Results Memory", "mc r"}));
    EXPECT_EQ(gWaits, std::vector<uint32_t>{1}) << "the restart after \"ds\" waits a second";

    ASSERT_TRUE(emu->replaceMemory(kvttools::Memory::Results, {item(7, 0, 3), item(15, 0, 300)}));
    emu->clearLogs();
    uint32_t count = 0;
    ASSERT_EQ(KVTuplStart(&count), KVTLNK_OK);
    EXPECT_EQ(count, 5u);
    uint32_t remaining = 0;
    for (uint32_t left : {4u, 3u, 2u, 1u, 0u}) {
        ASSERT_EQ(KVTuplStep(&remaining), KVTLNK_OK);
        EXPECT_EQ(remaining, left);
    }
    EXPECT_EQ(emu->commands(), (Strings{"ms", "sf link,Uploading K27 Directory", "md p", "md r",
                                        "sf link,Uploading 5 items from K27 Memory", "mu p,0",
                                        "mu p,1", "mu p,2", "mu r,0", "mu r,1"}));
    EXPECT_EQ(KVTuplStep(&remaining), KVTLNK_E_ARGUMENT);  // after the last item
}

TEST_F(E2e, FirmwareLevelDecidesTheDownload) {
    const struct {
        const char *model, *version;
        Records image;
        uint32_t result;
    } cases[] = {
        {"ORVAN K27", "V1.1", {item(14, 0, 8), item(3, 1, 80)}, KVTLNK_E_NOT_ACCEPTED},
        {"ORVAN K27", "V1.1", {item(14, 1, 8), item(3, 0, 80)}, KVTLNK_OK},
        {"ORVAN K27", "V1.2.0", {item(3, 1, 80)}, KVTLNK_OK},
        {"somebody", "V1.2.0", {}, KVTLNK_OK},
        {"somebody", "V1.2.0", {item(14, 0, 8)}, KVTLNK_E_NOT_ACCEPTED},
    };
    for (const auto& c : cases) {
        KVTsetVersion(c.model, c.version);
        setImage(c.image);
        emu->clearLogs();
        uint32_t count = 99;
        EXPECT_EQ(KVTdnlStart(&count), c.result) << c.model << " " << c.version;
        const bool sent = !emu->commands().empty();
        EXPECT_EQ(sent, c.result == KVTLNK_OK) << c.model << " " << c.version;
    }
}

TEST_F(E2e, EveryFailureHasItsCode) {
    using Fault = std::function<void(Calibrator&)>;
    using Call = std::function<uint32_t()>;
    char t[128];
    uint32_t n;
    const Call getK2x = [&] { return KVTgetK2x(t, t, t, &n, &n, &n); };
    const Call memstats = [&] { return KVTmemstats(&n, &n); };
    const Call uplStart = [&] { return KVTuplStart(&n); };
    const Call uplStep = [&] { return KVTuplStart(&n) ? 0 : KVTuplStep(&n); };
    const Call dnlStep = [&] { return KVTdnlStart(&n) ? 0 : KVTdnlStep(&n); };
    const struct {
        const char* what;
        Fault fault;
        Call call;
        uint32_t result;
        int tries;  // of the first command that reached the calibrator
    } cases[] = {
        // clang-format off
        {"refused", [](Calibrator& e) { e.faults().refuse("sf link"); }, memstats, 2018, 2},
        {"silent after open", [](Calibrator& e) { e.faults().goSilent(); }, memstats, 2020, 0},
        {"status lost", [](Calibrator& e) { e.faults().dropFrame(1, 1, k27emu::FrameFilter::Data); }, memstats, 2021, 1},
        {"no final", [](Calibrator& e) { e.faults().lineInsteadOfEnd("sf link"); }, memstats, 2022, 2},
        {"short id", [](Calibrator& e) { e.faults().replaceLines("id", {"ORVAN K27,V1.2.0"}); }, getK2x, 2022, 1},
        {"8-field ed", [](Calibrator& e) { e.faults().replaceLines("ed", {"1,2,3,4,5,6,7,8"}); }, getK2x, 2022, 1},
        {"three ms lines", [](Calibrator& e) { e.faults().replaceLines("ms", {"p,,0,0,0,0", "r,,0,0,0,0", "s,,0,0,0,0"}); }, getK2x, 2022, 1},
        {"directory index", [](Calibrator& e) { e.faults().replaceLines("md p", {"1,10,0,3,2024,1,2,3,4,5,6"}); }, uplStart, 2022, 1},
        {"empty item", [](Calibrator& e) { e.faults().replaceLines("md p", {"0,10,0,0,2024,1,2,3,4,5,6"}); }, uplStart, 2023, 1},
        {"item too big", [](Calibrator& e) { e.faults().replaceLines("md p", {"0,10,0,65000,2024,1,2,3,4,5,6"}); }, uplStart, 2012, 1},
        {"oversize mu", [](Calibrator& e) { e.faults().inflateUpload(1); }, uplStep, 2022, 1},
        {"ma index", [](Calibrator& e) { e.faults().replaceLines("ma p", {"7"}); }, dnlStep, 2022, 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        KVTclose();
        open(2);  // no fault here is meant to be outlasted
        ASSERT_TRUE(emu->replaceMemory(kvttools::Memory::Procedure, {item(10, 0, 3)}));
        setImage({item(10, 0, 3)});
        c.fault(*emu);
        EXPECT_EQ(c.call(), c.result) << c.what;
        const Strings sent = emu->commands();
        if (c.tries > 0) {
            ASSERT_FALSE(sent.empty()) << c.what;
            EXPECT_EQ(std::count(sent.begin(), sent.end(), sent.front()), c.tries) << c.what;
        }
    }
}

// Each number of a directory line is cut to the width of its place: a date field to its byte,
// the year after 1992 is taken off. No date fails an upload, and each reads back as stored.
TEST_F(E2e, DirectoryDatesAreCutToTheirByte) {
    using Date = std::vector<uint32_t>;  // year, month, day, hour, minute, second
    const struct {
        const char* date;  // year,month,day,weekday,hour,minute,second
        uint8_t yearByte;
        Date reported;
    } cases[] = {
        {"1998,6,15,1,12,30,45", 6, {1998, 6, 15, 12, 30, 45}},
        {"2092,13,31,6,23,61,59", 100, {2092, 13, 31, 23, 61, 59}},
        {"2247,0,0,0,255,255,255", 255, {2247, 0, 0, 255, 255, 255}},
        {"1991,12,31,0,0,0,0", 255, {2247, 12, 31, 0, 0, 0}},
        {"2248,1,1,0,0,0,0", 0, {1992, 1, 1, 0, 0, 0}},
        {"2024,300,1,0,0,0,-1", 32, {2024, 44, 1, 0, 0, 255}},
        {"-99999999999,1,1,0,0,0,0", 56, {2048, 1, 1, 0, 0, 0}},  // atol's 32-bit minimum
        {"2024,x,1,0,0,0,0", 32, {2024, 0, 1, 0, 0, 0}},          // no digits: 0
    };
    ASSERT_TRUE(emu->replaceMemory(kvttools::Memory::Results, {item(15, 0, 3)}));
    for (const auto& c : cases) {
        emu->faults().replaceLines("md r", {std::string("0,15,0,3,") + c.date}, 1);
        uint32_t n = 0;
        ASSERT_EQ(KVTuplStart(&n), KVTLNK_OK) << c.date;
        EXPECT_EQ(library().image.results().selectRecord(0)->stamp().year, c.yearByte) << c.date;
        Date reported(6);
        uint32_t code = 0;
        ASSERT_EQ(MEMrDir(0, &code, &reported[0], &reported[1], &reported[2], &reported[3],
                          &reported[4], &reported[5]),
                  KVTLNK_OK);
        EXPECT_EQ(reported, c.reported) << c.date;
    }
}

// Item counts and memory lines are taken as the calibrator sends them. An upload follows its
// order whatever the counts (the image emptied, the status text, "md p"), makes an item only
// when its line has come, and fails through a missing line (2022) or a full store (2012).
TEST_F(E2e, CountsAndLinesAsTheCalibratorSendsThem) {
    using Call = std::function<uint32_t(uint32_t * out)>;
    char t[128];
    uint32_t d = 0;
    const Call reopen = [&](uint32_t* procItems) {
        KVTclose();
        const uint32_t r = KVTopen(9600, emu->portPath().c_str(), kTimeoutMs, kAttempts);
        return r != KVTLNK_OK ? r : KVTgetK2x(t, t, t, &d, procItems, &d);
    };
    const Call memstats = [&](uint32_t* field3) { return KVTmemstats(field3, &d); };
    const Call uplStart = [](uint32_t* count) { return KVTuplStart(count); };
    Strings fullItems;  // 259 items of 64,976 bytes: one more than a store holds
    for (int i = 0; i < 259; ++i)
        fullItems.push_back(std::to_string(i) + ",10,0,64976,2024,1,2,3,4,5,6");
    const Strings upload = {"ms", "sf link,Uploading K27 Directory", "md p"};
    const struct {
        const char* what;
        Strings ms, mdp;  // the lines of "ms" and "md p"
        Call call;
        uint32_t result, out;
        Strings commands;        // from "ms" on, for an upload
        int32_t procedureItems;  // in the image afterwards
    } cases[] = {
        // clang-format off
        {"a negative item count opens the session", {"p,,0,0,0,-2", "r,,0,0,0,1"}, {}, reopen, KVTLNK_OK, 0xFFFFFFFEu, {}, 1},
        {"17 memory lines add up", Strings(17, "p,,1,1,0,0"), {}, memstats, KVTLNK_OK, 17, {}, 1},
        {"a negative count and no lines", {"p,,0,0,0,-2", "r,,0,0,0,0"}, {}, uplStart, KVTLNK_OK, 0xFFFFFFFEu, {"ms", "sf link,Uploading K27 Directory", "md p", "md r"}, 0},
        {"a count beyond the lines that come", {"p,,0,0,0,2000000000", "r,,0,0,0,0"}, {"0,10,0,3,2024,1,2,3,4,5,6"}, uplStart, KVTLNK_E_BAD_REPLY, 0, upload, 1},
        {"items past what a store holds", {"p,,0,0,0,259", "r,,0,0,0,0"}, fullItems, uplStart, KVTLNK_E_IMAGE, 0, upload, 258},
        // clang-format on
    };
    for (const auto& c : cases) {
        setImage({item(10, 0, 3)});
        emu->faults().clear();
        emu->faults().replaceLines("ms", c.ms);
        emu->faults().replaceLines("md p", c.mdp);
        emu->clearLogs();
        uint32_t out = 12345;
        EXPECT_EQ(c.call(&out), c.result) << c.what;
        EXPECT_EQ(out, c.out) << c.what;
        if (!c.commands.empty()) {
            EXPECT_EQ(emu->commands(), c.commands) << c.what;
        }
        uint32_t procedure = 0, results = 0;
        MEMstats(&procedure, &results);
        EXPECT_EQ(procedure, static_cast<uint32_t>(c.procedureItems)) << c.what;
    }
    emu->faults().clear();
}

// A directory that goes wrong part-way leaves the items whose lines came before the fault.
TEST_F(E2e, ABrokenDirectoryKeepsTheItemsBeforeIt) {
    emu->faults().replaceLines("ms", {"p,,0,0,0,2", "r,,0,0,0,0"});
    emu->faults().replaceLines("md p", {"0,10,0,3,2024,1,2,3,4,5,6", "7,10,0,3,2024,1,2,3,4,5,6"});
    uint32_t n = 0, procedure = 0, results = 0;
    EXPECT_EQ(KVTuplStart(&n), KVTLNK_E_BAD_REPLY);
    MEMstats(&procedure, &results);
    EXPECT_EQ(procedure, 1u);
}

TEST_F(E2e, RepliesAreReadFieldByField) {
    emu->faults().replaceLines("ms", {"p,x,100,900,0,3", "r,x,50,950,0,2", "q,x,abc,7"}, 1);
    uint32_t field3 = 0, field4 = 0;
    EXPECT_EQ(KVTmemstats(&field3, &field4), KVTLNK_OK);
    EXPECT_EQ(field3, 150u);
    EXPECT_EQ(field4, 1857u);

    emu->faults().replaceLines("id", {" ORVAN K27 , V1|2"}, 1);
    char model[128], ident3[128], version[128];
    uint32_t n[3];
    EXPECT_EQ(KVTgetK2x(model, ident3, version, &n[0], &n[1], &n[2]), KVTLNK_E_BAD_REPLY);
    EXPECT_STREQ(model, "ORVAN K27 ");
    EXPECT_STREQ(version, "V1,2");
    EXPECT_STREQ(ident3, "");

    // An item that brings fewer bytes than its directory entry keeps zeros after them.
    ASSERT_TRUE(emu->replaceMemory(kvttools::Memory::Procedure, {item(10, 0, 4)}));
    emu->faults().replaceLines("mu p", {"2", "xy"}, 1);
    ASSERT_EQ(upload(), KVTLNK_OK);
    const Record* r = library().image.procedure().selectRecord(0);
    EXPECT_EQ(std::vector<uint8_t>(r->data(), r->data() + r->length()),
              (std::vector<uint8_t>{'x', 'y', 0, 0}));
}

TEST_F(E2e, NullPointersAndCallsWithoutASessionAreRefused) {
    for (uint32_t r : {KVTdnlStart(nullptr), KVTdnlStep(nullptr), KVTuplStart(nullptr),
                       KVTuplStep(nullptr), KVTmemstats(nullptr, nullptr)})
        EXPECT_EQ(r, KVTLNK_E_ARGUMENT);
    EXPECT_TRUE(emu->commands().empty());

    KVTclose();
    uint32_t n;
    char t[128];
    for (uint32_t r : {KVTgetK2x(t, t, t, &n, &n, &n), KVTmemstats(&n, &n), KVTdnlStart(&n),
                       KVTdnlStep(&n), KVTclear(), KVTuplStart(&n), KVTuplStep(&n)})
        EXPECT_EQ(r, KVTLNK_E_NO_SESSION);
    EXPECT_EQ(KVTclose(), KVTLNK_OK);
    EXPECT_EQ(KVTopen(19200, emu->portPath().c_str(), kTimeoutMs, kAttempts), KVTLNK_E_ARGUMENT);
    EXPECT_EQ(KVTopen(9600, nullptr, kTimeoutMs, kAttempts), KVTLNK_E_ARGUMENT);
    EXPECT_EQ(KVTopen(9600, "/dev/no-such-port", kTimeoutMs, kAttempts), KVTLNK_E_NO_SESSION);
    EXPECT_EQ(library().session.sessionOpen, 0);
}

// KVTopen refuses only a baud other than 9600 and a NULL port name, before anything changes: any
// read time-out is taken, 0 (no time-out at all) and the largest included.
TEST_F(E2e, OpenTakesAnyReadTimeOut) {
    const std::string port = emu->portPath();
    const struct {
        int32_t baud;
        const char* port;
        uint32_t timeoutMs;
        uint32_t result;
        bool identified;  // the calibrator was asked who it is
    } cases[] = {
        {9600, port.c_str(), 0, KVTLNK_OK, true},
        {9600, port.c_str(), 4294967295u, KVTLNK_OK, true},
        {9600, port.c_str(), 1000, KVTLNK_OK, true},
        {19200, port.c_str(), 500, KVTLNK_E_ARGUMENT, false},
        {9600, nullptr, 500, KVTLNK_E_ARGUMENT, false},
    };
    for (const auto& c : cases) {
        emu->clearLogs();
        EXPECT_EQ(KVTopen(c.baud, c.port, c.timeoutMs, kAttempts), c.result) << c.timeoutMs;
        EXPECT_EQ(library().session.sessionOpen, 1) << c.timeoutMs << ": a session stays open";
        const Strings sent = emu->commands();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "id"), c.identified ? 1 : 0) << c.timeoutMs;
        uint32_t n = 0;
        EXPECT_EQ(KVTmemstats(&n, &n), KVTLNK_OK) << c.timeoutMs;
    }
}

TEST_F(E2e, RefusedModelClosesTheSession) {
    KVTclose();
    emu = std::make_unique<Calibrator>(calibrator("ORVAN K28"));
    ASSERT_TRUE(emu->start());
    EXPECT_EQ(KVTopen(9600, emu->portPath().c_str(), kTimeoutMs, kAttempts), KVTLNK_E_NOT_ACCEPTED);
    EXPECT_EQ(library().session.sessionOpen, 0);
    EXPECT_EQ(library().session.firmwareLevel, -1);
    EXPECT_EQ(emu->commands(), (Strings{"sf link,Identifying K27", "id", "ed", "ms", "sf link"}));
}

TEST_F(E2e, SilentCalibratorFailsTheOpenInBoundedTime) {
    // One attempt of the default time-out while the calibrator answers; short time-outs only
    // once it is silent. The low 8 bits of the attempt count are used: 0x101 makes 1.
    const std::string port = emu->portPath();
    ASSERT_EQ(KVTopen(9600, port.c_str(), kTimeoutMs, 0x101), KVTLNK_OK);
    emu->faults().goSilent();
    // Opening again closes the old session first; its farewell text finds nobody.
    EXPECT_EQ(KVTopen(9600, port.c_str(), 100, 2), KVTLNK_E_SEND);
    EXPECT_EQ(library().session.sessionOpen, 0);

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(KVTopen(9600, port.c_str(), 100, 2), KVTLNK_E_NO_LINK);
    const auto elapsed = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(library().session.sessionOpen, 0);
    // Connect for the identification, connect for the farewell text, the disconnect.
    EXPECT_GE(elapsed, std::chrono::milliseconds(3 * 2 * 99));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3 * 2 * 100 + 5000));
}

TEST_F(E2e, AFailedStepIsRepeatedByTheSameCall) {
    const Records image{item(14, 0, 300), item(10, 0, 50)};
    setImage(image);
    uint32_t n = 0, remaining = 0;
    ASSERT_EQ(KVTdnlStart(&n), KVTLNK_OK);
    emu->faults().refuse("ma p", "2", 1);
    EXPECT_EQ(KVTdnlStep(&remaining), KVTLNK_E_REFUSED);
    EXPECT_EQ(library().session.transferStep, 0);
    EXPECT_EQ(KVTdnlStep(&remaining), KVTLNK_OK);
    EXPECT_EQ(KVTdnlStep(&remaining), KVTLNK_OK);
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(emu->memory(kvttools::Memory::Procedure), withStamp(image, kCalibratorClock));

    ASSERT_EQ(KVTuplStart(&n), KVTLNK_OK);
    emu->faults().inflateUpload(1, 1);
    EXPECT_EQ(KVTuplStep(&remaining), KVTLNK_E_BAD_REPLY);
    EXPECT_EQ(library().session.transferStep, 0);
    EXPECT_EQ(KVTuplStep(&remaining), KVTLNK_OK);
    EXPECT_EQ(KVTuplStep(&remaining), KVTLNK_OK);
    EXPECT_EQ(imageOf(Memory::Procedure), emu->memory(kvttools::Memory::Procedure));
}

TEST_F(E2e, TransfersSurviveALineThatLosesFrames) {
    Records image;
    for (int i = 0; i < 4; ++i)
        image.push_back(item(10, 0, 250 + 37 * i));
    setImage(image);
    // The calibrator's data frames only: a lost acknowledgement of "ma" would make it add the
    // item twice. Each fault costs the calibrator's time-out before it sends the frame again.
    emu->faults().corruptFrame(3, 29);
    emu->faults().dropFrame(11, 31);
    ASSERT_EQ(download(), KVTLNK_OK);
    EXPECT_EQ(emu->memory(kvttools::Memory::Procedure), withStamp(image, kCalibratorClock));
    ASSERT_EQ(upload(), KVTLNK_OK);
    EXPECT_EQ(imageOf(Memory::Procedure), withStamp(image, kCalibratorClock));
    EXPECT_GE(emu->faults().framesFaulted(), 4u);
}

}  // namespace
}  // namespace kvtlnk
