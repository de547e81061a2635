#include "wire_line.h"

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

WireLine::WireLine(PtyLine& pty, FaultScript& faults, uint32_t pacingBaud)
    : pty_(pty), faults_(faults) {
    if (pacingBaud != 0) {
        byteTime_ = std::chrono::duration_cast<PtyLine::Clock::duration>(
            std::chrono::nanoseconds(10ull * 1000000000ull / pacingBaud));
    }
}

uint16_t WireLine::read(uint8_t* data, uint16_t count) {
    const uint16_t got = pty_.read(data, count);
    if (byteTime_.count() == 0 || got == 0) return got;
    // A byte cannot have arrived sooner than one byte time after the one before it.
    const auto now = PtyLine::Clock::now();
    if (nextRx_ < now - byteTime_) nextRx_ = now - byteTime_;
    nextRx_ += byteTime_ * got;
    if (!pty_.sleepUntil(nextRx_)) return 0;
    return got;
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
    for (uint8_t b : bytes) {
        const auto now = PtyLine::Clock::now();
        if (nextTx_ < now) nextTx_ = now;
        nextTx_ += delay;
        if (!pty_.sleepUntil(nextTx_)) return;
        pty_.write(&b, 1);
        nextTx_ += byteTime_;
    }
}

}  // namespace k27emu
