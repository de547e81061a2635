// A complete session with a K27: open the port, identify the calibrator, build a small
// procedure memory, download it, upload both memories, list them, close. Without --port it
// talks to the emulator, started in this process on a pseudo-terminal.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"

namespace {

bool check(const char* what, uint32_t result) {
    if (result != KVTLNK_OK) std::fprintf(stderr, "%s failed: result %u\n", what, result);
    return result == KVTLNK_OK;
}

bool buildProcedures() {
    MEMclear();
    const float points[] = {0.0f, 0.5f, 1.0f, 0.5f, 0.0f};
    uint32_t strategy = 0;
    return check("MEMstrategyDefn", MEMstrategyDefn(&strategy, "5 POINT UP/DN", 5, points)) &&
           check("MEMpromptDefn", MEMpromptDefn("CONNECT", "Connect the transmitter")) &&
           check("MEMpromptDefn", MEMpromptDefn("VENT", "Vent the sensor to air")) &&
           check("MEMstartTask", MEMstartTask("PT-101 inlet pressure")) &&
           check("MEMprompt", MEMprompt("CONNECT")) && check("MEMprompt", MEMprompt("VENT")) &&
           check("MEMendTask", MEMendTask());
}

// Runs a transfer's start call and then its steps until nothing remains.
bool transfer(const char* what, uint32_t (*start)(uint32_t*), uint32_t (*step)(uint32_t*)) {
    uint32_t count = 0;
    if (!check(what, start(&count))) return false;
    std::printf("%s: %u items\n", what, count);
    for (uint32_t remaining = count; remaining > 0;) {
        if (!check(what, step(&remaining))) return false;
    }
    return true;
}

void printDirectory(const char* title, uint32_t count,
                    uint32_t (*dir)(int32_t, uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                    uint32_t*, uint32_t*)) {
    std::printf("%s: %u items\n", title, count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t code, year, month, day, hour, minute, second;
        if (dir(static_cast<int32_t>(i), &code, &year, &month, &day, &hour, &minute, &second) !=
            KVTLNK_OK) {
            continue;
        }
        std::printf("  %3u  code %2u  %04u-%02u-%02u %02u:%02u:%02u\n", i, code, year, month, day,
                    hour, minute, second);
    }
}

bool session(const std::string& port) {
    if (!check("KVTopen", KVTopen(9600, port.c_str(), 200, 5))) return false;
    char model[128], serial[128], firmware[128];
    uint32_t edValue, procItems, resultItems;
    bool ok =
        check("KVTgetK2x", KVTgetK2x(model, serial, firmware, &edValue, &procItems, &resultItems));
    if (ok) {
        std::printf("calibrator: %s, firmware %s, %s; %u procedure and %u result items\n", model,
                    firmware, serial, procItems, resultItems);
    }
    ok = ok && buildProcedures() && transfer("download", KVTdnlStart, KVTdnlStep) &&
         transfer("upload", KVTuplStart, KVTuplStep);
    if (ok) {
        uint32_t procedures = 0, results = 0, used = 0;
        MEMstats(&procedures, &results);
        MEMused(&used);
        printDirectory("procedure memory", procedures, MEMpDir);
        printDirectory("results memory", results, MEMrDir);
        std::printf("memory in use: %u bytes\n", used);
    }
    return check("KVTclose", KVTclose()) && ok;
}

}  // namespace

int main(int argc, char** argv) {
    char version[4];
    KVTversion(version);
    std::printf("kvtlnk %s\n", version);

    std::string port;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0) port = argv[i + 1];
    }
    std::unique_ptr<k27emu::Calibrator> emulator;
    if (port.empty()) {
        emulator = std::make_unique<k27emu::Calibrator>();
        if (!emulator->start()) {
            std::fprintf(stderr, "the emulator could not make a pseudo-terminal\n");
            return 1;
        }
        port = emulator->portPath();
        std::printf("emulated K27 on %s\n", port.c_str());
    }
    return session(port) ? 0 : 1;
}
