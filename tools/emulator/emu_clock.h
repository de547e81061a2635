// The emulator's own clock: the host's clock moved by an offset, as a calibrator's clock that
// was set once and runs on by itself, switched on or not.
#pragma once

#include <cstdint>
#include <string>

#include "emu_memory.h"

namespace k27emu {

// Seconds since 1970-01-01 00:00 UTC, on the host's clock.
int64_t hostSeconds();
// The local date and time of a moment, as the calibrator stamps it.
DateStamp stampAt(int64_t seconds);
// The moment of a local date and time.
int64_t secondsOf(const DateStamp& stamp);

// The dates the calibrator's stamps can hold.
constexpr int kFirstYear = 1992;
constexpr int kLastYear = 2091;

// "2027-01-15T09:00", "2027-01-15 09:00" or with seconds ("...T09:00:30"), in local time, within
// the years the stamps hold. False with the reason.
bool parseClock(const std::string& text, int64_t* seconds, std::string* error);
// A signed span: a whole number and a unit, "30d", "-2h", "90min", "45s", "2w". False with the
// reason.
bool parseClockOffset(const std::string& text, int64_t* seconds, std::string* error);
// For messages: "+30d 02:00:00".
std::string formatOffset(int64_t seconds);

}  // namespace k27emu
