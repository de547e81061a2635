// A line for the emulator's port with the master's bytes queued in advance: a read past them is
// a time-out, and every frame the port writes is kept.
#pragma once

#include <deque>
#include <vector>

#include "protocol/slave_port.h"

namespace kvttools {

using Bytes = std::vector<uint8_t>;

class ScriptedLine : public Line {
  public:
    explicit ScriptedLine(std::vector<Bytes> frames = {}) {
        for (const Bytes& f : frames)
            queued_.insert(queued_.end(), f.begin(), f.end());
    }
    bool readByte(uint8_t* byte) override {
        if (queued_.empty()) return false;
        *byte = queued_.front();
        queued_.pop_front();
        return true;
    }
    void purge() override {
        queued_.clear();
        ++purges;
    }
    void writeFrame(const Bytes& frame) override { written.push_back(frame); }

    std::vector<Bytes> written;
    int purges = 0;

  private:
    std::deque<uint8_t> queued_;
};

}  // namespace kvttools
