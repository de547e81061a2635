// The one wrapper every exported call runs through: the trace of the call and its result, the
// pointers a call needs, and the one result of a call that could not finish.
#include "api/boundary.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kvtlnk/kvtlnk.h"

namespace kvtlnk {
namespace {

using Lines = std::vector<std::string>;

Lines gLines;

void collect(const char* text) {
    gLines.push_back(text);
}

// A library whose trace goes to gLines at the given level.
std::unique_ptr<Library> tracedLibrary(int level) {
    gLines.clear();
    Seams seams;
    seams.trace = Trace{&collect, level};
    return std::make_unique<Library>(seams);
}

TEST(Boundary, TracesEveryCallWithItsArgumentsAndResult) {
    const auto lib = tracedLibrary(3);
    const char* const noText = nullptr;
    const std::string longText(70, 'x');
    const struct {
        std::function<void(Library&)> call;
        Lines lines;
    } cases[] = {
        {[](Library& l) {
             boundaryCall(l, Call("MEMcalResult", int32_t{-1}, static_cast<uint32_t*>(nullptr)),
                          [](Library&) { return KVTLNK_E_RECORD; });
         },
         {"MEMcalResult(-1, NULL)\r\n", "MEMcalResult returning 2014\r\n"}},
        {[&](Library& l) {
             boundaryCall(l, Call("STAsetOutput", "tc", noText, 0.5f, uint32_t{7}),
                          [](Library&) { return KVTLNK_OK; });
         },
         {"STAsetOutput(\"tc\", NULL, 0.5, 7)\r\n", "STAsetOutput returning 0\r\n"}},
        {[&](Library& l) {
             boundaryCall(l, Call("MEMpromptDefn", "\x81\"\\", longText.c_str()),
                          [](Library&) { return KVTLNK_OK; });
         },
         {"MEMpromptDefn(\"\\x81\\x22\\x5C\", \"" + std::string(64, 'x') + "\"...)\r\n",
          "MEMpromptDefn returning 0\r\n"}},
        {[](Library& l) { boundaryCall(l, Call("MEMclear"), [](Library&) {}); },
         {"MEMclear()\r\n", "MEMclear returning\r\n"}},
    };
    for (const auto& c : cases) {
        gLines.clear();
        c.call(*lib);
        EXPECT_EQ(gLines, c.lines);
    }

    // An output buffer shows by its address only (it holds nothing yet), a returned text as text.
    char units[] = "celsius";
    gLines.clear();
    boundaryCall(*lib, Call("STAgetTempUnits", units), [&](Library&) { return units; });
    ASSERT_EQ(gLines.size(), 2u);
    EXPECT_EQ(gLines[0].rfind("STAgetTempUnits(0x", 0), 0u) << gLines[0];
    EXPECT_EQ(gLines[1], "STAgetTempUnits returning \"celsius\"\r\n");
}

TEST(Boundary, NothingIsTracedBelowLevelThree) {
    const auto lib = tracedLibrary(2);
    EXPECT_EQ(boundaryCall(*lib, Call("STAinit"), [](Library&) { return 1u; }), 1u);
    EXPECT_TRUE(gLines.empty());
}

// A call whose needed pointer is NULL does not run; a call that runs out of memory returns the
// one result of its kind, and the trace says why.
TEST(Boundary, OneResultForACallThatCannotRunOrFinish) {
    const auto lib = tracedLibrary(3);
    int ran = 0;
    auto code = [&](Library&) -> uint32_t {
        ++ran;
        throw std::bad_alloc();
    };
    auto text = [&](Library&) -> char* {
        ++ran;
        throw std::bad_alloc();
    };
    auto nothing = [&](Library&) {
        ++ran;
        throw 5;
    };
    char buffer[16];
    char* const none = nullptr;

    EXPECT_EQ(boundaryCall(*lib, Call("STAsave", none).needs(none), code), KVTLNK_E_ARGUMENT);
    EXPECT_EQ(boundaryCall(*lib, Call("STAgetTref", none).needs(none), text), nullptr);
    boundaryCall(*lib, Call("KVTversion", none).needs(none), nothing);
    EXPECT_EQ(ran, 0);

    gLines.clear();
    EXPECT_EQ(boundaryCall(*lib, Call("MEMcalResult", buffer).needs(buffer), code), KVTLNK_E_IMAGE);
    EXPECT_EQ(gLines.at(1), "MEMcalResult: std::bad_alloc\r\n");
    EXPECT_EQ(gLines.at(2), "MEMcalResult returning 2012\r\n");
    EXPECT_EQ(boundaryCall(*lib, Call("STAgetTempUnits", buffer), text), nullptr);
    gLines.clear();
    boundaryCall(*lib, Call("MEMdump", buffer), nothing);
    EXPECT_EQ(gLines.at(1), "MEMdump: an exception of unknown type\r\n");
    EXPECT_EQ(ran, 3);
}

TEST(Boundary, SessionCallsNeedTheLinkOfAnOpenSession) {
    Library lib;
    int ran = 0;
    const auto body = overLink([&](Library&, PacketPort&) {
        ++ran;
        return KVTLNK_OK;
    });
    EXPECT_EQ(body(lib), KVTLNK_E_NO_SESSION);
    EXPECT_EQ(ran, 0);
}

// Through the C entry points of the library of the process, none of which changes it here.
TEST(Boundary, ExportsWithoutASessionOrABuffer) {
    uint32_t u = 0;
    char text[128];
    EXPECT_EQ(KVTgetK2x(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 2017u);
    for (uint32_t r :
         {KVTgetK2x(text, text, text, &u, &u, &u), KVTmemstats(&u, &u), KVTdnlStart(&u),
          KVTdnlStep(&u), KVTclear(), KVTuplStart(&u), KVTuplStep(&u)})
        EXPECT_EQ(r, KVTLNK_E_NO_SESSION);
    EXPECT_EQ(KVTclose(), KVTLNK_OK);
    EXPECT_EQ(STAsave(nullptr), KVTLNK_E_ARGUMENT);
    EXPECT_EQ(STAgetTempUnits(nullptr), nullptr);
    EXPECT_EQ(STAgetTref(nullptr, nullptr), nullptr);
    KVTversion(nullptr);
    MEMused(nullptr);
    KVTversion(text);
    EXPECT_STREQ(text, "1.1");
}

}  // namespace
}  // namespace kvtlnk
