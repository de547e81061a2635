// Reverse traceability against both engines: a year of calibrations with three standards, the
// calibrator replaced mid-year and the pressure module recalibrated; which calibrations relied
// on each, over which days, worst first, as recorded when they were stored.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "archive_engines.h"
#include "calibrator/session.h"
#include "workspace/standards.h"
#include "workspace/store.h"

namespace {

using namespace kvtapp;

const char* const kLab = R"(
[lab]
name = "Test Lab"
certificate_prefix = "T-"

[[standards]]
serial = "SN-A"
model = "K27"
certificate = "A-1"
calibrated = 2024-06-01
due = 2025-06-01
accuracy = { current = [0.02, 0.005] }

[[standards]]
serial = "SN-B"
model = "K27"
certificate = "B-1"
calibrated = 2025-06-20
due = 2026-06-20
accuracy = { current = [0.02, 0.005] }

[[modules]]
serial = "PM-1"
model = "module 10 bar"
certificate = "M-2"
calibrated = 2025-07-01
due = 2026-07-01
range = [0, 10]
units = "bar"
accuracy = [0.025, 0.01]
[[modules.past]]
certificate = "M-1"
calibrated = 2024-07-01
due = 2025-07-01

[[customers]]
name = "Harbour Water"
tags = ["PT-*"]
)";

// The year: instrument, day, calibrator, its as-found error (tolerance 0.1 % of span), and
// whether it read pressure through the module.
struct Visit {
    const char* tag;
    const char* day;
    const char* calibrator;
    double error;
    bool module;
};
const Visit kYear[] = {
    {"PT-101", "2025-02-10", "SN-A", 0.05, true}, {"PT-102", "2025-04-10", "SN-A", 0.09, true},
    {"TT-7", "2025-06-10", "SN-A", 0.02, false},  {"PT-101", "2025-08-10", "SN-B", -0.12, true},
    {"PT-102", "2025-10-10", "SN-B", 0.03, true}, {"TT-7", "2025-12-10", "SN-B", 0.01, false},
};

class NoProgress : public TransferProgress {
    void begin(std::vector<uint32_t>) override {}
    void advance(uint32_t) override {}
    void end() override {}
};

class StandardsSuite : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (IsSkipped()) return;
        std::string pattern = (std::filesystem::temp_directory_path() / "kvtstd-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        dir_ = pattern;
        writeLab(kLab);
        NoProgress progress;
        for (const Visit& v : kYear) {
            Result r = makeResult(v.tag, std::string(v.day) + " 09:00:00", false, {v.error});
            r.verdict = std::fabs(v.error) <= 0.1 ? Verdict::Pass : Verdict::Fail;
            if (v.module)
                r.setup.pressureModule = {"PM-1", ""};
            else
                r.setup.output.function = "current";
            ImageDocument image;
            image.calibrator = {{"model", "K27"},
                                {"serialNumber", v.calibrator},
                                {"uploaded", std::string(v.day) + " 12:00:00"}};
            image.upload = {{"bench", "bench 1"}, {"user", "lab"}, {"technician", "A. Tester"}};
            image.calibrations = {r};
            storeImage(*workspace_, image, "test", progress);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    void writeLab(const std::string& text) {
        std::ofstream(dir_ + "/lab.toml") << text;
        Workspace::Settings settings;
        settings.lab = dir_ + "/lab.toml";
        settings.archive = location();
        workspace_ = std::make_unique<Workspace>(settings);
    }
    std::vector<AffectedCalibration> affected(const std::string& serial,
                                              const std::string& since = "",
                                              const std::string& until = "") {
        auto archive = open();
        return standardsAffected(*workspace_, *archive, serial, since, until);
    }
    std::string dir_;
    std::unique_ptr<Workspace> workspace_;
};
KVTLNK_BOTH_ENGINES(StandardsSuite);

// "PT-102 2025-04-10 M-1 90": what a line of the list says, in its order.
std::vector<std::string> lines(const std::vector<AffectedCalibration>& list) {
    std::vector<std::string> out;
    for (const AffectedCalibration& a : list) {
        out.push_back(a.instrument + " " + a.day + " " + a.used.standard.certificate + " " +
                      std::to_string(std::lround(a.worstPercent)) +
                      (a.used.reconstructed ? " reconstructed" : ""));
    }
    return out;
}

TEST_P(StandardsSuite, EachStandardFindsTheCalibrationsThatReliedOnItInThePeriod) {
    const struct {
        const char* serial;
        const char* since;
        const char* until;
        std::vector<std::string> want;
    } cases[] = {
        {"SN-A",
         "",
         "",
         {"PT-102 2025-04-10 A-1 90", "PT-101 2025-02-10 A-1 50", "TT-7 2025-06-10 A-1 20"}},
        {"SN-B",
         "",
         "",
         {"PT-101 2025-08-10 B-1 120", "PT-102 2025-10-10 B-1 30", "TT-7 2025-12-10 B-1 10"}},
        // The module's certificate changed on 2025-07-01: each calibration cites its own.
        {"PM-1",
         "",
         "",
         {"PT-101 2025-08-10 M-2 120", "PT-102 2025-04-10 M-1 90", "PT-101 2025-02-10 M-1 50",
          "PT-102 2025-10-10 M-2 30"}},
        {"PM-1", "2025-07-01", "", {"PT-101 2025-08-10 M-2 120", "PT-102 2025-10-10 M-2 30"}},
        {"PM-1", "", "2025-04-10", {"PT-102 2025-04-10 M-1 90", "PT-101 2025-02-10 M-1 50"}},
        {"SN-A", "2025-06-11", "", {}},
        {"SN-B", "2025-06-01", "2025-08-10", {"PT-101 2025-08-10 B-1 120"}},
        {"SN-C", "", "", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lines(affected(c.serial, c.since, c.until)), c.want)
            << c.serial << " since " << c.since << " until " << c.until;
    }
}

TEST_P(StandardsSuite, SaysWhatEachCalibrationStatedOfItsStandardAndItsCustomer) {
    const std::vector<AffectedCalibration> a = affected("SN-A");
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].customer, "Harbour Water");
    EXPECT_EQ(a[0].used.kind, "calibrator");
    EXPECT_EQ(a[0].used.standard.due, "2025-06-01");
    EXPECT_EQ(a[0].used.status, "within its calibration");
    EXPECT_FALSE(a[0].used.recorded.empty());
    EXPECT_EQ(a[0].asFound, Verdict::Pass);
    EXPECT_EQ(a[2].customer, "");
    EXPECT_EQ(a[2].used.status, "past its due date");  // used nine days after it was due
    EXPECT_EQ(affected("PM-1")[0].used.kind, "pressure module");
}

TEST_P(StandardsSuite, KeepsWhatWasRecordedWhenTheLabFileMovesOn) {
    // The calibrator goes from the lab file, the module's history with it.
    writeLab(std::string(kLab).substr(0, std::string(kLab).find("[[standards]]")) +
             "[[customers]]\nname = \"Harbour Water\"\ntags = [\"PT-*\"]\n");
    EXPECT_EQ(lines(affected("SN-A")),
              (std::vector<std::string>{"PT-102 2025-04-10 A-1 90", "PT-101 2025-02-10 A-1 50",
                                        "TT-7 2025-06-10 A-1 20"}));
}

TEST_P(StandardsSuite, ReconstructsCalibrationsStoredBeforeTheirStandardsWereRecorded) {
    const int64_t first = affected("SN-A")[1].calibration;
    rawDatabase(location())
        ->query("DELETE FROM calibration_standards WHERE calibration_id = $1", {first});
    EXPECT_EQ(lines(affected("SN-A")),
              (std::vector<std::string>{"PT-102 2025-04-10 A-1 90",
                                        "PT-101 2025-02-10 A-1 50 reconstructed",
                                        "TT-7 2025-06-10 A-1 20"}));
    EXPECT_EQ(lines(affected("PM-1", "", "2025-02-10")),
              (std::vector<std::string>{"PT-101 2025-02-10 M-1 50 reconstructed"}));
}

TEST_P(StandardsSuite, ListsTheCertificatesIssuedForEachCalibration) {
    auto archive = open();
    const int64_t worst = affected("SN-B")[0].calibration;
    IssuedCertificate issued;
    issued.number = archive->nextCertificateNumber();
    issued.calibration = worst;
    issued.issued = "2025-08-11";
    issued.content = "{}";
    issued.document = "<html></html>";
    issued.sha256 = std::string(64, '0');
    archive->storeCertificate(issued);
    const std::vector<AffectedCalibration> a = affected("SN-B");
    EXPECT_EQ(a[0].certificates, std::vector<std::string>{"T-000001"});
    EXPECT_TRUE(a[1].certificates.empty());
}

}  // namespace
