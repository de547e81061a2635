// An answer many requests need at once, asked once for all those that wait together: a request
// takes the answer of an asking that began after it came, so that it sees every change made
// before it, and the requests that came while one asking ran share the next one. Under load the
// archive is asked about twice per asking's duration, not once per request.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

namespace kvtweb {

class SharedAnswer {
  public:
    std::string get(const std::function<std::string()>& ask) {
        std::unique_lock<std::mutex> lock(mutex_);
        const uint64_t needed = begun_ + 1;  // an asking that begins after this request came
        ++waiting_;
        while (finished_ < needed) {
            if (running_) {
                changed_.wait(lock);
                continue;
            }
            running_ = true;
            const uint64_t mine = ++begun_;
            lock.unlock();
            std::string answer;
            std::exception_ptr error;
            try {
                answer = ask();
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            answer_ = std::move(answer);
            error_ = error;
            finished_ = mine;
            running_ = false;
            changed_.notify_all();
        }
        --waiting_;
        if (error_) std::rethrow_exception(error_);
        return answer_;
    }

    // Requests in get now, asking or waiting.
    int waiting() {
        std::lock_guard<std::mutex> lock(mutex_);
        return waiting_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t begun_ = 0, finished_ = 0;
    bool running_ = false;
    int waiting_ = 0;
    std::string answer_;
    std::exception_ptr error_;
};

}  // namespace kvtweb
