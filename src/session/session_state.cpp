#include "session/session_state.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "kvtlnk/kvtlnk.h"

namespace kvtlnk {

namespace {

bool startsWith(const char* text, const char* prefix) {
    return text != nullptr && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

void sleepSeconds(uint32_t n) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::seconds(n);
    // A sleep may end early (a signal): sleep again for what is left.
    while (Clock::now() < until)
        std::this_thread::sleep_until(until);
}

uint32_t acceptCalibrator(SessionState& session, const char* model, const char* firmwareVersion) {
    if (!startsWith(model, "ORVAN K27")) {
        session.firmwareLevel = -1;
        return KVTLNK_E_NOT_ACCEPTED;
    }
    if (startsWith(firmwareVersion, "V1.2.")) {
        session.firmwareLevel = 1;
    } else if (startsWith(firmwareVersion, "V1.0") || startsWith(firmwareVersion, "V1.1") ||
               startsWith(firmwareVersion, "V1.2")) {
        session.firmwareLevel = 0;
    } else {
        session.firmwareLevel = 1;
    }
    return KVTLNK_OK;
}

}  // namespace kvtlnk
