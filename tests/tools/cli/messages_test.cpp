// Every result code of the public header has its own line in the message table.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "kvtlnk/kvtlnk_messages.h"

TEST(Messages, EveryCodeOfTheHeaderHasItsOwnLine) {
    std::ifstream header(KVTLNK_HEADER_PATH);
    std::stringstream text;
    text << header.rdbuf();
    const std::string source = text.str();
    const std::regex define(R"(#define (KVTLNK_(?:OK|W_\w+|E_\w+)) (\d+)u)");
    const std::string unknown = kvtlnkMessage(1u);
    std::set<std::string> seen;
    int codes = 0;
    for (std::sregex_iterator it(source.begin(), source.end(), define), end; it != end; ++it) {
        const auto code = static_cast<uint32_t>(std::stoul((*it)[2]));
        const std::string message = kvtlnkMessage(code);
        EXPECT_NE(message, unknown) << (*it)[1];
        EXPECT_TRUE(seen.insert(message).second) << (*it)[1] << " repeats another code's line";
        EXPECT_EQ(message.find('\n'), std::string::npos);
        ++codes;
    }
    EXPECT_EQ(codes, 33);
}
