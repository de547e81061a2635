// The emulator's end of the packet link (tools/protocol) over bytes as a master might send
// them. Byte 0: the attempts (low 3 bits); byte 1: eight exchanges, bit i set for a send of a
// reply, clear for a receive. The rest is the line, read byte by byte.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/slave_port.h"

namespace {

class FuzzLine : public kvttools::Line {
  public:
    FuzzLine(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool readByte(uint8_t* byte) override {
        if (pos_ >= size_) return false;
        *byte = data_[pos_++];
        return true;
    }
    void purge() override {}
    void writeFrame(const std::vector<uint8_t>& frame) override { written_ += frame.size(); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    size_t written_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    FuzzLine line(data + 2, size - 2);
    kvttools::SlavePort port(line, data[0] & 0x07);
    const std::vector<uint8_t> reply = {'0', 0x10, 0x04};
    std::vector<uint8_t> packet;
    for (int i = 0; i < 8; ++i) {
        if ((data[1] >> i) & 1) {
            port.send(reply);
        } else {
            port.receive(&packet);
        }
    }
    return 0;
}
