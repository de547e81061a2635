#pragma once

// What the fuzz targets share: inputs cut into pieces, a line that plays scripted bytes to a
// packet port, a calibrator scripted reply by reply behind the system calls of the serial port,
// and a memory image made of pieces.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include <memory>

#include "api/library.h"
#include "memory/memory_image.h"
#include "propkt/serial_line.h"

namespace kvtlnk::fuzz {

using Bytes = std::vector<uint8_t>;

// The input cut at its first byte, which is the separator: "|a|bc" gives "a" and "bc".
std::vector<Bytes> splitPieces(const uint8_t* data, size_t size);

// A frame as the calibrator sends it: 0x10 0x02, the type byte, the packet with every 0x10
// doubled, 0x10 0x03 and the check value.
Bytes frameOf(uint8_t type, const Bytes& packet);

// A piece that begins with this byte goes to the wire as it is, after it; any other piece is
// framed: its first byte is the frame's type byte, the rest the packet.
constexpr uint8_t kRawPiece = 0xFF;

// A line that hands the port under test the bytes of the pieces, one after the other; an empty
// piece is one read that brings nothing (a time-out). Writes are taken and dropped, and a purge
// drops nothing, so that every piece is read.
class ScriptedLine : public SerialLine {
  public:
    ScriptedLine(const std::vector<Bytes>& pieces, size_t first);
    uint16_t write(const uint8_t*, uint16_t count) override { return count; }
    uint16_t read(uint8_t* data, uint16_t count) override;

  private:
    std::deque<int> bytes_;  // -1: a time-out
};

// The calibrator's end of the link for a session under test. It answers link requests and
// acknowledges every command itself; the packets of each reply come from the source, and go
// out one at a time, each when the one before it was acknowledged. A raw packet (kRawPiece
// first) goes straight to the wire. Nothing is sent again: a reply packet the session does not
// acknowledge ends the reply.
class ScriptedCalibrator {
  public:
    // The packets that answer a command.
    using Source = std::function<std::vector<Bytes>(const Bytes& command)>;
    explicit ScriptedCalibrator(Source source) : source_(std::move(source)) {}

    void fromSession(const uint8_t* data, size_t n);
    size_t toSession(uint8_t* data, size_t n);
    bool pending() const { return !out_.empty(); }
    void purge() { out_.clear(); }

    // The pieces as a source: a reply is a status piece, and when it is "0" the pieces that
    // follow, up to one that is the single byte 0x04.
    static Source fromPieces(std::vector<Bytes> pieces);

  private:
    void frame(uint8_t type, const Bytes& packet);
    void sendNext();

    Source source_;
    std::deque<uint8_t> out_;
    Bytes in_;  // a frame of the session's, until it is whole
    std::deque<Bytes> reply_;
    uint8_t sequence_ = 0;
    bool awaitingAck_ = false;
};

// A library of its own whose serial port has the calibrator behind its system calls (any device
// name opens it) and whose link restarts take no time.
class CalibratorOnPort {
  public:
    explicit CalibratorOnPort(ScriptedCalibrator& calibrator);
    ~CalibratorOnPort();
    Library& library() { return *library_; }

  private:
    std::unique_ptr<Library> library_;
};

// A whole session over the library's port: open (with its identification), identification,
// memory statistics, an upload, a download of what came, clearing, closing.
void runSession(Library& lib);

// Fills both memories from the pieces: the first byte of a piece is the record's kind (low 4
// bits), its memory (bit 7 for the results memory) and whether a date stamp follows (bit 6);
// the second its version word; the rest its data. At most maxRecords records.
void fillImage(MemoryImage& image, const std::vector<Bytes>& pieces, size_t maxRecords);

}  // namespace kvtlnk::fuzz
