// The port's request for low latency and its restore at close, over a real pty whose driver
// settings (TIOCGSERIAL, TIOCSSERIAL) and adapter timer under /sys are played by the test.
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "propkt/link_fixtures.h"
#include "propkt/posix_calls.h"
#include "propkt/serial_port.h"

namespace kvtlnk {
namespace {

// The driver: its serial flags, which of the two requests it refuses, what it was asked.
struct Driver {
    int flags = 0;
    int getError = 0;  // TIOCGSERIAL fails with this when not 0
    int setError = 0;  // TIOCSSERIAL likewise
    std::vector<std::string> asked;
    std::string timerFile;  // stands for the adapter's latency_timer; empty: there is none
};
Driver gDriver;

PosixCalls driverCalls() {
    static const PosixCalls& sys = systemPosixCalls();
    PosixCalls c = sys;
    c.ioctl = [](int fd, unsigned long request, void* arg) {
        auto* s = static_cast<serial_struct*>(arg);
        if (request == TIOCGSERIAL) {
            gDriver.asked.push_back("get");
            if (gDriver.getError != 0) return errno = gDriver.getError, -1;
            *s = serial_struct{};
            s->flags = gDriver.flags;
            return 0;
        }
        if (request == TIOCSSERIAL) {
            gDriver.asked.push_back("set " + std::to_string(s->flags));
            if (gDriver.setError != 0) return errno = gDriver.setError, -1;
            gDriver.flags = s->flags;
            return 0;
        }
        return sys.ioctl(fd, request, arg);
    };
    c.open = [](const char* path, int flags) {
        const std::string p = path;
        if (p.rfind("/sys/", 0) != 0) return sys.open(path, flags);
        if (gDriver.timerFile.empty() || p.find("/device/latency_timer") == std::string::npos) {
            return errno = ENOENT, -1;
        }
        return sys.open(gDriver.timerFile.c_str(), flags);
    };
    return c;
}

class LowLatency : public ::testing::Test {
  protected:
    void SetUp() override {
        gDriver = Driver{};
        ASSERT_TRUE(pty.ok());
    }
    void TearDown() override {
        if (!gDriver.timerFile.empty()) std::remove(gDriver.timerFile.c_str());
        gDriver = Driver{};
    }
    void writeTimer(const char* text) {
        gDriver.timerFile = ::testing::TempDir() + "latency_timer-" + std::to_string(::getpid());
        FILE* f = std::fopen(gDriver.timerFile.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    }
    TraceCapture capture;
    PtyPair pty;
};

TEST_F(LowLatency, AskedAtOpenAndPutBackAtClose) {
    const int other = ASYNC_SKIP_TEST | ASYNC_SPD_HI;
    const std::string on = std::to_string(other | ASYNC_LOW_LATENCY);
    struct Case {
        const char* what;
        int flags, getError, setError;
        std::vector<std::string> atOpen, atClose;
    } cases[] = {
        {"a driver that takes it",
         other,
         0,
         0,
         {"get", "set " + on},
         {"get", "set " + std::to_string(other)}},
        {"already low latency", other | ASYNC_LOW_LATENCY, 0, 0, {"get"}, {}},
        {"no serial settings (a pty)", other, ENOTTY, 0, {"get"}, {}},
        {"the flag refused", other, 0, EINVAL, {"get", "set " + on}, {}},
    };
    for (const Case& c : cases) {
        gDriver = Driver{};
        gDriver.flags = c.flags;
        gDriver.getError = c.getError;
        gDriver.setError = c.setError;
        SerialPort port(driverCalls(), capture.trace(0));
        ASSERT_TRUE(port.open(pty.slavePath().c_str())) << c.what;
        EXPECT_EQ(gDriver.asked, c.atOpen) << c.what;
        gDriver.asked.clear();
        // A refusal changes nothing else: the line works.
        const uint8_t byte = 0x5A;
        uint8_t got = 0;
        EXPECT_EQ(::write(pty.master(), &byte, 1), 1);
        EXPECT_EQ(port.read(&got, 1), 1) << c.what;
        EXPECT_EQ(got, byte) << c.what;
        EXPECT_TRUE(port.close()) << c.what;
        EXPECT_EQ(gDriver.asked, c.atClose) << c.what;
        EXPECT_EQ(gDriver.flags & ~ASYNC_LOW_LATENCY, other) << c.what;
        EXPECT_EQ(gDriver.flags & ASYNC_LOW_LATENCY, c.flags & ASYNC_LOW_LATENCY) << c.what;
    }
    EXPECT_EQ(capture.texts(), std::vector<std::string>{}) << "refusals are silent";
}

TEST_F(LowLatency, TracedWithTheAdapterTimerFromLevelTwo) {
    const std::string port = "port " + pty.slavePath();
    struct Case {
        const char* timer;  // nullptr: no latency_timer file
        int getError;
        std::string traced;
    } cases[] = {
        {"16\n", 0, port + ": low latency, adapter latency timer 16 ms"},
        {"", 0, port + ": low latency"},
        {"x", 0, port + ": low latency"},
        {nullptr, ENOTTY, port + ": no low latency (TIOCGSERIAL: " + std::strerror(ENOTTY) + ")"},
    };
    for (const Case& c : cases) {
        TraceCapture fresh;
        gDriver = Driver{};
        gDriver.getError = c.getError;
        if (c.timer != nullptr) writeTimer(c.timer);
        SerialPort serial(driverCalls(), fresh.trace(2));
        ASSERT_TRUE(serial.open(pty.slavePath().c_str()));
        const auto texts = fresh.texts();
        ASSERT_EQ(texts.size(), 1u) << c.traced;
        EXPECT_NE(texts[0].find("  " + c.traced + "\r\n"), std::string::npos) << texts[0];
    }
}

}  // namespace
}  // namespace kvtlnk
