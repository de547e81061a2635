// The frame receiver and the exchanges of both roles, over bytes that arrive as scripted.
// Piece 0 is the plan: its first byte the role (bit 7: slave) and the attempts (low 3 bits),
// each byte after it one exchange (low 2 bits: connect, disconnect, send, receive; the rest the
// capacity of a receive, in steps of 17 bytes). The other pieces are the line's bytes.
#include <algorithm>

#include "fuzz_support.h"
#include "propkt/link.h"

using namespace kvtlnk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<fuzz::Bytes> pieces = fuzz::splitPieces(data, size);
    if (pieces.empty() || pieces[0].empty()) return 0;
    const fuzz::Bytes& plan = pieces[0];
    fuzz::ScriptedLine line(pieces, 1);
    PacketPort port(line, plan[0] & 0x80 ? PortRole::Slave : PortRole::Master);
    port.setAttempts(plan[0] & 0x07);
    uint8_t store[PACKET_SIZE] = {'i', 'd', 0x10, 0x04, 0x10};
    for (size_t i = 1; i < plan.size() && i < 32; ++i) {
        const auto capacity = static_cast<uint16_t>(std::min(17 * (plan[i] >> 2), 1024));
        switch (plan[i] & 0x03) {
            case 0:
                port.connect();
                break;
            case 1:
                port.disconnect();
                break;
            case 2:
                pkt_send(port, store, 5);
                break;
            default:
                pkt_receive(port, store, capacity);
                break;
        }
    }
    return 0;
}
