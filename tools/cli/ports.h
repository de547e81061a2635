// Serial ports: why one cannot be opened, and which the machine has.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kvtcli {

struct Context;

// Why a device path cannot serve as the calibrator's port, with what to do ("permission denied;
// add your user to the \"dialout\" group and log in again"); empty when nothing is found.
// tryOpening opens it as the library does (finding a port that another program holds);
// otherwise only its type and access rights are looked at, which leaves the line untouched.
// Names without a "/" (COM1) are not looked at.
std::string portProblem(const std::string& path, bool tryOpening = true);

// A serial port of the machine, as /sys describes it.
struct PortEntry {
    std::string path;     // /dev/ttyUSB0
    std::string problem;  // why this user cannot open it; empty when they can
    std::string device;   // the USB adapter's vendor, product and serial number, or the driver
    int latencyTimerMs;   // the USB adapter's latency timer; -1 when it has none
};

// The serial ports under sysRoot/class/tty (sysRoot is /sys but for tests), in name order.
std::vector<PortEntry> listPorts(const std::string& sysRoot);

// What an adapter's latency timer above 2 ms costs a full memory, and where to lower it; empty
// for a timer of 2 ms or less.
std::string latencyAdvice(int timerMs);

// The ports as kvtlnk ports prints them: a table, with the advice of each slow adapter below it,
// or JSON.
void printPorts(std::ostream& out, const std::vector<PortEntry>& ports, bool json);

// kvtlnk ports: the serial ports of the machine, with the USB vendor, product and serial number
// and the adapter's latency timer where the device has them, and whether this user may open each.
void portsCommand(const Context& context);

}  // namespace kvtcli
