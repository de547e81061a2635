// Progress of a download or upload on standard error: a bar redrawn in place on a terminal,
// a plain line at every quarter of the way otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kvtcli {

class Progress {
  public:
    // what: "download" or "upload"; enabled false keeps it silent.
    Progress(std::string what, bool enabled);

    // itemBytes: the data bytes of each item, in transfer order, for the time left; when empty,
    // items are taken as equal shares of totalBytes.
    void begin(uint32_t items, uint64_t totalBytes, std::vector<uint32_t> itemBytes = {});
    void update(uint32_t itemsDone);
    // Ends the bar; failed leaves the last figures standing.
    void end(bool failed);

  private:
    using Clock = std::chrono::steady_clock;

    // Bytes on the wire for the first itemsDone items, data and overhead.
    uint64_t bytesDone(uint32_t itemsDone) const;
    std::string figures(uint32_t itemsDone) const;

    std::string what_;
    bool enabled_;
    bool terminal_;
    uint32_t items_ = 0;
    uint32_t done_ = 0;
    uint64_t totalBytes_ = 0;
    std::vector<uint32_t> itemBytes_;
    Clock::time_point started_;
    uint64_t wireBytes_ = 0;  // data and per-item overhead, in bytes on the wire
    int lastQuarter_ = -1;
};

}  // namespace kvtcli
