// Frames of the calibrator's packet link: DLE STX, a type byte, the packet with every DLE sent
// twice, DLE ETX and a CRC-16/X-25 check value, low byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvttools {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;

// The most bytes a packet holds.
constexpr size_t kMaxPacket = 1024;

// The kinds of frame by their type code, the low four bits of the type byte. Data frames and
// acknowledgements carry a sequence number 0 to 3 in bits 5 and 6.
enum class FrameKind : uint8_t {
    Data = 0x00,
    Ack = 0x01,
    Connect = 0x03,
    LinkAck = 0x07,
    Disconnect = 0x0B,
};

constexpr bool isSequenced(FrameKind kind) {
    return kind == FrameKind::Data || kind == FrameKind::Ack;
}

// The CRC-16/X-25 register after one more byte (start at 0xFFFF). The check value a frame
// carries is the complement of the register over its type byte, its data as sent and the
// closing DLE ETX.
uint16_t crcStep(uint16_t reg, uint8_t byte);
uint16_t checkValue(const uint8_t* bytes, size_t n);

// A whole frame as it goes onto the wire; the sequence number counts for sequenced kinds only.
std::vector<uint8_t> encodeFrame(FrameKind kind, uint8_t sequence, const uint8_t* data = nullptr,
                                 size_t n = 0);

// What reading one frame gave: a frame of a kind, a frame that cannot be taken, or none.
enum class Outcome {
    Data,
    Ack,
    Connect,
    LinkAck,
    Disconnect,
    Overflow,     // the packet ran past kMaxPacket bytes; the rest of the frame stays unread
    BadCheck,     // the check value does not match
    BadSequence,  // a data frame or acknowledgement numbered other than expected
    UnknownType,  // a type code of no kind
    None,         // no frame: the line went quiet, or babbled without forming one
};

// Where a frame reader takes its bytes from.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // One byte within the line's time-out; false when none came.
    virtual bool readByte(uint8_t* byte) = 0;
};

// Reads bytes up to the end of the next frame. Its data goes to packet (cleared at every type
// byte), or is checked and dropped when there is none. A frame that starts again at a DLE STX
// inside its data keeps the check register running, so only the first frame of a call can pass
// its check. At most 2 x kMaxPacket + 8 bytes are read before the first DLE STX and as many
// from there on, so a line that never forms a frame ends the read like a silent one.
Outcome readFrame(ByteSource& source, uint8_t expectedSequence, std::vector<uint8_t>* packet);

}  // namespace kvttools
