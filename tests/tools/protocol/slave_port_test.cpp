// The emulator's end of the packet link against scripted masters: what it answers, and where
// each exchange leaves the link.
#include "protocol/slave_port.h"

#include <gtest/gtest.h>

#include "line_script.h"

namespace kvttools {
namespace {

Bytes frame(FrameKind kind, uint8_t sequence = 0, const Bytes& data = {}) {
    return encodeFrame(kind, sequence, data.data(), data.size());
}
const Bytes kId = {'i', 'd'};
const Bytes kConnect = frame(FrameKind::Connect);
const Bytes kLinkAck = frame(FrameKind::LinkAck);
const Bytes kDisconnect = frame(FrameKind::Disconnect);

TEST(ToolsSlavePort, ReceiveAnswersWhatTheMasterSends) {
    Bytes damaged = frame(FrameKind::Data, 0, kId);
    damaged.back() ^= 1;
    const struct {
        const char* what;
        std::vector<Bytes> master;
        bool received;
        Bytes packet;
        std::vector<Bytes> answered;
        int purges;
        LinkState after;
    } cases[] = {
        // clang-format off
        {"a connect, then a command", {kConnect, frame(FrameKind::Data, 0, kId)},
         true, kId, {kLinkAck, frame(FrameKind::Ack, 0)}, 0, LinkState::Up},
        {"a disconnect", {kConnect, kDisconnect},
         true, {}, {kLinkAck, kLinkAck}, 0, LinkState::Down},
        {"data into a link that is down", {frame(FrameKind::Data, 0, kId)},
         false, {}, {kDisconnect}, 1, LinkState::Down},
        {"data under the wrong number", {kConnect, frame(FrameKind::Data, 1, kId)},
         false, {}, {kLinkAck, kDisconnect}, 1, LinkState::Down},
        {"a damaged frame, then the same again", {kConnect, damaged, frame(FrameKind::Data, 0, kId)},
         true, kId, {kLinkAck, frame(FrameKind::Ack, 0)}, 0, LinkState::Up},
        {"nothing at all", {}, false, {}, {}, 0, LinkState::Down},
        // clang-format on
    };
    for (const auto& c : cases) {
        ScriptedLine line(c.master);
        SlavePort port(line);
        Bytes packet;
        EXPECT_EQ(port.receive(&packet), c.received) << c.what;
        if (c.received) {
            EXPECT_EQ(packet, c.packet) << c.what;
        }
        EXPECT_EQ(line.written, c.answered) << c.what;
        EXPECT_EQ(line.purges, c.purges) << c.what;
        EXPECT_EQ(port.state(), c.after) << c.what;
    }
}

// A port that has taken the command "id" (sequence 1 next) sends its reply.
TEST(ToolsSlavePort, SendRepeatsUntilAcknowledged) {
    const Bytes reply = {'0'};
    const Bytes data1 = frame(FrameKind::Data, 1, reply);
    Bytes damagedAck = frame(FrameKind::Ack, 1);
    damagedAck.back() ^= 1;
    const struct {
        const char* what;
        std::vector<Bytes> master;
        bool sent;
        std::vector<Bytes> answered;
        LinkState after;
    } cases[] = {
        // clang-format off
        {"acknowledged", {frame(FrameKind::Ack, 1)}, true, {data1}, LinkState::Up},
        {"acknowledged after a damaged one", {damagedAck, frame(FrameKind::Ack, 1)},
         true, {data1, data1}, LinkState::Up},
        {"acknowledged under the wrong number", {frame(FrameKind::Ack, 0)},
         false, {data1, kDisconnect, kDisconnect}, LinkState::Down},
        {"the master restarts the link", {kConnect}, false, {data1, kLinkAck}, LinkState::Up},
        {"the master takes the link down", {kDisconnect},
         false, {data1, kLinkAck}, LinkState::Down},
        {"the master sends data instead", {frame(FrameKind::Data, 1, kId)},
         false, {data1, kDisconnect, kDisconnect}, LinkState::Down},
        {"no answer", {}, false, std::vector<Bytes>(3, data1), LinkState::Down},
        // clang-format on
    };
    for (const auto& c : cases) {
        std::vector<Bytes> master = {kConnect, frame(FrameKind::Data, 0, kId)};
        master.insert(master.end(), c.master.begin(), c.master.end());
        ScriptedLine line(master);
        SlavePort port(line, 3);
        Bytes packet;
        ASSERT_TRUE(port.receive(&packet));
        line.written.clear();
        EXPECT_EQ(port.send(reply), c.sent) << c.what;
        EXPECT_EQ(line.written, c.answered) << c.what;
        EXPECT_EQ(port.state(), c.after) << c.what;
    }
}

TEST(ToolsSlavePort, NothingIsSentIntoALinkThatIsDown) {
    ScriptedLine line;
    SlavePort port(line);
    EXPECT_FALSE(port.send({'0'}));
    EXPECT_TRUE(line.written.empty());
}

}  // namespace
}  // namespace kvttools
