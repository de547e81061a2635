// Opening the one calibrator session of the process, and closing it.
#include "kvtlnk/kvtlnk.h"
#include "session/command.h"
#include "session/session_calls.h"

namespace kvtlnk {

namespace {

constexpr int32_t kOnlyBaud = 9600;

// Identifies the calibrator and accepts or refuses it by model and firmware version.
uint32_t identifyAndAccept(SessionState& s, PacketPort& port) {
    char model[16];
    char ident3[12];
    char firmwareVersion[40];
    uint32_t edValue = 0;
    uint32_t procItems = 0;
    uint32_t resultItems = 0;
    const Identity id{model,         sizeof model,    ident3,
                      sizeof ident3, firmwareVersion, sizeof firmwareVersion};
    if (uint32_t r = getK2x(s, port, id, &edValue, &procItems, &resultItems)) return r;
    return acceptCalibrator(s, model, firmwareVersion);
}

}  // namespace

uint32_t openSession(SessionState& s, Link& link, int32_t baud, const char* portName,
                     uint32_t readTimeoutMs, int32_t retries) {
    // Any read time-out is taken: 0 waits for every byte as long as it takes.
    if (baud != kOnlyBaud || portName == nullptr) return KVTLNK_E_ARGUMENT;
    if (s.sessionOpen != 0) {
        if (uint32_t r = closeSession(s, link)) return r;
    }
    link.serial().setReadTimeout(readTimeoutMs);
    switch (link.open(static_cast<uint32_t>(baud), portName, PortRole::Master)) {
        case LinkOpen::Opened:
            break;
        case LinkOpen::BadBaud:
            return KVTLNK_E_ARGUMENT;
        case LinkOpen::PortFailed:
            return KVTLNK_E_NO_SESSION;
    }
    PacketPort& port = *link.port();
    s.sessionOpen = 1;
    port.setAttempts(static_cast<uint8_t>(retries & 0xFF));
    s.linkEstablished = 0;
    s.firmwareLevel = -1;

    const uint32_t r = identifyAndAccept(s, port);
    if (r != KVTLNK_OK) closeSession(s, link);
    return r;
}

uint32_t closeSession(SessionState& s, Link& link) {
    uint32_t result = KVTLNK_OK;
    if (s.sessionOpen != 0) {
        if (PacketPort* port = link.port()) result = sendStatusText(s, *port, "");
        link.close();
        s.sessionOpen = 0;
    }
    s.linkEstablished = 0;
    return result;
}

}  // namespace kvtlnk
