#include "calibrator/ports.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/error.h"
#include "base/platform.h"

namespace kvtapp {
namespace {

namespace fs = std::filesystem;

// A timer up to this costs a transfer little.
constexpr int kQuickTimerMs = 2;
// The calibrator's procedure memory, full.
constexpr double kFullMemoryKiB = 1024;
// The frames the PC receives per KiB of records (the transfer benchmark counts them): a
// download has every block acknowledged, an upload receives the records in long frames.
constexpr double kFramesInPerKiBDownload = 31.7;
constexpr double kFramesInPerKiBUpload = 9.7;

// The first line of a file of /sys, empty when there is none.
std::string sysValue(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "0403:6001 FTDI FT232R USB UART, serial A1B2C3" for a USB adapter, the driver otherwise.
std::string deviceText(const fs::path& tty) {
    std::error_code ec;
    for (fs::path p = fs::canonical(tty / "device", ec); !ec && p.has_relative_path();
         p = p.parent_path()) {
        if (!fs::exists(p / "idVendor")) continue;
        std::string text = sysValue(p / "idVendor") + ":" + sysValue(p / "idProduct");
        for (const char* name : {"manufacturer", "product"}) {
            if (const std::string v = sysValue(p / name); !v.empty()) text += " " + v;
        }
        if (const std::string serial = sysValue(p / "serial"); !serial.empty()) {
            text += ", serial " + serial;
        }
        return text;
    }
    return fs::canonical(tty / "device" / "driver", ec).filename().string();
}

// The latency timer in milliseconds that a USB adapter's driver shows; -1 when there is none.
int latencyTimer(const fs::path& file) {
    const std::string text = sysValue(file);
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos) {
        return -1;
    }
    return std::stoi(text);
}

// "4 min 20 s", "50 s", to the nearest 10 s from a minute up.
std::string minutesText(double seconds) {
    if (seconds < 60) return fmt::format("{:.0f} s", seconds);
    const long tens = std::lround(seconds / 10);
    return tens % 6 == 0 ? fmt::format("{} min", tens / 6)
                         : fmt::format("{} min {} s", tens / 6, tens % 6 * 10);
}

}  // namespace

std::string portDevice(const std::string& name) {
    // "COM" in any case, then 1 to 99999 without a leading zero, as the library reads it.
    if (name.size() < 4 || name.size() > 8 || name[3] == '0') return name;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (i < 3 ? std::toupper(c) != "COM"[i] : !std::isdigit(c)) return name;
    }
    return "/dev/ttyS" + std::to_string(std::strtoul(name.c_str() + 3, nullptr, 10) - 1);
}

std::vector<SerialPortInfo> serialPorts(const std::string& sysRoot) {
    std::error_code ec;
    std::vector<fs::path> ttys;
    for (const auto& entry : fs::directory_iterator(fs::path(sysRoot) / "class" / "tty", ec)) {
        // Serial ports have a device behind them; a built-in UART of type 0 is not fitted.
        const fs::path tty = entry.path();
        if (fs::exists(tty / "device") && sysValue(tty / "type") != "0") ttys.push_back(tty);
    }
    std::sort(ttys.begin(), ttys.end());
    std::vector<SerialPortInfo> ports;
    for (const fs::path& tty : ttys) {
        const std::string path = "/dev/" + tty.filename().string();
        ports.push_back({path, platform::portProblem(path, false), deviceText(tty),
                         latencyTimer(tty / "device" / "latency_timer")});
    }
    return ports;
}

std::string choosePort(const std::string& option, const std::function<std::string()>& labPort) {
    if (!option.empty()) return option;
    if (std::string environment = platform::environment("KVTLNK_PORT"); !environment.empty())
        return environment;
    if (std::string lab = labPort(); !lab.empty()) return lab;
    std::string found;
    for (const SerialPortInfo& p : serialPorts()) {
        found +=
            (found.empty() ? "" : ", ") + p.path + (p.device.empty() ? "" : " (" + p.device + ")");
    }
    throw inputError(
        "no calibrator port given: add --port PORT, or --port sim for the built-in emulator\n" +
        (found.empty() ? std::string("kvtlnk ports finds no serial port on this machine")
                       : "serial ports of this machine (kvtlnk ports): " + found) +
        "\nto make a port the default: export KVTLNK_PORT=PORT, or put port = \"PORT\" under "
        "[lab] in the lab file (--lab FILE, else ~/.config/kvtlnk/lab.toml)");
}

std::string latencyAdvice(int timerMs) {
    if (timerMs <= kQuickTimerMs) return "";
    // Each frame the PC receives waits for the next tick, half a tick on average.
    auto cost = [timerMs](double framesPerKiB) {
        return minutesText(kFullMemoryKiB * framesPerKiB * timerMs / 2 / 1000);
    };
    return fmt::format(
        "a latency timer of {} ms adds about {} to a download of a full memory and {} to an "
        "upload, unless its driver runs at 1 ms in low-latency mode (kvtlnk -v shows the timer "
        "at open); docs/performance.md has a udev rule that sets 1 ms",
        timerMs, cost(kFramesInPerKiBDownload), cost(kFramesInPerKiBUpload));
}

}  // namespace kvtapp
