#pragma once

// A calibrator stand-in on a pty whose answers a test writes itself: every command that comes
// in is logged and answered with the packets set for it (status, data, final); a command
// without an answer of its own is accepted with status "0" and the final 0x04. The library
// opens path() as its port.
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "propkt/fd_line.h"
#include "propkt/ptalklib.h"
#include "propkt/pty_pair.h"

namespace kvtlnk {

class ScriptedCalibrator {
  public:
    using Bytes = std::vector<uint8_t>;

    explicit ScriptedCalibrator(uint32_t readTimeoutMs = 30)
        : line_(pty_.master(), readTimeoutMs),
          port_(line_, PortRole::Slave),
          thread_([this] { run(); }) {}
    ~ScriptedCalibrator() {
        stop_ = true;
        thread_.join();
    }
    ScriptedCalibrator(const ScriptedCalibrator&) = delete;
    ScriptedCalibrator& operator=(const ScriptedCalibrator&) = delete;

    const std::string& path() const { return pty_.slavePath(); }
    void answer(const std::string& command, std::vector<Bytes> packets) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[command] = std::move(packets);
    }
    std::vector<std::string> commands() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return commands_;
    }
    void clearLog() {
        std::lock_guard<std::mutex> lock(mutex_);
        commands_.clear();
    }
    // How often a command was received.
    int count(const std::string& command) const {
        int n = 0;
        for (const std::string& c : commands())
            n += c == command;
        return n;
    }

    // The usual answer: status "0", the lines, the final 0x04.
    static std::vector<Bytes> reply(std::vector<std::string> lines = {}) {
        std::vector<Bytes> packets{Bytes{'0'}};
        for (const std::string& l : lines)
            packets.emplace_back(l.begin(), l.end());
        packets.push_back(Bytes{0x04});
        return packets;
    }

  private:
    void run() {
        uint8_t storage[1024];
        while (!stop_) {
            PacketBuffer packet(storage, sizeof storage);
            if (!port_.receive(packet) || packet.size() == 0) continue;  // quiet, or a disconnect
            const std::string command(storage, storage + packet.size());
            std::vector<Bytes> packets = reply();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                commands_.push_back(command);
                auto it = answers_.find(command);
                if (it != answers_.end()) packets = it->second;
            }
            for (Bytes& p : packets) {
                PacketBuffer out(p.data(), static_cast<uint16_t>(p.size()),
                                 static_cast<uint16_t>(p.size()));
                if (!port_.send(out)) break;
            }
        }
    }

    PtyPair pty_;
    FdLine line_;
    PacketPort port_;
    mutable std::mutex mutex_;
    std::vector<std::string> commands_;
    std::map<std::string, std::vector<Bytes>> answers_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace kvtlnk
