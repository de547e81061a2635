#include "wire_line.h"

#include <algorithm>

#include "propkt/ptalklib.h"

namespace k27emu {
namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kTypeData = 0x00;
constexpr uint8_t kTypeAck = 0x01;

}  // namespace

void bumpSequence(std::vector<uint8_t>* frame) {
    std::vector<uint8_t>& f = *frame;
    if (f.size() < 7) return;
    const uint8_t seq = static_cast<uint8_t>(((f[2] >> 5) + 1) & 3);
    f[2] = static_cast<uint8_t>((f[2] & 0x9F) | (seq << 5));
    // The check value covers everything from the type byte to the closing DLE ETX.
    const uint16_t reg =
        kvtlnk::crc16Update(0xFFFF, f.data() + 2, static_cast<uint32_t>(f.size() - 4));
    const uint16_t check = static_cast<uint16_t>(~reg);
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

uint16_t WireLine::read(uint8_t* data, uint16_t count) {
    followsOn_ = false;
    if (count == 0) received_.clear();
    if (byteTime_.count() == 0 || count == 0) return pty_.read(data, count);
    // Everything waiting is taken at once and stamped, so that a byte is through the wire one
    // byte time after it came, or after the one ahead of it, however late this end reads it.
    uint16_t got = 0;
    while (got < count) {
        if (received_.empty()) {
            uint8_t first[256];
            if (pty_.read(first, 1) != 1) break;
            const uint16_t more = pty_.readWaiting(first + 1, sizeof first - 1);
            const auto now = PtyLine::Clock::now();
            for (uint16_t i = 0; i <= more; ++i)
                received_.push_back({first[i], now});
        }
        const Arrival a = received_.front();
        received_.pop_front();
        nextRx_ = std::max(nextRx_, a.at) + byteTime_;
        if (!pty_.sleepUntil(nextRx_)) break;
        data[got++] = a.byte;
    }
    return got;
}

bool WireLine::waitReadable(std::chrono::milliseconds timeout) {
    return !received_.empty() || pty_.waitReadable(timeout);
}

uint16_t WireLine::write(const uint8_t* data, uint16_t count) {
    for (uint16_t i = 0; i < count; ++i)
        gather(data[i]);
    return count;
}

void WireLine::gather(uint8_t b) {
    if (state_ == State::Idle) frame_.clear();
    frame_.push_back(b);
    switch (state_) {
        case State::Idle:
            state_ = b == kDle ? State::Dle : State::Idle;
            break;
        case State::Dle:
            state_ = b == kStx ? State::Type : State::Idle;
            break;
        case State::Type:
            state_ = b == kDle ? State::DataDle : State::Data;
            break;
        case State::Data:
            state_ = b == kDle ? State::DataDle : State::Data;
            break;
        case State::DataDle:
            state_ = b == kEtx ? State::Check1 : State::Data;
            break;
        case State::Check1:
            state_ = State::Check2;
            break;
        case State::Check2:
            state_ = State::Idle;
            break;
    }
    if (state_ == State::Idle && frame_.size() >= 7) sendFrame();
}

void WireLine::sendFrame() {
    const uint8_t type = frame_[2] & 0x0F;
    const bool sequenced = type == kTypeData || type == kTypeAck;
    switch (faults_.nextFrame(type == kTypeData)) {
        case FrameFault::None:
            break;
        case FrameFault::Corrupt:
            frame_.back() ^= 0x5A;
            break;
        case FrameFault::Drop:
            return;
        case FrameFault::WrongSequence:
            if (sequenced) bumpSequence(&frame_);
            break;
    }
    if (!faults_.silent()) emit(frame_);
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
