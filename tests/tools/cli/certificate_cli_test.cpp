// Certificates through the tool: two uploads of field runs in an archive, a certificate per
// event as HTML and as PDF with every field found in the PDF's text, numbers that stay, a
// calibrator past its due date, hostile tag texts; and the lab file's check and intervals.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "cli_support.h"

namespace {

using nlohmann::json;

const char* const kLab = R"([lab]
name = "Northside Instrument Lab"
address = "4 Mill Road\nHarbour Town"
accreditation = "Accredited to ISO/IEC 17025, certificate 0000"
technician = "B. Default"
certificate_prefix = "NIL-"

[[standards]]
serial = "SN270001"
certificate = "CAL-2025-0042"
calibrated = 2025-01-10
due = @DUE@
@ACCURACY@

[[modules]]
serial = "PM-0815"
model = "pressure module 10 bar"
certificate = "CAL-2025-0043"
calibrated = 2025-01-12
due = 2026-01-12
range = [0, 10]
units = "bar"
accuracy = [0.025, 0.01]

[intervals]
"PT-*" = "30d"
)";

class Certificates : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& [seed, day] :
             {std::pair{1u, stampOn(2025, 3, 3)}, {2u, stampOn(2025, 6, 2)}}) {
            const std::string image = fieldImage(dir, seed, day, "SN270001");
            ASSERT_EQ(runCli({"--archive", archive, "-q", "--technician", "A. Tester", "archive",
                              "add", image})
                          .exitCode,
                      0);
        }
        writeLab("2026-01-10", true);
    }

    void writeLab(const std::string& due, bool accuracy) {
        std::string text = kLab;
        text.replace(text.find("@DUE@"), 5, due);
        text.replace(text.find("@ACCURACY@"), 10,
                     accuracy ? "accuracy = { dcv = [0.02, 0.005], current = [0.02, 0.005], "
                                "tc = [0.02, 0.01] }"
                              : "");
        dir.write("lab.toml", text);
    }

    ProcessResult cli(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--archive", archive, "--lab", dir.path("lab.toml"), "-q"};
        all.insert(all.end(), args.begin(), args.end());
        return runCli(all);
    }

    // The events of an instrument, oldest first.
    std::vector<std::string> events(const std::string& tag) {
        std::vector<std::string> ids;
        const json history = jsonOf(cli({"--json", "history", tag}));
        for (const json& e : history["calibrations"])
            ids.push_back(std::to_string(e["id"].get<int>()));
        return ids;
    }

    // Certificate of the event, as JSON of the tool's report; its file in the scratch folder.
    json certificate(const std::string& event, const std::string& file,
                     std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--json",       "certificate", event,    "-o",
                                         dir.path(file), "--module",    "PM-0815"};
        args.insert(args.end(), more.begin(), more.end());
        const ProcessResult r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return jsonOf(r)["certificates"][0];
    }

    static bool pdfTools() {
        return access("/usr/bin/chromium", X_OK) == 0 && access("/usr/bin/pdftotext", X_OK) == 0;
    }

    // The text of a page of a PDF (0: every page).
    std::string pdfText(const std::string& file, int page = 0) {
        std::vector<std::string> args = {"/usr/bin/pdftotext", "-layout"};
        if (page > 0)
            args.insert(args.end(), {"-f", std::to_string(page), "-l", std::to_string(page)});
        args.insert(args.end(), {dir.path(file), "-"});
        return runProcess(args).out;
    }

    std::string pdfInfo(const std::string& file) {
        return runProcess({"/usr/bin/pdfinfo", dir.path(file)}).out;
    }

    int pdfPages(const std::string& file) {
        std::smatch m;
        const std::string info = pdfInfo(file);
        return std::regex_search(info, m, std::regex(R"(Pages:\s+(\d+))")) ? std::stoi(m[1]) : 0;
    }

    ScratchDir dir;
    const std::string archive = dir.path("records.db");
};

// Each event's certificate, as HTML and as PDF: one number each, the same when printed again;
// every field in the PDF's text, and "Page n of m" on each of its pages.
TEST_F(Certificates, EveryFieldOfEachEventInHtmlAndPdf) {
    const std::vector<std::string> pt = events("PT-1");
    const std::vector<std::string> tt = events("TT-2");
    ASSERT_EQ(pt.size(), 2u);
    ASSERT_EQ(tt.size(), 2u);
    std::set<std::string> numbers;
    for (const std::string& id : {pt[0], pt[1], tt[0], tt[1]}) {
        const json html =
            certificate(id, id + ".html",
                        id == pt[1] ? std::vector<std::string>{"--ambient", "23.1C", "--humidity",
                                                               "45%", "--remark", "Zero trimmed"}
                                    : std::vector<std::string>{});
        numbers.insert(html["number"].get<std::string>());
        EXPECT_EQ(html["traceable"], true);
        EXPECT_EQ(html["uncertainty"], true);
        if (pdfTools()) {
            EXPECT_EQ(certificate(id, id + ".pdf", {"--pdf"})["number"], html["number"]);
        }
    }
    EXPECT_EQ(numbers.size(), 4u);
    EXPECT_TRUE(numbers.count("NIL-000001") && numbers.count("NIL-000004"));
    const json again = certificate(pt[1], "again.html");
    const std::string number = again["number"];
    const json history = jsonOf(cli({"--json", "history", "PT-1"}));
    EXPECT_EQ(history["calibrations"][1]["certificate"], std::stoi(number.substr(4)));

    // What the calibrator read at the first point as found, in mA at the display's resolution.
    const json results = jsonOf(runCli({"--json", "results", dir.path("field-SN270001-2.json")}));
    const double reading = results["results"][0]["points"][0]["reading"].get<double>() * 1000;
    const std::string readingText = fmt::format("{:.3f}", reading);
    const std::vector<std::string> fields = {"Northside Instrument Lab",
                                             "4 Mill Road",
                                             "Harbour Town",
                                             "Accredited to ISO/IEC 17025",
                                             "Calibration certificate",
                                             number,
                                             "Date of calibration",
                                             "2025-06-02",
                                             "Date of issue",
                                             "Item calibrated",
                                             "Customer",
                                             "Method",
                                             "procedure \"field\"",
                                             "PT-1",
                                             "TAG-0001",
                                             "field",
                                             "measures current",
                                             "sources pressure",
                                             "loop power 24 V",
                                             "tolerance ±0.03 % of span",
                                             "Reference standards",
                                             "ORVAN K27",
                                             "SN270001",
                                             "CAL-2025-0042",
                                             "2026-01-10",
                                             "PM-0815",
                                             "CAL-2025-0043",
                                             "2026-01-12",
                                             "Environmental conditions",
                                             "23.1 °C",
                                             "45 %",
                                             "As found",
                                             "As left",
                                             "Nominal",
                                             "Expected",
                                             "Reading",
                                             readingText,
                                             "U, k =",
                                             "TUR",
                                             "Summary",
                                             "Largest error",
                                             "Hysteresis",
                                             "Verdict as found",
                                             "Error plots",
                                             "test point, % of span",
                                             "Remarks",
                                             "Zero trimmed",
                                             "traceable to national standards",
                                             "relate only to the item calibrated",
                                             "Decision rule: Simple acceptance",
                                             "Calibrated by",
                                             "A. Tester",
                                             "Authorised by",
                                             "Signature"};
    const std::string html = contents(dir.path(pt[1] + ".html"));
    for (const std::string& f :
         {number, readingText, std::string("Zero trimmed"), std::string("counter(pages)")})
        EXPECT_TRUE(has(html, f)) << f;
    if (!pdfTools()) GTEST_SKIP() << "no chromium and poppler-utils to print and read the PDF";
    const std::string text = pdfText(pt[1] + ".pdf");
    for (const std::string& f : fields)
        EXPECT_TRUE(has(text, f)) << f << "\n" << text;
    const int pages = pdfPages(pt[1] + ".pdf");
    EXPECT_GE(pages, 2);
    EXPECT_TRUE(has(pdfInfo(pt[1] + ".pdf"), "(A4)"));
    for (int page = 1; page <= pages; ++page) {
        const std::string footer = fmt::format("Page {} of {}", page, pages);
        EXPECT_TRUE(has(pdfText(pt[1] + ".pdf", page), footer)) << footer;
        EXPECT_TRUE(has(pdfText(pt[1] + ".pdf", page), "Calibration certificate " + number));
    }
    // Without an adjustment, as found stands.
    EXPECT_TRUE(has(pdfText(tt[1] + ".pdf"), "not adjusted, as found stands"));
    // Page 1 for a look, among the tests' artefacts.
    const std::string artefacts = KVTLNK_TEST_ARTEFACTS;
    std::filesystem::create_directories(artefacts);
    runProcess({"/usr/bin/pdftoppm", "-r", "60", "-png", "-f", "1", "-l", "1", "-singlefile",
                dir.path(pt[1] + ".pdf"), artefacts + "/certificate-page-1"});
    EXPECT_GT(std::filesystem::file_size(artefacts + "/certificate-page-1.png"), 10000u);
}

// A calibrator past its due date on the day of the calibration: a box at the top, and --strict
// issues nothing (and takes no number); without accuracies, no uncertainty column.
TEST_F(Certificates, OverdueCalibratorAndNoAccuracy) {
    writeLab("2025-04-01", false);
    const std::vector<std::string> pt = events("PT-1");
    const json march = certificate(pt[0], "march.html");
    EXPECT_EQ(march["traceable"], true);
    EXPECT_FALSE(has(contents(dir.path("march.html")), "class=\"warning\""));
    const ProcessResult refused = cli({"certificate", pt[1], "--strict", "--module", "PM-0815"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(has(refused.err, "--strict: no certificate was issued")) << refused.err;
    EXPECT_TRUE(has(refused.err, "SN270001: past its due date")) << refused.err;
    const json june = certificate(pt[1], "june.html");
    EXPECT_EQ(june["number"], "NIL-000002");  // the refusal took none
    EXPECT_EQ(june["traceable"], false);
    EXPECT_EQ(june["uncertainty"], false);
    const std::string html = contents(dir.path("june.html"));
    EXPECT_TRUE(has(html, "class=\"warning\""));
    EXPECT_TRUE(has(html, "traceability is not established"));
    EXPECT_FALSE(has(html, "U, k = 2"));
    EXPECT_TRUE(has(html,
                    "No uncertainty is stated: the lab file gives no accuracy for current "
                    "of the calibrator SN270001"));
    // An issued certificate does not change: other conditions ask for a replacement.
    const ProcessResult changed =
        cli({"certificate", pt[1], "--ambient", "25C", "-o", dir.path("y.html")});
    EXPECT_EQ(changed.exitCode, 2);
    EXPECT_TRUE(has(changed.err, "an issued certificate does not change")) << changed.err;
    if (!pdfTools()) GTEST_SKIP() << "no chromium and poppler-utils to print and read the PDF";
    certificate(events("TT-2")[0], "letter.pdf", {"--pdf", "--paper", "letter"});
    EXPECT_TRUE(has(pdfInfo("letter.pdf"), "(letter)"));
}

// Tag texts with markup, quotes, ampersands, control bytes and 32 characters of the
// calibrator's own glyphs, as they come from a calibrator: escaped in the page (every page
// with every hostile text: tests/app/render), shown as themselves in the PDF.
TEST_F(Certificates, HostileTagTextsAreEscaped) {
    const std::string glyphs =
        "\xB0"
        "C\x81\x80\x88\x89\x8C\x8D";  // ° C Ω and spaces, ₂ ↑ ↓
    const std::string longText = glyphs + std::string(32 - glyphs.size(), 'x');
    const std::string image =
        fieldImage(dir, 3, stampOn(2025, 7, 1), "SN270001", [&](k27emu::Calibrator& emu) {
            std::vector<kvttools::MemoryRecord> results = emu.memory(kvttools::Memory::Results);
            for (kvttools::MemoryRecord& r : results) {
                if (r.kind != 15) continue;
                const std::string texts[] = {"<b>&amp;'\"</b>", "<script>x</script>&\x01\x1b[31m",
                                             longText};
                r.data.clear();
                for (const std::string& t : texts) {
                    r.data.insert(r.data.end(), t.begin(), t.end());
                    r.data.push_back(0);
                }
                break;
            }
            ASSERT_TRUE(emu.replaceMemory(kvttools::Memory::Results, results));
        });
    ASSERT_EQ(cli({"archive", "add", image}).exitCode, 0);
    const json list = jsonOf(cli({"--json", "archive", "list"}));
    std::string event;
    for (const json& i : list["instruments"]) {
        if (has(i["tag"].get<std::string>(), "<script>"))
            event = std::to_string(i["lastCalibration"]["id"].get<int>());
    }
    ASSERT_FALSE(event.empty()) << list.dump();
    certificate(event, "hostile.html");
    const std::string html = contents(dir.path("hostile.html"));
    EXPECT_TRUE(has(html, "&lt;script&gt;x&lt;/script&gt;&amp;"));
    EXPECT_TRUE(has(html, "°CΩ"));
    EXPECT_FALSE(holdsControls(html));
    if (!pdfTools()) GTEST_SKIP() << "no chromium and poppler-utils to print and read the PDF";
    certificate(event, "hostile.pdf", {"--pdf"});
    const std::string text = pdfText("hostile.pdf");
    EXPECT_TRUE(has(text, "<script>x</script>&")) << text;
    EXPECT_TRUE(has(text, "<b>&amp;'\"</b>")) << text;
    EXPECT_TRUE(has(text, "°CΩ")) << text;
}

// lab check names each bad key on a line of its own; the lab file's intervals set due dates.
TEST_F(Certificates, LabCheckAndIntervals) {
    const std::string broken = dir.write("broken.toml", R"([lab]
name = "Lab"
colour = "red"
[[standards]]
serial = "SN1"
certificate = "C-1"
calibrated = 2025-02-01
due = "soon"
accuracy = { volts = [0.1, 0.1] }
[intervals]
"PT-*" = "often"
)");
    const ProcessResult r = runCli({"--lab", broken, "lab", "check"});
    EXPECT_EQ(r.exitCode, 2);
    for (const char* key :
         {"lab.colour", "standards[0].due", "standards[0].accuracy.volts", "intervals.\"PT-*\""})
        EXPECT_TRUE(has(r.err, broken + ": " + key + ": ")) << key << "\n" << r.err;
    EXPECT_TRUE(has(r.err, broken + ": 4 problems"));
    // A sound file that leaves out what a certificate states is warned of, key by key.
    const ProcessResult sound = cli({"lab", "check"});
    EXPECT_EQ(sound.exitCode, 0);
    for (const char* key : {"[lab] authorised_by", "[methods]", "[[customers]]"})
        EXPECT_TRUE(has(sound.out, key)) << key << "\n" << sound.out;
    EXPECT_FALSE(has(sound.out, "[lab] address")) << sound.out;

    const json due = jsonOf(cli({"--json", "due", "--within", "100y"}));
    std::map<std::string, int> intervals;
    for (const json& i : due["instruments"])
        intervals[i["tag"]] = i["intervalDays"];
    EXPECT_EQ(intervals, (std::map<std::string, int>{{"PT-1", 30}, {"TT-2", 365}}));
}

}  // namespace
