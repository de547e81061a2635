#include "lab_watch.h"

#include <sys/stat.h>

#include "say.h"

namespace kvtweb {
namespace {

// What changes when the file is written, replaced, removed or has its permissions changed.
std::string fileStamp(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return "none";
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
           std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
           std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec) + ":" +
           std::to_string(st.st_mode);
}

}  // namespace

LabWatch::LabWatch(kvtapp::Workspace::Settings settings) : settings_(std::move(settings)) {
    current_.stamp = fileStamp(kvtlab::labPath(settings_.lab));
    auto first = std::make_shared<kvtapp::Workspace>(settings_);
    first->lab();
    current_.workspace = std::move(first);
}

LabWatch::Current LabWatch::current() {
    const std::string path = kvtlab::labPath(settings_.lab);
    const std::string stamp = fileStamp(path);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stamp == current_.stamp) return current_;
    current_.stamp = stamp;
    auto fresh = std::make_shared<kvtapp::Workspace>(settings_);
    try {
        // A lab file that was there and is gone is no lab file now only by mistake.
        if (fresh->lab().path.empty() && !current_.workspace->lab().path.empty())
            throw std::runtime_error("it is gone");
        current_.workspace = std::move(fresh);
        if (!current_.problem.empty()) say("the lab file " + path + " is read again");
        current_.problem.clear();
    } catch (const std::exception& e) {
        current_.problem = e.what();
        say("the lab file " + path + " cannot be used (" + current_.problem +
            "): going on with it as it was last read");
    }
    return current_;
}

}  // namespace kvtweb
