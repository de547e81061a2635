// What the server made of the archive, kept by what it depends on: a request that asks for what
// another is making waits for it rather than making it again, so that a burst of visitors after
// an upload makes each page once.
#pragma once

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kvtweb {

template <typename T>
class Kept {
  public:
    using Value = std::shared_ptr<const T>;

    // budget: what the kept values may weigh together, each weighing what weight says; all are
    // let go when a new one would start beyond it.
    Kept(size_t budget, std::function<size_t(const T&)> weight)
        : budget_(budget), weight_(std::move(weight)) {}

    // The value of key: kept, being made by another request (waited for), or made now. A value
    // make gives as null (nothing found) is not kept; an exception of make reaches every request
    // that waited for it and is not kept either.
    Value get(const std::string& key, const std::function<Value()>& make) {
        std::promise<Value> promise;
        std::unique_lock<std::mutex> lock(mutex_);
        const auto it = kept_.find(key);
        if (it != kept_.end()) {
            const std::shared_future<Value> made = it->second;
            lock.unlock();
            const Value value = made.get();
            if (value) return value;
            lock.lock();
        }
        if (weighed_ >= budget_) {
            kept_.clear();
            weighed_ = 0;
        }
        kept_[key] = promise.get_future().share();
        lock.unlock();
        Value value;
        try {
            value = make();
        } catch (...) {
            forget(key);
            promise.set_exception(std::current_exception());
            throw;
        }
        if (value) {
            lock.lock();
            weighed_ += weight_(*value);
            lock.unlock();
        } else {
            forget(key);
        }
        promise.set_value(value);
        return value;
    }

    // Lets go of every kept value when the state they were made in (the archive's revision,
    // the lab file, the day) is no longer the current one: none of them is asked for again.
    void keepState(const std::string& current) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (current == state_) return;
        state_ = current;
        kept_.clear();
        weighed_ = 0;
    }

  private:
    void forget(const std::string& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        kept_.erase(key);
    }

    const size_t budget_;
    const std::function<size_t(const T&)> weight_;
    std::mutex mutex_;
    std::map<std::string, std::shared_future<Value>> kept_;
    size_t weighed_ = 0;
    std::string state_;
};

}  // namespace kvtweb
