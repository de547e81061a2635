#include "ports.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "commands.h"
#include "json_file.h"
#include "table.h"

namespace kvtcli {
namespace {

namespace fs = std::filesystem;

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

}  // namespace

std::string portProblem(const std::string& path, bool tryOpening) {
    if (path.find('/') == std::string::npos) return "";
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

void portsCommand(const Context& context) {
    Table table({"port", "you may open it", "device"}, "lll");
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::error_code ec;
    std::vector<fs::path> ttys;
    for (const auto& entry : fs::directory_iterator("/sys/class/tty", ec)) {
        // Serial ports have a device behind them; a built-in UART of type 0 is not fitted.
        const fs::path tty = entry.path();
        if (fs::exists(tty / "device") && sysValue(tty / "type") != "0") ttys.push_back(tty);
    }
    std::sort(ttys.begin(), ttys.end());
    for (const fs::path& tty : ttys) {
        const std::string path = "/dev/" + tty.filename().string();
        const std::string problem = portProblem(path, false);
        const std::string device = deviceText(tty);
        table.add({path, problem.empty() ? "yes" : "no: " + problem, device});
        list.push_back({{"port", path},
                        {"usable", problem.empty()},
                        {"problem", problem},
                        {"device", device}});
    }
    if (context.json) {
        std::cout << dumpJson(list);
    } else if (table.empty()) {
        std::cout << "No serial ports found under /sys/class/tty.\n";
    } else {
        table.print(std::cout, "");
    }
}

}  // namespace kvtcli
