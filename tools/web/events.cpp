#include "events.h"

namespace kvtweb {

void EventHub::publish(const std::string& topic, std::string data) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        topics_[topic] = {++last_, std::move(data)};
    }
    changed_.notify_all();
}

EventHub::Changes EventHub::wait(uint64_t& seen, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return closed_ || last_ > seen; });
    Changes changes;
    if (closed_) return changes;
    for (const auto& [topic, entry] : topics_) {
        if (entry.change > seen) changes.emplace_back(topic, entry.data);
    }
    seen = last_;
    return changes;
}

void EventHub::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool EventHub::closed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

}  // namespace kvtweb
