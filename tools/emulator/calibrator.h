#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "faults.h"
#include "instrument.h"
#include "procedure_run.h"

namespace k27emu {

struct CalibratorOptions {
    Identity identity;               // the "id" reply
    uint32_t seed = 1;               // drives the readings of runProcedures
    uint32_t pacingBaud = 0;         // 0: bytes go as fast as the pty takes them
    uint32_t paceBurstMs = 0;        // with pacingBaud: bytes sent are delivered every this many ms
    uint32_t readTimeoutMs = 250;    // per-byte time-out of the emulator's end of the line
    uint8_t attempts = 5;            // tries per packet exchange of the emulator's port
    bool runAfterDownload = false;   // perform the procedures when a download ends
    std::optional<DateStamp> clock;  // stamp of every new item; the running clock when empty
    int64_t clockOffsetSeconds = 0;  // the running clock: the host's moved by this much
    // When the instruments tested came into service (a moment of the emulator's clock): they
    // drift from then on. None: no drift.
    std::optional<int64_t> inServiceSince;
};

// A K27 calibrator in software. It owns a pseudo-terminal and answers the library's commands
// on its master side from a background thread, in the slave role of the packet protocol; a
// program opens portPath() as its serial port. The emulator keeps the terminal's slave side
// open itself, so that a program may close and reopen the port as often as it likes.
// The memories, logs and faults may be used from any thread while it serves; start() and
// stop() belong to the thread that owns the emulator.
class Calibrator {
  public:
    explicit Calibrator(CalibratorOptions options = {});
    ~Calibrator();
    Calibrator(const Calibrator&) = delete;
    Calibrator& operator=(const Calibrator&) = delete;

    // Creates the pseudo-terminal (first time only) and starts serving; false when no
    // pseudo-terminal could be made. Calling it while running does nothing.
    bool start();
    // Ends serving within a few milliseconds and joins the thread. The port stays open, so a
    // program still attached sees a silent calibrator; start() serves it again.
    void stop();
    bool running() const { return thread_.joinable(); }
    // The path of the pseudo-terminal's slave side, e.g. "/dev/pts/3"; empty before start().
    const std::string& portPath() const { return portPath_; }

    // The memories (copies), and replacing them; replace refuses items that do not fit.
    std::vector<MemoryRecord> memory(Memory m) const;
    bool replaceMemory(Memory m, std::vector<MemoryRecord> records);

    std::vector<LoggedCommand> commandLog() const;
    // The logged texts only, e.g. {"sf link,Identifying K27", "id", "ed", "ms"}.
    std::vector<std::string> commands() const;
    // The "sf link" texts, commas restored.
    std::vector<std::string> statusTexts() const;
    void clearLogs();
    // Called from the serving thread after each command has been answered.
    void setCommandObserver(std::function<void(const LoggedCommand&)> observer);

    FaultScript& faults() { return faults_; }

    // Performs every template of the procedure memory and appends the results.
    RunSummary runProcedures();

    // Counts the changes of the memories: every command that changed one, every run, every
    // replace.
    uint64_t revision() const;
    // A download has begun and not yet ended.
    bool downloading() const;
    // The emulator's clock now, in seconds since 1970 UTC.
    int64_t clockSeconds() const;

  private:
    void serve();
    Reply answer(const uint8_t* bytes, size_t n);
    DateStamp now() const;
    RunSummary run();  // under the lock

    CalibratorOptions options_;
    mutable std::mutex mutex_;  // guards instrument_ and observer_
    Instrument instrument_;
    std::function<void(const LoggedCommand&)> observer_;
    uint64_t revision_ = 0;
    FaultScript faults_;

    int masterFd_ = -1;
    int slaveFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::string portPath_;
    std::thread thread_;
};

}  // namespace k27emu
