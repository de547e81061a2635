// The POSIX port over a real pty pair, and its failure paths through replaced system calls.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "propkt/debug_trace.h"
#include "propkt/fd_line.h"
#include "propkt/posix_calls.h"
#include "propkt/pty_pair.h"
#include "propkt/serial_port.h"
#include "propkt/trace_capture.h"

namespace kvtlnk {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

long msSince(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Puts a table of system calls in place for the length of a test.
class CallsGuard {
  public:
    explicit CallsGuard(const PosixCalls& calls) : previous_(setPosixCalls(calls)) {}
    ~CallsGuard() { setPosixCalls(previous_); }

  private:
    PosixCalls previous_;
};

// Scripted faults: the first n calls of a kind fail with the given errno, then the real call.
struct Faults {
    int pollFailures = 0, pollErrno = 0;
    int readFailures = 0, readErrno = 0;
    int writeFailures = 0, writeErrno = 0;
    int shortWrite = -1;  // the first write takes this many bytes
    bool pollReportsReady = false;
    int polls = 0, sleeps = 0, reads = 0;
    int lastSleepMs = 0;
    int outQueue = -1;  // TIOCOUTQ reports this many bytes for ever
    bool failOpen = false, failFlock = false, failTcsetattr = false;
    int tcflushOutput = 0, tcsetattrCalls = 0, closes = 0;
};
Faults gFaults;

PosixCalls faultyCalls() {
    PosixCalls c = systemPosixCalls();
    c.poll = [](pollfd* fds, nfds_t n, int ms) {
        if (n == 0) {
            ++gFaults.sleeps;
            gFaults.lastSleepMs = ms;
        } else {
            ++gFaults.polls;
        }
        if (n > 0 && gFaults.pollFailures > 0) {
            --gFaults.pollFailures;
            errno = gFaults.pollErrno;
            return -1;
        }
        if (n > 0 && gFaults.pollReportsReady) {
            fds[0].revents = POLLIN;
            return 1;
        }
        return systemPosixCalls().poll(fds, n, ms);
    };
    c.read = [](int fd, void* buf, size_t n) -> ssize_t {
        ++gFaults.reads;
        if (gFaults.readFailures > 0) {
            --gFaults.readFailures;
            errno = gFaults.readErrno;
            return -1;
        }
        return systemPosixCalls().read(fd, buf, n);
    };
    c.write = [](int fd, const void* buf, size_t n) -> ssize_t {
        if (gFaults.shortWrite >= 0) {
            n = static_cast<size_t>(gFaults.shortWrite);
            gFaults.shortWrite = -1;
        } else if (gFaults.writeFailures > 0) {
            --gFaults.writeFailures;
            errno = gFaults.writeErrno;
            return -1;
        }
        return systemPosixCalls().write(fd, buf, n);
    };
    c.open = [](const char* path, int flags) {
        if (gFaults.failOpen) {
            errno = ENOENT;
            return -1;
        }
        return systemPosixCalls().open(path, flags);
    };
    c.flock = [](int fd, int op) {
        if (gFaults.failFlock) {
            errno = EWOULDBLOCK;
            return -1;
        }
        return systemPosixCalls().flock(fd, op);
    };
    c.tcsetattr = [](int fd, int action, const termios* t) {
        ++gFaults.tcsetattrCalls;
        if (gFaults.failTcsetattr) {
            errno = EINVAL;
            return -1;
        }
        return systemPosixCalls().tcsetattr(fd, action, t);
    };
    c.tcflush = [](int fd, int queue) {
        if (queue == TCOFLUSH) ++gFaults.tcflushOutput;
        return systemPosixCalls().tcflush(fd, queue);
    };
    c.ioctl = [](int fd, unsigned long request, void* arg) {
        if (request == TIOCOUTQ && gFaults.outQueue >= 0) {
            *static_cast<int*>(arg) = gFaults.outQueue;
            return 0;
        }
        return systemPosixCalls().ioctl(fd, request, arg);
    };
    c.close = [](int fd) {
        ++gFaults.closes;
        return systemPosixCalls().close(fd);
    };
    return c;
}

Bytes allByteValues() {
    Bytes b(256);
    for (int i = 0; i < 256; ++i)
        b[i] = static_cast<uint8_t>(i);
    return b;
}

TEST(DevicePath, PortNames) {
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM10", "/dev/ttyS9"},
        {"com3", "/dev/ttyS2"},
        {nullptr, "/dev/ttyS0"},
        {"", "/dev/ttyS0"},
        {"COM0", "COM0"},
        {"COM", "COM"},
        {"COM1x", "COM1x"},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/7", "/dev/pts/7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(devicePathFor(c.name), c.path) << (c.name ? c.name : "(none)");
    }
}

TEST(DebugTrace, FinalNewlineBecomesCrLf) {
    TraceCapture capture;
    DebugTrace("ReadComm failed, read %d bytes\n", 3);
    DebugTrace("no newline");
    DebugTrace("%s", std::string(5000, 'x').c_str());
    auto texts = capture.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "ReadComm failed, read 3 bytes\r\n");
    EXPECT_EQ(texts[1], "no newline");
    EXPECT_EQ(texts[2].size(), 4095u);
}

TEST(CommErrorText, Report) {
    EXPECT_EQ(commErrorText(0, 0, 0), "");
    EXPECT_EQ(commErrorText(0x0001, 0, 0), "GetCommError = 0x0001\n");
    EXPECT_EQ(commErrorText(0x0008, 12, 0), "GetCommError = 0x0008\n, cbInQue=12\n");
    EXPECT_EQ(commErrorText(0, 0, 7), "cbOutQue=7\n");
}

class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        port.setReadTimeout(100);
        ASSERT_TRUE(port.open(pty.slavePath().c_str()));
    }
    PtyPair pty;
    SerialPort port;
    FdLine far{pty.master(), 100};
};

TEST_F(PtyPort, EveryByteValuePassesUnchangedBothWays) {
    Bytes all = allByteValues();
    ASSERT_EQ(port.write(all.data(), 256), 256);
    Bytes got(256);
    ASSERT_EQ(far.read(got.data(), 256), 256);
    EXPECT_EQ(got, all);

    ASSERT_EQ(far.write(all.data(), 256), 256);
    Bytes back(256);
    ASSERT_EQ(port.read(back.data(), 256), 256);
    EXPECT_EQ(back, all);
    uint8_t extra;
    EXPECT_EQ(far.read(&extra, 1), 0) << "the port echoed";
}

TEST_F(PtyPort, ReadWithNothingArrivingTimesOut) {
    port.setReadTimeout(60);
    uint8_t b;
    auto start = Clock::now();
    EXPECT_EQ(port.read(&b, 1), 0);
    long ms = msSince(start);
    EXPECT_GE(ms, 55);
    EXPECT_LT(ms, 1000);
}

TEST_F(PtyPort, ReadOfZeroPurgesTheReceiveSide) {
    uint8_t b[4] = {1, 2, 3, 4};
    ASSERT_EQ(far.write(b, 4), 4);
    ASSERT_EQ(port.read(b, 1), 1);  // the bytes have arrived
    EXPECT_EQ(port.read(nullptr, 0), 0);
    port.setReadTimeout(30);
    EXPECT_EQ(port.read(b, 1), 0);
}

TEST_F(PtyPort, SecondOpenOfTheSamePortFails) {
    TraceCapture capture;
    std::string link = "/tmp/kvtlnk-pty-" + std::to_string(getpid());
    ASSERT_EQ(symlink(pty.slavePath().c_str(), link.c_str()), 0);
    SerialPort second;
    EXPECT_FALSE(second.open(pty.slavePath().c_str()));
    EXPECT_FALSE(second.open(link.c_str()));
    EXPECT_EQ(capture.texts(),
              (std::vector<std::string>{"OpenComm failed\r\n", "OpenComm failed\r\n"}));
    ASSERT_TRUE(port.close());
    EXPECT_TRUE(second.open(link.c_str())) << "the first close must release the port";
    unlink(link.c_str());
}

TEST_F(PtyPort, RawWhileOpenAndRestoredAtClose) {
    ASSERT_TRUE(port.close());
    int other = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(other, &before), 0);

    ASSERT_TRUE(port.setBaud(19200));
    ASSERT_TRUE(port.open(pty.slavePath().c_str()));
    termios t{};
    ASSERT_EQ(tcgetattr(other, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD | HUPCL),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));

    ASSERT_TRUE(port.close());
    termios after{};
    ASSERT_EQ(tcgetattr(other, &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    ::close(other);
}

TEST_F(PtyPort, HungUpLineSleepsInsteadOfSpinningAndTracesOnce) {
    TraceCapture capture;
    gFaults = Faults{};
    CallsGuard guard(faultyCalls());
    pty.closeMaster();
    port.setReadTimeout(50);
    uint8_t b;
    auto start = Clock::now();
    EXPECT_EQ(port.read(&b, 1), 0);
    EXPECT_EQ(port.read(&b, 1), 0);
    EXPECT_GE(msSince(start), 90);
    EXPECT_LE(gFaults.polls + gFaults.reads, 6) << "the read spun";
    auto texts = capture.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "ReadComm failed, read 0 bytes\r\n");
}

TEST(FdLine, PtyMasterWithoutItsSlaveDoesNotSpin) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    TraceCapture capture;
    gFaults = Faults{};
    CallsGuard guard(faultyCalls());
    FdLine line(pty.master(), 40);
    uint8_t b;
    auto start = Clock::now();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(line.read(&b, 1), 0);
    EXPECT_GE(msSince(start), 110);
    EXPECT_LE(gFaults.polls + gFaults.reads, 9);
}

TEST(FdLine, InterruptedAndFailingCalls) {
    struct Case {
        const char* what;
        Faults faults;
        uint16_t writeCount;
        uint16_t expectWritten;
        uint16_t expectRead;
        std::vector<std::string> traces;
    };
    auto make = [](auto set) {
        Faults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"EINTR on poll and read is retried",
         make([](Faults& f) {
             f.pollFailures = 2, f.pollErrno = EINTR, f.readFailures = 1, f.readErrno = EINTR;
         }),
         3,
         3,
         3,
         {}},
        {"EINTR on write is retried",
         make([](Faults& f) { f.writeFailures = 2, f.writeErrno = EINTR; }),
         3,
         3,
         3,
         {}},
        {"short write then EIO",
         make([](Faults& f) { f.shortWrite = 2, f.writeFailures = 1, f.writeErrno = EIO; }),
         5,
         2,
         2,
         {"WriteComm failed after 2 bytes\r\n"}},
        {"unplugged adapter: EIO on read",
         make([](Faults& f) { f.readFailures = 1, f.readErrno = EIO; }),
         3,
         3,
         0,
         {"ReadComm failed, read 0 bytes\r\n", std::string(std::strerror(EIO)) + "\r\n"}},
        {"ENXIO on poll",
         make([](Faults& f) { f.pollFailures = 1, f.pollErrno = ENXIO; }),
         3,
         3,
         0,
         {"ReadComm failed, read 0 bytes\r\n", std::string(std::strerror(ENXIO)) + "\r\n"}},
    };
    for (const Case& c : cases) {
        int fds[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        TraceCapture capture;
        gFaults = c.faults;
        CallsGuard guard(faultyCalls());
        FdLine near(fds[0], 30);
        FdLine far(fds[1], 30);
        const uint8_t out[5] = {0x11, 0x13, 0x03, 0x0D, 0x0A};
        EXPECT_EQ(far.write(out, c.writeCount), c.expectWritten) << c.what;
        uint8_t in[5] = {};
        EXPECT_EQ(near.read(in, c.expectWritten), c.expectRead) << c.what;
        EXPECT_EQ(near.lost(), c.expectRead == 0) << c.what;
        if (c.expectRead == 0) {
            EXPECT_EQ(gFaults.lastSleepMs, 30) << c.what;
        }
        EXPECT_EQ(capture.texts(), c.traces) << c.what;
        ::close(fds[0]);
        ::close(fds[1]);
    }
}

TEST(FdLine, LossIsTracedOnceUntilBytesFlowAgain) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    TraceCapture capture;
    gFaults = Faults{};
    gFaults.readFailures = 2;
    gFaults.readErrno = EIO;
    CallsGuard guard(faultyCalls());
    FdLine near(fds[0], 10);
    uint8_t b = 7;
    ASSERT_EQ(::write(fds[1], &b, 1), 1);
    EXPECT_EQ(near.read(&b, 1), 0);
    EXPECT_EQ(near.read(&b, 1), 0);
    EXPECT_EQ(capture.texts().size(), 2u);
    EXPECT_EQ(near.read(&b, 1), 1);  // the byte is still there
    EXPECT_FALSE(near.lost());
    gFaults.readFailures = 1;
    ASSERT_EQ(::write(fds[1], &b, 1), 1);
    EXPECT_EQ(near.read(&b, 1), 0);
    EXPECT_EQ(capture.texts().size(), 4u);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(SerialPortOpen, FailuresLeaveThePortClosed) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    struct Case {
        const char* what;
        void (*set)(Faults&);
        std::vector<std::string> traces;
        int closes;
    };
    const Case cases[] = {
        {"no such device", [](Faults& f) { f.failOpen = true; }, {"OpenComm failed\r\n"}, 0},
        {"locked by another process",
         [](Faults& f) { f.failFlock = true; },
         {"OpenComm failed\r\n"},
         1},
        {"configuration refused",
         [](Faults& f) { f.failTcsetattr = true; },
         {"SetCommState failed\r\n", std::string(std::strerror(EINVAL)) + "\r\n"},
         1},
    };
    for (const Case& c : cases) {
        TraceCapture capture;
        gFaults = Faults{};
        c.set(gFaults);
        CallsGuard guard(faultyCalls());
        SerialPort port;
        EXPECT_FALSE(port.open(pty.slavePath().c_str())) << c.what;
        EXPECT_FALSE(port.isOpen()) << c.what;
        EXPECT_EQ(capture.texts(), c.traces) << c.what;
        EXPECT_EQ(gFaults.closes, c.closes) << c.what;
        EXPECT_TRUE(port.close()) << c.what;
    }
}

TEST(SerialPortClose, OutputThatNeverLeavesIsBoundedAndDropped) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    gFaults = Faults{};
    CallsGuard guard(faultyCalls());
    SerialPort port;
    ASSERT_TRUE(port.setBaud(38400));
    ASSERT_TRUE(port.open(pty.slavePath().c_str()));
    gFaults.outQueue = 96;  // 25 ms at 38400 baud, plus the margin
    gFaults.tcsetattrCalls = 0;
    auto start = Clock::now();
    EXPECT_TRUE(port.close());
    long ms = msSince(start);
    EXPECT_GE(ms, 400);
    EXPECT_LT(ms, 2000);
    EXPECT_EQ(gFaults.tcflushOutput, 1);
    EXPECT_EQ(gFaults.tcsetattrCalls, 1) << "former settings not restored";
    EXPECT_FALSE(port.isOpen());
}

}  // namespace
}  // namespace kvtlnk
