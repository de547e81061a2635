#include "progress.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace kvtcli {
namespace {

constexpr auto kRedraw = std::chrono::milliseconds(250);
// What an item costs on the wire besides its bytes: its command, the replies, the
// acknowledgements and the progress texts, about as long as 120 bytes take.
constexpr double kItemOverheadBytes = 120;

std::string duration(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    return fmt::format("{}:{:02}", s / 60, s % 60);
}

std::string kilobytes(double bytes) {
    return fmt::format("{:.1f}", bytes / 1000.0);
}

double secondsBetween(std::chrono::steady_clock::time_point a,
                      std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

}  // namespace

Progress::Progress(std::string what, bool enabled)
    : what_(std::move(what)), enabled_(enabled), terminal_(isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    end();
}

void Progress::phase(const std::string& text) {
    if (!enabled_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stderr, terminal_ ? "\r%s: %s ...\x1b[K" : "%s: %s\n", what_.c_str(),
                 text.c_str());
    std::fflush(stderr);
    lineOpen_ = terminal_;
}

void Progress::begin(std::vector<uint32_t> itemBytes) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        itemBytes_ = std::move(itemBytes);
        totalBytes_ = 0;
        for (uint32_t b : itemBytes_)
            totalBytes_ += b;
        doneBytes_ = 0;
        done_ = 0;
        started_ = lastItem_ = Clock::now();
        lastQuarter_ = -1;
        draw();
    }
    if (enabled_ && terminal_ && !running_) {
        running_ = true;
        ticker_ = std::thread(&Progress::tick, this);
    }
}

void Progress::advance(uint32_t itemsDone) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (; done_ < itemsDone && done_ < itemBytes_.size(); ++done_)
        doneBytes_ += itemBytes_[done_];
    done_ = itemsDone;
    lastItem_ = Clock::now();
    draw();
}

void Progress::end() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
    if (ticker_.joinable()) ticker_.join();
    if (enabled_ && lineOpen_) std::fputc('\n', stderr);
    lineOpen_ = false;
}

// "12.3 of 40.1 kB, 9/26 items, 0.9 kB/s, 0:31 left". The pace is the bytes and items through
// divided by the time they took, each item counted with its overhead on the wire; the time
// left is what remains at that pace, and within an item the count moves on at it, never past
// the item's end.
std::string Progress::figures(Clock::time_point now, double* bytesShown) const {
    const double took = secondsBetween(started_, lastItem_);
    const double pace =
        done_ > 0 && took > 0.05 ? (doneBytes_ + done_ * kItemOverheadBytes) / took : 0.0;
    const double rate = took > 0.05 ? doneBytes_ / took : 0.0;
    double shown = static_cast<double>(doneBytes_);
    if (pace > 0 && done_ < itemBytes_.size()) {
        shown += std::min(pace * secondsBetween(lastItem_, now), itemBytes_[done_] * 0.99);
    }
    *bytesShown = shown;
    const double left =
        static_cast<double>(totalBytes_) - shown + (itemBytes_.size() - done_) * kItemOverheadBytes;
    std::string text =
        fmt::format("{} of {} kB, {}/{} items", kilobytes(shown),
                    kilobytes(static_cast<double>(totalBytes_)), done_, itemBytes_.size());
    if (done_ >= itemBytes_.size()) return text + ", in " + duration(secondsBetween(started_, now));
    if (pace <= 0) return text;
    return text + fmt::format(", {} kB/s, {} left", kilobytes(rate), duration(left / pace));
}

void Progress::draw() {
    if (!enabled_) return;
    double shown = 0;
    const std::string text = figures(Clock::now(), &shown);
    const double part = totalBytes_ == 0 ? 1.0 : shown / static_cast<double>(totalBytes_);
    if (terminal_) {
        constexpr int kWidth = 24;
        const auto filled = static_cast<size_t>(kWidth * part);
        std::fprintf(stderr, "\r%s [%s%s] %s\x1b[K", what_.c_str(),
                     std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(),
                     text.c_str());
        std::fflush(stderr);
        lineOpen_ = true;
        return;
    }
    const int quarter = static_cast<int>(4 * part);
    if (quarter == lastQuarter_) return;
    lastQuarter_ = quarter;
    std::fprintf(stderr, "%s: %s\n", what_.c_str(), text.c_str());
}

void Progress::tick() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kRedraw, [this] { return !running_; })) {
        draw();
    }
}

}  // namespace kvtcli
