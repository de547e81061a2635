// A download and an upload of a 64 KiB procedure memory against the emulator held to the
// wire rate of 9600 baud. Besides the wall time each run reports the bytes that crossed the
// line in both directions, the time those bytes need at 10 bit times a byte (the exchanges are
// stop-and-wait, so the two directions never overlap), and the CPU time of the calling thread,
// which is where the library runs.
#include <benchmark/benchmark.h>
#include <time.h>

#include <atomic>
#include <vector>

#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"
#include "memory/memory_image.h"
#include "propkt/posix_calls.h"

namespace {

using namespace kvtlnk;

constexpr uint32_t kBaud = 9600;
constexpr int kRecords = 64;
constexpr int kRecordBytes = 1024;

// Every byte the library's port writes or reads passes through these.
std::atomic<uint64_t> gWireBytes{0};

PosixCalls countingCalls() {
    PosixCalls calls = systemPosixCalls();
    calls.write = [](int fd, const void* buf, size_t n) -> ssize_t {
        const ssize_t r = systemPosixCalls().write(fd, buf, n);
        if (r > 0) gWireBytes += static_cast<uint64_t>(r);
        return r;
    };
    calls.read = [](int fd, void* buf, size_t n) -> ssize_t {
        const ssize_t r = systemPosixCalls().read(fd, buf, n);
        if (r > 0) gWireBytes += static_cast<uint64_t>(r);
        return r;
    };
    return calls;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<k27emu::EmuRecord> procedureRecords() {
    std::vector<k27emu::EmuRecord> records(kRecords);
    uint32_t x = 12345;
    for (k27emu::EmuRecord& r : records) {
        r.kind = 10;
        r.data.resize(kRecordBytes);
        for (uint8_t& b : r.data) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
        }
    }
    return records;
}

void fillImage(const std::vector<k27emu::EmuRecord>& records) {
    RecordStore& store = theImage().procedure();
    store.truncate(0);
    for (const k27emu::EmuRecord& r : records) {
        store.beginRecord(r.kind, r.version);
        store.writeBytes(r.data.data(), static_cast<int32_t>(r.data.size()));
        store.endRecord();
    }
}

// A transfer: the start call, then its steps until nothing remains.
bool transfer(uint32_t (*start)(uint32_t*), uint32_t (*step)(uint32_t*)) {
    uint32_t remaining = 0;
    if (start(&remaining) != KVTLNK_OK) return false;
    while (remaining > 0) {
        if (step(&remaining) != KVTLNK_OK) return false;
    }
    return true;
}

void runTransfer(benchmark::State& state, bool download) {
    const PosixCalls previous = setPosixCalls(countingCalls());
    k27emu::CalibratorOptions options;
    options.pacingBaud = kBaud;
    k27emu::Calibrator emu(options);
    const auto records = procedureRecords();
    if (!emu.start() || KVTopen(kBaud, emu.portPath().c_str(), 500, 5) != KVTLNK_OK) {
        state.SkipWithError("no session with the emulator");
        setPosixCalls(previous);
        return;
    }
    for (auto _ : state) {
        fillImage(records);
        emu.replaceMemory(Memory::Procedure, download ? std::vector<k27emu::EmuRecord>{} : records);
        gWireBytes = 0;
        const double cpu0 = threadCpuSeconds();
        const bool ok =
            download ? transfer(KVTdnlStart, KVTdnlStep) : transfer(KVTuplStart, KVTuplStep);
        const double cpu = threadCpuSeconds() - cpu0;
        if (!ok) state.SkipWithError("the transfer failed");
        const double wireSeconds = static_cast<double>(gWireBytes) * 10.0 / kBaud;
        state.counters["wire_bytes"] = static_cast<double>(gWireBytes);
        // A download restarts the link once and waits a second for it.
        state.counters["lower_bound_s"] = wireSeconds + (download ? 1.0 : 0.0);
        state.counters["library_cpu_ms"] = cpu * 1e3;
        state.counters["data_bytes"] = kRecords * kRecordBytes;
    }
    KVTclose();
    setPosixCalls(previous);
}

void BM_Download64KiB(benchmark::State& state) {
    runTransfer(state, true);
}
void BM_Upload64KiB(benchmark::State& state) {
    runTransfer(state, false);
}

BENCHMARK(BM_Download64KiB)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Upload64KiB)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
