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
    // A device path, "COMn", or "sim" for the built-in emulator; "" when --port is not given.
    std::string port;
    uint32_t timeoutMs = 500;  // serial read time-out
    int32_t attempts = 5;      // tries of every packet exchange
    // The emulator's identity and line speed, with --port sim.
    std::string simModel = "ORVAN K27";
    std::string simFirmware = "V1.2.0";
    bool simWireSpeed = false;  // pace the emulator's replies at 9600 baud
    bool simResident = true;    // "sim" names the emulator of kvtlnk sim start when one runs
};

// What KVTgetK2x reports: the calibrator's model, firmware and serial number, the capacity of
// each of its memories in bytes, and the items they hold.
struct Identity {
    std::string model, firmware, serialNumber;
    uint32_t memoryCapacity = 0, procedureItems = 0, resultItems = 0;
};

class Session {
  public:
    // Opens options.port, which must be chosen (choosePort); the library identifies the
    // calibrator as it does. Throws a one-line error saying why when it cannot. For "sim" the
    // emulator starts first, holding memories when they are given.
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
    // items sent. again says how to download again when the transfer stops half-way
    // ("download again: kvtlnk --port /dev/ttyUSB0 download plant.json").
    uint32_t download(Progress& progress, const std::vector<uint32_t>& itemBytes,
                      const std::string& again = "download again");
    // Fetches both memories into the library's image; returns the number of items. unwritten
    // names what an interrupt leaves unwritten ("field.json was not written").
    uint32_t upload(Progress& progress, const std::string& unwritten = "");

  private:
    // A failed exchange, with the reason when the port itself is gone.
    [[noreturn]] void fail(uint32_t resultCode, const std::string& what,
                           const std::string& consequence = "") const;

    std::unique_ptr<Simulator> simulator_;
    std::string resident_;  // the pty of the emulator of kvtlnk sim start, when it serves
    std::string path_;
    std::optional<Identity> identity_;
};

}  // namespace kvtcli
