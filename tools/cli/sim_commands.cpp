#include "sim_commands.h"

#include <fmt/format.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>

#include "arguments.h"
#include "base/files.h"
#include "emu_clock.h"
#include "failure.h"
#include "registry.h"
#include "resident.h"
#include "state_file.h"

namespace kvtcli {

using namespace kvtapp;
namespace {

using json = nlohmann::ordered_json;

// How long sim stop waits for the emulator to save its state and end.
constexpr std::chrono::seconds kStopWait{10};

struct StartOptions {
    std::string state;
    std::string clock;
    std::string clockOffset;
    uint32_t seed = 1;
    bool seedGiven = false;
};

// The state file of sim start without --state: $XDG_STATE_HOME/kvtlnk, else
// ~/.local/state/kvtlnk.
std::string defaultStatePath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::string dir;
    if (state != nullptr && state[0] == '/') {
        dir = std::string(state) + "/kvtlnk";
    } else if (home != nullptr && home[0] == '/') {
        dir = std::string(home) + "/.local/state/kvtlnk";
    } else {
        throw inputError("sim start: give --state FILE (neither XDG_STATE_HOME nor HOME is set)");
    }
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return dir + "/emulator-state.json";
}

k27emu::ResidentOptions residentOptions(const StartOptions& o) {
    k27emu::ResidentOptions r;
    r.calibrator.runAfterDownload = true;
    r.statePath = std::filesystem::absolute(o.state.empty() ? defaultStatePath() : o.state)
                      .lexically_normal()
                      .string();
    r.registerPort = true;
    std::string error;
    int64_t seconds = 0;
    if (!o.clock.empty()) {
        if (!k27emu::parseClock(o.clock, &seconds, &error)) throw inputError("--clock: " + error);
        r.clock = seconds;
    }
    if (!o.clockOffset.empty()) {
        if (!k27emu::parseClockOffset(o.clockOffset, &seconds, &error)) {
            throw inputError("--clock-offset: " + error);
        }
        r.clockOffset = seconds;
    }
    if (o.seedGiven) r.seed = o.seed;
    return r;
}

// What the state file says, for the messages: the clock now, and the item counts as last
// saved.
struct StateSummary {
    std::string clock;
    int64_t offset = 0;
    size_t procedure = 0, results = 0;
    bool read = false;
};

StateSummary summary(const std::string& path) {
    StateSummary s;
    k27emu::EmulatorState state;
    std::string error;
    if (path.empty() || !k27emu::loadState(path, &state, &error)) return s;
    s.offset = state.clockOffsetSeconds;
    s.clock = kvttools::formatStamp(k27emu::stampAt(k27emu::hostSeconds() + s.offset));
    s.procedure = state.memories.procedure.size();
    s.results = state.memories.results.size();
    s.read = true;
    return s;
}

json entryJson(const k27emu::RegisteredEmulator& e, const StateSummary& s) {
    json j = {{"port", e.port}, {"pid", e.pid}, {"state", e.state}};
    if (s.read) {
        j["clock"] = s.clock;
        j["clockOffsetSeconds"] = s.offset;
        j["procedureItems"] = s.procedure;
        j["resultItems"] = s.results;
    }
    return j;
}

std::string staleLine(const k27emu::RegisteredEmulator& e) {
    return e.pid > 0
               ? fmt::format("The emulator of process {} is gone; its entry is removed.\n", e.pid)
               : "A damaged entry of the emulator's registry is removed.\n";
}

void startCommand(const Context& context, const StartOptions& options) {
    k27emu::ResidentOptions resident = residentOptions(options);
    k27emu::RegisteredEmulator running;
    const k27emu::Registered found = k27emu::findRegistered(&running);
    if (found == k27emu::Registered::Running) {
        throw CliError(kExitCalibrator,
                       fmt::format("an emulator runs already on {} (process {}, state {}): "
                                   "kvtlnk sim stop ends it",
                                   running.port, running.pid, running.state));
    }
    if (found == k27emu::Registered::Stale && !context.json) std::cout << staleLine(running);
    std::string port;
    const int status = k27emu::runDetached(
        [&resident](const std::function<void(const std::string&)>& ready) {
            // The stop signals are taken by the serving loop, in every thread.
            sigset_t stop;
            sigemptyset(&stop);
            for (int sig : {SIGINT, SIGTERM, SIGHUP})
                sigaddset(&stop, sig);
            pthread_sigmask(SIG_BLOCK, &stop, nullptr);
            k27emu::Resident emulator(resident);
            std::string error;
            int exitStatus = 0;
            if (!emulator.prepare(&error, &exitStatus) || !emulator.start(&error)) {
                std::cerr << "kvtlnk: sim start: " << error << std::endl;
                return exitStatus == 0 ? int{kExitCalibrator} : exitStatus;
            }
            ready(emulator.calibrator().portPath());
            return emulator.serveUntilSignal(&error) ? 0 : int{kExitCalibrator};
        },
        &port);
    if (status != 0) throw CliError(status, "sim start: no emulator was started");
    k27emu::RegisteredEmulator started;
    k27emu::findRegistered(&started);
    const StateSummary s = summary(resident.statePath);
    if (context.json) {
        std::cout << dumpJson(entryJson(started, s));
        return;
    }
    std::cout << fmt::format(
        "Emulator started on {} (process {}), keeping its memories and clock in {}\n"
        "  clock {} ({} from this computer's); {} procedure and {} result items\n"
        "It performs the tests of every download at once. kvtlnk --port sim uses it; "
        "kvtlnk sim stop ends it.\n",
        port, started.pid, resident.statePath, s.clock, k27emu::formatOffset(s.offset), s.procedure,
        s.results);
}

void stopCommand(const Context& context) {
    k27emu::RegisteredEmulator e;
    const k27emu::Registered found = k27emu::findRegistered(&e);
    if (found != k27emu::Registered::Running) {
        if (context.json) {
            std::cout << dumpJson({{"stopped", false}});
        } else {
            std::cout << (found == k27emu::Registered::Stale ? staleLine(e)
                                                             : "No emulator runs.\n");
        }
        return;
    }
    ::kill(e.pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopWait;
    while (k27emu::processRuns(e.pid)) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw CliError(kExitCalibrator,
                           fmt::format("sim stop: the emulator (process {}) did not end within "
                                       "{} s of SIGTERM",
                                       e.pid, kStopWait.count()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const StateSummary s = summary(e.state);
    if (context.json) {
        json j = entryJson(e, s);
        j["stopped"] = true;
        std::cout << dumpJson(j);
        return;
    }
    std::cout << fmt::format("Stopped the emulator on {} (process {})", e.port, e.pid);
    if (s.read) {
        std::cout << fmt::format("; {} keeps its {} procedure and {} result items and its clock",
                                 e.state, s.procedure, s.results);
    }
    std::cout << ".\n";
}

void statusCommand(const Context& context) {
    k27emu::RegisteredEmulator e;
    const k27emu::Registered found = k27emu::findRegistered(&e);
    if (found != k27emu::Registered::Running) {
        CliError none(kExitCalibrator,
                      (found == k27emu::Registered::Stale
                           ? fmt::format("the emulator of process {} is gone (its entry is "
                                         "removed): ",
                                         e.pid)
                           : std::string("no emulator runs: ")) +
                          "kvtlnk sim start runs one");
        if (!context.json) throw none;
        std::cout << dumpJson({{"running", false}});
        throw none.answered();
    }
    const StateSummary s = summary(e.state);
    if (context.json) {
        json j = entryJson(e, s);
        j["running"] = true;
        std::cout << dumpJson(j);
        return;
    }
    std::cout << fmt::format("Emulator on {} (process {}), state {}\n", e.port, e.pid, e.state);
    if (s.read) {
        std::cout << fmt::format(
            "  clock {} ({} from this computer's)\n  {} procedure and {} result items, as last "
            "saved\n",
            s.clock, k27emu::formatOffset(s.offset), s.procedure, s.results);
    }
}

}  // namespace

void addSimCommands(CLI::App& app, Context& context) {
    CLI::App* sim = app.add_subcommand(
        "sim",
        "run the built-in emulator in the background, keeping its memories and clock in a state "
        "file between commands: --port sim then uses it");
    sim->require_subcommand(0, 1);
    sim->callback([sim] {
        if (sim->get_subcommands().empty()) throw inputError("sim: name start, stop or status");
    });

    auto shared = std::make_shared<StartOptions>();
    StartOptions& options = *shared;
    CLI::App* start = sim->add_subcommand(
        "start",
        "start the emulator on a pty in the background; it performs the tests of every "
        "download at once, and each instrument tested drifts a little every day");
    start
        ->add_option("--state", options.state,
                     "keep both memories and the clock in this file (made when missing; the "
                     "default is emulator-state.json in $XDG_STATE_HOME/kvtlnk or "
                     "~/.local/state/kvtlnk)")
        ->type_name("FILE");
    CLI::Option* clock =
        start
            ->add_option("--clock", options.clock,
                         "set the emulator's clock, which then runs on (local time)")
            ->type_name("DATETIME");
    start
        ->add_option("--clock-offset", options.clockOffset,
                     "move the emulator's clock from where the state's stands: 30d, -2h, 90min, "
                     "45s, 2w")
        ->type_name("SPAN")
        ->excludes(clock);
    CLI::Option* seed =
        start
            ->add_option("--seed", options.seed,
                         "seed of the readings and of each instrument's drift (kept in the state)")
            ->check(wholeIn(0, UINT32_MAX))
            ->type_name("N");
    start->callback([&context, shared, seed] {
        shared->seedGiven = seed->count() > 0;
        startCommand(context, *shared);
    });

    sim->add_subcommand("stop", "stop the emulator; its state file keeps what it held")
        ->callback([&context] { stopCommand(context); });
    sim->add_subcommand("status",
                        "say whether the emulator runs, on which pty, its clock and what it "
                        "holds (exit status 1 when none runs)")
        ->callback([&context] { statusCommand(context); });
}

std::string residentEmulatorPort() {
    k27emu::RegisteredEmulator e;
    return k27emu::findRegistered(&e) == k27emu::Registered::Running ? e.port : "";
}

std::string emptyEmulatorNote() {
    return "The built-in emulator started empty: without kvtlnk sim start, --port sim runs a new "
           "one for each command, which forgets what it was sent. kvtlnk sim start runs one "
           "that keeps its memories between commands.";
}

}  // namespace kvtcli
