// Progress of a transfer on standard error: a bar redrawn in place on a terminal, a plain line
// at every quarter of the way otherwise. It counts bytes, shows the rate measured so far and
// the time left at that rate; on a terminal it moves on through a long item at that rate.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "calibrator/session.h"

namespace kvtcli {

class Progress : public kvtapp::TransferProgress {
  public:
    // what: "download", "upload", "backup"; enabled false keeps it silent.
    Progress(std::string what, bool enabled);
    ~Progress() override;  // ends the line
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // What happens before the transfer ("identifying the calibrator on /dev/ttyUSB0"),
    // shown at once.
    void phase(const std::string& text);
    // The transfer starts: the bytes of each item, in transfer order.
    void begin(std::vector<uint32_t> itemBytes) override;
    void advance(uint32_t itemsDone) override;
    void end() override;

  private:
    using Clock = std::chrono::steady_clock;

    std::string figures(Clock::time_point now, double* bytesShown) const;
    void draw();
    void tick();

    const std::string what_;
    const bool enabled_;
    const bool terminal_;
    std::mutex mutex_;  // the figures, between the work and the ticker
    std::condition_variable wake_;
    std::thread ticker_;
    bool running_ = false;
    bool lineOpen_ = false;  // a bar or phase text stands without its line end
    std::vector<uint32_t> itemBytes_;
    uint64_t totalBytes_ = 0;
    uint64_t doneBytes_ = 0;
    uint32_t done_ = 0;
    Clock::time_point started_;
    Clock::time_point lastItem_;  // when done_ items were through
    int lastQuarter_ = -1;
};

}  // namespace kvtcli
