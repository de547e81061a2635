// What the live pages hear: the latest state of each topic (a calibrator's station), each
// change numbered, so that a listener that fell behind gets the latest state and skips the
// steps between.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kvtweb {

class EventHub {
  public:
    using Changes = std::vector<std::pair<std::string, std::string>>;  // topic, data

    // The topic's state is now data; wakes every listener.
    void publish(const std::string& topic, std::string data);
    // The topics changed since seen (all of them for 0), waiting up to timeout for one; seen
    // becomes the newest change returned. Empty after the time-out, or once closed.
    Changes wait(uint64_t& seen, std::chrono::milliseconds timeout);
    // Wakes every listener for good, as the server stops.
    void close();
    bool closed();

  private:
    struct Entry {
        uint64_t change = 0;
        std::string data;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t last_ = 0;
    bool closed_ = false;
    std::map<std::string, Entry> topics_;
};

}  // namespace kvtweb
