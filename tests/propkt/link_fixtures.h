#pragma once

// Test fixtures for the wire: frames built by hand, a two-ended line in one process, a pty pair
// and a collector of trace texts.
//
// Time-outs: a read that must see bytes another thread or the kernel is still delivering waits
// kPatientMs, so that a stalled thread on a busy machine cannot make it time out; short
// time-outs only where the line is silent or every answer is already on it.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "propkt/debug_trace.h"
#include "propkt/fd_line.h"
#include "propkt/ptalklib.h"

namespace kvtlnk {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kPatientMs = 500;  // the library's own read time-out

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A frame with the given type byte, the body exactly as sent (0x10 already doubled) and a
// correct check value.
inline Bytes frameWith(uint8_t type, const Bytes& body = {}) {
    Bytes frame = {0x10, 0x02, type};
    for (uint8_t b : body)
        frame.push_back(b);
    frame.push_back(0x10);
    frame.push_back(0x03);
    const uint16_t check = static_cast<uint16_t>(
        ~crc16Update(0xFFFF, frame.data() + 2, static_cast<uint32_t>(frame.size() - 2)));
    frame.push_back(static_cast<uint8_t>(check & 0xFF));
    frame.push_back(static_cast<uint8_t>(check >> 8));
    return frame;
}

// A serial line with two connected ends over a socket pair, so that a master and a slave packet
// port can talk in one process. Each end keeps a log of its writes (a packet port hands each
// frame over in one write of up to 255 bytes) and can have them changed or lost on the way.
class DuplexLine {
  public:
    // Sees a write on its way to the other end; may change it, or return false to lose it.
    using Filter = std::function<bool(Bytes& bytes)>;

    class End : public SerialLine {
      public:
        End(int fd, int peerFd, uint32_t timeoutMs) : line_(fd, timeoutMs), peerFd_(peerFd) {}
        uint16_t write(const uint8_t* data, uint16_t count) override {
            Bytes bytes(data, data + count);
            Filter filter;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                log_.push_back(bytes);
                filter = filter_;
            }
            if (!filter || filter(bytes))
                line_.write(bytes.data(), static_cast<uint16_t>(bytes.size()));
            return count;
        }
        uint16_t read(uint8_t* data, uint16_t count) override {
            if (count == 0) ++purges_;
            return line_.read(data, count);
        }
        // Bytes arrive at this end as though the other end had sent them.
        void inject(const Bytes& b) {
            if (::write(peerFd_, b.data(), b.size()) < 0) std::abort();
        }
        void setFilter(Filter filter) {
            std::lock_guard<std::mutex> lock(mutex_);
            filter_ = std::move(filter);
        }
        // The nth next write (1: the next one) goes through the fault; the others pass.
        void faultWrite(int nth, std::function<bool(Bytes&)> fault) {
            auto seen = std::make_shared<int>(0);
            setFilter([=](Bytes& b) { return ++*seen == nth ? fault(b) : true; });
        }
        std::vector<Bytes> writes() const {
            std::lock_guard<std::mutex> lock(mutex_);
            return log_;
        }
        void clearLog() {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.clear();
        }
        int purges() const { return purges_; }

      private:
        FdLine line_;
        int peerFd_;
        mutable std::mutex mutex_;
        std::vector<Bytes> log_;
        Filter filter_;
        std::atomic<int> purges_{0};
    };

    explicit DuplexLine(uint32_t readTimeoutMs)
        : fds_(socketPair()),
          master_(fds_[0], fds_[1], readTimeoutMs),
          slave_(fds_[1], fds_[0], readTimeoutMs) {}
    ~DuplexLine() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    DuplexLine(const DuplexLine&) = delete;
    DuplexLine& operator=(const DuplexLine&) = delete;

    End& master() { return master_; }
    End& slave() { return slave_; }

  private:
    static std::array<int, 2> socketPair() {
        std::array<int, 2> fds{-1, -1};
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds.data()) != 0) std::abort();
        return fds;
    }
    std::array<int, 2> fds_;
    End master_;
    End slave_;
};

// A pseudo-terminal pair: the master side stands for the calibrator's end of the cable, the
// slave side's path is what the library opens as its port.
class PtyPair {
  public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
            ptsname_r(master_, name, sizeof name) == 0)
            slavePath_ = name;
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string slavePath_;
};

// Collects the texts of the objects given its trace, from its making on (one capture at a time).
class TraceCapture {
  public:
    TraceCapture() {
        std::lock_guard<std::mutex> lock(mutex());
        store().clear();
    }
    Trace trace(int level = Trace::kLevelFromEnvironment) const { return Trace{&sink, level}; }
    std::vector<std::string> texts() const {
        std::lock_guard<std::mutex> lock(mutex());
        return store();
    }

  private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& store() {
        static std::vector<std::string> s;
        return s;
    }
    static void sink(const char* text) {
        std::lock_guard<std::mutex> lock(mutex());
        store().push_back(text);
    }
};

}  // namespace kvtlnk
