// A certificate's DCC through the tool: beside its page, the same bytes when printed again, its
// SHA-256 reported, checked with xmllint against the DCC schemas where they are; and the
// arguments it refuses before anything is issued.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "cli_support.h"

namespace {

using nlohmann::json;

const char* const kLab = R"([lab]
name = "Northside Instrument Lab"
address = "4 Mill Road\nHarbour Town"
technician = "B. Default"
certificate_prefix = "NIL-"

[[standards]]
serial = "SN270001"
certificate = "CAL-2025-0042"
calibrated = 2025-01-10
due = 2026-01-10
accuracy = { dcv = [0.02, 0.005], current = [0.02, 0.005], tc = [0.02, 0.01] }

[[modules]]
serial = "PM-0815"
certificate = "CAL-2025-0043"
calibrated = 2025-01-12
due = 2026-01-12
range = [0, 10]
units = "bar"
accuracy = [0.025, 0.01]

[[customers]]
name = "Acme <Chemicals> & \"Sons\" ]]>"
tags = ["PT-*", "TT-*"]
)";

std::string schemaFolder() {
    const char* given = std::getenv("KVTLNK_DCC_SCHEMAS");
    return given && *given ? given : KVTLNK_DCC_SCHEMAS_BESIDE;
}

class Dcc : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string image = fieldImage(dir, 1, stampOn(2025, 3, 3), "SN270001");
        ASSERT_EQ(runCli({"--archive", archive, "-q", "--technician", "A. Tester", "archive", "add",
                          image})
                      .exitCode,
                  0);
        dir.write("lab.toml", kLab);
    }

    ProcessResult cli(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--archive",          archive, "--lab",
                                        dir.path("lab.toml"), "-q",    "--json"};
        all.insert(all.end(), args.begin(), args.end());
        return runCli(all);
    }

    ProcessResult certificate(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"certificate", "--module", "PM-0815"};
        all.insert(all.end(), args.begin(), args.end());
        return cli(all);
    }

    ScratchDir dir;
    const std::string archive = dir.path("records.db");
};

TEST_F(Dcc, BesideThePageAndTheSameWhenPrintedAgain) {
    const ProcessResult first =
        certificate({"PT-1", "--ambient", "22.5C", "-o", dir.path("PT-1.html"), "--dcc",
                     dir.path("PT-1.xml"), "--country", "GB"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const json issued = jsonOf(first)["certificates"][0];
    const std::string xml = contents(dir.path("PT-1.xml"));
    ASSERT_FALSE(xml.empty());
    EXPECT_EQ(issued["dcc"]["file"], dir.path("PT-1.xml"));
    const ProcessResult sum = runProcess({"/usr/bin/sha256sum", dir.path("PT-1.xml")});
    EXPECT_EQ(sum.out.substr(0, 64), issued["dcc"]["sha256"]);
    EXPECT_TRUE(has(xml, "<dcc:uniqueIdentifier>" + issued["number"].get<std::string>()));
    EXPECT_TRUE(has(xml, "Acme &lt;Chemicals&gt; &amp; \"Sons\" ]]&gt;"));
    EXPECT_TRUE(has(xml, "<si:unit>\\milli\\ampere</si:unit>"));
    EXPECT_TRUE(has(xml, "<si:unit>\\bar</si:unit>"));

    // Printed again, alone and beside a PDF's place: the same DCC, from the frozen content.
    const ProcessResult again = certificate(
        {"PT-1", "-o", dir.path("again.html"), "--dcc", dir.path("again.xml"), "--country", "GB"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(jsonOf(again)["certificates"][0]["printedAgain"], true);
    EXPECT_EQ(contents(dir.path("again.xml")), xml);
    EXPECT_EQ(jsonOf(again)["certificates"][0]["dcc"]["sha256"], issued["dcc"]["sha256"]);

    if (access("/usr/bin/xmllint", X_OK) != 0 ||
        !std::filesystem::exists(schemaFolder() + "/dcc.xsd")) {
        GTEST_SKIP() << "xmllint or the DCC schemas in " << schemaFolder()
                     << " (KVTLNK_DCC_SCHEMAS) are missing: the DCC is not checked against them";
    }
    const ProcessResult lint = runProcess({"/usr/bin/xmllint", "--noout", "--schema",
                                           schemaFolder() + "/dcc.xsd", dir.path("PT-1.xml")});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;
}

TEST_F(Dcc, RefusedBeforeAnythingIsIssued) {
    dir.write("taken.xml", "kept");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"PT-1", "-o", dir.path("a.html"), "--dcc", dir.path("taken.xml")}, "taken.xml"},
        {{"--all-since", "2025-01-01", "-o", dir.path("all"), "--dcc", dir.path("all.xml")},
         "one certificate"},
        {{"PT-1", "-o", dir.path("same.xml"), "--dcc", dir.path("same.xml")}, "its own"},
        {{"PT-1", "-o", dir.path("b.html"), "--dcc", dir.path("b.xml"), "--country", "gb"},
         "ISO 3166-1"},
        {{"PT-1", "-o", dir.path("c.html"), "--country", "GB"}, "goes with --dcc"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = certificate(c.args);
        EXPECT_NE(r.exitCode, 0) << c.says;
        EXPECT_TRUE(has(r.err, c.says)) << r.err;
    }
    EXPECT_EQ(contents(dir.path("taken.xml")), "kept");
    // None took a number: the first certificate issued is still the first.
    const ProcessResult r = certificate({"PT-1", "-o", dir.path("d.html")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(jsonOf(r)["certificates"][0]["number"], "NIL-000001");
}

}  // namespace
