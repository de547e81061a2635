// kvtlnk ports: the serial ports of this machine as a table or JSON.
#pragma once

#include <ostream>
#include <vector>

#include "calibrator/ports.h"

namespace kvtcli {

struct Context;

// A table, with the advice of each slow adapter below it, or JSON.
void printPorts(std::ostream& out, const std::vector<kvtapp::SerialPortInfo>& ports, bool json);

// The serial ports under /sys/class/tty, with the USB vendor, product and serial number and
// the adapter's latency timer where the device has them, and whether this user may open each.
void portsCommand(const Context& context);

}  // namespace kvtcli
