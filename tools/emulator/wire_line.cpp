#include "wire_line.h"

#include <algorithm>

#include "protocol/frame.h"

namespace k27emu {

void bumpSequence(std::vector<uint8_t>* frame) {
    std::vector<uint8_t>& f = *frame;
    if (f.size() < 7) return;
    const uint8_t seq = static_cast<uint8_t>(((f[2] >> 5) + 1) & 3);
    f[2] = static_cast<uint8_t>((f[2] & 0x9F) | (seq << 5));
    // The check value covers everything from the type byte to the closing DLE ETX.
    const uint16_t check = kvttools::checkValue(f.data() + 2, f.size() - 4);
    f[f.size() - 2] = static_cast<uint8_t>(check & 0xFF);
    f[f.size() - 1] = static_cast<uint8_t>(check >> 8);
}

WireLine::WireLine(PtyLine& pty, FaultScript& faults, uint32_t pacingBaud, uint32_t burstMs)
    : pty_(pty), faults_(faults), ticks_(PtyLine::Clock::now()) {
    if (pacingBaud != 0) {
        byteTime_ = std::chrono::duration_cast<PtyLine::Clock::duration>(
            std::chrono::nanoseconds(10ull * 1000000000ull / pacingBaud));
        burst_ = std::chrono::milliseconds(burstMs);
    }
}

bool WireLine::readByte(uint8_t* byte) {
    followsOn_ = false;
    if (byteTime_.count() == 0) return pty_.readByte(byte);
    // Everything waiting is taken at once and stamped, so that a byte is through the wire one
    // byte time after it came, or after the one ahead of it, however late this end reads it.
    if (received_.empty()) {
        uint8_t first[256];
        if (!pty_.readByte(first)) return false;
        const uint16_t more = pty_.readWaiting(first + 1, sizeof first - 1);
        const auto now = PtyLine::Clock::now();
        for (uint16_t i = 0; i <= more; ++i)
            received_.push_back({first[i], now});
    }
    const Arrival a = received_.front();
    received_.pop_front();
    nextRx_ = std::max(nextRx_, a.at) + byteTime_;
    if (!pty_.sleepUntil(nextRx_)) return false;
    *byte = a.byte;
    return true;
}

void WireLine::purge() {
    followsOn_ = false;
    received_.clear();
    pty_.discard();
}

bool WireLine::waitReadable(std::chrono::milliseconds timeout) {
    return !received_.empty() || pty_.waitReadable(timeout);
}

void WireLine::writeFrame(const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> out = frame;
    const auto kind = static_cast<kvttools::FrameKind>(out[2] & 0x0F);
    switch (faults_.nextFrame(kind == kvttools::FrameKind::Data)) {
        case FrameFault::None:
            break;
        case FrameFault::Corrupt:
            out.back() ^= 0x5A;
            break;
        case FrameFault::Drop:
            return;
        case FrameFault::WrongSequence:
            if (kvttools::isSequenced(kind)) bumpSequence(&out);
            break;
    }
    if (!faults_.silent()) emit(out);
}

void WireLine::emit(const std::vector<uint8_t>& bytes) {
    const auto delay = faults_.byteDelay();
    if (byteTime_.count() == 0 && delay.count() == 0) {
        pty_.write(bytes.data(), static_cast<uint16_t>(bytes.size()));
        return;
    }
    // A frame that follows on starts on the wire when the one before it ended, plus the time
    // spent making it; the wait for the delivery of the one before does not count.
    const auto now = PtyLine::Clock::now();
    if (followsOn_) {
        nextTx_ += now - emitted_;
    } else if (nextTx_ < now) {
        nextTx_ = now;
    }
    followsOn_ = true;
    size_t i = 0;
    while (i < bytes.size()) {
        // This byte, and with bursts every later one that is through the wire by the same tick.
        nextTx_ += delay + byteTime_;
        const auto deliver = deliveryAt(nextTx_);
        size_t n = 1;
        while (i + n < bytes.size() && deliveryAt(nextTx_ + delay + byteTime_) == deliver) {
            nextTx_ += delay + byteTime_;
            ++n;
        }
        if (!pty_.sleepUntil(deliver)) return;
        pty_.write(&bytes[i], static_cast<uint16_t>(n));
        i += n;
    }
    emitted_ = PtyLine::Clock::now();
}

PtyLine::Clock::time_point WireLine::deliveryAt(PtyLine::Clock::time_point done) const {
    if (burst_.count() == 0 || done <= ticks_) return done;
    return ticks_ + ((done - ticks_ + burst_ - PtyLine::Clock::duration(1)) / burst_) * burst_;
}

}  // namespace k27emu
