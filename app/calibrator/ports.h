// Serial ports: which one is the calibrator's, and which the machine has.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kvtapp {

// The calibrator's port: the --port option when given, else the environment's KVTLNK_PORT,
// else the lab file's default port (labPort, asked only then). With none of them, an input
// error that lists the serial ports of this machine and says how to make one the default.
std::string choosePort(const std::string& option, const std::function<std::string()>& labPort);

// The device a port name opens: "COMn" stands for /dev/ttyS<n-1>, as the library takes it;
// any other name is a path.
std::string portDevice(const std::string& name);

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

}  // namespace kvtapp
