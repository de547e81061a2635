#pragma once

// An in-memory serial line with two connected ends, so that a master and a slave packet port can
// talk in one process (one of them in its own thread). Each end reads with its own time-out
// (0 waits for ever), purges on a read of 0 bytes, keeps a log of what it wrote, and can be told
// to lose, change or shorten its next writes. A packet port hands each frame to the line in one
// write (up to 255 bytes), so "the next write" is "the next frame" for small packets.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "propkt/serial_line.h"

namespace kvtlnk {

class DuplexLine {
  public:
    using Bytes = std::vector<uint8_t>;
    // Sees every write of an end on its way to the other end; may change the bytes, or return
    // false to lose them. Runs outside the line's lock, so it may call inject().
    using Filter = std::function<bool(Bytes& bytes)>;

    class End : public SerialLine {
      public:
        uint16_t write(const uint8_t* data, uint16_t count) override {
            std::unique_lock<std::mutex> lock(line_.mutex_);
            log_.emplace_back(data, data + count);
            Bytes bytes(data, data + count);
            uint16_t accepted = count;
            bool keep = true;
            if (dropWrites_ > 0) {
                --dropWrites_;
                keep = false;
            }
            if (corruptOffset_ >= 0 && static_cast<size_t>(corruptOffset_) < bytes.size()) {
                bytes[corruptOffset_] ^= corruptMask_;
            }
            if (dropOffset_ >= 0 && static_cast<size_t>(dropOffset_) < bytes.size()) {
                bytes.erase(bytes.begin() + dropOffset_);
            }
            if (shortAccept_ >= 0 && shortAccept_ < count) {
                accepted = static_cast<uint16_t>(shortAccept_);
                bytes.resize(accepted);
            }
            corruptOffset_ = dropOffset_ = shortAccept_ = -1;
            Filter filter = filter_;
            lock.unlock();
            if (keep && filter) keep = filter(bytes);
            if (keep) peer().inject(bytes);
            return accepted;
        }

        uint16_t read(uint8_t* data, uint16_t count) override {
            std::unique_lock<std::mutex> lock(line_.mutex_);
            if (count == 0) {
                inbox_.clear();
                ++purges_;
                return 0;
            }
            uint16_t got = 0;
            while (got < count) {
                auto ready = [this] { return !inbox_.empty() || line_.closed_; };
                if (timeoutMs_ == 0) {
                    line_.cv_.wait(lock, ready);
                } else if (!line_.cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs_),
                                               ready)) {
                    break;
                }
                if (inbox_.empty()) break;  // closed
                data[got++] = inbox_.front();
                inbox_.pop_front();
            }
            return got;
        }

        void setReadTimeout(uint32_t ms) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            timeoutMs_ = ms;
        }
        // Bytes arrive at this end as though the other end had sent them.
        void inject(const Bytes& bytes) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            inbox_.insert(inbox_.end(), bytes.begin(), bytes.end());
            line_.cv_.notify_all();
        }
        void setFilter(Filter filter) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            filter_ = std::move(filter);
        }
        // Faults on the next writes of this end.
        void dropWrites(int n) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            dropWrites_ = n;
        }
        void corruptNextWrite(size_t offset, uint8_t mask = 0x01) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            corruptOffset_ = static_cast<long>(offset);
            corruptMask_ = mask;
        }
        void dropByteOfNextWrite(size_t offset) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            dropOffset_ = static_cast<long>(offset);
        }
        void shortNextWrite(uint16_t accepted) {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            shortAccept_ = accepted;
        }

        // Every write of this end as it was handed over, faults or not.
        std::vector<Bytes> writes() const {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            return log_;
        }
        void clearLog() {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            log_.clear();
        }
        int purges() const {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            return purges_;
        }
        size_t pending() const {
            std::lock_guard<std::mutex> lock(line_.mutex_);
            return inbox_.size();
        }

      private:
        friend class DuplexLine;
        End(DuplexLine& line, int index, uint32_t timeoutMs)
            : line_(line), index_(index), timeoutMs_(timeoutMs) {}
        End& peer() { return index_ == 0 ? line_.slave_ : line_.master_; }

        DuplexLine& line_;
        int index_;
        uint32_t timeoutMs_;
        std::deque<uint8_t> inbox_;
        std::vector<Bytes> log_;
        Filter filter_;
        int purges_ = 0;
        int dropWrites_ = 0;
        long corruptOffset_ = -1;
        uint8_t corruptMask_ = 0;
        long dropOffset_ = -1;
        long shortAccept_ = -1;
    };

    explicit DuplexLine(uint32_t readTimeoutMs = 50)
        : master_(*this, 0, readTimeoutMs), slave_(*this, 1, readTimeoutMs) {}
    DuplexLine(const DuplexLine&) = delete;
    DuplexLine& operator=(const DuplexLine&) = delete;

    End& master() { return master_; }
    End& slave() { return slave_; }

    // Wakes every reader; from now on reads return what is queued and then 0 at once.
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        cv_.notify_all();
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool closed_ = false;
    End master_;
    End slave_;
};

}  // namespace kvtlnk
