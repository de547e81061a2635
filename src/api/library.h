#pragma once

#include <cstdint>

#include "memory/memory_image.h"
#include "propkt/debug_trace.h"
#include "propkt/link.h"
#include "propkt/serial_port.h"
#include "session/session_state.h"
#include "setup/setup_state.h"
#include "support/date_stamp.h"
#include "support/font.h"
#include "support/text_tables.h"

namespace kvtlnk {

// What the library takes from its surroundings, and tests replace with their own: the clock
// that stamps the records it makes, the wait of a link restart, the serial port's system calls
// and where diagnostics go.
struct Seams {
    DateStamp (*clock)() = &stampNow;
    void (*sleep)(uint32_t seconds) = &sleepSeconds;
    SystemCalls systemCalls = kvtlnk::systemCalls();
    Trace trace;
};

// Everything the library holds: the memory image, the calibrator's setup with its log, the text
// tables and the prompt font, the session with its serial port and packet link, and the seams
// they use. The members are built in the order of the calibrator's start-up (the seams before
// what uses them) and taken down in the reverse order; nothing talks to a port until KVTopen.
struct Library {
    explicit Library(const Seams& seams = Seams());
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const Seams seams;
    MemoryImage image;                  // the procedure memory, then the results memory
    float setupLog[kLogCapacity] = {};  // the samples of the last restored log
    SetupState setup;                   // the calibrator's setup, its log in setupLog
    TextTables textTables;              // unit symbols, prefix letters, decimal comma
    const ProportionalFont promptFont;  // the font of the calibrator's prompt area
    SessionState session;               // closed until KVTopen
    SerialPort serialPort;              // closed until KVTopen
    Link link;                          // no packet port until KVTopen; taken down before the port
};

// The library of the process, built at load before any export can be called. Only the exported
// functions reach it; everything below them is given what it works on.
Library& library();

}  // namespace kvtlnk
