// kvtsim: a K27 calibrator in software on a pseudo-terminal.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "calibrator.h"
#include "common/files.h"
#include "common/image_file.h"
#include "emu_clock.h"
#include "registry.h"
#include "resident.h"

namespace {

using k27emu::Calibrator;
using k27emu::CalibratorOptions;
using k27emu::Memory;

// Exit status: 0 stopped by a signal after serving, 1 the pty or the link could not be made or
// the memories not saved, 2 bad usage or an --image file that is not usable.
constexpr int kExitUsage = 2;

struct Settings {
    CalibratorOptions options;
    std::string link;
    std::string image;
    std::string save;
    std::string state;
    std::string clock;
    std::string clockOffset;
    bool background = false;
    bool seedGiven = false;
    bool pace = false;
    bool verbose = false;
    bool silent = false;
    uint32_t corruptEvery = 0;
    uint32_t dropEvery = 0;
    uint32_t byteDelayUs = 0;
    unsigned attempts = CalibratorOptions{}.attempts;
    std::vector<std::string> refuse;
};

const char* kDescription =
    "kvtsim: a K27 process calibrator in software.\n\n"
    "Creates a pseudo-terminal, prints the path of its port on the first line of standard\n"
    "output and answers the calibrator's commands on it until interrupted (Ctrl-C, SIGTERM).\n"
    "Open that path (or the --link name) as the serial port of kvtlnk or of any program that\n"
    "talks to a K27; the port may be closed and opened again as often as you like.\n\n"
    "The emulator holds a procedure memory and a results memory of 1,048,576 bytes each.\n"
    "--image loads both from a JSON file at start (kvtsim --save or kvtlnk upload --out\n"
    "wrote it) and --save writes them on exit:\n"
    "  {\"procedure\": [{\"kind\": 14, \"version\": 0, \"stamp\": \"2024-05-02 14:03:00\",\n"
    "                  \"data\": \"00000003...\"}, ...], \"results\": [...]}\n"
    "With --run, every download that ends (the final \"mc r\") is followed by a field run:\n"
    "each template of the procedure memory leaves a setup copy, a calibration result and a\n"
    "tag record in the results memory, with readings drawn from --seed.\n\n"
    "--state keeps both memories and the emulator's clock in a file between runs: read at\n"
    "start (made when missing; a damaged one is refused) and written after every change.\n"
    "The clock runs on from the host's, set with --clock 2027-01-15T09:00 or moved with\n"
    "--clock-offset 30d (from where the state's clock stands). With a state, each instrument\n"
    "tested (named by its test's first text) drifts by its own rate a day, drawn from the\n"
    "seed, within +-0.005 % of its span, from the day the state was made: two rounds a month\n"
    "apart differ by up to 0.15 %. --background serves in the background once the port is\n"
    "made, and tells kvtlnk's --port sim where (kvtlnk sim stop, or SIGTERM, ends it).\n\n"
    "The fault options make the calibrator misbehave, to try a program's error handling.";

void buildOptions(CLI::App& app, Settings& s) {
    app.description(kDescription);
    app.set_version_flag("--version", "kvtsim " KVTLNK_VERSION);
    app.add_option("--link", s.link, "Also make a symbolic link PATH to the port (removed on exit)")
        ->type_name("PATH");
    app.add_option("--image", s.image, "Load both memories from this JSON file at start")
        ->type_name("FILE");
    app.add_option("--save", s.save,
                   "Write both memories to this JSON file on exit (checked at start)")
        ->type_name("FILE");
    CLI::Option* state =
        app.add_option("--state", s.state,
                       "Keep both memories and the clock in this file between runs (made when "
                       "missing, written after every change)")
            ->type_name("FILE")
            ->excludes(app.get_option("--image"))
            ->excludes(app.get_option("--save"));
    CLI::Option* clock =
        app.add_option("--clock", s.clock,
                       "Set the emulator's clock, which then runs on: local date and time")
            ->type_name("DATETIME");
    app.add_option("--clock-offset", s.clockOffset,
                   "Move the emulator's clock (from the state's, else the host's): 30d, -2h, "
                   "90min, 45s, 2w")
        ->type_name("SPAN")
        ->excludes(clock);
    app.add_flag("--background", s.background,
                 "Serve in the background once the port is made, for kvtlnk --port sim; needs "
                 "--state")
        ->needs(state);
    app.add_flag("--run", s.options.runAfterDownload,
                 "Perform the downloaded procedures after every download");
    app.add_option("--model", s.options.identity.model, "Model text of the \"id\" reply")
        ->capture_default_str();
    app.add_option("--firmware", s.options.identity.firmwareVersion,
                   "Firmware version text of the \"id\" reply")
        ->capture_default_str();
    app.add_option("--serial", s.options.identity.serialNumber,
                   "Serial number: the third field of the \"id\" reply")
        ->capture_default_str();
    app.add_option(
           "--seed", s.options.seed,
           "Seed of the readings of a field run and of the instruments' drifts (kept in --state)")
        ->capture_default_str();
    app.add_flag("--pace", s.pace,
                 "Hold the bytes in both directions to the wire rate of 9600 baud (1.04 ms each)");
    app.add_option("--pace-burst", s.options.paceBurstMs,
                   "With the wire rate (implies --pace), deliver the bytes sent every MS "
                   "milliseconds, as a USB-serial adapter does (16 for most)")
        ->check(CLI::Range(1, 1000))
        ->type_name("MS");
    app.add_option("--timeout", s.options.readTimeoutMs,
                   "Milliseconds the emulator waits for each byte it expects")
        ->capture_default_str()
        ->type_name("MS");
    app.add_option("--attempts", s.attempts, "Tries of each packet exchange")
        ->check(CLI::Range(0, 255))
        ->capture_default_str();
    app.add_flag("-v,--verbose", s.verbose,
                 "Print every command received (> accepted, x refused), status texts included");

    const char* faults = "Faults";
    app.add_option("--corrupt-every", s.corruptEvery,
                   "Corrupt the check value of every N-th data frame sent")
        ->group(faults)
        ->type_name("N");
    app.add_option("--drop-every", s.dropEvery, "Leave out every N-th data frame sent")
        ->group(faults)
        ->type_name("N");
    app.add_option("--refuse", s.refuse,
                   "Refuse every command that begins with this text (e.g. \"mu r\"); repeatable")
        ->group(faults)
        ->type_name("CMD");
    app.add_option("--byte-delay", s.byteDelayUs,
                   "Wait this many microseconds before each byte sent")
        ->group(faults)
        ->type_name("US");
    app.add_flag("--silent", s.silent, "Never answer: a calibrator that is switched off")
        ->group(faults);
}

void armFaults(Calibrator& emu, const Settings& s) {
    k27emu::FaultScript& f = emu.faults();
    if (s.corruptEvery != 0) f.corruptFrame(s.corruptEvery, s.corruptEvery);
    if (s.dropEvery != 0) f.dropFrame(s.dropEvery, s.dropEvery);
    for (const std::string& command : s.refuse)
        f.refuse(command);
    if (s.byteDelayUs != 0) f.delayEachByte(std::chrono::microseconds(s.byteDelayUs));
    if (s.silent) f.goSilent();
}

bool makeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::cerr << "kvtsim: " << link << " exists and is not a symbolic link\n";
            return false;
        }
        ::unlink(link.c_str());
    }
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        std::cerr << "kvtsim: cannot make the link " << link << "\n";
        return false;
    }
    return true;
}

void removeLink(const std::string& link, const std::string& target) {
    char points[256];
    const ssize_t n = ::readlink(link.c_str(), points, sizeof points - 1);
    if (n > 0 && std::string(points, static_cast<size_t>(n)) == target) ::unlink(link.c_str());
}

// The clock options, and the resident emulator's settings from them.
bool residentOptions(const Settings& s, k27emu::ResidentOptions* r, std::string* error) {
    r->calibrator = s.options;
    r->statePath = s.state;
    r->registerPort = s.background;
    if (s.seedGiven) r->seed = s.options.seed;
    int64_t seconds = 0;
    if (!s.clock.empty()) {
        if (!k27emu::parseClock(s.clock, &seconds, error)) return false;
        r->clock = seconds;
    }
    if (!s.clockOffset.empty()) {
        if (!k27emu::parseClockOffset(s.clockOffset, &seconds, error)) return false;
        r->clockOffset = seconds;
    }
    return true;
}

// Serves until a signal: the memories of --image (or the state's), saved to --save on exit.
int serve(const Settings& s, k27emu::Resident& resident,
          const std::function<void(const std::string&)>& ready) {
    std::string error;
    int status = 0;
    if (!resident.prepare(&error, &status)) {
        std::cerr << "kvtsim: " << error << "\n";
        return status;
    }
    Calibrator& emu = resident.calibrator();
    if (!s.image.empty()) {
        kvttools::MemoryFile file;
        if (!kvttools::loadMemoryFile(s.image, &file, &error)) {
            std::cerr << "kvtsim: " << error << "\n";
            return kExitUsage;
        }
        emu.replaceMemory(Memory::Procedure, std::move(file.procedure));
        emu.replaceMemory(Memory::Results, std::move(file.results));
    }
    // Made now, so that a place that cannot be written shows before anything is served.
    kvttools::AtomicFile save;
    if (!s.save.empty() && !save.open(s.save, &error)) {
        std::cerr << "kvtsim: cannot write " << error << "\n";
        return kExitUsage;
    }
    armFaults(emu, s);
    if (s.verbose) {
        emu.setCommandObserver([](const k27emu::LoggedCommand& c) {
            std::printf("%s %s\n", c.accepted ? ">" : "x", c.text.c_str());
            std::fflush(stdout);
        });
    }
    if (!resident.start(&error)) {
        std::cerr << "kvtsim: " << error << "\n";
        return 1;
    }
    if (!s.link.empty() && !makeLink(s.link, emu.portPath())) return 1;
    std::cerr << "kvtsim: " << s.options.identity.model << " " << s.options.identity.firmwareVersion
              << " on " << emu.portPath() << (s.link.empty() ? "" : " (" + s.link + ")")
              << (s.state.empty() ? "" : ", state " + resident.statePath())
              << (resident.clockOffset() == 0
                      ? ""
                      : ", clock " + k27emu::formatOffset(resident.clockOffset()))
              << (s.background ? "; kvtlnk sim stop ends it\n" : "; Ctrl-C stops\n");
    ready(emu.portPath());

    const bool kept = resident.serveUntilSignal(&error);
    if (!s.link.empty()) removeLink(s.link, emu.portPath());
    if (!kept) {
        std::cerr << "kvtsim: " << error << "\n";
        return 1;
    }
    if (!s.save.empty()) {
        const kvttools::MemoryFile file{emu.memory(Memory::Procedure), emu.memory(Memory::Results)};
        if (!save.commit(kvttools::formatMemoryFile(file), &error)) {
            std::cerr << "kvtsim: cannot write " << error << "\n";
            return 1;
        }
    }
    return 0;
}

int run(const Settings& s) {
    k27emu::ResidentOptions options;
    std::string error;
    if (!residentOptions(s, &options, &error)) {
        std::cerr << "kvtsim: " << error << " (kvtsim --help lists the options)\n";
        return kExitUsage;
    }
    const auto printPort = [](const std::string& port) {
        std::printf("%s\n", port.c_str());
        std::fflush(stdout);
    };
    if (!s.background) {
        k27emu::Resident resident(options);
        return serve(s, resident, printPort);
    }
    k27emu::RegisteredEmulator running;
    if (k27emu::findRegistered(&running) == k27emu::Registered::Running) {
        std::cerr << "kvtsim: an emulator serves already on " << running.port << " (process "
                  << running.pid << "): kvtlnk sim stop ends it\n";
        return 1;
    }
    std::string port;
    const int status = k27emu::runDetached(
        [&](const std::function<void(const std::string&)>& ready) {
            k27emu::Resident resident(options);
            return serve(s, resident, ready);
        },
        &port);
    if (status == 0) printPort(port);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // The stop signals are taken by sigwait in the main thread; the serving thread inherits
    // the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stopSignals, sig);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    CLI::App app{"kvtsim"};
    Settings settings;
    buildOptions(app, settings);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
        std::cerr << "kvtsim: " << e.what() << " (kvtsim --help lists the options)\n";
        return kExitUsage;
    }
    if (settings.pace || settings.options.paceBurstMs != 0) settings.options.pacingBaud = 9600;
    settings.seedGiven = app.count("--seed") > 0;
    settings.options.attempts = static_cast<uint8_t>(settings.attempts);
    return run(settings);
}
