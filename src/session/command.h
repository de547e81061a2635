#pragma once

#include <cstddef>
#include <cstdint>

#include "propkt/packet_buffer.h"
#include "propkt/ptalklib.h"
#include "session/session_state.h"

namespace kvtlnk {

// Every command the calibrator answers with a status packet "0", zero or more data packets and
// a final packet holding the single byte 0x04. These are the exchanges over the master packet
// port, and the shaping of what goes out and comes back.

constexpr uint8_t kEndOfReply = 0x04;
constexpr uint16_t kShortLine = 128;  // reply lines of "id", "ed", "ms", "md"
constexpr uint16_t kLongLine = 256;   // status packets of sendCommand, "ma" and "mu" replies

// Brings the packet link up when this session has not done so yet, or when the packet port
// has fallen back to its down state: 0, or 2019 when the calibrator does not answer (at once
// when the device behind the port is gone).
uint32_t ensureLink(SessionState& session, PacketPort& port);

// Sends one command whose reply has no data packets; a failed try is repeated once while the
// link stays up. 0, 2018, 2019, 2020, 2021 or 2022.
uint32_t sendCommand(SessionState& session, PacketPort& port, const uint8_t* bytes,
                     uint16_t length);
uint32_t sendCommand(SessionState& session, PacketPort& port, const char* text);

// The "sf link" command that shows text on the calibrator's display: at most 247 characters,
// cut at the first CR and then the first LF, with "|" for ","; "sf link" alone when the text
// is empty. Writes it (without a terminating zero) to out and returns its length.
constexpr size_t kStatusCommandMax = 255;
uint16_t statusCommand(const char* text, char (&out)[kStatusCommandMax]);
uint32_t sendStatusText(SessionState& session, PacketPort& port, const char* text);

// The progress text of a transfer before its step: firstText (a format taking the total) at
// step 0, "step of total" at every fifth step, nothing at the others.
uint32_t sendProgress(SessionState& session, PacketPort& port, const char* firstText, int32_t step,
                      int64_t total);

// Link restart after "ds": disconnect, forget the link, wait one second, bring it up again (the
// result of ensureLink).
uint32_t restartLink(SessionState& session, PacketPort& port);

// Takes the next field of a reply line from the reader: leading spaces and tabs skipped, up to
// the next "," or the end of the line, "|" read as ",". The copy is cut to outSize - 1
// characters (the rest of the field is still consumed) and always terminated. False, with an
// empty out, when the line has no further field.
bool nextField(PacketBuffer& reader, char* out, size_t outSize);

// A decimal number of a reply field as atol reads it: leading white space, an optional sign,
// the digits up to the first non-digit; 0 without digits. Clamped to the 32-bit range.
int32_t readDecimal(const char* field);

// One reply line, or one raw data packet, with its field reader.
class ReplyLine {
  public:
    // Takes the line's bytes from a packet already received (cut to kLongLine).
    void assign(const uint8_t* bytes, uint32_t n);

    bool field(char* out, size_t outSize) { return nextField(reader_, out, outSize); }
    // Skips n fields; false when the line has fewer.
    bool skip(int n);
    // The next field read as a decimal number; false when the line has no further field.
    bool number(int32_t* value);
    // The whole line read as one decimal number.
    int32_t asNumber() const;
    // The packet as it came: the final packet of a reply is the single byte 0x04.
    const uint8_t* bytes() const { return bytes_; }
    uint16_t size() const { return reader_.size(); }
    bool isEndOfReply() const { return size() == 1 && bytes_[0] == kEndOfReply; }

  private:
    friend class Reply;
    uint8_t bytes_[kLongLine] = {};
    PacketBuffer reader_{bytes_, kLongLine};
};

// One command and its reply, taken part by part: the command and its status packet, each data
// packet, the final packet. Every packet of the reply is taken into at most `room` bytes (up to
// kLongLine); a reply cut off by a failure of the line is not drained.
class Reply {
  public:
    Reply(PacketPort& port, uint16_t room)
        : port_(port), room_(room < kLongLine ? room : kLongLine) {}

    // Sends the command, then takes the status packet: 0; 2020 when the command was not
    // acknowledged; 2021 when no status came; 2018 for any status but "0".
    uint32_t begin(const uint8_t* bytes, uint16_t length);
    uint32_t begin(const char* command);
    // The next data packet into line: 0, or 2021 when none came.
    uint32_t next(ReplyLine& line);
    // The final packet: 0; 2021 when none came; 2022 for anything but the single byte 0x04
    // (room for a whole line, so that a line where the 0x04 belongs is told apart from silence).
    uint32_t end();
    // After a data packet whose content was refused: takes the rest of the reply, at most
    // `lines` more data packets and the final one, so that none of them is taken for the reply
    // to the next command. A failure ends it early.
    void skipRest(int lines);

  private:
    uint32_t take(ReplyLine& line, uint16_t room);

    PacketPort& port_;
    uint16_t room_;
};

// How an exchange takes its reply: every packet of it into at most `room` bytes (up to
// kLongLine), and whether a failed try is made once more while the link stays up.
struct Limits {
    uint16_t room;
    bool retry = false;
};

// A whole exchange: the command, exactly `count` data lines into lines, the final packet. 0, or
// the code of the first part that failed (that of the second try, when there is one).
uint32_t exchange(PacketPort& port, const uint8_t* command, uint16_t length, const Limits& limits,
                  ReplyLine* lines = nullptr, int count = 0);
uint32_t exchange(PacketPort& port, const char* command, const Limits& limits,
                  ReplyLine* lines = nullptr, int count = 0);

}  // namespace kvtlnk
