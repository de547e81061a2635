#include "ports.h"

#include <fmt/format.h>

#include <algorithm>
#include <iostream>

#include "base/files.h"
#include "commands.h"
#include "table.h"

namespace kvtcli {

using namespace kvtapp;

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
