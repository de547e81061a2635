#include "faults.h"

#include <cstdlib>

namespace k27emu {

void FaultScript::addFrameRule(FrameFault f, uint32_t n, uint32_t every, FrameFilter which) {
    if (n == 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    frameRules_.push_back({f, which, n, every});
}

void FaultScript::corruptFrame(uint32_t n, uint32_t every, FrameFilter which) {
    addFrameRule(FrameFault::Corrupt, n, every, which);
}

void FaultScript::dropFrame(uint32_t n, uint32_t every, FrameFilter which) {
    addFrameRule(FrameFault::Drop, n, every, which);
}

void FaultScript::wrongSequence(uint32_t n, uint32_t every, FrameFilter which) {
    addFrameRule(FrameFault::WrongSequence, n, every, which);
}

void FaultScript::goSilent(bool silent) {
    std::lock_guard<std::mutex> lock(mutex_);
    silent_ = silent;
}

void FaultScript::delayEachByte(std::chrono::microseconds delay) {
    std::lock_guard<std::mutex> lock(mutex_);
    byteDelay_ = delay;
}

void FaultScript::addReplyRule(ReplyFault f, const std::string& command,
                               std::vector<std::string> texts, uint32_t times) {
    std::lock_guard<std::mutex> lock(mutex_);
    replyRules_.push_back({f, command, std::move(texts), times});
}

void FaultScript::refuse(const std::string& command, const std::string& status, uint32_t times) {
    addReplyRule(ReplyFault::Refuse, command, {status}, times);
}

void FaultScript::extraLine(const std::string& command, const std::string& line, uint32_t times) {
    addReplyRule(ReplyFault::ExtraLine, command, {line}, times);
}

void FaultScript::lineInsteadOfEnd(const std::string& command, const std::string& line,
                                   uint32_t times) {
    addReplyRule(ReplyFault::LineInsteadOfEnd, command, {line}, times);
}

void FaultScript::replaceLines(const std::string& command, const std::vector<std::string>& lines,
                               uint32_t times) {
    addReplyRule(ReplyFault::ReplaceLines, command, lines, times);
}

void FaultScript::inflateUpload(uint32_t extraBytes, uint32_t times) {
    addReplyRule(ReplyFault::InflateUpload, "mu ", {std::to_string(extraBytes)}, times);
}

void FaultScript::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    frameRules_.clear();
    replyRules_.clear();
    silent_ = false;
    byteDelay_ = std::chrono::microseconds(0);
}

uint32_t FaultScript::framesSent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return framesSent_;
}

uint32_t FaultScript::framesFaulted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return framesFaulted_;
}

FrameFault FaultScript::nextFrame(bool isData) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++framesSent_;
    FrameFault chosen = FrameFault::None;
    for (FrameRule& r : frameRules_) {
        if (r.done || (r.filter == FrameFilter::Data && !isData)) continue;
        ++r.seen;
        const bool fires =
            r.seen == r.nth || (r.every != 0 && r.seen > r.nth && (r.seen - r.nth) % r.every == 0);
        if (r.every == 0 && r.seen >= r.nth) r.done = true;
        if (fires && chosen == FrameFault::None) chosen = r.fault;
    }
    if (chosen != FrameFault::None) ++framesFaulted_;
    return chosen;
}

bool FaultScript::silent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return silent_;
}

std::chrono::microseconds FaultScript::byteDelay() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return byteDelay_;
}

FaultScript::ReplyRule* FaultScript::take(ReplyFault f, const std::string& command) {
    for (ReplyRule& r : replyRules_) {
        if (r.fault != f || command.rfind(r.command, 0) != 0) continue;
        if (r.times != 0 && r.used >= r.times) continue;
        ++r.used;
        return &r;
    }
    return nullptr;
}

bool FaultScript::refusal(const std::string& command, std::string* status) {
    std::lock_guard<std::mutex> lock(mutex_);
    const ReplyRule* r = take(ReplyFault::Refuse, command);
    if (r == nullptr) return false;
    *status = r->texts.front();
    return true;
}

void FaultScript::shapeReply(const std::string& command, Reply* reply) {
    if (!reply->accepted) return;
    std::lock_guard<std::mutex> lock(mutex_);
    for (ReplyFault f : {ReplyFault::ReplaceLines, ReplyFault::InflateUpload, ReplyFault::ExtraLine,
                         ReplyFault::LineInsteadOfEnd}) {
        if (const ReplyRule* r = take(f, command)) applyReplyRule(*r, reply);
    }
}

void FaultScript::applyReplyRule(const ReplyRule& rule, Reply* reply) {
    std::vector<Packet>& p = reply->packets;  // status, data packets, final 0x04
    switch (rule.fault) {
        case ReplyFault::ReplaceLines:
            p.erase(p.begin() + 1, p.end() - 1);
            for (auto it = rule.texts.rbegin(); it != rule.texts.rend(); ++it) {
                p.insert(p.begin() + 1, toPacket(*it));
            }
            break;
        case ReplyFault::InflateUpload: {
            if (p.size() < 3) break;
            const uint32_t extra =
                static_cast<uint32_t>(std::strtoul(rule.texts[0].c_str(), nullptr, 10));
            const std::string count(p[1].begin(), p[1].end());
            p[1] = toPacket(std::to_string(std::strtoul(count.c_str(), nullptr, 10) + extra));
            for (uint32_t left = extra; left > 0;) {
                const uint32_t n = left < 256 ? left : 256;
                p.insert(p.end() - 1, Packet(n, 0));
                left -= n;
            }
            break;
        }
        case ReplyFault::ExtraLine:
            p.insert(p.end() - 1, toPacket(rule.texts.front()));
            break;
        case ReplyFault::LineInsteadOfEnd:
            p.back() = toPacket(rule.texts.front());
            break;
        case ReplyFault::Refuse:
            break;
    }
}

}  // namespace k27emu
