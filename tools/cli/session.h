// A session with a calibrator on a serial port, or with the built-in emulator on a pty.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "progress.h"

namespace kvtcli {

class Simulator;
struct ImageDocument;

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
    // Opens the port and identifies the calibrator; throws a one-line error when it cannot.
    // For "sim" the emulator starts first, holding memories when they are given.
    explicit Session(const PortOptions& options, const ImageDocument* memories = nullptr);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // "sim (/dev/pts/4)" or the device path.
    std::string portName() const;
    Simulator* simulator() { return simulator_.get(); }

    Identity identify();

    // Sends the library's procedure memory; returns the number of items sent.
    uint32_t download(Progress& progress);
    // Fetches both memories into the library's image; returns the number of items.
    uint32_t upload(Progress& progress);

  private:
    std::unique_ptr<Simulator> simulator_;
    std::string path_;
};

}  // namespace kvtcli
