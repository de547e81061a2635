// The instrument's command log over a long session.
#include "instrument.h"

#include <gtest/gtest.h>

#include <string>

namespace k27emu {
namespace {

TEST(EmulatorCommandLog, KeepsTheNewestCommandsOfALongSession) {
    Instrument instrument;
    const size_t sent = 5 * Instrument::kLogKeep + 3;
    for (size_t i = 0; i < sent; ++i) {
        const std::string text = "sf link " + std::to_string(i);
        instrument.answer(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    const auto& log = instrument.commandLog();
    EXPECT_GE(log.size(), Instrument::kLogKeep);
    EXPECT_LT(log.size(), 2 * Instrument::kLogKeep);
    EXPECT_EQ(log.back().text, "sf link " + std::to_string(sent - 1));
    EXPECT_EQ(log.front().text, "sf link " + std::to_string(sent - log.size()));
}

}  // namespace
}  // namespace k27emu
