// A session with a calibrator on a serial port, or with the built-in emulator on a pty.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "progress.h"

namespace kvttools {
struct MemoryFile;
}

namespace kvtcli {

class Simulator;

struct PortOptions {
    std::string port = "sim";  // a device path, or "sim" for the built-in emulator
    uint32_t timeoutMs = 500;  // serial read time-out
    int32_t attempts = 5;      // tries of every packet exchange
    // The emulator's identity and line speed, with --port sim.
    std::string simModel = "ORVAN K27";
    std::string simFirmware = "V1.2.0";
    bool simWireSpeed = false;  // pace the emulator's replies at 9600 baud
};

struct Identity {
    std::string model, firmware, ident3;
    uint32_t edValue = 0, procedureItems = 0, resultItems = 0;
};

class Session {
  public:
    // Opens the port (the library identifies the calibrator as it does); throws a one-line
    // error saying why when it cannot. For "sim" the emulator starts first, holding memories
    // when they are given.
    explicit Session(const PortOptions& options, const kvttools::MemoryFile* memories = nullptr);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // "sim (/dev/pts/4)" or the device path.
    std::string portName() const;
    Simulator* simulator() { return simulator_.get(); }

    // Model, firmware and item counts, asked once a session.
    const Identity& identity();

    // Sends the library's procedure memory, whose items hold itemBytes; returns the number of
    // items sent.
    uint32_t download(Progress& progress, const std::vector<uint32_t>& itemBytes);
    // Fetches both memories into the library's image; returns the number of items. unwritten
    // names what an interrupt leaves unwritten ("field.json was not written").
    uint32_t upload(Progress& progress, const std::string& unwritten = "");

  private:
    // A failed exchange, with the reason when the port itself is gone.
    [[noreturn]] void fail(uint32_t resultCode, const std::string& what,
                           const std::string& consequence = "") const;

    std::unique_ptr<Simulator> simulator_;
    std::string path_;
    std::optional<Identity> identity_;
};

}  // namespace kvtcli
