// kvtsim as a user runs it: a process that serves a pty until it is told to stop.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "image_file.h"
#include "propkt/link.h"

namespace k27emu {
namespace {

struct Process {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Process launch(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    return {pid, ::fdopen(fds[0], "r")};
}

int finish(Process& p, int sig) {
    if (sig != 0) ::kill(p.pid, sig);
    int status = 0;
    ::waitpid(p.pid, &status, 0);
    if (p.out != nullptr) ::fclose(p.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readLine(FILE* f) {
    char line[256] = {};
    if (std::fgets(line, sizeof line, f) == nullptr) return "";
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
}

TEST(EmulatorKvtsim, ServesAnImageAndSavesItOnExit) {
    const std::string dir = ::testing::TempDir() + "kvtsim_" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    const std::string in = dir + "/in.json", out = dir + "/out.json", link = dir + "/k27port";
    MemoryFile image;
    EmuRecord item;
    item.kind = 13;
    item.data = {0};
    image.procedure = {item};
    std::string error;
    ASSERT_TRUE(saveMemoryFile(in, image, &error)) << error;

    // The emulator repeats a frame after a second, the master waits its default time-out.
    Process p =
        launch({KVTSIM_PATH, "--image", in, "--save", out, "--link", link, "--timeout", "1000"});
    const std::string path = readLine(p.out);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

    kvtlnk::SerialPort serial;
    kvtlnk::Link master(serial);
    ASSERT_EQ(master.open(9600, link.c_str(), kvtlnk::PortRole::Master), kvtlnk::LinkOpen::Opened);
    kvtlnk::PacketPort& port = *master.port();
    ASSERT_TRUE(kvtlnk::linkConnect(port));
    const std::string command = "ma p,6,0,2";
    ASSERT_EQ(kvtlnk::pkt_send(port, reinterpret_cast<const uint8_t*>(command.data()), 10), 0u);
    uint8_t reply[128];
    ASSERT_EQ(kvtlnk::pkt_receive(port, reply, sizeof reply), 1u);  // "0"
    ASSERT_EQ(kvtlnk::pkt_receive(port, reply, sizeof reply), 1u);  // the index
    EXPECT_EQ(reply[0], '1');
    ASSERT_EQ(kvtlnk::pkt_receive(port, reply, sizeof reply), 1u);  // 0x04
    master.close();

    EXPECT_EQ(finish(p, SIGTERM), 0);
    MemoryFile saved;
    ASSERT_TRUE(loadMemoryFile(out, &saved, &error)) << error;
    ASSERT_EQ(saved.procedure.size(), 2u);
    EXPECT_EQ(saved.procedure[0].data, item.data);
    EXPECT_EQ(saved.procedure[1].data, (std::vector<uint8_t>{0, 0}));
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link is removed on exit";
}

TEST(EmulatorKvtsim, ABadImageStopsItWithAMessage) {
    const std::string bad =
        ::testing::TempDir() + "kvtsim_bad_" + std::to_string(::getpid()) + ".json";
    std::ofstream(bad) << R"({"procedure": [{"kind": 6}]})";
    Process p = launch({KVTSIM_PATH, "--image", bad});
    EXPECT_EQ(readLine(p.out), "");
    EXPECT_EQ(finish(p, 0), 1);
}

}  // namespace
}  // namespace k27emu
