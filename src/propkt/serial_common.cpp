#include <cctype>
#include <cstdio>
#include <cstring>

#include "propkt/serial_port.h"

namespace kvtlnk {

namespace {

bool isAcceptedBaud(uint32_t baud) {
    switch (baud) {
        case 0:
        case 1200:
        case 2400:
        case 4800:
        case 9600:
        case 19200:
        case 38400:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool SerialPort::setBaud(uint32_t baud) {
    if (!isAcceptedBaud(baud)) return false;
    baud_ = baud == 0 ? kDefaultBaud : baud;
    return true;
}

unsigned comPortNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 8 || name[3] == '0') return 0;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    }
    unsigned n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        n = n * 10 + static_cast<unsigned>(name[i] - '0');
    }
    return n;
}

std::string commErrorText(uint32_t errorMask, uint32_t inQueue, uint32_t outQueue) {
    char text[128] = "";
    auto add = [&text](const char* format, uint32_t value) {
        size_t used = std::strlen(text);
        if (used > 0 && used + 2 < sizeof text) std::strcat(text, ", ");
        used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, format, static_cast<unsigned>(value));
    };
    if (errorMask != 0) add("GetCommError = 0x%04x\n", errorMask);
    if (inQueue != 0) add("cbInQue=%u\n", inQueue);
    if (outQueue != 0) add("cbOutQue=%u\n", outQueue);
    return text;
}

}  // namespace kvtlnk
