#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace kvtcli {
namespace {

// The line runs at 9600 baud with a start and a stop bit: 960 bytes a second at best.
constexpr double kWireBytesPerSecond = 960.0;
// What an item costs on the wire besides its data: its command, the replies, the frames'
// acknowledgements and the progress texts, about as much as 120 data bytes.
constexpr uint64_t kItemOverheadBytes = 120;

std::string duration(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

Progress::Progress(std::string what, bool enabled)
    : what_(std::move(what)), enabled_(enabled), terminal_(isatty(STDERR_FILENO) == 1) {}

void Progress::begin(uint32_t items, uint64_t totalBytes, std::vector<uint32_t> itemBytes) {
    items_ = items;
    totalBytes_ = totalBytes;
    wireBytes_ = totalBytes + kItemOverheadBytes * items;
    itemBytes_ = std::move(itemBytes);
    started_ = Clock::now();
    lastQuarter_ = -1;
    update(0);
}

uint64_t Progress::bytesDone(uint32_t itemsDone) const {
    uint64_t data = items_ == 0 ? 0 : totalBytes_ * itemsDone / items_;
    if (!itemBytes_.empty()) {
        data = 0;
        for (uint32_t i = 0; i < itemsDone && i < itemBytes_.size(); ++i)
            data += itemBytes_[i];
    }
    return data + kItemOverheadBytes * itemsDone;
}

// "7/15 items  3.1 items/s  0:04 left": the time left is what is still to go on the wire at
// the rate measured so far, or at the wire's rate before the first item is through.
std::string Progress::figures(uint32_t itemsDone) const {
    const double elapsed = std::chrono::duration<double>(Clock::now() - started_).count();
    const uint64_t bytes = bytesDone(itemsDone);
    const double byteRate =
        bytes > 0 && elapsed > 0.05 ? static_cast<double>(bytes) / elapsed : kWireBytesPerSecond;
    char text[128];
    std::snprintf(text, sizeof text, "%u/%u items", itemsDone, items_);
    std::string line = text;
    if (itemsDone > 0 && elapsed > 0.05) {
        std::snprintf(text, sizeof text, "  %.1f items/s", itemsDone / elapsed);
        line += text;
    }
    if (itemsDone < items_) {
        line += "  " + duration(static_cast<double>(wireBytes_ - bytes) / byteRate) + " left";
    } else {
        line += "  in " + duration(elapsed);
    }
    return line;
}

void Progress::update(uint32_t itemsDone) {
    done_ = itemsDone;
    if (!enabled_) return;
    if (terminal_) {
        constexpr int kWidth = 24;
        const int filled = items_ == 0 ? kWidth : static_cast<int>(kWidth * itemsDone / items_);
        const std::string bar =
            std::string(filled, '#') + std::string(static_cast<size_t>(kWidth - filled), '.');
        std::fprintf(stderr, "\r%s [%s] %s\x1b[K", what_.c_str(), bar.c_str(),
                     figures(itemsDone).c_str());
        std::fflush(stderr);
        return;
    }
    const int quarter = items_ == 0 ? 4 : static_cast<int>(4 * itemsDone / items_);
    if (quarter == lastQuarter_) return;
    lastQuarter_ = quarter;
    std::fprintf(stderr, "%s: %s\n", what_.c_str(), figures(itemsDone).c_str());
}

void Progress::end(bool failed) {
    if (!enabled_) return;
    if (terminal_) {
        std::fprintf(stderr, "\n");
    } else if (failed) {
        std::fprintf(stderr, "%s: stopped at %s\n", what_.c_str(), figures(done_).c_str());
    }
}

}  // namespace kvtcli
