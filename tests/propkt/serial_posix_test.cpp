// The POSIX port over a real pty pair, and its failure paths through replaced system calls.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "propkt/link_fixtures.h"
#include "propkt/posix_calls.h"
#include "propkt/serial_port.h"

namespace kvtlnk {
namespace {

using Clock = std::chrono::steady_clock;
using Texts = std::vector<std::string>;

long msSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Scripted faults: the next fails[c] calls of kind c fail with errors[c]; then the real call.
enum Call { Poll, Read, Write, Flock, SetAttr, kCallKinds };
struct Faults {
    int fails[kCallKinds] = {};
    int errors[kCallKinds] = {};
    int calls[kCallKinds] = {};
    int shortWrite = -1;  // the next write takes only this many bytes
    long lastSleepUs = -1;
    int lastPollMs = -2;  // the time-out of the last wait for a descriptor
    int outQueue = -1;    // TIOCOUTQ reports this for ever
    int outputFlushes = 0;
};
Faults gFaults;

bool failing(Call c) {
    ++gFaults.calls[c];
    if (gFaults.fails[c] == 0) return false;
    --gFaults.fails[c];
    errno = gFaults.errors[c];
    return true;
}

PosixCalls faultyCalls() {
    static const PosixCalls& sys = systemPosixCalls();
    PosixCalls c = sys;
    c.poll = [](pollfd* fds, nfds_t n, int ms) {
        if (n > 0) gFaults.lastPollMs = ms;
        return n > 0 && failing(Poll) ? -1 : sys.poll(fds, n, ms);
    };
    c.nanosleep = [](const timespec* t, timespec* left) {
        gFaults.lastSleepUs = static_cast<long>(t->tv_sec * 1000000 + t->tv_nsec / 1000);
        return sys.nanosleep(t, left);
    };
    c.read = [](int fd, void* b, size_t n) { return failing(Read) ? -1 : sys.read(fd, b, n); };
    c.write = [](int fd, const void* b, size_t n) -> ssize_t {
        if (gFaults.shortWrite >= 0)
            n = static_cast<size_t>(std::exchange(gFaults.shortWrite, -1));
        else if (failing(Write))
            return -1;
        return sys.write(fd, b, n);
    };
    c.flock = [](int fd, int op) { return failing(Flock) ? -1 : sys.flock(fd, op); };
    c.tcsetattr = [](int fd, int action, const termios* t) {
        return failing(SetAttr) ? -1 : sys.tcsetattr(fd, action, t);
    };
    c.tcflush = [](int fd, int queue) {
        if (queue == TCOFLUSH) ++gFaults.outputFlushes;
        return sys.tcflush(fd, queue);
    };
    c.ioctl = [](int fd, unsigned long request, void* arg) {
        if (request != TIOCOUTQ || gFaults.outQueue < 0) return sys.ioctl(fd, request, arg);
        *static_cast<int*>(arg) = gFaults.outQueue;
        return 0;
    };
    return c;
}

// The faults of faultyCalls(), and its counts from nothing, for the length of a test.
class FaultyCalls {
  public:
    explicit FaultyCalls(const Faults& faults = Faults{}) { gFaults = faults; }
    ~FaultyCalls() { gFaults = Faults{}; }
};

Faults failNext(Call c, int times, int error) {
    Faults f;
    f.fails[c] = times;
    f.errors[c] = error;
    return f;
}

std::string failed(const char* call, int error) {
    return std::string(call) + ": " + std::strerror(error) + "\r\n";
}

TEST(SerialPort, PortNames) {
    // clang-format off
    const char* names[][2] = {
        {"COM1", "/dev/ttyS0"}, {"COM10", "/dev/ttyS9"}, {"com3", "/dev/ttyS2"},
        {"COM99999", "/dev/ttyS99998"}, {"COM0", "COM0"}, {"COM01", "COM01"}, {"COM1x", "COM1x"},
        {"COM123456", "COM123456"}, {"/dev/ttyUSB0", "/dev/ttyUSB0"}};
    // clang-format on
    for (auto& n : names)
        EXPECT_EQ(devicePathFor(n[0]), n[1]) << n[0];
}

// Reads that must see their bytes wait the library's own time-out; only the read that is meant
// to find nothing is timed.
class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        watch = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);  // before the port locks it
        port.setReadTimeout(kPatientMs);
        ASSERT_TRUE(port.open(pty.slavePath().c_str()));
    }
    void TearDown() override { ::close(watch); }
    // Sends the bytes from the far end and waits until all have reached the port's queue, so
    // that the port's next read finds them there together.
    void burst(const Bytes& bytes) {
        ASSERT_EQ(far.write(bytes.data(), static_cast<uint16_t>(bytes.size())), bytes.size());
        int queued = 0;
        for (auto start = Clock::now(); msSince(start) < 5000; usleep(1000)) {
            if (ioctl(watch, FIONREAD, &queued) == 0 && queued >= static_cast<int>(bytes.size()))
                return;
        }
        FAIL() << queued << " of " << bytes.size() << " bytes arrived";
    }
    // The port's next reads of one byte each.
    Bytes readBytes(size_t n) {
        Bytes got;
        for (uint8_t b = 0; got.size() < n && port.read(&b, 1) == 1;)
            got.push_back(b);
        return got;
    }
    TraceCapture capture;
    PtyPair pty;
    int watch = -1;
    SerialPort port{faultyCalls(), capture.trace()};
    FdLine far{pty.master(), kPatientMs};
};

TEST_F(PtyPort, EveryByteValuePassesUnchangedBothWays) {
    Bytes all(256), got(256), back(256);
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(port.write(all.data(), 256), 256);
    ASSERT_EQ(far.read(got.data(), 256), 256);
    EXPECT_EQ(got, all);
    ASSERT_EQ(far.write(all.data(), 256), 256);
    ASSERT_EQ(port.read(back.data(), 256), 256);
    EXPECT_EQ(back, all);
    EXPECT_EQ(far.read(got.data(), 1), 0) << "the port echoed";
}

TEST_F(PtyPort, BurstComesOutByteByByteFromOneRead) {
    FaultyCalls calls;
    Bytes bytes(200);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    burst(bytes);
    EXPECT_EQ(readBytes(bytes.size()), bytes);
    EXPECT_EQ(gFaults.calls[Read], 1);
}

// The time-out counts from the read that finds nothing left, not from the last read-ahead; a
// read of several bytes waits it once what was read ahead runs out.
TEST_F(PtyPort, TimeOutCountsPerByteOnceTheReadAheadRunsDry) {
    burst({1, 2, 3, 4});
    ASSERT_EQ(readBytes(2), (Bytes{1, 2}));
    usleep(100 * 1000);  // longer than the time-out
    port.setReadTimeout(60);
    EXPECT_EQ(readBytes(1), Bytes{3});
    uint8_t b[4] = {};
    for (uint16_t ask : {4, 1}) {
        auto start = Clock::now();
        EXPECT_EQ(port.read(b, ask), ask == 4 ? 1 : 0);
        EXPECT_GE(msSince(start), 59) << ask;  // the time-out, to the millisecond
        EXPECT_LT(msSince(start), 5000);
    }
}

TEST_F(PtyPort, PurgeDropsWhatWasReadAhead) {
    for (bool all : {false, true}) {
        burst({1, 2, 3, 4});
        ASSERT_EQ(readBytes(1), Bytes{1});
        if (all) {
            port.purgeAll();
        } else {
            EXPECT_EQ(port.read(nullptr, 0), 0);
        }
        burst({9});
        EXPECT_EQ(readBytes(1), Bytes{9}) << (all ? "purge all" : "read of 0");
    }
}

TEST_F(PtyPort, BytesReadAheadOutliveAHangUp) {
    burst({1, 2, 3, 4, 5});
    ASSERT_EQ(readBytes(1), Bytes{1});
    pty.closeMaster();
    port.setReadTimeout(60);
    EXPECT_EQ(readBytes(5), (Bytes{2, 3, 4, 5}));
    EXPECT_EQ(capture.texts(),
              (Texts{"ReadComm failed, read 0 bytes\r\n", "read: line hung up\r\n"}));
}

// Promised bytes gather in a sleep of their byte time (9600 baud: 1041 µs each), only where the
// last wait woke to a single byte, and come in one read.
TEST_F(PtyPort, PromisedBytesGatherOnlyWhereBytesTrickle) {
    FaultyCalls calls;
    const Bytes six = {1, 2, 3, 4, 5, 6};
    const struct {
        Bytes first;
        uint16_t promised;
        long sleptUs;
    } cases[] = {{{7}, 6, 6 * 1041}, {{7}, 1, -1}, {{7, 7}, 6, -1}};
    for (const auto& c : cases) {
        burst(c.first);
        ASSERT_EQ(readBytes(c.first.size()), c.first);
        burst(six);
        gFaults.lastSleepUs = -1;
        const int readsBefore = gFaults.calls[Read];
        port.expect(c.promised);
        EXPECT_EQ(readBytes(6), six);
        EXPECT_EQ(gFaults.lastSleepUs, c.sleptUs) << c.promised << " after " << c.first.size();
        EXPECT_EQ(gFaults.calls[Read] - readsBefore, 1)
            << c.promised << " after " << c.first.size();
    }
}

TEST_F(PtyPort, SecondOpenFailsUntilTheFirstCloses) {
    std::string link = "/tmp/kvtlnk-pty-" + std::to_string(getpid());
    ASSERT_EQ(symlink(pty.slavePath().c_str(), link.c_str()), 0);
    SerialPort second(systemCalls(), capture.trace());
    EXPECT_FALSE(second.open(pty.slavePath().c_str()));
    EXPECT_FALSE(second.open(link.c_str()));
    const std::string busy = failed("flock", EWOULDBLOCK);
    EXPECT_EQ(capture.texts(), (Texts{"OpenComm failed\r\n", busy, "OpenComm failed\r\n", busy}));
    ASSERT_TRUE(port.close());
    EXPECT_TRUE(second.open(link.c_str()));
    unlink(link.c_str());
}

TEST_F(PtyPort, RawWhileOpenAndFormerSettingsRestoredAtClose) {
    ASSERT_TRUE(port.close());
    int other = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    termios before{}, t{}, after{};
    ASSERT_EQ(tcgetattr(other, &before), 0);
    ASSERT_TRUE(port.setBaud(19200));
    ASSERT_TRUE(port.open(pty.slavePath().c_str()));
    ASSERT_EQ(tcgetattr(other, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD | HUPCL),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    ASSERT_TRUE(port.close());
    ASSERT_EQ(tcgetattr(other, &after), 0);
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
    ::close(other);
}

TEST_F(PtyPort, HungUpLineSleepsInsteadOfSpinningAndTracesOnce) {
    FaultyCalls calls;
    pty.closeMaster();
    port.setReadTimeout(60);
    uint8_t b;
    auto start = Clock::now();
    EXPECT_EQ(port.read(&b, 1), 0);
    EXPECT_EQ(port.read(&b, 1), 0);
    EXPECT_GE(msSince(start), 119);
    EXPECT_LE(gFaults.calls[Poll] + gFaults.calls[Read], 6) << "the read spun";
    EXPECT_EQ(capture.texts(),
              (Texts{"ReadComm failed, read 0 bytes\r\n", "read: line hung up\r\n"}));
}

TEST(FdLine, InterruptedAndFailingCalls) {
    Faults shortThenEio = failNext(Write, 1, EIO);
    shortThenEio.shortWrite = 2;
    struct Case {
        const char* what;
        Faults faults;
        uint16_t written, read;
        Texts traces;
    };
    const Case cases[] = {
        {"EINTR in poll", failNext(Poll, 2, EINTR), 3, 3, {}},
        {"EINTR in read", failNext(Read, 2, EINTR), 3, 3, {}},
        {"EINTR in write", failNext(Write, 2, EINTR), 3, 3, {}},
        // clang-format off
        {"short write, then EIO", shortThenEio, 2, 2, {"WriteComm failed after 2 bytes\r\n", failed("write", EIO)}},
        {"unplugged: EIO in read", failNext(Read, 1, EIO), 3, 0, {"ReadComm failed, read 0 bytes\r\n", failed("read", EIO)}},
        {"unplugged: ENXIO in poll", failNext(Poll, 1, ENXIO), 3, 0, {"ReadComm failed, read 0 bytes\r\n", failed("poll", ENXIO)}},
        // clang-format on
    };
    for (const Case& c : cases) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        TraceCapture capture;
        FaultyCalls calls(c.faults);
        // The bytes are there before each read.
        FdLine near(fds[0], 30, faultyCalls(), capture.trace());
        FdLine far(fds[1], 30, faultyCalls(), capture.trace());
        const uint8_t out[3] = {0x11, 0x13, 0x03};
        uint8_t in[3] = {};
        EXPECT_EQ(far.write(out, 3), c.written) << c.what;
        EXPECT_EQ(near.read(in, c.written), c.read) << c.what;
        if (c.read == 0) {
            EXPECT_NEAR(gFaults.lastSleepUs, 30000, 1000) << c.what << ": must sleep, not spin";
        }
        EXPECT_EQ(capture.texts(), c.traces) << c.what;
        ::close(fds[0]);
        ::close(fds[1]);
    }
}

TEST(FdLine, TimeOutAboveIntMaxWaitsAsLongAsPollCan) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    FaultyCalls calls;
    FdLine near(fds[0], 0x80000010u, faultyCalls());
    uint8_t b = 7;
    ASSERT_EQ(::write(fds[1], &b, 1), 1);
    EXPECT_EQ(near.read(&b, 1), 1);
    EXPECT_EQ(gFaults.lastPollMs, INT_MAX);  // a negative time-out would wait for ever
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(SerialPort, RefusedOpenLeavesThePortClosed) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const std::pair<Faults, Texts> cases[] = {
        {failNext(Flock, 1, EWOULDBLOCK), {"OpenComm failed\r\n", failed("flock", EWOULDBLOCK)}},
        {failNext(SetAttr, 1, EINVAL), {"SetCommState failed\r\n", failed("tcsetattr", EINVAL)}},
    };
    for (const auto& [faults, traces] : cases) {
        TraceCapture capture;
        FaultyCalls calls(faults);
        SerialPort port(faultyCalls(), capture.trace());
        EXPECT_FALSE(port.open(pty.slavePath().c_str()));
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(capture.texts(), traces);
        SerialPort next;
        EXPECT_TRUE(next.open(pty.slavePath().c_str())) << "the refused open kept the port";
    }
}

TEST(SerialPort, CloseGivesUpOnOutputThatNeverLeaves) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    FaultyCalls calls;
    SerialPort port(faultyCalls());
    ASSERT_TRUE(port.setBaud(38400));
    ASSERT_TRUE(port.open(pty.slavePath().c_str()));
    gFaults.outQueue = 96;
    gFaults.calls[SetAttr] = 0;
    auto start = Clock::now();
    EXPECT_TRUE(port.close());
    EXPECT_GE(msSince(start), 500 + 25 - 1);  // the margin, and 96 bytes at 38400 baud
    EXPECT_LT(msSince(start), 10000);
    EXPECT_EQ(gFaults.outputFlushes, 1);
    EXPECT_EQ(gFaults.calls[SetAttr], 1) << "former settings not restored";
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace kvtlnk
