#include "bench.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "base/escape.h"
#include "base/json.h"
#include "frame.h"
#include "say.h"
#include "spawn.h"

namespace kvtweb {

using json = nlohmann::ordered_json;

// What the server knows of one port: its worker, and what the pages show.
struct Bench::Station {
    std::string port;
    pid_t pid = -1;  // -1: no worker runs
    int input = -1;
    std::thread reader;
    std::thread errors;           // says the worker's standard error in the server's
    bool stopping = false;        // the server is closing the worker
    std::string status = "idle";  // idle, busy, unplugged, crashed
    std::string op, phase, note, scratch;
    json calibrator, progress, outcome;
};

namespace {

// A text from the calibrator or a worker as the page shows it: controls visible.
json shown(const json& value) {
    if (value.is_string()) return kvtapp::visibleText(value.get<std::string>(), true);
    if (!value.is_object()) return value;
    json out = json::object();
    for (auto it = value.begin(); it != value.end(); ++it)
        out[it.key()] = shown(it.value());
    return out;
}

json instrumentLinks(const json& tags) {
    json links = json::array();
    for (const json& t : tags) {
        if (!t.is_string()) continue;
        const std::string tag = t.get<std::string>();
        links.push_back({{"shown", kvtapp::visibleText(tag)}, {"href", instrumentHref(tag)}});
    }
    return links;
}

}  // namespace

Bench::Bench(WorkerLaunch launch, EventHub& hub) : launch_(std::move(launch)), hub_(hub) {}

Bench::~Bench() {
    std::vector<Station*> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [port, s] : stations_) {
            s->stopping = true;
            if (s->input >= 0) close(s->input);
            s->input = -1;
            // A worker in the middle of a transfer is ended: the library closes nothing then,
            // the system closes the port.
            if (s->pid > 0) kill(s->pid, SIGTERM);
            all.push_back(s.get());
        }
    }
    for (Station* s : all) {
        if (s->reader.joinable()) s->reader.join();
        if (s->errors.joinable()) s->errors.join();
    }
}

void Bench::add(const std::string& port) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stations_.count(port)) return;
    auto s = std::make_unique<Station>();
    s->port = port;
    Station& station = *s;
    stations_[port] = std::move(s);
    publish(station);
}

std::vector<std::string> Bench::ports() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> list;
    for (const auto& [port, s] : stations_)
        list.push_back(port);
    return list;
}

json Bench::state(const std::string& port) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = stations_.find(port);
    return it == stations_.end() ? json(nullptr) : stateOf(*it->second);
}

// The station's state as the pages show it: its texts with their controls visible, and links
// to the instruments an upload stored.
json Bench::stateOf(const Station& s) {
    json outcome = s.outcome;
    if (outcome.is_object() && outcome.contains("instruments"))
        outcome["instruments"] = instrumentLinks(outcome["instruments"]);
    return {{"port", kvtapp::visibleText(s.port)},
            {"id", stationId(s.port)},
            {"status", s.status},
            {"pid", s.pid > 0 ? json(s.pid) : json(nullptr)},
            {"op", s.op.empty() ? json(nullptr) : json(s.op)},
            {"phase", kvtapp::visibleText(s.phase)},
            {"calibrator", shown(s.calibrator)},
            {"progress", s.progress},
            {"outcome", shown(outcome)},
            {"note", kvtapp::visibleText(s.note)}};
}

// Called with the mutex held.
void Bench::publish(Station& station) {
    hub_.publish(station.port,
                 stateOf(station).dump(-1, ' ', false, json::error_handler_t::replace));
}

std::string Bench::request(const std::string& port, json op, const std::string& scratch) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = stations_.find(port);
    if (it == stations_.end()) return "no calibrator port " + port + " is set up";
    Station& s = *it->second;
    if (s.status == "busy") return "the calibrator on " + port + " is busy: " + s.op;
    if (s.pid < 0) {
        if (s.reader.joinable()) s.reader.join();
        if (s.errors.joinable()) s.errors.join();
        std::vector<std::string> command = {launch_.program};
        command.insert(command.end(), launch_.options.begin(), launch_.options.end());
        command.insert(command.end(), {"worker", "--port", port});
        try {
            const Child child = startChild(command, launch_.environment);
            s.pid = child.pid;
            s.input = child.input;
            s.reader = std::thread([this, &s, child] { follow(s, child.output, child.pid); });
            s.errors = std::thread(sayLines, child.errors, "the worker of " + port + ": ");
        } catch (const std::exception& e) {
            return e.what();
        }
    }
    s.status = "busy";
    s.op = kvtapp::textAt(op, "op");
    s.phase = "starting";
    s.note.clear();
    s.progress = nullptr;
    s.outcome = nullptr;
    s.scratch = scratch;
    publish(s);
    if (!writeAll(s.input, op.dump(-1, ' ', false, json::error_handler_t::replace) + "\n")) {
        s.status = "crashed";
        s.note = "the worker of " + port + " does not take operations";
        publish(s);
        return s.note;
    }
    return "";
}

void Bench::follow(Station& s, int output, int pid) {
    FILE* in = fdopen(output, "r");
    char* line = nullptr;
    size_t capacity = 0;
    while (in && getline(&line, &capacity, in) > 0) {
        const json event = json::parse(line, nullptr, false);
        if (!event.is_object()) continue;
        const std::string kind = kvtapp::textAt(event, "event");
        std::lock_guard<std::mutex> lock(mutex_);
        if (kind == "phase") {
            s.phase = kvtapp::textAt(event, "text");
        } else if (kind == "calibrator") {
            s.calibrator = event.value("calibrator", json());
        } else if (kind == "progress") {
            s.progress = event;
            s.progress.erase("event");
        } else if (kind == "done" || kind == "failed") {
            s.outcome = event;
            s.outcome["kind"] = kind;
            s.outcome.erase("event");
            s.status = kind == "failed" && kvtapp::flagAt(event, "gone") ? "unplugged" : "idle";
            s.phase.clear();
            if (s.status == "unplugged") {
                s.note = s.port +
                         " is gone: was the adapter unplugged? Plug it in again, then "
                         "identify";
            }
            if (!s.scratch.empty()) std::filesystem::remove(s.scratch);
            s.scratch.clear();
        } else {
            continue;
        }
        publish(s);
    }
    free(line);
    if (in) fclose(in);
    const std::string how = waitChild(pid);
    std::lock_guard<std::mutex> lock(mutex_);
    if (s.input >= 0) close(s.input);
    s.input = -1;
    s.pid = -1;
    if (s.stopping) return;
    if (s.status == "busy") {
        s.outcome = {{"kind", "failed"},
                     {"op", s.op},
                     {"message", "the worker stopped in the middle of " + s.op},
                     {"problems", json::array()}};
    }
    s.status = "crashed";
    s.phase.clear();
    s.note = "the worker of " + s.port + " " + (how.empty() ? "stopped" : how) +
             "; the next operation starts a new one";
    if (!s.scratch.empty()) std::filesystem::remove(s.scratch);
    s.scratch.clear();
    publish(s);
}

}  // namespace kvtweb
