// The worker mode of the kvtlnk tool: one process per calibrator port, holding the library of
// its own process, run by the bench page's server. It reads one operation a line on standard
// input (JSON: identify, upload, download, clear) and writes what happens, one event a line on
// standard output, as it happens: the phase, the calibrator, each item of a transfer, and how
// the operation ended. Each operation opens its own session, as a command of the tool does, so
// that a calibrator unplugged and plugged in again is found by the next one.
//
// Operations: {"op":"identify"}, {"op":"upload","technician":NAME},
// {"op":"download","file":PATH,"name":SHOWN,"discard":BOOL,"confirmed":BOOL},
// {"op":"clear","discard":BOOL}.
// Events: {"event":"phase","text"}, {"event":"calibrator","calibrator":{...}},
// {"event":"progress","what","item","items","bytes","totalBytes","secondsLeft","stamp"},
// {"event":"done","op","message","instruments":[tags]},
// {"event":"failed","op","message","problems":[{"field","message"}],"gone":BOOL}.
// stamp is the monotonic clock in milliseconds, the same clock in every process of the machine.
#pragma once

#include <iosfwd>
#include <string>

#include "calibrator/session.h"
#include "workspace/workspace.h"

namespace kvtweb {

struct WorkerOptions {
    std::string port;
    kvtapp::LinkOptions link;
    kvtapp::Workspace::Settings settings;
    // The front end's watch over each session (interrupts); none: a plain one.
    kvtapp::SessionWatch* watch = nullptr;
};

// Serves operations until the input ends; returns the exit status.
int runWorker(const WorkerOptions& options, std::istream& in, std::ostream& out);

// The monotonic clock in milliseconds.
int64_t monotonicMs();

}  // namespace kvtweb
