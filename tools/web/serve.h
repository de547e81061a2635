// kvtlnk serve: the bench page's server, on the application core.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "calibrator/session.h"
#include "workspace/workspace.h"

namespace kvtweb {

struct ServeOptions {
    std::string listen = "127.0.0.1:8027";
    bool login = false;  // ask for sign-in on the loopback address too
    kvtapp::Workspace::Settings settings;
    kvtapp::LinkOptions link;
    std::vector<std::string> ports;  // calibrator ports to set up at the start
    std::string program;             // the kvtlnk tool, which the workers run
    // Given the action that stops the server, to call when the tool is told to stop (Ctrl-C,
    // SIGTERM).
    std::function<void(std::function<void()>)> stopWith;
};

// Serves until stopped; returns the exit status. Throws an input Error before
// listening when the address is not loopback and the lab file lists no users, or when the
// address cannot be listened on.
int serve(const ServeOptions& options);

}  // namespace kvtweb
