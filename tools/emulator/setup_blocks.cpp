#include "setup_blocks.h"

#include <cstring>

#include "emu_facts.h"
#include "protocol/byte_order.h"

namespace k27emu {

using namespace facts;

const uint8_t* ItemReader::take(size_t n) {
    if (data_.size() - pos_ < n) {
        pos_ = data_.size();
        return nullptr;
    }
    pos_ += n;
    return data_.data() + pos_ - n;
}

const char* ItemReader::text() {
    const size_t left = data_.size() - pos_;
    const void* zero = left > 0 ? std::memchr(data_.data() + pos_, 0, left) : nullptr;
    if (zero == nullptr) {
        pos_ = data_.size();
        return nullptr;
    }
    const char* at = reinterpret_cast<const char*>(data_.data() + pos_);
    pos_ = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data_.data()) + 1;
    return at;
}

int SetupBlocks::inFunction() const {
    return static_cast<int8_t>(head[head::kFunction]);
}

int SetupBlocks::outFunction() const {
    return static_cast<int8_t>(head[head::kOutFunction]);
}

bool parseSetup(const MemoryRecord& item, SetupBlocks* b) {
    if (item.kind < kSetupForm1 || item.kind > kSetupForm5) return false;
    ItemReader reader(item.data);
    b->form = item.kind;
    if ((b->head = reader.take(head::kSize)) == nullptr) return false;
    auto take = [&reader](size_t n, const uint8_t** at) { return (*at = reader.take(n)); };
    if (b->inFunction() == kFnPressure && !take(module::kSize, &b->inModule)) return false;
    if ((b->form == kSetupForm3 || b->form == kSetupForm4) && !take(kMinMaxSize, &b->minMax)) {
        return false;
    }
    const bool hasOutput = b->form == kSetupForm2 || b->form == kSetupForm4 ||
                           b->form == kSetupForm5 || b->outFunction() != kFnNone;
    if (hasOutput) {
        if (!take(output::kSize, &b->output)) return false;
        if (b->outFunction() == kFnPressure && !take(module::kSize, &b->outModule)) return false;
    }
    if (b->form == kSetupForm4) {
        const uint8_t* samples = nullptr;
        if (!take(logging::kHeadSize, &b->log)) return false;
        const uint32_t count = kvttools::loadU32(b->log + logging::kCount);
        if (count > item.data.size() / 4 || !take(4 * size_t{count}, &samples)) return false;
    }
    const bool refBit = (b->head[head::kFlags] & kModuleAttachedBit) != 0 ||
                        (b->output != nullptr && (b->output[output::kFlags] & kModuleAttachedBit));
    return !refBit || take(kPressureRefSize, &b->pressureRef);
}

bool setupAsForm5(const MemoryRecord& setup, std::vector<uint8_t>* out) {
    SetupBlocks b;
    if (!parseSetup(setup, &b)) return false;
    static const uint8_t zeros[output::kSize] = {};
    auto add = [out](const uint8_t* block, size_t n) {
        if (block != nullptr) out->insert(out->end(), block, block + n);
    };
    out->clear();
    add(b.head, head::kSize);
    (*out)[head::kSetupCode] = 5;  // the setup code of a form-5 setup
    add(b.inModule, module::kSize);
    add(b.output != nullptr ? b.output : zeros, output::kSize);
    add(b.outModule, module::kSize);
    add(b.pressureRef, kPressureRefSize);
    return true;
}

}  // namespace k27emu
