#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "instrument.h"

namespace k27emu {

// What happens to one frame on its way out.
enum class FrameFault { None, Corrupt, Drop, WrongSequence };

// Which frames a frame fault counts: data frames only, or every frame (acknowledgements and
// link control frames too).
enum class FrameFilter { Data, All };

// Scripted misbehaviour of the emulated calibrator, for tests that must reach every error
// path of the library. Counting starts when a fault is set: frame n = 1 is the next frame
// the filter counts. Command faults match the command's logged text by prefix ("ms", "mu r",
// "mbp", "sf link") and fire `times` times (0: until cleared). All calls are thread-safe.
class FaultScript {
  public:
    // Frame faults: the n-th counted frame from now, then every `every` frames after it
    // (0: only once).
    void corruptFrame(uint32_t n, uint32_t every = 0, FrameFilter which = FrameFilter::Data);
    void dropFrame(uint32_t n, uint32_t every = 0, FrameFilter which = FrameFilter::Data);
    // The frame goes out with the next sequence number in its type byte (and a check value
    // that matches it); only data frames and acknowledgements carry one.
    void wrongSequence(uint32_t n, uint32_t every = 0, FrameFilter which = FrameFilter::Data);
    // From now on the emulator neither answers nor performs commands, as when switched off
    // (until goSilent(false) or clear()).
    void goSilent(bool silent = true);
    // Extra time before each byte sent.
    void delayEachByte(std::chrono::microseconds delay);

    // Command faults. refuse: the status packet carries `status` and nothing follows; the
    // command is not performed.
    void refuse(const std::string& command, const std::string& status = kStatusBadCommand,
                uint32_t times = 0);
    // One more data line before the final 0x04.
    void extraLine(const std::string& command, const std::string& line, uint32_t times = 0);
    // A data line where the final 0x04 belongs.
    void lineInsteadOfEnd(const std::string& command, const std::string& line = "?",
                          uint32_t times = 0);
    // These data lines in place of the reply's own.
    void replaceLines(const std::string& command, const std::vector<std::string>& lines,
                      uint32_t times = 0);
    // "mu" announces, and sends, this many zero bytes more than the item holds.
    void inflateUpload(uint32_t extraBytes, uint32_t times = 0);

    // Removes every fault; the counters stay.
    void clear();

    // Counters since the emulator was made.
    uint32_t framesSent() const;
    uint32_t framesFaulted() const;

    // Used by the emulator.
    FrameFault nextFrame(bool isData);
    bool silent() const;
    std::chrono::microseconds byteDelay() const;
    // The status of a scripted refusal of this command, or false.
    bool refusal(const std::string& command, std::string* status);
    void shapeReply(const std::string& command, Reply* reply);

  private:
    struct FrameRule {
        FrameFault fault;
        FrameFilter filter;
        uint32_t nth;
        uint32_t every;
        uint32_t seen = 0;
        bool done = false;
    };
    enum class ReplyFault { Refuse, ExtraLine, LineInsteadOfEnd, ReplaceLines, InflateUpload };
    struct ReplyRule {
        ReplyFault fault;
        std::string command;
        std::vector<std::string> texts;
        uint32_t times;
        uint32_t used = 0;
    };

    void addFrameRule(FrameFault f, uint32_t n, uint32_t every, FrameFilter which);
    void addReplyRule(ReplyFault f, const std::string& command, std::vector<std::string> texts,
                      uint32_t times);
    // The next live rule of this kind that matches the command, its use counted.
    ReplyRule* take(ReplyFault f, const std::string& command);
    static void applyReplyRule(const ReplyRule& rule, Reply* reply);

    mutable std::mutex mutex_;
    std::vector<FrameRule> frameRules_;
    std::vector<ReplyRule> replyRules_;
    bool silent_ = false;
    std::chrono::microseconds byteDelay_{0};
    uint32_t framesSent_ = 0;
    uint32_t framesFaulted_ = 0;
};

}  // namespace k27emu
