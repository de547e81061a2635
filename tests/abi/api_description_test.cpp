// api.json against the headers and the shared library: every call the headers declare is
// described and every described call is exported, the constants and the tables are the
// headers', and the texts of the result codes are the library's.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "kvtlnk/kvtlnk_ext.h"

namespace {

using json = nlohmann::json;

std::string read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ApiDescription : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        api = json::parse(read(KVTLNK_TEST_API_JSON));
        library = dlopen(KVTLNK_TEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    }
    static json api;
    static void* library;
};
json ApiDescription::api;
void* ApiDescription::library = nullptr;

TEST_F(ApiDescription, DescribesEveryDeclaredCallAndTheLibraryExportsEach) {
    ASSERT_NE(library, nullptr) << dlerror();
    std::set<std::string> declared, described, extension;
    const std::regex declaration("KVTLNK_API [^;(]* KVTLNK_CALL ([A-Za-z0-9]+)\\(");
    for (const char* header : {"kvtlnk.h", "kvtlnk_ext.h"}) {
        const std::string text = read(std::string(KVTLNK_TEST_HEADERS) + "/" + header);
        for (std::sregex_iterator it(text.begin(), text.end(), declaration), end; it != end; ++it) {
            declared.insert((*it)[1].str());
            if (std::string(header) == "kvtlnk_ext.h") extension.insert((*it)[1].str());
        }
    }
    for (const json& call : api["calls"]) {
        const std::string name = call["name"];
        described.insert(name);
        EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
        EXPECT_EQ(call["set"] == "extension", extension.count(name) == 1) << name;
        EXPECT_EQ(call["stdcall_name"].is_null(), extension.count(name) == 1) << name;
    }
    EXPECT_EQ(declared, described);
    EXPECT_EQ(described.size() - extension.size(), 70u);
}

TEST_F(ApiDescription, ResultTextsAreTheLibrarysAndSizesTheHeaders) {
    ASSERT_NE(library, nullptr) << dlerror();
    using Message = const char* (*)(uint32_t);
    const auto message = reinterpret_cast<Message>(dlsym(library, "KVXmessage"));
    ASSERT_NE(message, nullptr);
    for (const json& code : api["result_codes"]) {
        EXPECT_EQ(code["text"], message(code["value"])) << code["name"];
    }
    EXPECT_EQ(api["unknown_code_text"], message(4242));
    EXPECT_EQ(api["result_codes"].size(), 33u);

    std::map<std::string, unsigned long> constants;
    for (const json& c : api["constants"])
        constants[c["name"]] = c["value"];
    const std::pair<const char*, unsigned long> sizes[] = {
        {"KVTLNK_NAME_SIZE", KVTLNK_NAME_SIZE},
        {"KVTLNK_DISPLAY_STRING_SIZE", KVTLNK_DISPLAY_STRING_SIZE},
        {"KVTLNK_MODEL_SIZE", KVTLNK_MODEL_SIZE},
        {"KVTLNK_TEXT_SIZE", KVTLNK_TEXT_SIZE},
        {"KVTLNK_STRATEGY_NAME_SIZE", KVTLNK_STRATEGY_NAME_SIZE},
        {"KVTLNK_NO_TASK", KVTLNK_NO_TASK},
        {"KVX_RECORD_SIZE_MAX", KVX_RECORD_SIZE_MAX},
    };
    for (const auto& [name, value] : sizes)
        EXPECT_EQ(constants[name], value) << name;
    // Every buffer's size is a constant described beside it, or a parameter of its call.
    for (const json& call : api["calls"]) {
        std::set<std::string> names;
        for (const json& p : call["parameters"])
            names.insert(p["name"]);
        for (const json& p : call["parameters"]) {
            if (p["size"].is_null()) continue;
            EXPECT_TRUE(constants.count(p["size"]) == 1 || names.count(p["size"]) == 1)
                << call["name"] << "(" << p["name"] << ")";
        }
    }
}

TEST_F(ApiDescription, TablesAreTheHeaders) {
    std::vector<std::string> functions, symbols;
#define KVTLNK_TEST_ROW(name, other) functions.push_back(name);
    KVTLNK_FUNCTIONS(KVTLNK_TEST_ROW)
#undef KVTLNK_TEST_ROW
    std::vector<std::string> described;
    for (const json& f : api["tables"]["functions"])
        described.push_back(f["name"]);
    EXPECT_EQ(described, functions);
    std::vector<std::string> units;
    for (const json& u : api["tables"]["units"])
        units.push_back(u["symbol"]);
    EXPECT_EQ(units[3], "\u03A9");       // ohms: the display's 0x81
    EXPECT_EQ(units[12], "inH\u2082O");  // in_h2o: its 0x89
    EXPECT_EQ(units[6], "\u00B0C");      // celsius: Latin-1's 0xB0
}

}  // namespace
