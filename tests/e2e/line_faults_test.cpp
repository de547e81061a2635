// The library on lines that misbehave beneath the protocol, over a pty: a calibrator that sends
// its bytes slowly but each within the read time-out, a line that babbles without ever forming a
// frame, and a calibrator whose adapter is unplugged in the middle of an upload.
//
// Time: the read time-out is the only timer. A slow calibrator's bytes come well inside it; a
// byte meant to miss it comes half a time-out late, so a stalled test thread can only make it
// later. The babbling line is bounded in bytes, which the test counts, not in time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "calibrator.h"
#include "kvtlnk/kvtlnk.h"
#include "memory/memory_image.h"
#include "propkt/link.h"
#include "propkt/link_fixtures.h"
#include "propkt/serial_port.h"
#include "session/command.h"
#include "session/session_calls.h"

namespace kvtlnk {
namespace {

using std::chrono::milliseconds;

// Waits for the descriptor to become readable, in short slices so that `stop` is seen; false
// once stop is set.
bool waitReadable(int fd, const std::atomic<bool>& stop) {
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) return true;
    }
    return false;
}

// One frame the library sent, as the calibrator's end of the line reads it: its type byte and
// packet, 0x10 doubling undone, the check value not looked at. False once stop is set.
bool readFrame(int fd, const std::atomic<bool>& stop, uint8_t* type, Bytes* packet) {
    auto next = [&](uint8_t* b) { return waitReadable(fd, stop) && ::read(fd, b, 1) == 1; };
    uint8_t b = 0, previous = 0;
    do {  // up to 0x10 0x02
        previous = b;
        if (!next(&b)) return false;
    } while (previous != 0x10 || b != 0x02);
    if (!next(type)) return false;
    packet->clear();
    for (;;) {
        if (!next(&b)) return false;
        if (b != 0x10) {
            packet->push_back(b);
            continue;
        }
        if (!next(&b)) return false;
        if (b == 0x10) {
            packet->push_back(b);
        } else if (b == 0x03) {
            uint8_t check[2];
            return next(&check[0]) && next(&check[1]);
        }
    }
}

void writeAll(int fd, const Bytes& bytes) {
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        ADD_FAILURE() << "the calibrator's end could not write";
    }
}

// The library's serial port on a fresh pty, whose other side stands for the calibrator.
struct PtyPort {
    explicit PtyPort(uint32_t timeoutMs) {
        serial.setReadTimeout(timeoutMs);
        opened = pty.ok() && serial.open(pty.slavePath().c_str());
    }
    PtyPair pty;
    SerialPort serial;
    bool opened = false;
};

// A calibrator that answers one command: it brings the link up, acknowledges the command with
// its bytes paced as given (gaps[i] before byte i), then sends the status "0" and the final
// 0x04 at once and takes their acknowledgements.
class PacedCalibrator {
  public:
    PacedCalibrator(int fd, std::vector<milliseconds> gaps)
        : thread_([this, fd, gaps] { serve(fd, gaps); }) {}
    ~PacedCalibrator() {
        stop_ = true;
        thread_.join();
    }

  private:
    void serve(int fd, const std::vector<milliseconds>& gaps) {
        uint8_t type = 0;
        Bytes packet;
        while (readFrame(fd, stop_, &type, &packet)) {
            if (type == 0x03) {  // connect
                writeAll(fd, frameWith(0x07));
            } else if ((type & 0x0F) == 0x00) {  // the command
                const Bytes ack = frameWith(static_cast<uint8_t>(0x01 | (type & 0x60)));
                for (size_t i = 0; i < ack.size(); ++i) {
                    if (i < gaps.size()) std::this_thread::sleep_for(gaps[i]);
                    writeAll(fd, {ack[i]});
                }
                writeAll(fd, frameWith(0x20, {'0'}));
            } else if (type == 0x21) {  // the status taken
                writeAll(fd, frameWith(0x40, {0x04}));
            }
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The read time-out bounds the wait for each byte, and nothing else: an acknowledgement whose
// bytes come slowly, each within the time-out, is taken, however long the whole frame takes.
TEST(SlowCalibrator, EveryByteWithinTheTimeOutIsWaitedFor) {
    constexpr uint32_t kTimeoutMs = 1000;
    const milliseconds apart{300};  // a frame of 7 bytes takes 2.1 s, twice the time-out
    const milliseconds late{1500};  // half a time-out past it
    const struct {
        const char* what;
        std::vector<milliseconds> gaps;
        uint32_t result;
        LinkState state;
    } cases[] = {
        {"at once", {}, KVTLNK_OK, LinkState::LINK_UP},
        {"each byte 300 ms after the one before", std::vector<milliseconds>(7, apart), KVTLNK_OK,
         LinkState::LINK_UP},
        {"the fourth byte after more than the time-out",
         {{}, {}, {}, late},
         KVTLNK_E_SEND,
         LinkState::LINK_DOWN},
    };
    for (const auto& c : cases) {
        PtyPort line(kTimeoutMs);
        ASSERT_TRUE(line.opened) << c.what;
        PacketPort port(line.serial, PortRole::Master);
        port.setAttempts(1);
        SessionState session;
        session.sessionOpen = 1;
        PacedCalibrator calibrator(line.pty.master(), c.gaps);
        EXPECT_EQ(sendCommand(session, port, "sf link,slow"), c.result) << c.what;
        EXPECT_EQ(port.state(), c.state) << c.what;
    }
}

// Writes bytes that never make a whole frame, as fast as the pty takes them, until it is
// destroyed: runs of noise, each begun as a frame.
class Babbler {
  public:
    // The master end does not block: once the port under test has closed its end, the pty's
    // buffer fills and a blocking write would never return to see stop_.
    explicit Babbler(int fd)
        : thread_([this, fd] {
              ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
              run(fd);
          }) {}
    ~Babbler() {
        stop_ = true;
        thread_.join();
    }

  private:
    void run(int fd) {
        const Bytes noise = concat({{0x10, 0x02, 0x00}, Bytes(61, 'A')});
        while (!stop_) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            if (::write(fd, noise.data(), noise.size()) < 0 && errno != EAGAIN) return;
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The port under test, counting the bytes the packet port takes from it.
struct CountingLine : SerialLine {
    explicit CountingLine(SerialLine& line) : inner(line) {}
    uint16_t write(const uint8_t* data, uint16_t count) override {
        return inner.write(data, count);
    }
    uint16_t read(uint8_t* data, uint16_t count) override {
        const uint16_t got = inner.read(data, count);
        bytes += got;
        return got;
    }
    void purgeAll() override { inner.purgeAll(); }
    void expect(uint16_t n) override { inner.expect(n); }
    SerialLine& inner;
    uint64_t bytes = 0;
};

// A line that keeps sending without forming a frame (another device on the port) fails every
// exchange as a silent line does, once each attempt has read its budget of bytes.
TEST(BabblingLine, EveryExchangeEndsWithinItsByteBudget) {
    enum Exchange { Connect, Send, Receive };
    const struct {
        const char* what;
        Exchange exchange;
        uint16_t size;  // of the packet sent, or the room for the one received
        uint16_t room;  // of what an attempt waits for
    } cases[] = {
        {"connect", Connect, 0, PACKET_SIZE},
        {"send of 100 bytes", Send, 100, PACKET_SIZE},
        {"receive into 256 bytes", Receive, 256, 256},
    };
    constexpr uint8_t kAttempts = 2;
    for (const auto& c : cases) {
        PtyPort line(500);
        ASSERT_TRUE(line.opened) << c.what;
        CountingLine counting(line.serial);
        PacketPort port(counting, PortRole::Master);
        if (c.exchange != Connect) {
            PacedCalibrator calibrator(line.pty.master(), {});  // brings the link up
            ASSERT_TRUE(linkConnect(port)) << c.what;
        }
        port.setAttempts(kAttempts);
        uint8_t store[256] = {};
        PacketBuffer packet(store, c.size, c.exchange == Send ? c.size : 0);
        Babbler babbler(line.pty.master());
        counting.bytes = 0;
        const bool result = c.exchange == Connect ? port.connect()
                            : c.exchange == Send  ? port.send(packet)
                                                  : port.receive(packet);
        EXPECT_FALSE(result) << c.what;
        EXPECT_EQ(port.state(), LinkState::LINK_DOWN) << c.what;
        EXPECT_LE(counting.bytes, kAttempts * receiveBudget(c.room)) << c.what;
    }
}

// KVTopen on such a line: the connect of the identification, then the farewell's connect and
// the disconnect of the close that follows its failure, each failing as on a silent line.
TEST(BabblingLine, OpenFailsAsOnASilentLine) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    SerialPort serial;
    SessionState session;
    Link link(serial);
    Babbler babbler(pty.master());
    EXPECT_EQ(openSession(session, link, 9600, pty.slavePath().c_str(), 500, 1), KVTLNK_E_NO_LINK);
    EXPECT_EQ(session.sessionOpen, 0);
    EXPECT_FALSE(serial.isOpen());
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

bool saysGone(const std::vector<std::string>& trace) {
    return std::any_of(trace.begin(), trace.end(), [](const std::string& line) {
        return line.find("the device behind the port is gone") != std::string::npos;
    });
}

// However the loss shows, the step fails with the code of its exchange after the one attempt
// that found it; every later call, the close included, fails at once with 2019 (nothing more is
// written), and the trace says why.
TEST(UnpluggedAdapter, EndsTheTransferAtOnceWithTheExchangesCodes) {
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
        TraceCapture capture;
        const PosixCalls calls = unpluggableCalls();
        SerialPort serial(calls, capture.trace(2));
        Link link(serial);
        SessionState session;
        MemoryImage image;
        ASSERT_EQ(openSession(session, link, 9600, emu.portPath().c_str(), 500, 5), KVTLNK_OK);
        uint32_t items = 0;
        ASSERT_EQ(uploadStart(session, *link.port(), image, &items), KVTLNK_OK) << c.what;
        ASSERT_GT(items, 0u) << c.what;

        gWritesSince = 0;
        gUnplugged = c.how;
        uint32_t remaining = 0, used = 0, free = 0;
        EXPECT_EQ(uploadStep(session, *link.port(), image, &remaining), KVTLNK_E_SEND) << c.what;
        EXPECT_EQ(gWritesSince, 1) << c.what << ": the first frame, and no attempt after it";
        EXPECT_EQ(memStats(session, *link.port(), &used, &free), KVTLNK_E_NO_LINK) << c.what;
        EXPECT_EQ(closeSession(session, link), KVTLNK_E_NO_LINK) << c.what;
        EXPECT_EQ(gWritesSince, 1) << c.what << ": nothing more was tried";
        EXPECT_EQ(session.sessionOpen, 0) << c.what;
        EXPECT_FALSE(serial.isOpen()) << c.what;
        EXPECT_TRUE(saysGone(capture.texts())) << c.what;
        gUnplugged = Unplugged::No;
    }
}

}  // namespace
}  // namespace kvtlnk
