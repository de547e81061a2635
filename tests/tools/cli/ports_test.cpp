// The port list read from a /sys tree made in a temporary folder: adapters with and without a
// latency timer, and what the list says of each.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ports.h"

namespace kvtcli {

using namespace kvtapp;
namespace {

namespace fs = std::filesystem;

class FakeSys : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove_all(root); }
    // A tty with a device folder; the given files go beside it ("type") or into the device.
    void tty(const std::string& name, const std::string& latencyTimer = "",
             const std::string& type = "4") {
        const fs::path t = root / "class" / "tty" / name;
        fs::create_directories(t / "device");
        std::ofstream(t / "type") << type << "\n";
        if (!latencyTimer.empty()) std::ofstream(t / "device" / "latency_timer") << latencyTimer;
    }
    std::string printed(bool json = false) {
        std::ostringstream out;
        printPorts(out, serialPorts(root.string()), json);
        return out.str();
    }
    // A folder of the test's own: ctest runs the tests of this file side by side.
    const fs::path root =
        fs::path(::testing::TempDir()) /
        ("kvtlnk-sys-" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
         std::to_string(::getpid()));
};

TEST_F(FakeSys, LatencyTimerOfEachAdapter) {
    tty("ttyUSB1", "16\n");
    tty("ttyUSB0", "1\n");
    tty("ttyACM0");            // a USB modem: no timer
    tty("ttyUSB2", "fast\n");  // nothing a timer could be
    tty("ttyS0", "", "0");     // a UART that is not fitted
    const auto ports = serialPorts(root.string());
    std::vector<std::pair<std::string, int>> got;
    for (const SerialPortInfo& p : ports)
        got.emplace_back(p.path, p.latencyTimerMs);
    const std::vector<std::pair<std::string, int>> want = {
        {"/dev/ttyACM0", -1}, {"/dev/ttyUSB0", 1}, {"/dev/ttyUSB1", 16}, {"/dev/ttyUSB2", -1}};
    EXPECT_EQ(got, want);

    const std::string text = printed();
    EXPECT_NE(text.find("latency timer"), std::string::npos) << text;
    EXPECT_NE(text.find("\n/dev/ttyUSB1: " + latencyAdvice(16) + ".\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("/dev/ttyUSB0:"), std::string::npos) << "1 ms needs no advice\n" << text;
    EXPECT_NE(printed(true).find("\"latency_timer_ms\": 16"), std::string::npos);
}

TEST_F(FakeSys, NoTimerShownWhereNoAdapterHasOne) {
    tty("ttyS0");
    tty("ttyACM0");
    const std::string text = printed();
    EXPECT_EQ(text.find("latency"), std::string::npos) << text;
    EXPECT_EQ(text.find("ms"), std::string::npos) << text;
    EXPECT_NE(printed(true).find("\"latency_timer_ms\": null"), std::string::npos);
    fs::remove_all(root);
    EXPECT_EQ(printed(), "No serial ports found under /sys/class/tty.\n");
}

TEST(LatencyAdvice, CostGrowsWithTheTimer) {
    struct Case {
        int timerMs;
        const char* download;  // nullptr: no advice
        const char* upload;
    } cases[] = {
        {-1, nullptr, nullptr},
        {2, nullptr, nullptr},
        {4, "1 min", "20 s"},
        {16, "4 min 20 s", "1 min 20 s"},
    };
    for (const Case& c : cases) {
        const std::string advice = latencyAdvice(c.timerMs);
        if (c.download == nullptr) {
            EXPECT_EQ(advice, "") << c.timerMs;
            continue;
        }
        EXPECT_NE(advice.find(std::string("about ") + c.download + " to a download"),
                  std::string::npos)
            << advice;
        EXPECT_NE(advice.find(std::string(" and ") + c.upload + " to an upload"), std::string::npos)
            << advice;
    }
}

}  // namespace
}  // namespace kvtcli
