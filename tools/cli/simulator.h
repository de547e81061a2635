// The built-in calibrator emulator behind --port sim, serving a pty in this process.
#pragma once

#include <memory>
#include <string>

namespace kvtcli {

struct PortOptions;

class Simulator {
  public:
    // Starts serving with both memories empty; throws when the pty cannot be made.
    explicit Simulator(const PortOptions& options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    std::string portPath() const;
    // The instrument's user runs every test of the procedure memory; returns how many ran.
    int runProcedures();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kvtcli
