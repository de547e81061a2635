// The calibrators at the bench: one station per serial port, each with a worker process that
// holds the library for that port. The server starts a worker when a station is first asked to
// do something, hands it operations, follows its events and publishes the station's state to
// the live pages; a worker that dies, or a port whose adapter was unplugged, is said so on the
// page, and the next operation starts a new worker.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "events.h"

namespace kvtweb {

// How a worker is started: the program and the options before its command, and the variables
// of its environment (the archive's location, which stays out of the process list).
struct WorkerLaunch {
    std::string program;
    std::vector<std::string> options;
    std::vector<std::string> environment;
};

class Bench {
  public:
    Bench(WorkerLaunch launch, EventHub& hub);
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // A station for the port, when it has none yet.
    void add(const std::string& port);
    std::vector<std::string> ports();
    // The station's state as the pages show it (stateOf in bench.cpp); null for a port without
    // a station.
    nlohmann::ordered_json state(const std::string& port);

    // Hands the operation to the port's worker, started first when none runs. "" when it went,
    // else why not (the station is busy, or the worker cannot start). scratch: a file the
    // operation uses, removed when it ends.
    std::string request(const std::string& port, nlohmann::ordered_json op,
                        const std::string& scratch = "");

  private:
    struct Station;
    void follow(Station& station, int output, int pid);
    void publish(Station& station);
    static nlohmann::ordered_json stateOf(const Station& station);

    const WorkerLaunch launch_;
    EventHub& hub_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Station>> stations_;
};

}  // namespace kvtweb
