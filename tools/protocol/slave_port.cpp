#include "protocol/slave_port.h"

namespace kvttools {

void SlavePort::answer(FrameKind kind) {
    line_.writeFrame(encodeFrame(kind, sequence_));
    sequence_ = isSequenced(kind) ? static_cast<uint8_t>((sequence_ + 1) & 3) : 0;
}

void SlavePort::sayDown() {
    line_.purge();
    line_.writeFrame(encodeFrame(FrameKind::Disconnect, 0));
    state_ = LinkState::Down;
}

bool SlavePort::receive(std::vector<uint8_t>* packet) {
    bool anyFrame = false;
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        const Outcome got = readFrame(line_, sequence_, packet);
        anyFrame = anyFrame || got != Outcome::None;
        switch (got) {
            case Outcome::Connect:
                answer(FrameKind::LinkAck);
                state_ = LinkState::Up;
                break;  // the packet is still to come
            case Outcome::Disconnect:
                answer(FrameKind::LinkAck);
                state_ = LinkState::Down;
                packet->clear();
                return true;
            case Outcome::Data:
                if (state_ == LinkState::Down) {
                    sayDown();
                    break;
                }
                answer(FrameKind::Ack);
                return true;
            case Outcome::BadSequence:
                sayDown();
                break;
            default:
                break;  // a damaged frame, or none: the master sends it again
        }
    }
    if (!anyFrame) state_ = LinkState::Down;
    return false;
}

bool SlavePort::send(const std::vector<uint8_t>& packet) {
    if (state_ == LinkState::Down) return false;
    bool anyFrame = false;
    for (unsigned attempt = 0; attempt < attempts_; ++attempt) {
        if (state_ == LinkState::Down) {
            sayDown();
        } else {
            line_.writeFrame(encodeFrame(FrameKind::Data, sequence_, packet.data(), packet.size()));
        }
        const Outcome got = readFrame(line_, sequence_, nullptr);
        anyFrame = anyFrame || got != Outcome::None;
        switch (got) {
            case Outcome::Ack:
                sequence_ = static_cast<uint8_t>((sequence_ + 1) & 3);
                state_ = LinkState::Up;
                return true;
            case Outcome::Connect:
                answer(FrameKind::LinkAck);
                state_ = LinkState::Up;
                return false;
            case Outcome::Disconnect:
                line_.purge();
                answer(FrameKind::LinkAck);
                state_ = LinkState::Down;
                return false;
            case Outcome::Data:
            case Outcome::BadSequence:
                state_ = LinkState::Down;  // the master has lost step: say so on the next try
                break;
            default:
                break;
        }
    }
    if (!anyFrame) state_ = LinkState::Down;
    return false;
}

}  // namespace kvttools
