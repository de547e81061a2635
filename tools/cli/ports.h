// Serial ports: why one cannot be opened, and which the machine has.
#pragma once

#include <string>

namespace kvtcli {

struct Context;

// Why a device path cannot serve as the calibrator's port, with what to do ("permission denied;
// add your user to the \"dialout\" group and log in again"); empty when nothing is found.
// tryOpening opens it as the library does (finding a port that another program holds);
// otherwise only its type and access rights are looked at, which leaves the line untouched.
// Names without a "/" (COM1) are not looked at.
std::string portProblem(const std::string& path, bool tryOpening = true);

// kvtlnk ports: the serial ports under /sys/class/tty, with the USB vendor, product and serial
// number where the device has them, and whether this user may open each.
void portsCommand(const Context& context);

}  // namespace kvtcli
