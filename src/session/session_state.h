#pragma once

#include <cstdint>

namespace kvtlnk {

constexpr char LIBRARY_VERSION[] = "1.1";

// Returns after n seconds of the steady clock, asleep meanwhile.
void sleepSeconds(uint32_t n);

// A calibrator session (the library holds one).
struct SessionState {
    uint16_t sessionOpen = 0;      // KVTopen has opened the port
    uint16_t linkEstablished = 0;  // the packet link was brought up in this session
    int32_t firmwareLevel = 0;     // -1 model refused, 0 early firmware, 1 later firmware
    int32_t transferStep = 0;      // next item of a running download or upload
    int32_t procedureItemCount = 0;
    int32_t resultItemCount = 0;
    // How the session waits out a link restart; tests put in one that returns at once.
    void (*waitSeconds)(uint32_t n) = &sleepSeconds;
};

// Accepts or refuses a calibrator by its model and firmware version texts and sets the
// session's firmware level; returns 0 or 2005.
uint32_t acceptCalibrator(SessionState& session, const char* model, const char* firmwareVersion);

}  // namespace kvtlnk
