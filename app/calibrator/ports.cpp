#include "ports.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "commands.h"
#include "error.h"
#include "json_file.h"
#include "table.h"

namespace kvtcli {
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

std::string permissionAdvice(const struct stat& st) {
    const group* g = ::getgrgid(st.st_gid);
    if (g != nullptr && st.st_gid != 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP)) {
        return fmt::format("permission denied; add your user to the \"{}\" group and log in again",
                           g->gr_name);
    }
    return "permission denied; ask for read and write access to it";
}

std::string openProblem(int err, const struct stat& st) {
    switch (err) {
        case EACCES:
        case EPERM:
            return permissionAdvice(st);
        case EBUSY:
            return "busy: another program holds it; close that program and try again";
        case ENXIO:
        case ENODEV:
        case EIO:
            return "the device does not respond; was the adapter unplugged? Plug it in again";
        default:
            return std::strerror(err);
    }
}

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

std::string portProblem(const std::string& path, bool tryOpening) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == EACCES) return "permission denied on the way to it";
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0) {
            return "it is a link to a device that is gone; was the adapter unplugged?";
        }
        return "no such device; is the adapter plugged in? (kvtlnk ports lists the serial ports)";
    }
    if (S_ISDIR(st.st_mode)) return "is a directory, not a serial port";
    if (!S_ISCHR(st.st_mode)) return "is a file, not a serial port";
    const fs::path tty = fs::path("/sys/class/tty") / fs::path(path).filename();
    if (path.rfind("/dev/ttyS", 0) == 0 && sysValue(tty / "type") == "0") {
        return "no serial port is fitted there (kvtlnk ports lists the serial ports)";
    }
    if (!tryOpening) return ::access(path.c_str(), R_OK | W_OK) == 0 ? "" : openProblem(errno, st);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return openProblem(errno, st);
    std::string problem;
    termios settings{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        problem = "busy: another program holds it; close that program and try again";
    } else if (::tcgetattr(fd, &settings) != 0) {
        problem = "is not a terminal, so not a serial port";
    }
    ::close(fd);
    return problem;
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
        ports.push_back({path, portProblem(path, false), deviceText(tty),
                         latencyTimer(tty / "device" / "latency_timer")});
    }
    return ports;
}

std::string choosePort(const std::string& option, const std::function<std::string()>& labPort) {
    if (!option.empty()) return option;
    const char* environment = std::getenv("KVTLNK_PORT");
    if (environment != nullptr && *environment != '\0') return environment;
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

void printPorts(std::ostream& out, const std::vector<SerialPortInfo>& ports, bool json) {
    // The timer's column only where an adapter has one: a UART or a pty has no timer to show.
    const bool timers = std::any_of(ports.begin(), ports.end(),
                                    [](const SerialPortInfo& p) { return p.latencyTimerMs >= 0; });
    Table table(timers
                    ? std::vector<std::string>{"port", "you may open it", "latency timer", "device"}
                    : std::vector<std::string>{"port", "you may open it", "device"},
                timers ? "llrl" : "lll");
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::string advice;
    for (const SerialPortInfo& p : ports) {
        const bool timed = p.latencyTimerMs >= 0;
        std::vector<std::string> row = {p.path, p.problem.empty() ? "yes" : "no: " + p.problem,
                                        p.device};
        if (timers)
            row.insert(row.begin() + 2, timed ? fmt::format("{} ms", p.latencyTimerMs) : "");
        table.add(row);
        list.push_back({{"port", p.path},
                        {"usable", p.problem.empty()},
                        {"problem", p.problem},
                        {"device", p.device},
                        {"latency_timer_ms", timed ? nlohmann::ordered_json(p.latencyTimerMs)
                                                   : nlohmann::ordered_json()}});
        if (const std::string a = latencyAdvice(p.latencyTimerMs); !a.empty()) {
            advice += p.path + ": " + a + ".\n";
        }
    }
    if (json) {
        out << dumpJson(list);
    } else if (table.empty()) {
        out << "No serial ports found under /sys/class/tty.\n";
    } else {
        table.print(out, "");
        if (!advice.empty()) out << "\n" << advice;
    }
}

void portsCommand(const Context& context) {
    printPorts(std::cout, serialPorts(), context.json);
}

}  // namespace kvtcli
