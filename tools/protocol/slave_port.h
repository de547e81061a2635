// The calibrator's end of the packet link: it answers a master, one acknowledged packet at a
// time, and never brings the link up or down itself.
#pragma once

#include <cstdint>
#include <vector>

#include "protocol/frame.h"

namespace kvttools {

// The serial line under a port: bytes in one at a time, frames out whole.
class Line : public ByteSource {
  public:
    // Discards what waits to be read.
    virtual void purge() = 0;
    virtual void writeFrame(const std::vector<uint8_t>& frame) = 0;
};

enum class LinkState { Down, Up };

class SlavePort {
  public:
    static constexpr uint8_t kDefaultAttempts = 5;

    explicit SlavePort(Line& line, uint8_t attempts = kDefaultAttempts)
        : line_(line), attempts_(attempts) {}

    LinkState state() const { return state_; }

    // Takes the master's next packet, answering its connect and disconnect requests on the
    // way. True with the packet once it is acknowledged, or with an empty one when the master
    // took the link down; false when the attempts ran out.
    bool receive(std::vector<uint8_t>* packet);
    // Sends a packet of 1 to kMaxPacket bytes until the master acknowledges it; false when the
    // link is down, the master restarted or took down the link instead, or the attempts ran
    // out.
    bool send(const std::vector<uint8_t>& packet);

  private:
    // A frame out under the current sequence number; sequenced kinds move it on, the others
    // start it again at 0.
    void answer(FrameKind kind);
    // Tells a master that sends data into a link it believes up that it is down.
    void sayDown();

    Line& line_;
    uint8_t attempts_;
    LinkState state_ = LinkState::Down;
    uint8_t sequence_ = 0;
};

}  // namespace kvttools
