// The lab file as the server works with it: read again when the file changes on disk, and,
// while the file cannot be read or says something that is not valid, the last one read well,
// with why the new one was not taken. A fixed file is taken at the next request.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "workspace/workspace.h"

namespace kvtweb {

class LabWatch {
  public:
    struct Current {
        std::shared_ptr<const kvtapp::Workspace> workspace;
        std::string stamp;    // differs whenever the file on disk changed
        std::string problem;  // why the file on disk is not the one in use; "" when it is
    };

    // Reads the lab file now: a problem of it at the start is the caller's Error.
    explicit LabWatch(kvtapp::Workspace::Settings settings);

    Current current();

  private:
    const kvtapp::Workspace::Settings settings_;
    std::mutex mutex_;
    Current current_;
};

}  // namespace kvtweb
