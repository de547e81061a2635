// The calibrators page: the serial ports of the machine, and a station per calibrator port with
// its live state (the script keeps it up to date from the server's events) and its operations.
#include <fmt/format.h>

#include "base/json.h"
#include "pages.h"

namespace kvtweb {

using json = nlohmann::ordered_json;
using kvtapp::textAt;
using kvtapp::html::empty;
using kvtapp::html::newline;
using kvtapp::html::tag;

namespace {

Html hidden(const char* name, const std::string& value) {
    return empty("input", {{"type", "hidden"}, {"name", name}, {"value", value}});
}

Html checkbox(const char* name, const std::string& label) {
    return tag("label", empty("input", {{"type", "checkbox"}, {"name", name}, {"value", "1"}}) +
                            Html(" " + label));
}

// A station's operations: each form names the port and the operation; the script sends it and
// the page follows its progress.
Html operations(const std::string& port, const Visitor& visitor) {
    const std::string action = "/calibrators/op";
    auto op = [&](const char* name, Html fields, const std::string& button) {
        return postForm(action, visitor,
                        hidden("port", port) + hidden("op", name) + std::move(fields), button,
                        "op");
    };
    return tag(
        "div", {{"class", "ops"}},
        op("identify", {}, "Identify") + op("upload", {}, "Upload into the archive") +
            tag("form",
                {{"method", "post"},
                 {"action", action},
                 {"enctype", "multipart/form-data"},
                 {"class", "op download"}},
                hidden("csrf", visitor.csrf) + hidden("port", port) + hidden("op", "download") +
                    tag("label", Html("Procedure description ") +
                                     empty("input", {{"type", "file"},
                                                     {"name", "file"},
                                                     {"accept", ".json,application/json"},
                                                     {"required", "required"}})) +
                    checkbox("discard", "discard its results") +
                    checkbox("confirmed", "send a description that defines nothing") +
                    tag("button", {{"type", "submit"}}, "Download")) +
            op("clear", checkbox("discard", "discard its results"), "Clear the procedure memory"));
}

// A station as the server knows it now; the script fills in the same elements as events come.
Html station(const json& s, const Visitor& visitor) {
    const std::string port = textAt(s, "port");
    const Html figures =
        tag("div", {{"class", "progress"}},
            tag("progress", {{"max", "1"}, {"value", "0"}, {"data-field", "bar"}}, {}) +
                tag("span", {{"data-field", "figures"}}, ""));
    const Html state =
        tag("p", {{"class", "state"}},
            tag("span", {{"class", "status"}, {"data-field", "status"}}, textAt(s, "status")) +
                tag("span", {{"data-field", "calibrator"}}, "") +
                tag("span", {{"data-field", "phase"}}, textAt(s, "phase")));
    const Html outcome =
        tag("div", {{"class", "outcome"}, {"data-field", "outcome"}, {"aria-live", "polite"}},
            tag("p", {{"data-field", "message"}}, "") +
                tag("ul", {{"data-field", "problems"}}, {}) +
                tag("p", {{"data-field", "instruments"}}, {})) +
        tag("p", {{"class", "note"}, {"data-field", "note"}}, textAt(s, "note"));
    Html body = tag("h2", port) + state + figures + outcome;
    if (visitor.may(Action::Calibrate)) body += operations(port, visitor);
    return tag("section",
               {{"class", "station"},
                {"id", textAt(s, "id")},
                {"data-state", s.dump(-1, ' ', false, json::error_handler_t::replace)}},
               newline() + body + newline()) +
           newline();
}

Html portsTable(const std::vector<kvtapp::SerialPortInfo>& ports) {
    if (ports.empty()) return tag("p", {{"class", "quiet"}}, "This machine shows no serial port.");
    Html rows = tag("thead", tag("tr", tag("th", "port") + tag("th", "adapter") +
                                           tag("th", "latency timer") + tag("th", "access")));
    for (const kvtapp::SerialPortInfo& p : ports) {
        rows += tag("tr",
                    tag("td", p.path) + tag("td", p.device) +
                        tag("td", p.latencyTimerMs < 0 ? std::string("-")
                                                       : std::to_string(p.latencyTimerMs) + " ms") +
                        tag("td", p.problem.empty() ? "may be opened" : p.problem)) +
                newline();
    }
    return tag("table", {{"class", "list"}}, rows);
}

}  // namespace

Html calibratorsBody(const std::vector<kvtapp::SerialPortInfo>& machinePorts,
                     const std::vector<json>& stations, const Visitor& visitor) {
    Html list;
    for (const json& s : stations)
        list += station(s, visitor);
    if (stations.empty()) {
        list = tag("p", {{"class", "quiet"}}, "No calibrator port is set up: add one below.");
    }
    Html add;
    if (visitor.may(Action::Calibrate)) {
        add = postForm("/calibrators/add", visitor,
                       tag("label", Html("Port ") + empty("input", {{"name", "port"},
                                                                    {"placeholder", "/dev/ttyUSB0"},
                                                                    {"required", "required"}})),
                       "Add the port", "inline");
    }
    return tag("h1", "Calibrators") + newline() +
           tag("div", {{"class", "stations"}, {"data-live", "/events"}}, newline() + list) +
           newline() + add + newline() +
           section("Serial ports of this machine", portsTable(machinePorts));
}

}  // namespace kvtweb
