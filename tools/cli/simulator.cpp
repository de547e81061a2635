#include "simulator.h"

#include <algorithm>

#include "calibrator.h"
#include "failure.h"
#include "image.h"
#include "session.h"

namespace kvtcli {
namespace {

// Day of the week, 0 = Sunday, of a Gregorian date.
uint8_t weekday(uint32_t year, uint32_t month, uint32_t day) {
    static const uint32_t offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return static_cast<uint8_t>(
        (year + year / 4 - year / 100 + year / 400 + offsets[(month - 1) % 12] + day) % 7);
}

std::vector<k27emu::EmuRecord> emulatorRecords(const std::vector<ImageRecord>& records) {
    std::vector<k27emu::EmuRecord> items;
    for (const ImageRecord& r : records) {
        k27emu::EmuRecord item;
        item.kind = r.kind;
        item.version = r.version;
        const Stamp& s = r.stamp;
        item.stamp.second = static_cast<uint8_t>(s.second);
        item.stamp.minute = static_cast<uint8_t>(s.minute);
        item.stamp.hour = static_cast<uint8_t>(s.hour);
        item.stamp.weekday = weekday(s.year, s.month, s.day);
        item.stamp.day = static_cast<uint8_t>(s.day);
        item.stamp.month = static_cast<uint8_t>(s.month);
        item.stamp.year = static_cast<uint8_t>(s.year - kvtlnk::DateStamp::kBaseYear);
        item.data = r.data;
        items.push_back(std::move(item));
    }
    return items;
}

k27emu::CalibratorOptions calibratorOptions(const PortOptions& options) {
    k27emu::CalibratorOptions c;
    c.identity.model = options.simModel;
    c.identity.firmwareVersion = options.simFirmware;
    c.pacingBaud = options.simWireSpeed ? 9600 : 0;
    // The emulator resends a frame that went unacknowledged after its own time-out, which
    // must stay well inside the library's attempts at its time-out.
    const uint32_t libraryPatience = options.timeoutMs * static_cast<uint32_t>(options.attempts);
    c.readTimeoutMs = std::clamp<uint32_t>(libraryPatience / 2, 20, 250);
    return c;
}

}  // namespace

struct Simulator::Impl {
    explicit Impl(const PortOptions& options) : calibrator(calibratorOptions(options)) {}
    k27emu::Calibrator calibrator;
};

Simulator::Simulator(const PortOptions& options, const ImageDocument* memories)
    : impl_(std::make_unique<Impl>(options)) {
    k27emu::Calibrator& c = impl_->calibrator;
    if (memories &&
        (!c.replaceMemory(kvtlnk::Memory::Procedure, emulatorRecords(memories->procedure)) ||
         !c.replaceMemory(kvtlnk::Memory::Results, emulatorRecords(memories->results)))) {
        throw inputError("the memories do not fit a K27 (1,048,576 bytes each)");
    }
    if (!c.start()) throw CliError(kExitCalibrator, "the emulator could not make a pty");
}

Simulator::~Simulator() = default;

std::string Simulator::portPath() const {
    return impl_->calibrator.portPath();
}

int Simulator::runProcedures() {
    return impl_->calibrator.runProcedures().templatesRun;
}

}  // namespace kvtcli
