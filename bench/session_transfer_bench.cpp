// Downloads and uploads of 16, 64 and 256 records of 1 KiB at 9600 baud, the library in this
// process and the calibrator (kvtsim) in a process of its own, so that the CPU time this
// process uses is the library's alone. The calibrator holds its bytes to the wire rate either
// one by one (burst_ms 0: a UART without a FIFO) or delivered in bursts (burst_ms 16: a
// USB-serial adapter's latency timer; burst_ms 1 once, for an adapter set to low latency).
//
// Each run reports the bytes that crossed the line in both directions, the wire bound (those
// bytes at 10 bit times each, plus the one-second pause of the link restart that a download
// makes after "ds"; the exchanges are stop-and-wait, so the directions never overlap), the wall
// time against that bound, the CPU time of this process (user + system), as a share of the
// wall time and per KiB of record data, the system calls the library made per KiB, and the
// frames received with the time beyond the bound per frame. With bursts, the wall time is also
// set against the bound plus half a tick per frame received.
//
// A full run takes about half an hour, nearly all of it waiting for the wire. One size:
//   session_transfer_bench --benchmark_filter=records:16/
// JSON for scripts/plot_transfers.py: --benchmark_out=FILE --benchmark_out_format=json.
// KVTSIM=path overrides the emulator built beside this program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "api/library.h"
#include "common/files.h"
#include "common/image_file.h"
#include "kvtlnk/kvtlnk.h"
#include "session/session_calls.h"

extern char** environ;

namespace {

using namespace kvtlnk;

constexpr uint32_t kBaud = 9600;
constexpr int kRecordBytes = 1024;
constexpr double kLinkRestartS = 1.0;

// Every byte the library's port writes or reads passes through these, and every system call
// it makes while the transfer runs.
std::atomic<uint64_t> gWireBytes{0};
std::atomic<uint64_t> gFramesIn{0};
std::atomic<uint64_t> gSystemCalls{0};

// Counts the frames that end in what the library reads: DLE ETX, not a doubled DLE and ETX,
// and not the two check bytes after it.
void countFrameEnds(const uint8_t* bytes, ssize_t n) {
    static bool afterDle = false;
    static int checkBytes = 0;
    for (ssize_t i = 0; i < n; ++i) {
        if (checkBytes > 0) {
            --checkBytes;
        } else if (afterDle) {
            afterDle = false;
            if (bytes[i] == 0x03) {
                ++gFramesIn;
                checkBytes = 2;
            }
        } else {
            afterDle = bytes[i] == 0x10;
        }
    }
}

PosixCalls countingCalls() {
    static const PosixCalls& sys = systemPosixCalls();
    PosixCalls calls = sys;
    calls.write = [](int fd, const void* buf, size_t n) -> ssize_t {
        ++gSystemCalls;
        const ssize_t r = sys.write(fd, buf, n);
        if (r > 0) gWireBytes += static_cast<uint64_t>(r);
        return r;
    };
    calls.read = [](int fd, void* buf, size_t n) -> ssize_t {
        ++gSystemCalls;
        const ssize_t r = sys.read(fd, buf, n);
        if (r > 0) gWireBytes += static_cast<uint64_t>(r);
        countFrameEnds(static_cast<const uint8_t*>(buf), r);
        return r;
    };
    calls.poll = [](pollfd* fds, nfds_t n, int ms) {
        ++gSystemCalls;
        return sys.poll(fds, n, ms);
    };
    calls.nanosleep = [](const timespec* t, timespec* left) {
        ++gSystemCalls;
        return sys.nanosleep(t, left);
    };
    calls.ioctl = [](int fd, unsigned long request, void* arg) {
        ++gSystemCalls;
        return sys.ioctl(fd, request, arg);
    };
    return calls;
}

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6;
    };
    return seconds(u.ru_utime) + seconds(u.ru_stime);
}

std::vector<kvttools::MemoryRecord> procedureRecords(int count) {
    std::vector<kvttools::MemoryRecord> records(static_cast<size_t>(count));
    uint32_t x = 12345;
    for (kvttools::MemoryRecord& r : records) {
        r.kind = 10;
        r.stamp.day = 2;
        r.stamp.month = 5;
        r.stamp.year = 32;
        r.data.resize(kRecordBytes);
        for (uint8_t& b : r.data) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
        }
    }
    return records;
}

void fillImage(MemoryImage& image, const std::vector<kvttools::MemoryRecord>& records) {
    RecordStore& store = image.procedure();
    store.truncate(0);
    for (const kvttools::MemoryRecord& r : records) {
        store.beginRecord(r.kind, r.version);
        store.writeBytes(r.data.data(), static_cast<int32_t>(r.data.size()));
        store.endRecord();
    }
}

// kvtsim in a child process, paced, with the memories of an image file when one is given.
class Kvtsim {
  public:
    Kvtsim(uint32_t burstMs, const std::string& image) {
        const char* env = std::getenv("KVTSIM");
        const std::string program = env != nullptr ? env : KVTSIM_PATH;
        std::vector<std::string> args = {program, "--pace"};
        if (burstMs != 0) args.insert(args.end(), {"--pace-burst", std::to_string(burstMs)});
        if (!image.empty()) args.insert(args.end(), {"--image", image});
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // The first line of its output is the port.
        char c;
        while (pid_ > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            port_ += c;
        close(out[0]);
    }
    ~Kvtsim() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    Kvtsim(const Kvtsim&) = delete;
    Kvtsim& operator=(const Kvtsim&) = delete;

    const std::string& port() const { return port_; }

  private:
    pid_t pid_ = -1;
    std::string port_;
};

// A transfer of the library's image over its open session: the start call, then its steps
// until nothing remains.
template <class Start, class Step>
bool transfer(Library& lib, Start start, Step step) {
    PacketPort& port = *lib.link.port();
    uint32_t remaining = 0;
    if (start(lib.session, port, lib.image, &remaining) != KVTLNK_OK) return false;
    while (remaining > 0) {
        if (step(lib.session, port, lib.image, &remaining) != KVTLNK_OK) return false;
    }
    return true;
}

void runTransfer(benchmark::State& state, bool download) {
    const int records = static_cast<int>(state.range(0));
    const auto burstMs = static_cast<uint32_t>(state.range(1));
    const auto items = procedureRecords(records);
    std::string image;
    if (!download) {
        image = "/tmp/kvtlnk-transfer-bench-" + std::to_string(getpid()) + ".json";
        kvttools::AtomicFile file;
        std::string error;
        if (!file.open(image, &error) ||
            !file.commit(kvttools::formatMemoryFile({items, {}}), &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    Kvtsim sim(burstMs, image);
    Seams seams;
    seams.systemCalls = countingCalls();
    const auto lib = std::make_unique<Library>(seams);
    if (sim.port().empty() ||
        openSession(lib->session, lib->link, kBaud, sim.port().c_str(), 500, 5) != KVTLNK_OK) {
        state.SkipWithError("no session with kvtsim");
    } else {
        for (auto _ : state) {
            fillImage(lib->image, items);
            gWireBytes = 0;
            gFramesIn = 0;
            gSystemCalls = 0;
            const double cpu0 = processCpuSeconds();
            const auto wall0 = std::chrono::steady_clock::now();
            const bool ok = download ? transfer(*lib, downloadStart, downloadStep)
                                     : transfer(*lib, uploadStart, uploadStep);
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            const double cpu = processCpuSeconds() - cpu0;
            if (!ok) state.SkipWithError("the transfer failed");
            const auto bytes = static_cast<double>(gWireBytes);
            const double bound = bytes * 10.0 / kBaud + (download ? kLinkRestartS : 0.0);
            state.counters["wire_bytes"] = bytes;
            state.counters["wire_bound_s"] = bound;
            state.counters["wall_s"] = wall;
            state.counters["wall_per_bound"] = wall / bound;
            state.counters["cpu_s"] = cpu;
            state.counters["cpu_pct"] = 100.0 * cpu / wall;
            const double kib = records * kRecordBytes / 1024.0;
            state.counters["cpu_us_per_KiB"] = 1e6 * cpu / kib;
            state.counters["syscalls_per_KiB"] = static_cast<double>(gSystemCalls) / kib;
            // Time beyond the bound per frame received: with bursts, mostly the wait for the
            // tick that delivers the frame's last bytes.
            state.counters["frames_in"] = static_cast<double>(gFramesIn);
            double load[1] = {0};
            if (getloadavg(load, 1) == 1) state.counters["load_1min"] = load[0];
            state.counters["excess_ms_per_frame_in"] =
                1e3 * (wall - bound) / static_cast<double>(gFramesIn);
            // With bursts, no reader can do better than the wire bound plus half a tick for
            // every frame received: the adapter holds each frame's end until its next tick.
            const double tickBound = bound + 1e-3 * burstMs / 2 * static_cast<double>(gFramesIn);
            state.counters["wall_per_tick_bound"] = wall / tickBound;
        }
    }
    closeSession(lib->session, lib->link);
    if (!image.empty()) std::remove(image.c_str());
}

void BM_Download(benchmark::State& state) {
    runTransfer(state, true);
}
void BM_Upload(benchmark::State& state) {
    runTransfer(state, false);
}

void transferSizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"records", "burst_ms"})
        ->ArgsProduct({{16, 64, 256}, {0, 16}})
        ->Args({16, 1})  // an adapter whose latency timer was set to its least
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kSecond);
}
BENCHMARK(BM_Download)->Apply(transferSizes);
BENCHMARK(BM_Upload)->Apply(transferSizes);

}  // namespace
