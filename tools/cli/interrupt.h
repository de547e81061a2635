// Ctrl-C (SIGINT) and SIGTERM while the tool works with a calibrator. A thread of its own takes
// the signals; the work notices them between exchanges (checkInterrupt) and unwinds, which
// closes the session and ends the progress line. Work that has not noticed within a second (a
// long item, a silent line) is given up: the port is released for the next program, unfinished
// output files are removed, and the tool ends at once. Either way the last line says what state
// the calibrator is left in, and the exit status is 128 + the signal (130 for Ctrl-C).
#pragma once

#include <functional>
#include <string>

#include "calibrator/session.h"

namespace kvtcli {

// Blocks the signals in every thread to come and starts the thread that takes them; called
// first in main.
void watchInterrupts();

// For work that ends on its own when asked (the bench page's server): stop is called from the
// thread that takes the signals, and the tool waits for the work to return instead of giving up
// after a second; a second signal still ends it at once.
void onInterrupt(std::function<void()> stop);

// What stopping now leaves on the calibrator ("stopped after 9 of 122 items: the procedure
// memory is partial; download again"), for the message after an interrupt.
void setStopState(const std::string& text);

// The serial device of the session, whose exclusive-use flag must be cleared when the tool
// gives up in the middle of an exchange; empty when none is open.
void setPortInUse(const std::string& path);

// Throws the interrupt's error when a signal came.
void checkInterrupt();

// The watch over the tool's sessions: the port in use, the stop state and the check for an
// interrupt above.
kvtapp::SessionWatch& interruptWatch();

}  // namespace kvtcli
