#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emu_memory.h"

namespace k27emu {

using Packet = std::vector<uint8_t>;

// Everything the instrument sends back for one command: the status packet, the data packets
// and, for an accepted command, the final packet holding 0x04. A refused command gets its
// status packet only.
struct Reply {
    std::vector<Packet> packets;
    bool accepted = false;
    // Set by the "mc r" that ends a download (one that began with "ds").
    bool endsDownload = false;

    // The data packets between the status packet and the final 0x04.
    std::vector<std::string> lines() const;
};

// Status texts of a refusal.
constexpr const char* kStatusOk = "0";
constexpr const char* kStatusBadCommand = "1";  // unknown or malformed command
constexpr const char* kStatusNoRoom = "2";      // the item does not fit in the memory
constexpr const char* kStatusNoItem = "3";      // no such item, or a block outside its item

// One command as the instrument received it: the readable form ("mbp" blocks as
// "mbp <length>,<index>,<offset>", other bytes as they came with non-printing ones as \xNN),
// the raw packet, and whether it was accepted.
struct LoggedCommand {
    std::string text;
    Packet bytes;
    bool accepted = false;
};

std::string describeCommand(const uint8_t* bytes, size_t n);

struct Identity {
    std::string model = "ORVAN K27";
    std::string firmwareVersion = "V1.2.0";
    std::string serialNumber = "SN270001";  // the third field of "id"
};

// The instrument's side of the command set over its two memories. Not thread-safe: the
// emulator calls it from its serving thread under its own lock.
class Instrument {
  public:
    explicit Instrument(Identity identity = {});

    Reply answer(const uint8_t* bytes, size_t n);
    // A refusal with the given status, logged like any other command.
    Reply refuse(const uint8_t* bytes, size_t n, const std::string& status);

    CalibratorMemory& memory(Memory m) { return m == Memory::Procedure ? procedure_ : results_; }
    const CalibratorMemory& memory(Memory m) const {
        return m == Memory::Procedure ? procedure_ : results_;
    }
    const Identity& identity() const { return identity_; }

    // The newest commands: at least kLogKeep of them once that many have come, so that an
    // emulator left serving for days stays small.
    static constexpr size_t kLogKeep = 4096;
    const std::vector<LoggedCommand>& commandLog() const { return log_; }
    // The "sf link" texts in the order received, commas restored from "|"; the empty text of
    // a bare "sf link" included.
    const std::vector<std::string>& statusTexts() const { return statusTexts_; }
    void clearLogs();

    // Between the "ds" that starts a download and the "mc r" that ends it.
    bool downloading() const { return downloading_; }

    // The clock that stamps new items; local time unless replaced.
    void setClock(std::function<DateStamp()> clock) { clock_ = std::move(clock); }

  private:
    Reply dispatch(const std::string& text, const uint8_t* bytes, size_t n);
    Reply identify() const;
    Reply extendedData() const;
    Reply memoryStatistics() const;
    Reply startDownload();
    Reply clearMemory(Memory m);
    Reply addItem(const std::string& args);
    Reply writeBlock(const uint8_t* bytes, size_t n);
    Reply directory(Memory m) const;
    Reply uploadItem(const std::string& args) const;
    Reply statusText(const std::string& text);
    void log(const uint8_t* bytes, size_t n, bool accepted);

    Identity identity_;
    CalibratorMemory procedure_{Memory::Procedure};
    CalibratorMemory results_{Memory::Results};
    std::vector<LoggedCommand> log_;
    std::vector<std::string> statusTexts_;
    std::function<DateStamp()> clock_;
    bool downloading_ = false;
};

// Reply building blocks, shared with the fault script.
Packet toPacket(const std::string& text);
Reply acceptedReply(std::vector<Packet> data = {});
Reply refusedReply(const std::string& status);
// A reply field: "," inside it travels as "|".
std::string replyField(const std::string& text);

}  // namespace k27emu
