// The built-in calibrator emulator behind --port sim, serving a pty in this process.
#pragma once

#include <memory>
#include <string>

namespace kvtcli {

struct PortOptions;

class Simulator {
  public:
    explicit Simulator(const PortOptions& options);  // throws when the pty cannot be made
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    std::string portPath() const;
    // The instrument's user runs every task of the procedure memory.
    void runProcedures();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kvtcli
