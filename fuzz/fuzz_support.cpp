#include "fuzz_support.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <memory>

#include "kvtlnk/kvtlnk.h"
#include "propkt/posix_calls.h"
#include "propkt/ptalklib.h"
#include "session/session_calls.h"

namespace kvtlnk::fuzz {

namespace {

constexpr uint8_t DLE = 0x10, STX = 0x02, ETX = 0x03;
constexpr uint8_t kData = 0x00, kAck = 0x01, kConnect = 0x03, kLinkAck = 0x07, kDisconnect = 0x0B;

}  // namespace

std::vector<Bytes> splitPieces(const uint8_t* data, size_t size) {
    std::vector<Bytes> pieces;
    if (size == 0) return pieces;
    pieces.emplace_back();
    for (size_t i = 1; i < size; ++i) {
        if (data[i] == data[0]) {
            pieces.emplace_back();
        } else {
            pieces.back().push_back(data[i]);
        }
    }
    return pieces;
}

Bytes frameOf(uint8_t type, const Bytes& packet) {
    Bytes frame = {DLE, STX, type};
    for (uint8_t b : packet) {
        frame.push_back(b);
        if (b == DLE) frame.push_back(DLE);
    }
    frame.push_back(DLE);
    frame.push_back(ETX);
    const auto check = static_cast<uint16_t>(
        ~crc16Update(0xFFFF, frame.data() + 2, static_cast<uint32_t>(frame.size() - 2)));
    frame.push_back(static_cast<uint8_t>(check & 0xFF));
    frame.push_back(static_cast<uint8_t>(check >> 8));
    return frame;
}

ScriptedLine::ScriptedLine(const std::vector<Bytes>& pieces, size_t first) {
    for (size_t i = first; i < pieces.size(); ++i) {
        const Bytes& p = pieces[i];
        if (p.empty()) {
            bytes_.push_back(-1);
            continue;
        }
        const Bytes wire = p[0] == kRawPiece ? Bytes(p.begin() + 1, p.end())
                                             : frameOf(p[0], Bytes(p.begin() + 1, p.end()));
        bytes_.insert(bytes_.end(), wire.begin(), wire.end());
    }
}

uint16_t ScriptedLine::read(uint8_t* data, uint16_t count) {
    if (count == 0 || bytes_.empty()) return 0;
    const int b = bytes_.front();
    bytes_.pop_front();
    if (b < 0) return 0;
    *data = static_cast<uint8_t>(b);
    return 1;
}

void ScriptedCalibrator::fromSession(const uint8_t* data, size_t n) {
    in_.insert(in_.end(), data, data + n);
    // The session's frames are well formed; a frame is taken once its check bytes are in.
    for (;;) {
        while (in_.size() >= 2 && !(in_[0] == DLE && in_[1] == STX))
            in_.erase(in_.begin());
        Bytes packet;
        size_t i = 3;
        for (; i + 1 < in_.size(); ++i) {
            if (in_[i] == DLE && in_[i + 1] == ETX) break;
            if (in_[i] == DLE) ++i;  // a doubled 0x10
            packet.push_back(in_[i]);
        }
        if (in_.size() < 3 || i + 3 >= in_.size()) return;
        const uint8_t type = in_[2];
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(i + 4));
        frame(type, packet);
    }
}

void ScriptedCalibrator::frame(uint8_t type, const Bytes& packet) {
    const uint8_t sequence = (type >> 5) & 0x03;
    auto send = [this](const Bytes& f) { out_.insert(out_.end(), f.begin(), f.end()); };
    switch (type & 0x0F) {
        case kConnect:
        case kDisconnect:
            sequence_ = 0;
            reply_.clear();
            awaitingAck_ = false;
            send(frameOf(kLinkAck, {}));
            break;
        case kData:
            if (sequence != sequence_) {
                send(frameOf(kDisconnect, {}));  // out of step: the link is down for us
                break;
            }
            send(frameOf(static_cast<uint8_t>(kAck | sequence_ << 5), {}));
            sequence_ = (sequence_ + 1) & 0x03;
            {
                const std::vector<Bytes> reply = source_(packet);
                reply_.assign(reply.begin(), reply.end());
            }
            awaitingAck_ = false;
            sendNext();
            break;
        case kAck:
            if (awaitingAck_ && sequence == sequence_) {
                sequence_ = (sequence_ + 1) & 0x03;
                awaitingAck_ = false;
                sendNext();
            }
            break;
        default:
            break;
    }
}

void ScriptedCalibrator::sendNext() {
    while (!reply_.empty() && !awaitingAck_) {
        const Bytes p = std::move(reply_.front());
        reply_.pop_front();
        if (!p.empty() && p[0] == kRawPiece) {
            out_.insert(out_.end(), p.begin() + 1, p.end());
            continue;
        }
        const Bytes f = frameOf(static_cast<uint8_t>(kData | sequence_ << 5), p);
        out_.insert(out_.end(), f.begin(), f.end());
        awaitingAck_ = true;
    }
}

size_t ScriptedCalibrator::toSession(uint8_t* data, size_t n) {
    size_t got = 0;
    for (; got < n && !out_.empty(); ++got) {
        data[got] = out_.front();
        out_.pop_front();
    }
    return got;
}

ScriptedCalibrator::Source ScriptedCalibrator::fromPieces(std::vector<Bytes> pieces) {
    auto next = std::make_shared<size_t>(0);
    auto all = std::make_shared<std::vector<Bytes>>(std::move(pieces));
    return [next, all](const Bytes&) {
        std::vector<Bytes> reply;
        if (*next >= all->size()) return reply;  // a silent calibrator
        reply.push_back((*all)[(*next)++]);
        if (reply[0] != Bytes{'0'}) return reply;
        while (*next < all->size()) {
            reply.push_back((*all)[(*next)++]);
            if (reply.back() == Bytes{0x04}) break;
        }
        return reply;
    };
}

namespace {

ScriptedCalibrator* gCalibrator = nullptr;
constexpr int kFd = 1000;

PosixCalls calibratorCalls() {
    PosixCalls c = systemPosixCalls();
    c.open = [](const char*, int) { return kFd; };
    c.close = [](int) { return 0; };
    c.read = [](int, void* b, size_t n) -> ssize_t {
        const size_t got = gCalibrator->toSession(static_cast<uint8_t*>(b), n);
        if (got == 0) errno = EAGAIN;
        return got == 0 ? -1 : static_cast<ssize_t>(got);
    };
    c.write = [](int, const void* b, size_t n) -> ssize_t {
        gCalibrator->fromSession(static_cast<const uint8_t*>(b), n);
        return static_cast<ssize_t>(n);
    };
    // Nothing to read is a time-out at once; writing always has room; sleeps take no time.
    c.poll = [](pollfd* fds, nfds_t n, int) {
        if (n == 0) return 0;
        const bool in = (fds[0].events & POLLIN) && gCalibrator->pending();
        fds[0].revents = static_cast<short>(in ? POLLIN : fds[0].events & POLLOUT);
        return fds[0].revents != 0 ? 1 : 0;
    };
    c.nanosleep = [](const timespec*, timespec*) { return 0; };
    c.ioctl = [](int, unsigned long request, void* arg) {
        if (request == TIOCOUTQ) *static_cast<int*>(arg) = 0;
        return 0;
    };
    c.tcgetattr = [](int, termios* t) {
        *t = termios{};
        return 0;
    };
    c.tcsetattr = [](int, int, const termios*) { return 0; };
    c.flock = [](int, int) { return 0; };
    c.tcflush = [](int, int queue) {
        if (queue != TCOFLUSH) gCalibrator->purge();
        return 0;
    };
    c.tcdrain = [](int) { return 0; };
    return c;
}

}  // namespace

CalibratorOnPort::CalibratorOnPort(ScriptedCalibrator& calibrator) {
    gCalibrator = &calibrator;
    Seams seams;
    seams.systemCalls = calibratorCalls();
    seams.sleep = [](uint32_t) {};
    library_ = std::make_unique<Library>(seams);
}

CalibratorOnPort::~CalibratorOnPort() {
    library_.reset();
    gCalibrator = nullptr;
}

namespace {

// A transfer's start and its steps, at most 200 of them.
template <class Start, class Step>
void transfer(Library& lib, PacketPort& port, Start start, Step step) {
    uint32_t n = 0;
    uint32_t r = start(lib.session, port, lib.image, &n);
    for (int i = 0; r == KVTLNK_OK && n > 0 && i < 200; ++i)
        r = step(lib.session, port, lib.image, &n);
}

}  // namespace

void runSession(Library& lib) {
    if (openSession(lib.session, lib.link, 9600, "COM1", 500, 3) == KVTLNK_OK) {
        PacketPort& port = *lib.link.port();
        char model[128], ident3[128], version[128];  // the documented size
        const Identity id{model, sizeof model, ident3, sizeof ident3, version, sizeof version};
        uint32_t a = 0, b = 0, c = 0;
        getK2x(lib.session, port, id, &a, &b, &c);
        memStats(lib.session, port, &a, &b);
        transfer(lib, port, uploadStart, uploadStep);
        transfer(lib, port, downloadStart, downloadStep);
        clearProcedures(lib.session, port);
    }
    closeSession(lib.session, lib.link);
}

void fillImage(MemoryImage& image, const std::vector<Bytes>& pieces, size_t maxRecords) {
    image.procedure().truncate(0);
    image.results().truncate(0);
    size_t made = 0;
    for (const Bytes& p : pieces) {
        if (p.size() < 2 || made == maxRecords) continue;
        RecordStore& store = image.store(p[0] & 0x80 ? Memory::Results : Memory::Procedure);
        size_t at = 2;
        DateStamp stamp;
        if ((p[0] & 0x40) && p.size() >= at + DateStamp::kSize) {
            stamp = DateStamp{p[2], p[3], p[4], p[5], p[6], p[7], p[8]};
            at += DateStamp::kSize;
        }
        const int32_t index = store.beginRecord(p[0] & 0x0F, p[1]);
        store.writeBytes(p.data() + at, static_cast<int32_t>(p.size() - at));
        store.endRecord();
        if (Record* r = store.selectRecord(index)) r->setStamp(stamp);
        ++made;
    }
}

}  // namespace kvtlnk::fuzz
