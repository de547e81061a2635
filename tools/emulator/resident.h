// An emulator that lasts: it serves until a stop signal, keeps both memories and its clock in a
// state file written after each change that matters, and may tell the command-line tool where
// it serves (the registry). kvtsim and kvtlnk sim start both run one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "calibrator.h"
#include "state_file.h"

namespace k27emu {

struct ResidentOptions {
    CalibratorOptions calibrator;  // identity, pacing, time-outs, run after download
    std::string statePath;         // empty: nothing is kept
    std::optional<int64_t> clock;  // the emulator's time now (--clock), seconds since 1970
    // The clock moved by this much (--clock-offset): from the state's clock, which ran on with
    // the host's while the emulator was stopped, or from the host's without a state.
    std::optional<int64_t> clockOffset;
    std::optional<uint32_t> seed;  // else the state's, or 1 for a new state
    bool registerPort = false;     // tell the tool which pty this emulator serves
};

// Exit status of a resident emulator: 1 when the pty, the link or a file cannot be made or
// written, 2 for a state file that is not usable or a clock out of range.
constexpr int kExitServe = 1;
constexpr int kExitUnusable = 2;

class Resident {
  public:
    explicit Resident(ResidentOptions options);
    ~Resident();
    Resident(const Resident&) = delete;
    Resident& operator=(const Resident&) = delete;

    // Reads the state file (a missing one is made now, so that a place that cannot be written
    // shows before anything is served; a damaged one is refused whole) and sets the clock.
    // False with the reason and the exit status.
    bool prepare(std::string* error, int* exitStatus);
    // After prepare: the emulator, to arm faults or watch commands before it serves.
    Calibrator& calibrator() { return *calibrator_; }
    // The state file, absolute; empty without one.
    const std::string& statePath() const { return options_.statePath; }
    // The emulator's clock as it runs, less the host's.
    int64_t clockOffset() const { return state_.clockOffsetSeconds; }

    // Starts serving and registers the port when asked; false with the reason.
    bool start(std::string* error);
    // Serves until SIGINT, SIGTERM or SIGHUP (blocked by the caller in every thread), saving
    // the state after every change of the memories, though not in the middle of a download
    // unless the line has been quiet for a second. Then stops serving, saves the state and
    // unregisters. False with the reason when the last save failed.
    bool serveUntilSignal(std::string* error);

  private:
    bool save(std::string* error);

    ResidentOptions options_;
    EmulatorState state_;
    std::unique_ptr<Calibrator> calibrator_;
    bool registered_ = false;
};

// Runs body in a child process of its own session, detached from the terminal. body calls
// ready(text) once it serves; its standard streams then go to /dev/null, and this returns 0
// with *text. A child that ends before it is ready has said why on standard error: this
// returns its exit status.
int runDetached(
    const std::function<int(const std::function<void(const std::string&)>& ready)>& body,
    std::string* text);

}  // namespace k27emu
