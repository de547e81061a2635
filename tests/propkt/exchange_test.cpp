// The exchanges of each role against a peer scripted frame by frame on the in-memory line; whole
// sessions through a real slave are the end-to-end tests'. Every answer is on the line before
// it is read, so short time-outs do no harm.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "propkt/link.h"
#include "propkt/link_fixtures.h"

namespace kvtlnk {
namespace {

namespace fs = std::filesystem;

const Bytes kLinkAck = frameWith(0x07);
const Bytes kDisconnect = frameWith(0x0B);
const Bytes kAck0 = frameWith(0x01);

// A peer that answers each frame the master writes, by its type byte, with a scripted frame.
using Answers = std::map<uint8_t, Bytes>;
void answerWith(DuplexLine& line, Answers answers) {
    line.master().setFilter([&line, answers](Bytes& frame) {
        auto it = answers.find(frame[2]);
        if (it != answers.end()) line.master().inject(it->second);
        return false;
    });
}

TEST(MasterExchanges, OutcomesAndTheClosingRule) {
    enum Exchange { Connect, Disconnect, Send, Receive };
    using S = LinkState;
    struct Case {
        const char* what;
        Exchange exchange;
        Answers peer;                 // once the link is up
        std::vector<Bytes> arriving;  // frames waiting before the exchange
        bool result;
        LinkState state;
    };
    Bytes badAck = frameWith(0x01), badData = frameWith(0x00, {1});
    badAck.back() ^= 1;
    badData.back() ^= 1;
    const Bytes longData = frameWith(0x00, Bytes(9, 'x'));
    // A frame of the calibrator's whose tail the line lost, before the one sent again.
    const Bytes cutData = {0x10, 0x02, 0x00, 1}, cutAck = {0x10, 0x02, 0x01};
    const Case cases[] = {
        // clang-format off
        {"connect to a silent line", Connect, {}, {}, false, S::LINK_DOWN},
        {"connect answered by an acknowledgement", Connect, {{0x03, kAck0}}, {}, false, S::LINK_DOWN},
        {"disconnect accepted", Disconnect, {{0x0B, kLinkAck}}, {}, true, S::LINK_DOWN},
        {"send to a silent line", Send, {}, {}, false, S::LINK_DOWN},
        {"send answered by bad frames", Send, {{0x00, badAck}}, {}, false, S::LINK_UP},
        {"send acknowledged", Send, {{0x00, kAck0}}, {}, true, S::LINK_UP},
        {"send answered by disconnect, no reconnect", Send, {{0x00, kDisconnect}}, {}, false, S::LINK_DOWN},
        {"send acknowledged after a cut acknowledgement", Send, {{0x00, concat({cutAck, kAck0})}}, {}, true, S::LINK_UP},
        {"receive from a silent line", Receive, {}, {}, false, S::LINK_DOWN},
        {"receive of bad frames", Receive, {}, {badData, badData, badData}, false, S::LINK_UP},
        {"receive of a packet too long", Receive, {}, {longData, longData, longData}, false, S::LINK_UP},
        {"receive under a wrong number reconnects", Receive, {{0x03, kLinkAck}}, {frameWith(0x20, {'0'})}, false, S::LINK_UP},
        {"receive of a disconnect, no reconnect", Receive, {}, {kDisconnect}, false, S::LINK_DOWN},
        {"receive of a frame after a cut one", Receive, {}, {cutData, frameWith(0x00, {1})}, true, S::LINK_UP},
        // clang-format on
    };
    for (const Case& c : cases) {
        DuplexLine line(10);
        PacketPort master(line.master(), PortRole::Master);
        master.setAttempts(3);
        answerWith(line, {{0x03, kLinkAck}});
        if (c.exchange != Connect) {
            ASSERT_TRUE(master.connect()) << c.what;
        }
        answerWith(line, c.peer);
        for (const Bytes& b : c.arriving)
            line.master().inject(b);
        uint8_t store[8] = {'x'};
        PacketBuffer out(store, 1, 1), in(store, sizeof store);
        bool result = c.exchange == Connect      ? master.connect()
                      : c.exchange == Disconnect ? master.disconnect()
                      : c.exchange == Send       ? master.send(out)
                                                 : master.receive(in);
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_EQ(master.state(), c.state) << c.what;
    }
}

TEST(MasterExchanges, SilentLineUsesEveryAttempt) {
    for (uint8_t attempts : {0, 1, 4}) {
        DuplexLine line(10);
        PacketPort master(line.master(), PortRole::Master);
        master.setAttempts(attempts);
        EXPECT_FALSE(master.connect());
        EXPECT_EQ(master.state(), LinkState::LINK_DOWN);
        EXPECT_EQ(line.master().writes(), std::vector<Bytes>(attempts, frameWith(0x03)));
        EXPECT_EQ(line.master().purges(), attempts);
    }
}

// A line that never stops sending without forming a frame (the wrong device on the port) fails
// every exchange as a silent one does, after a bounded number of bytes.
TEST(Exchanges, BabblingLineFailsLikeASilentOne) {
    struct Babbler : SerialLine {
        Bytes prefix;  // frames before the babble
        size_t sent = 0;
        uint16_t write(const uint8_t*, uint16_t n) override { return n; }
        uint16_t read(uint8_t* b, uint16_t n) override {
            if (n == 0 || sent > 50000000) return 0;  // ends a test of a receiver without bound
            *b = sent < prefix.size() ? prefix[sent] : 'A';
            ++sent;
            return 1;
        }
    };
    enum Exchange { Connect, Send, Receive, SlaveReceive };
    for (Exchange e : {Connect, Send, Receive, SlaveReceive}) {
        Babbler line;
        if (e == Send || e == Receive) line.prefix = frameWith(0x07);
        PacketPort port(line, e == SlaveReceive ? PortRole::Slave : PortRole::Master);
        port.setAttempts(3);
        ASSERT_EQ(line.prefix.empty() || port.connect(), true);
        uint8_t store[8] = {'x'};
        PacketBuffer out(store, 1, 1), in(store, sizeof store);
        const bool result = e == Connect ? port.connect()
                            : e == Send  ? port.send(out)
                                         : port.receive(in);
        EXPECT_FALSE(result) << e;
        EXPECT_EQ(port.state(), LinkState::LINK_DOWN) << e;
        const uint16_t room = e == Receive || e == SlaveReceive ? 8 : PACKET_SIZE;
        EXPECT_LE(line.sent - line.prefix.size(), 3 * 3 * (2u * room + 8)) << e;
    }
}

// The slave's answers, frame by frame, to what a master sends it.
TEST(SlaveExchanges, Answers) {
    enum Start { Down, Up };
    enum Exchange { Rx, Tx };
    using S = LinkState;
    struct Case {
        const char* what;
        Start start;
        Exchange exchange;
        Bytes arriving;
        bool result;
        LinkState state;
        std::vector<Bytes> written;
    };
    const Bytes sent = frameWith(0x00, {'r'}), data = frameWith(0x00, {1});
    Bytes badData = data;
    badData.back() ^= 1;
    const Case cases[] = {
        // clang-format off
        {"data while down", Down, Rx, data, false, S::LINK_DOWN, {kDisconnect}},
        {"a bad frame, then data", Up, Rx, concat({badData, data}), true, S::LINK_UP, {kAck0}},
        {"disconnect while down", Down, Rx, kDisconnect, true, S::LINK_DOWN, {kLinkAck}},
        {"wrong number", Up, Rx, frameWith(0x40, {1}), false, S::LINK_DOWN, {kDisconnect}},
        {"data", Up, Rx, data, true, S::LINK_UP, {kAck0}},
        {"disconnect while up", Up, Rx, kDisconnect, true, S::LINK_DOWN, {kLinkAck}},
        {"send answered by connect", Up, Tx, frameWith(0x03), false, S::LINK_UP, {sent, kLinkAck}},
        {"send answered by disconnect", Up, Tx, kDisconnect, false, S::LINK_DOWN, {sent, kLinkAck}},
        {"send answered by data", Up, Tx, data, false, S::LINK_DOWN, {sent, kDisconnect, kDisconnect}},
        {"send acknowledged", Up, Tx, kAck0, true, S::LINK_UP, {sent}},
        // clang-format on
    };
    for (const Case& c : cases) {
        DuplexLine line(10);
        PacketPort slave(line.slave(), PortRole::Slave);
        slave.setAttempts(3);
        uint8_t store[8] = {'r'};
        PacketBuffer in(store, sizeof store), out(store, 1, 1);
        if (c.start == Up) {
            line.slave().inject(frameWith(0x03));
            slave.receive(in);  // accepts the connect, then waits out its attempts
            ASSERT_EQ(slave.state(), LinkState::LINK_UP) << c.what;
            line.slave().clearLog();
            store[0] = 'r';
        }
        line.slave().inject(c.arriving);
        bool result = c.exchange == Tx ? slave.send(out) : slave.receive(in);
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_EQ(slave.state(), c.state) << c.what;
        EXPECT_EQ(line.slave().writes(), c.written) << c.what;
    }
}

// What is refused before anything reaches the line.
TEST(Link, RefusalsBeforeTheLine) {
    TraceCapture capture;
    SerialPort serial(systemCalls(), capture.trace());
    Link link(serial);
    EXPECT_EQ(link.open(115200, "/dev/null", PortRole::Master), LinkOpen::BadBaud);
    EXPECT_TRUE(capture.texts().empty()) << "a refused baud rate must not touch the port";
    EXPECT_EQ(link.open(9600, "/nonexistent/ttyK27", PortRole::Master), LinkOpen::PortFailed);
    EXPECT_EQ(capture.texts(), (std::vector<std::string>{"OpenComm failed\r\n",
                                                         "open: No such file or directory\r\n"}));
    EXPECT_EQ(link.port(), nullptr);

    // A COM name without a port number is not taken as a path (here: links to a terminal).
    PtyPair pty;
    const std::string cwd = fs::current_path(), dir = cwd + "/com-names";
    fs::create_directory(dir);
    fs::current_path(dir);
    for (const char* name : {"COM0", "COM12345678", "com007"}) {
        fs::remove(name);
        fs::create_symlink(pty.slavePath(), name);
        EXPECT_EQ(link.open(9600, name, PortRole::Master), LinkOpen::PortFailed) << name;
    }
    fs::current_path(cwd);
    fs::remove_all(dir);

    DuplexLine line(10);
    PacketPort port(line.master(), PortRole::Master);  // its link is down
    uint8_t data[PACKET_SIZE + 1] = {};
    EXPECT_EQ(pkt_send(port, nullptr, 5), PktOutcome::NoData);
    EXPECT_EQ(pkt_send(port, data, 0), PktOutcome::NoLength);
    EXPECT_EQ(pkt_send(port, data, PACKET_SIZE + 1), PktOutcome::TooLong);
    EXPECT_EQ(pkt_send(port, data, PACKET_SIZE), PktOutcome::Failed);
    EXPECT_EQ(pkt_receive(port, data, 1).outcome, PktOutcome::Failed);
    EXPECT_TRUE(line.master().writes().empty());
}

}  // namespace
}  // namespace kvtlnk
