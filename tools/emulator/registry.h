// Where a resident emulator tells the command-line tool which pty it serves: one small JSON file
// per user, {"port": "/dev/pts/4", "pid": 1234, "started": 5678, "state": "/home/me/k27.json"},
// in $XDG_RUNTIME_DIR/kvtlnk, else $XDG_STATE_HOME/kvtlnk, else ~/.local/state/kvtlnk.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace k27emu {

struct RegisteredEmulator {
    std::string port;      // the pty's slave path
    pid_t pid = 0;         // the serving process
    uint64_t started = 0;  // its start time, in clock ticks after boot (Linux: 0 elsewhere)
    std::string state;     // its state file, absolute; empty for none
};

// The registry file's path; empty when neither the environment nor a home directory names one.
std::string registryPath();

enum class Registered {
    None,     // no entry
    Running,  // an entry whose process serves
    Stale,    // an entry whose process is gone, or a damaged entry: removed now
};

// Reads the entry as untrusted: bounded, every field checked. A stale or damaged entry is
// removed; *found then tells what it said (as far as it could be read).
Registered findRegistered(RegisteredEmulator* found);

// Writes the entry of this process, replacing any (the caller checked for a running one).
bool registerEmulator(const RegisteredEmulator& entry, std::string* error);
// Removes the entry if it is this process's.
void unregisterEmulator(pid_t pid);

// The start time of a process as /proc gives it, or 0 when it cannot be read.
uint64_t processStartTime(pid_t pid);
// The process runs: it exists and has not ended (a zombie has).
bool processRuns(pid_t pid);

}  // namespace k27emu
