// The library on lines that misbehave beneath the protocol: a line that dribbles a byte just
// inside every read time-out without ever forming a frame, and a calibrator whose adapter is
// unplugged in the middle of an upload.
//
// Time: each bound is checked with a margin of a second on top of what it allows, while without
// the bound the same exchange would take minutes; the clock is only read, never raced.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"
#include "memory/memory_image.h"
#include "propkt/link.h"
#include "propkt/link_fixtures.h"
#include "propkt/serial_port.h"
#include "session/session_calls.h"

namespace kvtlnk {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr uint32_t kTimeoutMs = 200;
constexpr milliseconds kDribble{150};  // well inside the time-out
constexpr milliseconds kMargin{1000};
constexpr uint32_t kByteTimeUs = 10000000 / 9600;

// What an exchange of `attempts` that moves `frameBytes` may take at 9600 baud.
milliseconds bound(uint32_t attempts, uint32_t frameBytes) {
    return milliseconds(attempts * (frameBytes * kByteTimeUs / 1000 + 1 + kTimeoutMs));
}

// Writes one byte that belongs to no frame every period, until it is destroyed.
class Dribbler {
  public:
    Dribbler(int fd, milliseconds period) : thread_([this, fd, period] { run(fd, period); }) {}
    ~Dribbler() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

  private:
    void run(int fd, milliseconds period) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, period, [this] { return stop_; })) {
            const uint8_t noise = 'A';
            if (::write(fd, &noise, 1) != 1) return;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

// Wall-clock and processor time of a piece of work.
struct Took {
    milliseconds wall;
    milliseconds cpu;
};
template <class Work>
Took timed(Work work) {
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    work();
    const auto cpuMs = (std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC;
    return {std::chrono::duration_cast<milliseconds>(Clock::now() - start), milliseconds(cpuMs)};
}

void expectWithin(const Took& took, milliseconds allowed, const char* what) {
    EXPECT_LE(took.wall.count(), (allowed + kMargin).count()) << what;
    EXPECT_LE(took.cpu.count(), took.wall.count() / 4 + 50) << what << ": the wait spins";
}

// The library's serial port on a fresh pty, whose other side stands for the calibrator.
struct PtyPort {
    PtyPort() {
        serial.setReadTimeout(kTimeoutMs);
        opened = pty.ok() && serial.open(pty.slavePath().c_str());
    }
    // Brings the link up: the calibrator's side answers every connect request until it is, so
    // that an answer that comes after an attempt's time on a busy machine is simply asked again.
    bool bringUp(PacketPort& port) {
        std::atomic<bool> up{false};
        std::thread calibrator([this, &up] {
            const Bytes ack = frameWith(0x07);
            uint8_t request[7];
            size_t got = 0;
            while (!up) {
                pollfd p{pty.master(), POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0) continue;
                const ssize_t n = ::read(pty.master(), request + got, sizeof request - got);
                if (n <= 0) return;
                got += static_cast<size_t>(n);
                if (got < sizeof request) continue;
                got = 0;
                if (::write(pty.master(), ack.data(), ack.size()) < 0) return;
            }
        });
        port.setAttempts(100);
        const bool result = port.connect();
        up = true;
        calibrator.join();
        return result;
    }

    PtyPair pty;
    SerialPort serial;
    bool opened = false;
};

TEST(DribblingLine, EveryExchangeEndsWithinItsBound) {
    enum Exchange { Connect, Send, Receive };
    const struct {
        const char* what;
        Exchange exchange;
        uint16_t size;        // of the packet sent, or the room for the one received
        uint32_t frameBytes;  // the most the frames of one attempt take, out and back
    } cases[] = {
        {"connect", Connect, 0, 2 * frameBudget(0)},
        {"send of 100 bytes", Send, 100, frameBudget(100) + frameBudget(0)},
        {"receive into 256 bytes", Receive, 256, frameBudget(256) + frameBudget(0)},
    };
    constexpr uint8_t kAttempts = 2;
    for (const auto& c : cases) {
        PtyPort line;
        ASSERT_TRUE(line.opened) << c.what;
        PacketPort port(line.serial, PortRole::Master);
        if (c.exchange != Connect) {
            ASSERT_TRUE(line.bringUp(port)) << c.what;
        }
        port.setAttempts(kAttempts);
        uint8_t store[256] = {};
        PacketBuffer packet(store, c.size, c.exchange == Send ? c.size : 0);
        bool result = true;
        Dribbler dribbler(line.pty.master(), kDribble);
        const Took took = timed([&] {
            result = c.exchange == Connect ? port.connect()
                     : c.exchange == Send  ? port.send(packet)
                                           : port.receive(packet);
        });
        EXPECT_FALSE(result) << c.what;
        EXPECT_EQ(port.state(), LinkState::LINK_DOWN) << c.what;
        expectWithin(took, bound(kAttempts, c.frameBytes), c.what);
    }
}

// KVTopen: the connect of the identification, then the farewell's connect and the disconnect
// of the close that follows its failure, each one attempt of two frames without data.
TEST(DribblingLine, OpenFailsAsOnASilentLineWithinItsBound) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialPort serial;
    SessionState session;
    Link link(serial);
    Dribbler dribbler(pty.master(), kDribble);
    uint32_t result = KVTLNK_OK;
    const Took took = timed(
        [&] { result = openSession(session, link, 9600, pty.slavePath().c_str(), kTimeoutMs, 1); });
    EXPECT_EQ(result, KVTLNK_E_NO_LINK);
    EXPECT_EQ(session.sessionOpen, 0);
    expectWithin(took, 3 * bound(1, 2 * frameBudget(0)), "KVTopen");
}

// How the port shows that the adapter was pulled, through the system calls the port is given.
enum class Unplugged { No, WriteEio, PollHangUp, ReadEnxio };
std::atomic<Unplugged> gUnplugged{Unplugged::No};
std::atomic<int> gWritesSince{0};  // writes tried since the adapter was pulled

PosixCalls unpluggableCalls() {
    static const PosixCalls& sys = systemPosixCalls();
    PosixCalls c = sys;
    c.write = [](int fd, const void* b, size_t n) -> ssize_t {
        if (gUnplugged == Unplugged::No) return sys.write(fd, b, n);
        ++gWritesSince;
        if (gUnplugged != Unplugged::WriteEio) return sys.write(fd, b, n);
        errno = EIO;
        return -1;
    };
    c.poll = [](pollfd* fds, nfds_t n, int ms) {
        if (n == 0 || gUnplugged != Unplugged::PollHangUp) return sys.poll(fds, n, ms);
        fds[0].revents = POLLHUP;
        return 1;
    };
    c.read = [](int fd, void* b, size_t n) -> ssize_t {
        if (gUnplugged != Unplugged::ReadEnxio) return sys.read(fd, b, n);
        errno = ENXIO;
        return -1;
    };
    return c;
}

// However the loss shows, the step ends with the one attempt that found it, and so does the
// close that follows; nothing is tried again.
TEST(UnpluggedAdapter, EndsTheTransferAtOnce) {
    const struct {
        const char* what;
        Unplugged how;
    } cases[] = {
        {"EIO on write", Unplugged::WriteEio},
        {"hang-up while waiting", Unplugged::PollHangUp},
        {"ENXIO on read", Unplugged::ReadEnxio},
    };
    for (const auto& c : cases) {
        k27emu::Calibrator emu;
        const kvttools::MemoryRecord result{7, 0, {}, std::vector<uint8_t>(400, 0x55)};
        ASSERT_TRUE(emu.replaceMemory(kvttools::Memory::Results, {result, result}));
        ASSERT_TRUE(emu.start());
        const PosixCalls calls = unpluggableCalls();
        SerialPort serial(calls);
        Link link(serial);
        SessionState session;
        MemoryImage image;
        ASSERT_EQ(openSession(session, link, 9600, emu.portPath().c_str(), 500, 5), KVTLNK_OK);
        uint32_t items = 0;
        ASSERT_EQ(uploadStart(session, *link.port(), image, &items), KVTLNK_OK) << c.what;
        ASSERT_GT(items, 0u) << c.what;

        gWritesSince = 0;
        gUnplugged = c.how;
        uint32_t remaining = 0;
        EXPECT_EQ(uploadStep(session, *link.port(), image, &remaining), KVTLNK_E_PORT_GONE)
            << c.what;
        EXPECT_EQ(gWritesSince, 1) << c.what << ": the first frame, and no attempt after it";
        EXPECT_EQ(closeSession(session, link), KVTLNK_E_PORT_GONE) << c.what;
        EXPECT_EQ(gWritesSince, 1) << c.what << ": nothing for the close to say";
        EXPECT_FALSE(serial.isOpen()) << c.what;
        gUnplugged = Unplugged::No;
    }
}

}  // namespace
}  // namespace kvtlnk
