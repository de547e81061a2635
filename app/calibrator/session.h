// A session with a calibrator on a serial port: opening it, identifying the calibrator, and
// the two transfers, each item between exchanges that a front end watches and may stop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/calibration.h"

namespace kvtapp {

// What a front end hears of a transfer: the bytes of each item in transfer order, then how
// many are through.
class TransferProgress {
  public:
    virtual ~TransferProgress() = default;
    virtual void begin(std::vector<uint32_t> itemBytes) = 0;
    virtual void advance(uint32_t itemsDone) = 0;
    virtual void end() = 0;
};

// A front end's watch over a session: the device it holds, what stopping now would leave on
// the calibrator, and a point between exchanges where it may stop the work (by throwing).
class SessionWatch {
  public:
    virtual ~SessionWatch() = default;
    // The device the session holds; "" once it is closed.
    virtual void holding(const std::string& device) { (void)device; }
    // "stopped after 9 of 122 items: the procedure memory is partial; download again"; "" for
    // nothing changed.
    virtual void stopWouldLeave(const std::string& state) { (void)state; }
    virtual void checkpoint() {}
};

// KVTopen's read time-out and the tries of every packet exchange.
struct LinkOptions {
    uint32_t timeoutMs = 500;
    int32_t attempts = 5;
};

class Session {
  public:
    // Opens the port at path (a device path or "COMn"); the library identifies the calibrator
    // as it does. emulated names a built-in emulator's pty. Throws a one-line Error saying why
    // when it cannot.
    Session(const std::string& path, const LinkOptions& options, SessionWatch& watch,
            bool emulated = false);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // "sim (/dev/pts/4)" for the emulator, or the device path.
    std::string portName() const;

    // Model, firmware, serial number and item counts, asked once a session.
    const Calibrator& identity();

    // Sends the library's procedure memory, whose items hold itemBytes; returns the number of
    // items sent. again says how to download again when the transfer stops half-way
    // ("download again: kvtlnk --port /dev/ttyUSB0 download plant.json").
    uint32_t download(TransferProgress& progress, const std::vector<uint32_t>& itemBytes,
                      const std::string& again = "download again");
    // Fetches both memories into the library's image; returns the number of items. unwritten
    // names what an interrupt leaves unwritten ("field.json was not written").
    uint32_t upload(TransferProgress& progress, const std::string& unwritten = "");

    // Empties the calibrator's procedure memory.
    void clearProcedure();

  private:
    // A failed exchange, with the reason when the port itself is gone.
    [[noreturn]] void fail(uint32_t resultCode, const std::string& what,
                           const std::string& consequence = "") const;

    std::string path_;
    SessionWatch& watch_;
    bool emulated_;
    std::optional<Calibrator> identity_;
};

// A transfer no one watches.
class NoProgress : public TransferProgress {
  public:
    void begin(std::vector<uint32_t>) override {}
    void advance(uint32_t) override {}
    void end() override {}
};

}  // namespace kvtapp
