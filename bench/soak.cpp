// Soak run: downloads and uploads of a 64-record image against the emulated calibrator, which
// corrupts one frame in 20 and drops another one in 20, and vanishes (stops answering) at a
// random command of every 20th transfer. Every completed transfer must leave both sides byte
// for byte alike; every interrupted one must end within a bound that follows from the read
// time-out and the attempts, with a result code, after which the session opens again. The
// process's resident memory is read after the first 20 transfers and at the end.
//
//   soak [TRANSFERS]     (200 by default; prints its figures and exits 1 on any failure)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "api/library.h"
#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"

namespace {

using namespace kvtlnk;
using Clock = std::chrono::steady_clock;
using Records = std::vector<kvttools::MemoryRecord>;

constexpr int kRecords = 64;
constexpr uint32_t kReadTimeoutMs = 300;  // the library's; the emulator repeats after 100 ms
constexpr int32_t kAttempts = 5;
// An interrupted transfer ends within the exchanges of one step, each of at most the attempts
// of one read time-out (the calibrator is silent), plus the link restart it may try.
constexpr double kBoundSeconds = 4.0 * kAttempts * kReadTimeoutMs / 1000.0 + 1.0;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

Records makeImage(std::mt19937& random) {
    Records records(kRecords);
    for (kvttools::MemoryRecord& r : records) {
        r.kind = 10;
        r.data.resize(100 + random() % 300);
        for (uint8_t& b : r.data)
            b = static_cast<uint8_t>(random());
    }
    return records;
}

void setImage(const Records& records) {
    RecordStore& store = library().image.procedure();
    store.truncate(0);
    library().image.results().truncate(0);
    for (const kvttools::MemoryRecord& r : records) {
        store.beginRecord(r.kind, r.version);
        store.writeBytes(r.data.data(), static_cast<int32_t>(r.data.size()));
        store.endRecord();
    }
}

// Kind, version and data of every record alike (stamps differ by design).
bool sameAsImage(const Records& emulated) {
    const RecordStore& store = library().image.procedure();
    if (store.count() != static_cast<int32_t>(emulated.size())) return false;
    for (int32_t i = 0; i < store.count(); ++i) {
        const Record& r = *store.selectRecord(i);
        const kvttools::MemoryRecord& e = emulated[static_cast<size_t>(i)];
        if (r.kind() != e.kind || r.version() != e.version ||
            std::vector<uint8_t>(r.data(), r.data() + r.length()) != e.data)
            return false;
    }
    return true;
}

uint32_t transfer(bool download) {
    uint32_t remaining = 0;
    uint32_t r = download ? KVTdnlStart(&remaining) : KVTuplStart(&remaining);
    while (r == KVTLNK_OK && remaining > 0)
        r = download ? KVTdnlStep(&remaining) : KVTuplStep(&remaining);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const int transfers = argc > 1 ? std::atoi(argv[1]) : 200;
    std::mt19937 random(27);
    // The link restart after "ds" waits a tenth of its second: the emulator needs no pause.
    library().session.waitSeconds = [](uint32_t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    };

    k27emu::CalibratorOptions options;
    options.readTimeoutMs = 100;
    k27emu::Calibrator emu(options);
    if (!emu.start()) return 1;
    std::atomic<int> commands{0}, vanishAt{-1};
    emu.setCommandObserver([&](const k27emu::LoggedCommand&) {
        if (++commands == vanishAt) emu.faults().goSilent();
    });
    emu.faults().corruptFrame(20, 20);
    emu.faults().dropFrame(10, 20);
    const std::string port = emu.portPath();
    if (KVTopen(9600, port.c_str(), kReadTimeoutMs, kAttempts) != KVTLNK_OK) return 1;

    int completed = 0, exact = 0, interrupted = 0, reopened = 0, unexpected = 0;
    double longestInterrupted = 0, busy = 0;
    std::map<uint32_t, int> codes;
    long rssWarm = 0;
    const auto start = Clock::now();
    for (int k = 0; k < transfers; ++k) {
        const bool download = k % 2 == 0;
        const bool vanish = k % 20 == (k / 20 % 2 == 0 ? 19 : 18);
        if (download) setImage(makeImage(random));
        commands = 0;
        vanishAt = vanish ? 1 + static_cast<int>(random() % (download ? 150 : 70)) : -1;
        const auto t0 = Clock::now();
        const uint32_t r = transfer(download);
        const double took = seconds(t0);
        busy += took;
        if (r == KVTLNK_OK) {
            ++completed;
            exact += sameAsImage(emu.memory(kvttools::Memory::Procedure));
            if (vanish) ++unexpected;  // the silence came after the last command
        } else {
            ++codes[r];
            if (!vanish) ++unexpected;
            ++interrupted;
            longestInterrupted = std::max(longestInterrupted, took);
        }
        if (vanish || r != KVTLNK_OK) {
            emu.faults().goSilent(false);
            vanishAt = -1;
            KVTclose();
            reopened += KVTopen(9600, port.c_str(), kReadTimeoutMs, kAttempts) == KVTLNK_OK;
        }
        emu.clearLogs();  // the emulator's own record of commands would grow
        if (k == 19) rssWarm = residentKiB();
    }
    const long rssEnd = residentKiB();
    KVTclose();

    std::printf("transfers %d in %.0f s (%.2f s each on average)\n", transfers, seconds(start),
                busy / transfers);
    std::printf("completed %d, byte-exact %d\n", completed, exact);
    std::printf("interrupted %d, longest %.2f s (bound %.1f s), reopened %d\n", interrupted,
                longestInterrupted, kBoundSeconds, reopened);
    for (const auto& [code, n] : codes)
        std::printf("  result %u: %d\n", code, n);
    std::printf("frames sent by the calibrator %u, faulted %u\n", emu.faults().framesSent(),
                emu.faults().framesFaulted());
    std::printf("resident memory after 20 transfers %ld KiB, at the end %ld KiB\n", rssWarm,
                rssEnd);
    const bool ok = exact == completed && unexpected == 0 && reopened == interrupted &&
                    longestInterrupted <= kBoundSeconds && rssEnd <= rssWarm + 1024;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
