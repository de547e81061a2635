// Serial ports: why one cannot be opened, and which the machine has.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kvtcli {

struct Context;

// The calibrator's port: the --port option when given, else the environment's KVTLNK_PORT,
// else the lab file's default port (labPort, asked only then). With none of them, an input
// error that lists the serial ports of this machine and says how to make one the default.
std::string choosePort(const std::string& option, const std::function<std::string()>& labPort);

// The device a port name opens: "COMn" stands for /dev/ttyS<n-1>, as the library takes it;
// any other name is a path.
std::string portDevice(const std::string& name);

// Why a device path cannot serve as the calibrator's port, with what to do ("permission denied;
// add your user to the \"dialout\" group and log in again"); empty when nothing is found.
// tryOpening opens it as the library does (finding a port that another program holds);
// otherwise only its type and access rights are looked at, which leaves the line untouched.
// path is a device path as portDevice gives it, relative or absolute.
std::string portProblem(const std::string& path, bool tryOpening = true);

// A serial port of this machine, as kvtlnk ports lists it.
struct SerialPortInfo {
    std::string path;     // "/dev/ttyUSB0"
    std::string problem;  // why this user cannot open it; empty when it can
    std::string device;   // "0403:6001 FTDI FT232R USB UART, serial A1B2C3", or the driver
    int latencyTimerMs;   // the USB adapter's latency timer; -1 when it has none
};
// The serial ports under sysRoot/class/tty (sysRoot is /sys but for tests), in name order.
std::vector<SerialPortInfo> serialPorts(const std::string& sysRoot = "/sys");

// What an adapter's latency timer above 2 ms costs a full memory, and where to lower it; empty
// for a timer of 2 ms or less.
std::string latencyAdvice(int timerMs);

// The ports as kvtlnk ports prints them: a table, with the advice of each slow adapter below it,
// or JSON.
void printPorts(std::ostream& out, const std::vector<SerialPortInfo>& ports, bool json);

// kvtlnk ports: the serial ports under /sys/class/tty, with the USB vendor, product and serial
// number and the adapter's latency timer where the device has them, and whether this user may
// open each.
void portsCommand(const Context& context);

}  // namespace kvtcli
