// Tests described in a procedure file, sent, performed by the emulator's field run and brought
// back: the results as JSON and CSV, and the calibration report, as HTML and rendered.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "calibrator.h"
#include "cli_support.h"

namespace {

using nlohmann::json;

class FieldRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(emu.start());
        // A tolerance tight enough that some points of the errors the emulator draws (within
        // 0.05 % of the span) fail; a flagged test, whose readings after adjustment all pass.
        ASSERT_EQ(cli({"download", dir.write("tests.json", fieldTests("0.02"))}).exitCode, 0);
        run = emu.runProcedures();
        ASSERT_EQ(run.tests.size(), 3u);
        ASSERT_EQ(cli({"upload", "--out", image}).exitCode, 0);
    }

    ProcessResult cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", emu.portPath(), "-q"});
        return runCli(args);
    }

    // The calibrator repeats an unacknowledged frame only after a second: a tool stalled on a
    // busy machine must not see a repeat, which the link answers by failing the receive (2021).
    static k27emu::CalibratorOptions patient() {
        k27emu::CalibratorOptions o;
        o.readTimeoutMs = 1000;
        return o;
    }

    ScratchDir dir;
    k27emu::Calibrator emu{patient()};
    k27emu::RunSummary run;
    const std::string image = dir.path("field.json");
};

void expectSame(const json& value, double recorded, const char* what) {
    ASSERT_TRUE(value.is_number()) << what;
    EXPECT_NEAR(value.get<double>(), recorded, 1e-6 * std::fabs(recorded) + 1e-12) << what;
}

// Uploaded from the calibrator and from the image file, each result carries every entry the
// emulator recorded.
TEST_F(FieldRun, ResultsCarryEveryRecordedEntry) {
    for (const ProcessResult& r :
         {cli({"--json", "results"}), runCli({"--json", "results", image})}) {
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json results = jsonOf(r)["results"];
        ASSERT_EQ(results.size(), run.tests.size());
        for (size_t t = 0; t < run.tests.size(); ++t) {
            const k27emu::FieldTest& test = run.tests[t];
            const json& result = results[t];
            EXPECT_EQ(result["index"], test.resultIndex);
            EXPECT_EQ(result["tags"], json({test.tag, test.text1, test.text2}));
            EXPECT_EQ(result["task"]["name"], "field");
            EXPECT_EQ(result["strategy"]["index"], test.strategyIndex);
            EXPECT_EQ(result["flagged"], test.flagged);
            ASSERT_EQ(result["points"].size(), test.points.size());
            for (size_t i = 0; i < test.points.size(); ++i) {
                SCOPED_TRACE(testing::Message() << "test " << t << ", point " << i);
                const k27emu::FieldPoint& p = test.points[i];
                const json& point = result["points"][i];
                expectSame(point["reading"], test.flagged ? p.asLeft : p.measured, "reading");
                expectSame(point["source"], p.source, "source");
                expectSame(point["recordedError"], p.errorPercent, "recorded error");
                expectSame(point["readingLimit"], p.inLimit, "reading range");
                expectSame(point["sourceLimit"], p.outLimit, "source range");
            }
        }
    }
}

// One row per test point after the header, with decimal points under a locale that writes
// decimal commas.
TEST_F(FieldRun, CsvOpensAsATable) {
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const ProcessResult r = runCli({"results", "--csv", image});
    unsetenv("LC_ALL");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    const auto fields = [](const std::string& line) {
        std::vector<std::string> cells;
        std::istringstream in(line);
        for (std::string cell; std::getline(in, cell, ',');)
            cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.emplace_back();
        return cells;
    };
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> header = fields(line);
    ASSERT_EQ(header.at(17), "reading");
    size_t rows = 0;
    for (; std::getline(lines, line); ++rows) {
        const std::vector<std::string> row = fields(line);
        ASSERT_EQ(row.size(), header.size()) << line;
        char* end = nullptr;
        std::strtod(row[17].c_str(), &end);
        EXPECT_TRUE(*end == '\0' && row[17].find('.') != std::string::npos) << row[17];
    }
    EXPECT_EQ(rows, 9u + 3u + 5u);
}

// results --check fails a script when a result fails, and its JSON stays one document.
TEST_F(FieldRun, CheckFailsWhenAResultFails) {
    const ProcessResult r = runCli({"results", "--check", image});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("kvtlnk: results --check: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" of 3 results failed\n"), std::string::npos) << r.err;
    const ProcessResult j = runCli({"--json", "results", "--check", image});
    EXPECT_EQ(j.exitCode, 1);
    EXPECT_EQ(jsonOf(j)["verdict"], "fail") << j.out;
}

// A result whose strategy and setup are no longer in the procedure memory (another procedure
// was sent, or the download stopped half-way) keeps its tag texts, in every form.
TEST_F(FieldRun, AResultThatDoesNotDecodeKeepsItsTags) {
    json field = json::parse(contents(image));
    field["procedure"] = json::array();
    const std::string bare = dir.write("bare.json", field.dump());
    const ProcessResult csv = runCli({"results", "--csv", bare});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_NE(csv.out.find(",TAG-0001,PT-1,as found,"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find(",not judged,\"MEMcalResult: 2014: "), std::string::npos) << csv.out;
    const ProcessResult text = runCli({"results", bare});
    EXPECT_NE(text.out.find("PT-1 as found, as found, taken "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  tag TAG-0001, does not decode: MEMcalResult: 2014: "),
              std::string::npos)
        << text.out;
}

// The report: well-formed, one section and one plot per result, each verdict that of its
// error against the tolerance, the band shaded; and rendered by a browser into a page that is
// not blank.
TEST_F(FieldRun, ReportHoldsEachResultAndRenders) {
    const std::string html = dir.path("report.html");
    const std::string png = dir.path("report.png");
    const ProcessResult r = runCli({"report", image, "--out", html});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Wrote " + html + ": the calibration report of 3 results"),
              std::string::npos);
    const bool browser = access("/usr/bin/chromium", X_OK) == 0;
    if (browser) {
        runProcess({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
                    "--user-data-dir=" + dir.path("browser"), "--window-size=1000,1400",
                    "--screenshot=" + png, "file://" + html});
    }
    const ProcessResult check =
        runProcess({"/usr/bin/python3", KVTLNK_REPORT_CHECK, html, browser ? png : ""});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    const json summary = jsonOf(check);
    ASSERT_EQ(summary["sections"].size(), 3u);
    int passed = 0;
    int failed = 0;
    for (const json& section : summary["sections"]) {
        EXPECT_EQ(section["svgs"], 1);
        EXPECT_EQ(section["bands"], 1);
        for (const json& row : section["rows"]) {
            const double error = std::stod(row[8].get<std::string>());
            const double tolerance = std::stod(row[10].get<std::string>().substr(2));  // "±0.02"
            EXPECT_EQ(row[11], std::fabs(error) <= tolerance ? "PASS" : "FAIL") << row.dump();
            (row[11] == "PASS" ? passed : failed)++;
        }
    }
    EXPECT_GT(passed, 0);
    EXPECT_GT(failed, 0);
    if (!browser) GTEST_SKIP() << "no /usr/bin/chromium to render the report (scripts/deps.sh)";
    const json& image = summary["png"];
    ASSERT_TRUE(image.is_object());
    EXPECT_EQ(image["width"], 1000);
    EXPECT_EQ(image["height"], 1400);
    EXPECT_GT(image["bytes"], 20000);
    EXPECT_GT(image["distinct"], 100);
}

// Tag texts that would rewrite a terminal or run as a spreadsheet formula are shown inert by
// every command, and kept as they are in JSON.
TEST_F(FieldRun, HostileTagTextsAreShownInert) {
    const std::string tag =
                          "=1+2\x1b[2J\r\x9b"
                          "31m",
                      text1 = "\t=1", text2 = "-2+3";
    json file = json::parse(contents(image));
    const std::string bytes = tag + '\0' + text1 + '\0' + text2 + '\0';
    std::string hex;
    for (unsigned char b : bytes)
        hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    for (json& record : file["results"]) {
        if (record["kind"] == 15) record["data"] = hex;
    }
    const std::string hostile = dir.write("hostile.json", file.dump());
    const std::string shown = "=1+2\\x1b[2J\\x0d\\x9b31m";

    const ProcessResult html = runCli({"report", hostile});
    for (const ProcessResult& r : {runCli({"results", hostile}), runCli({"show", hostile}), html}) {
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(holdsControls(r.out));
        EXPECT_TRUE(has(r.out, shown)) << r.out;
    }
    EXPECT_TRUE(has(html.out, "\\x09=1 · -2+3"));

    const ProcessResult csv = runCli({"results", "--csv", hostile});
    EXPECT_FALSE(holdsControls(csv.out));
    EXPECT_TRUE(has(csv.out, ",'" + shown + ",'\\x09=1,'-2+3,")) << csv.out;

    const ProcessResult r = runCli({"--json", "results", hostile});
    EXPECT_FALSE(holdsControls(r.out));
    EXPECT_EQ(jsonOf(r)["results"][0]["tags"], json({"=1+2\x1b[2J\r\xc2\x9b"
                                                     "31m",
                                                     text1, text2}));
}

// A report sent to a pipe goes through it; the pipe is not replaced by a file (as a rename over
// it would do, and over /dev/null when run as root).
TEST_F(FieldRun, ReportIntoAPipeLeavesThePipe) {
    const std::string fifo = dir.path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The reader is there before the tool opens the pipe, as a shell's would be; it reads until
    // the writers are gone after one came.
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string copy;
    std::thread drain([&] {
        pollfd p{reader, POLLIN, 0};
        char buffer[4096];
        while (poll(&p, 1, -1) > 0) {
            const ssize_t n = read(reader, buffer, sizeof buffer);
            if (n > 0) copy.append(buffer, static_cast<size_t>(n));
            if (n == 0 && (p.revents & POLLHUP)) break;
        }
    });
    const ProcessResult r = runCli({"report", image, "--out", fifo});
    close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // a writer came, whatever the tool did
    drain.join();
    close(reader);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_GT(copy.size(), 1000u);
    EXPECT_TRUE(has(copy, "</html>"));
}

}  // namespace
