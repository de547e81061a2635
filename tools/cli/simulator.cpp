#include "simulator.h"

#include <algorithm>

#include "calibrator.h"
#include "commands.h"
#include "failure.h"

namespace kvtcli {
namespace {

k27emu::CalibratorOptions calibratorOptions(const PortOptions& options) {
    k27emu::CalibratorOptions c;
    c.identity.model = options.simModel;
    c.identity.firmwareVersion = options.simFirmware;
    c.pacingBaud = options.simWireSpeed ? 9600 : 0;
    // The emulator resends a frame that went unacknowledged after its own time-out, which
    // must stay well inside the library's attempts at its time-out.
    const uint32_t libraryPatience =
        options.link.timeoutMs * static_cast<uint32_t>(options.link.attempts);
    c.readTimeoutMs = std::clamp<uint32_t>(libraryPatience / 2, 20, 250);
    return c;
}

}  // namespace

struct Simulator::Impl {
    explicit Impl(const PortOptions& options) : calibrator(calibratorOptions(options)) {}
    k27emu::Calibrator calibrator;
};

Simulator::Simulator(const PortOptions& options) : impl_(std::make_unique<Impl>(options)) {
    if (!impl_->calibrator.start())
        throw CliError(kExitCalibrator, "the emulator could not make a pty");
}

Simulator::~Simulator() = default;

std::string Simulator::portPath() const {
    return impl_->calibrator.portPath();
}

int Simulator::runProcedures() {
    return impl_->calibrator.runProcedures().templatesRun;
}

}  // namespace kvtcli
