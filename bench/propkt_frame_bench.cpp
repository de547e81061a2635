// Encoding and decoding of a full 1024-byte packet, without the serial port.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "propkt/ptalklib.h"

namespace kvtlnk {
namespace {

// Takes writes into a buffer and serves reads from it, one byte at a time.
class MemoryLine : public SerialLine {
  public:
    uint16_t write(const uint8_t* data, uint16_t count) override {
        bytes.insert(bytes.end(), data, data + count);
        return count;
    }
    uint16_t read(uint8_t* data, uint16_t count) override {
        if (count == 0 || next >= bytes.size()) return 0;
        *data = bytes[next++];
        return 1;
    }
    std::vector<uint8_t> bytes;
    size_t next = 0;
};

std::vector<uint8_t> samplePacket() {
    std::vector<uint8_t> data(PACKET_SIZE);
    std::mt19937 random(27);
    for (uint8_t& b : data)
        b = static_cast<uint8_t>(random());
    return data;
}

void BM_EncodePacket(benchmark::State& state) {
    std::vector<uint8_t> data = samplePacket();
    MemoryLine line;
    line.bytes.reserve(2 * PACKET_SIZE + 8);
    PacketPort port(line, PortRole::Master);
    PacketBuffer packet(data.data(), PACKET_SIZE, PACKET_SIZE);
    for (auto _ : state) {
        line.bytes.clear();
        benchmark::DoNotOptimize(port.sendFrame(FrameKind::FRAME_DATA, &packet));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * PACKET_SIZE);
}
BENCHMARK(BM_EncodePacket);

void BM_DecodePacket(benchmark::State& state) {
    std::vector<uint8_t> data = samplePacket();
    MemoryLine line;
    PacketPort port(line, PortRole::Slave);
    PacketBuffer packet(data.data(), PACKET_SIZE, PACKET_SIZE);
    port.sendFrame(FrameKind::FRAME_DATA, &packet);
    std::vector<uint8_t> store(PACKET_SIZE);
    for (auto _ : state) {
        line.next = 0;
        PacketBuffer received(store.data(), PACKET_SIZE);
        PacketPort::Received r = port.receiveFrame(&received);
        if (!r.completed || r.outcome != RxOutcome::FRAME_DATA)
            state.SkipWithError("frame not decoded");
        benchmark::DoNotOptimize(store.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * PACKET_SIZE);
}
BENCHMARK(BM_DecodePacket);

}  // namespace
}  // namespace kvtlnk
