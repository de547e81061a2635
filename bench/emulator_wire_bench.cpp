// The emulator on its pty against the library's master end: how soon stop() ends serving in
// the middle of an exchange, and an upload held to the 9600-baud wire against the time its
// bytes need.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "calibrator.h"
#include "propkt/link.h"

namespace k27emu {
namespace {

constexpr double kByteMs = 10.0 / 9600 * 1000;  // 10 bit times a byte

kvtlnk::Link& link() {
    static kvtlnk::SerialPort serial;
    static kvtlnk::Link link(serial);
    return link;
}

bool openLink(const Calibrator& emu, uint32_t timeoutMs, uint8_t attempts) {
    link().serial().setReadTimeout(timeoutMs);
    if (link().open(9600, emu.portPath().c_str(), kvtlnk::PortRole::Master) !=
        kvtlnk::LinkOpen::Opened) {
        return false;
    }
    link().port()->setAttempts(attempts);
    return kvtlnk::linkConnect(*link().port());
}

void closeLink() {
    link().port()->setAttempts(1);
    link().close();
}

kvtlnk::PktOutcome sendText(const char* text) {
    return kvtlnk::pkt_send(*link().port(), reinterpret_cast<const uint8_t*>(text),
                            static_cast<uint16_t>(std::strlen(text)));
}

void BM_StopDuringAnExchange(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        CalibratorOptions options;
        options.readTimeoutMs = 1000;  // the exchange below would hold it for 5 s
        Calibrator emu(options);
        if (!emu.start() || !openLink(emu, 50, 5)) {
            state.SkipWithError("no emulator");
            break;
        }
        // Sent, and its reply never taken: the emulator waits for an acknowledgement.
        sendText("id");
        state.ResumeTiming();
        emu.stop();
        state.PauseTiming();
        closeLink();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StopDuringAnExchange)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

// Takes the reply of "mu p,0" to its final packet; the number of packets, or 0 on failure.
int upload() {
    if (sendText("mu p,0") != kvtlnk::PktOutcome::Done) return 0;
    uint8_t buffer[kvtlnk::PACKET_SIZE];
    for (int packets = 1;; ++packets) {
        const kvtlnk::PktReceived got = kvtlnk::pkt_receive(*link().port(), buffer, sizeof buffer);
        if (!got.arrived()) return 0;
        if (got.size == 1 && buffer[0] == 0x04) return packets;
    }
}

void BM_PacedUpload(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    CalibratorOptions options;
    options.pacingBaud = 9600;
    Calibrator emu(options);
    MemoryRecord item;
    item.data.assign(size, 0x55);  // no byte doubled on the wire
    emu.replaceMemory(Memory::Procedure, {item});
    if (!emu.start() || !openLink(emu, 200, 5)) {
        state.SkipWithError("no emulator");
        return;
    }
    for (auto _ : state) {
        if (upload() == 0) {
            state.SkipWithError("upload failed");
            break;
        }
    }
    closeLink();
    // From the emulator: its acknowledgement of the command, then the status, count, data and
    // final frames (7 bytes of framing each).
    const size_t dataFrames = (size + 255) / 256;
    const size_t wireBytes =
        7 + (7 + 1) + (7 + std::to_string(size).size()) + 7 * dataFrames + size + (7 + 1);
    state.counters["wire_bound_ms"] = static_cast<double>(wireBytes) * kByteMs;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_PacedUpload)
    ->Arg(1024)
    ->Arg(4096)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
}  // namespace k27emu
