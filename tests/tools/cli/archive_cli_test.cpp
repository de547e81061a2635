// The records archive through the tool, on both engines: field runs of the emulator stored and
// given back value for value, exported records that decode as before, adds that repeat, race,
// are killed or meet bad files and archives, the download guard, due dates, a calibrator's
// clock that is not believed, what identifies an instrument, and the drift page.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <regex>

#include "archive/database.h"
#include "archive_engines.h"
#include "calibrator.h"
#include "cli_support.h"

namespace {

using nlohmann::json;

class ArchiveCli : public EngineTest {
  protected:
    std::string fieldImage(uint32_t seed, kvttools::DateStamp day,
                           const std::string& serial = "SN1") {
        return ::fieldImage(dir, seed, day, serial);
    }

    ProcessResult cli(std::vector<std::string> before, const std::vector<std::string>& args) {
        before.insert(before.end(), args.begin(), args.end());
        return runCli(before);
    }
    // The tool on this test's archive.
    ProcessResult archived(const std::vector<std::string>& args) {
        return cli({"--archive", location(), "-q"}, args);
    }
    json archivedJson(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"--json"};
        all.insert(all.end(), args.begin(), args.end());
        const ProcessResult r = archived(all);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return jsonOf(r);
    }

    ScratchDir dir;
};
KVTLNK_BOTH_ENGINES(ArchiveCli);

// Two field runs go in; history gives back every value results gave for each upload, and each
// calibration's exported records decode as the uploaded ones did.
TEST_P(ArchiveCli, RoundTripOfTwoFieldRuns) {
    const std::string images[] = {fieldImage(1, stampOn(2023, 5, 2)),
                                  fieldImage(2, stampOn(2024, 5, 6))};
    for (const std::string& image : images) {
        const json added = archivedJson({"archive", "add", image});
        EXPECT_EQ(added["files"][0]["added"], 3);
        EXPECT_EQ(added["files"][0]["calibrations"], 2);
        EXPECT_EQ(added["files"][0]["stampsNotBelieved"], 0);
        const json again = archivedJson({"archive", "add", image});
        EXPECT_EQ(again["files"][0]["added"], 0);
        EXPECT_EQ(again["files"][0]["held"], 3);
    }
    std::vector<json> archivedResults;
    std::vector<int64_t> calibrationIds;
    for (const char* tag : {"PT-1", "TT-2"}) {
        const json history = archivedJson({"history", tag});
        const json& calibrations = history["calibrations"];
        ASSERT_EQ(calibrations.size(), 2u) << tag;
        EXPECT_EQ(calibrations[0]["day"], "2023-05-02");
        EXPECT_EQ(calibrations[0]["uploads"][0]["calibrator"]["serialNumber"], "SN1");
        for (const json& calibration : calibrations) {
            calibrationIds.push_back(calibration["id"]);
            for (const json& r : calibration["results"])
                archivedResults.push_back(r["decoded"]);
        }
        if (std::string(tag) == "PT-1") {
            EXPECT_TRUE(calibrations[0]["asLeft"].is_object());
            EXPECT_EQ(calibrations[0]["results"][1]["label"], "as left");
        } else {
            EXPECT_TRUE(calibrations[0]["asLeft"].is_null());
        }
    }
    std::vector<json> uploaded;
    for (const std::string& image : images) {
        const ProcessResult r = runCli({"--json", "results", image});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json results = jsonOf(r)["results"];
        for (const json& result : results) {
            uploaded.push_back(result);
            EXPECT_NE(std::find(archivedResults.begin(), archivedResults.end(), result),
                      archivedResults.end())
                << result.dump();
        }
    }
    EXPECT_EQ(archivedResults.size(), uploaded.size());

    for (int64_t id : calibrationIds) {
        const std::string exported = dir.path("calibration" + std::to_string(id) + ".json");
        ASSERT_EQ(archived({"archive", "export", std::to_string(id), "--image", exported}).exitCode,
                  0);
        const ProcessResult r = runCli({"--json", "results", exported});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const json results = jsonOf(r)["results"];
        EXPECT_FALSE(results.empty()) << "calibration " << id;
        for (const json& result : results) {
            EXPECT_NE(std::find(uploaded.begin(), uploaded.end(), result), uploaded.end())
                << "calibration " << id << ": " << result.dump();
        }
    }
}

// Four processes add their own files at once, then four the same file: every result once, in
// the calibrations its stamps make whatever order the adds took.
TEST_P(ArchiveCli, FourProcessesAddingAtOnce) {
    std::vector<std::string> images;
    for (uint32_t bench = 1; bench <= 4; ++bench)
        images.push_back(
            fieldImage(bench, stampOn(2024, 1, int(8 * bench - 7)), "SN" + std::to_string(bench)));
    // The schema, so that the race is about the adds.
    archived({"archive", "add", dir.write("empty.json", kNoResults)});
    const auto race = [&](const std::vector<std::string>& files) {
        std::vector<std::unique_ptr<ChildProcess>> adds;
        for (const std::string& file : files) {
            adds.push_back(std::make_unique<ChildProcess>(
                KVTLNK_CLI_PATH, std::vector<std::string>{"--archive", location(), "--json", "-q",
                                                          "archive", "add", file}));
        }
        int added = 0;
        for (auto& add : adds) {
            const ProcessResult r = add->finish(0, 120);
            EXPECT_EQ(r.exitCode, 0) << r.err;
            added += jsonOf(r)["files"][0]["added"].get<int>();
        }
        return added;
    };
    EXPECT_EQ(race(images), 12);
    EXPECT_EQ(race(std::vector<std::string>(4, images[0])), 0);
    const json list = archivedJson({"archive", "list"});
    ASSERT_EQ(list["instruments"].size(), 2u);
    for (const json& instrument : list["instruments"])
        EXPECT_EQ(instrument["calibrations"], 4) << instrument.dump();
}

// Files the tool must refuse, with nothing changed, and a result that does not decode, which
// is kept.
TEST_P(ArchiveCli, BadFilesAndAResultThatDoesNotDecode) {
    const std::string image = fieldImage(1, stampOn(2024, 2, 1));
    json document = json::parse(contents(image));
    document["results"][0]["data"] = "00zz";  // the first result's bytes
    const std::string damaged = dir.write("damaged.json", document.dump());
    ProcessResult r = archived({"archive", "add", damaged});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("results[0].data"), std::string::npos) << r.err;
    r = archived({"archive", "list"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(has(r.err, "no archive")) << r.err;

    // A strategy reference that names nothing: the result does not decode, and is kept.
    document = json::parse(contents(image));
    std::string data = document["results"][0]["data"];
    data.replace(8, 8, "00000fff");
    document["results"][0]["data"] = data;
    r = archived({"archive", "add", dir.write("undecodable.json", document.dump())});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const json list = archivedJson({"archive", "list"});
    ASSERT_EQ(list["notDecodable"].size(), 1u) << list.dump();
    EXPECT_EQ(list["notDecodable"][0]["resultCode"], 2014);
    EXPECT_EQ(list["notDecodable"][0]["tag"], "PT-1");
    EXPECT_EQ(archivedJson({"history", "PT-1"})["calibrations"][0]["results"].size(), 2u);
}

// A download refuses while the calibrator holds results, unless the archive holds them all.
TEST_P(ArchiveCli, DownloadGoesOnWhenTheArchiveHoldsEveryResult) {
    k27emu::Calibrator emu;
    ASSERT_TRUE(emu.start());
    const std::vector<std::string> port = {"--port", emu.portPath(), "-q", "--archive", location()};
    const std::string tests = dir.write("tests.json", fieldTests());
    ASSERT_EQ(cli(port, {"download", tests}).exitCode, 0);
    emu.runProcedures();
    archived({"archive", "add", dir.write("empty.json", kNoResults)});
    ProcessResult r = cli(port, {"download", tests});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("upload --store"), std::string::npos) << r.err;
    r = cli(port, {"--technician", "A. Tester", "upload"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Stored 3 results"), std::string::npos) << r.out;
    r = cli(port, {"download", tests});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("holds all 3 calibration results"), std::string::npos) << r.err;
    EXPECT_EQ(archivedJson({"history", "TT-2"})["calibrations"][0]["uploads"][0]["technician"],
              "A. Tester");
}

// Due dates: a calibration long ago is overdue; a shorter interval brings a recent one forward.
TEST_P(ArchiveCli, DueSoonestFirst) {
    archived({"archive", "add", fieldImage(1, stampOn(2020, 3, 1))});
    json due = archivedJson({"due"});
    ASSERT_EQ(due["instruments"].size(), 2u);
    EXPECT_EQ(due["instruments"][0]["due"], "2021-03-01");
    EXPECT_LT(due["instruments"][0]["daysLeft"].get<int>(), 0);
    ASSERT_EQ(archived({"archive", "interval", "TT-2", "2w"}).exitCode, 0);
    due = archivedJson({"due"});
    EXPECT_EQ(due["instruments"][0]["tag"], "TT-2");
    EXPECT_EQ(due["instruments"][0]["due"], "2020-03-15");
    EXPECT_EQ(due["instruments"][0]["intervalDays"], 14);
    const ProcessResult r = archived({"archive", "interval", "XX-9", "30d"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("knows no instrument \"XX-9\""), std::string::npos) << r.err;
    EXPECT_EQ(archived({"due", "--within", "soon"}).exitCode, 2);
}

// A calibrator's clock that is not believed: stamps after the upload, 30 February; listed and
// left out of due dates until a person confirms the date, which is kept with who and when.
TEST_P(ArchiveCli, StampsNotBelievedUntilConfirmed) {
    const std::string future = fieldImage(1, stampOn(2024, 6, 1));
    json document = json::parse(contents(future));
    document["calibrator"]["uploaded"] = "2024-05-01 17:00:00";
    dir.write("future.json", document.dump());
    const std::string impossible = fieldImage(2, stampOn(2024, 2, 30), "SN2");
    json added = archivedJson({"archive", "add", dir.path("future.json"), impossible});
    EXPECT_EQ(added["files"][0]["stampsNotBelieved"], 3);
    EXPECT_EQ(added["files"][1]["stampsNotBelieved"], 3);
    ProcessResult r = archived({"archive", "add", fieldImage(3, stampOn(2024, 3, 1), "SN3")});
    EXPECT_EQ(r.out.find("calibrator clock suspect"), std::string::npos) << r.out;

    const json list = archivedJson({"archive", "list"});
    ASSERT_EQ(list["undated"].size(), 4u);  // PT-1 and TT-2 of each
    std::map<std::string, int64_t> suspect;
    for (const json& c : list["undated"]) {
        EXPECT_NE(c["clockSuspect"], c["dateImpossible"]);
        if (c["clockSuspect"] == true) suspect[c["instrument"]] = c["id"];
    }
    for (const json& i : list["instruments"]) {
        EXPECT_EQ(i["undated"], 2) << i.dump();
        EXPECT_EQ(i["lastCalibration"]["day"], "2024-03-01") << i.dump();
    }
    r = archived({"history", "TT-2"});
    EXPECT_NE(r.out.find("2024-02-30 09:00:00 (date impossible)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2024-06-01 09:00:00 (calibrator clock suspect)"), std::string::npos)
        << r.out;
    r = archived({"due", "--within", "0d"});
    EXPECT_NE(r.out.find("confirm its date"), std::string::npos) << r.out;

    const std::string id = std::to_string(suspect.at("TT-2"));
    for (const char* bad : {"2024-02-30", "2999-01-01", "tomorrow"})
        EXPECT_EQ(archived({"archive", "confirm-date", id, "--date", bad}).exitCode, 2) << bad;
    EXPECT_EQ(archived({"archive", "confirm-date", "9999", "--date", "2024-05-01"}).exitCode, 2);
    const json confirmed = archivedJson({"archive", "confirm-date", id, "--date", "2024-05-01"});
    EXPECT_EQ(confirmed["date"], "2024-05-01");
    EXPECT_FALSE(confirmed["by"].get<std::string>().empty());
    const json history = archivedJson({"history", "TT-2"});
    bool found = false;
    for (const json& c : history["calibrations"]) {
        if (c["id"] != suspect.at("TT-2")) continue;
        found = true;
        EXPECT_EQ(c["day"], "2024-05-01");
        EXPECT_EQ(c["date"], "2024-06-01 09:00:00");
        EXPECT_EQ(c["confirmed"]["by"], confirmed["by"]);
    }
    EXPECT_TRUE(found);
    const json due = archivedJson({"due", "--within", "3650d"});
    for (const json& i : due["instruments"]) {
        if (i["tag"] == "TT-2") {
            EXPECT_EQ(i["due"], "2025-05-01");
        }
    }
}

// What identifies an instrument: from the lab file when it is stored, set with the tool, each
// setting kept.
TEST_P(ArchiveCli, InstrumentIdentity) {
    const std::string lab = dir.write("lab.toml", R"([lab]
name = "Northside Instrument Lab"

[[instruments]]
tag = "PT-1"
make = "Acme"
model = "PX-2"
serial = "A123"
range = "0 to 10 bar"
customer = "Harbour Water"
)");
    ASSERT_EQ(
        archived({"--lab", lab, "archive", "add", fieldImage(1, stampOn(2024, 3, 1))}).exitCode, 0);
    json shown = archivedJson({"archive", "instrument", "PT-1"});
    EXPECT_EQ(shown["identity"]["serialNumber"], "A123");
    EXPECT_EQ(shown["identity"]["source"], "lab file");
    shown = archivedJson({"archive", "instrument", "PT-1", "--serial", "A124"});
    EXPECT_TRUE(shown["changed"]);
    EXPECT_EQ(shown["identity"]["serialNumber"], "A124");
    EXPECT_EQ(shown["identity"]["make"], "Acme");
    EXPECT_FALSE(archivedJson({"archive", "instrument", "PT-1", "--serial", "A124"})["changed"]);
    const json list = archivedJson({"archive", "list"});
    EXPECT_EQ(list["instruments"][0]["identity"]["customer"], "Harbour Water");
    // An instrument not yet calibrated may be named ahead.
    EXPECT_TRUE(archivedJson({"archive", "instrument", "FT-9", "--make", "Acme"})["changed"]);
    EXPECT_EQ(archived({"archive", "instrument", "PT-1", "--make", "a\x1b"}).exitCode, 2);
}

// Issued means frozen: printed again after the lab file changed, a certificate is the same
// document; a print that fails takes no number; a replacement names the one it replaces and
// why, and that one is kept, marked and not replaced twice.
TEST_P(ArchiveCli, IssuedCertificatesStayAsIssued) {
    const std::string lab = R"([lab]
name = "Northside Instrument Lab"
address = "@ADDRESS@"
certificate_prefix = "NIL-"

[[standards]]
serial = "SN1"
certificate = "@CERTIFICATE@"
calibrated = @CALIBRATED@
due = 2026-01-10
@PAST@)";
    const auto writeLab = [&](const std::string& address, const std::string& certificate,
                              const std::string& calibrated, const std::string& past) {
        std::string text = lab;
        for (const auto& [key, value] : {std::pair{"@ADDRESS@", address},
                                         {"@CERTIFICATE@", certificate},
                                         {"@CALIBRATED@", calibrated},
                                         {"@PAST@", past}})
            text.replace(text.find(key), std::string(key).size(), value);
        return dir.write("lab.toml", text);
    };
    const std::string file = writeLab("4 Mill Road", "CAL-1", "2024-01-10", "");
    ASSERT_EQ(archived({"archive", "add", fieldImage(1, stampOn(2024, 3, 1))}).exitCode, 0);
    const auto issue = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--lab", file, "certificate"});
        return archivedJson(args)["certificates"][0];
    };
    const json first = issue({"PT-1", "-o", dir.path("first.html")});
    EXPECT_EQ(first["number"], "NIL-000001");

    // The standard's next certificate, and the lab moved: the issued one is as it was.
    writeLab("9 New Street", "CAL-2", "2024-06-01",
             "[[standards.past]]\ncertificate = \"CAL-1\"\ncalibrated = 2024-01-10\n"
             "due = 2025-01-10\n");
    const json again = issue({"PT-1", "-o", dir.path("again.html")});
    EXPECT_TRUE(again["printedAgain"]);
    EXPECT_EQ(again["sha256"], first["sha256"]);
    EXPECT_EQ(contents(dir.path("again.html")), contents(dir.path("first.html")));
    EXPECT_TRUE(has(contents(dir.path("again.html")), "CAL-1"));

    // A print that fails stores nothing and takes no number.
    setenv("KVTLNK_CHROMIUM", "/bin/false", 1);
    const ProcessResult failed =
        archived({"--lab", file, "certificate", "TT-2", "--pdf", "-o", dir.path("tt.pdf")});
    unsetenv("KVTLNK_CHROMIUM");
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_FALSE(std::ifstream(dir.path("tt.pdf")).good());

    const json replacement = issue({"--replace", "NIL-000001", "--reason", "the humidity was 41 %",
                                    "--humidity", "41%", "-o", dir.path("second.html")});
    EXPECT_EQ(replacement["number"], "NIL-000002");
    EXPECT_EQ(replacement["replaces"], "NIL-000001");
    const std::string second = contents(dir.path("second.html"));
    EXPECT_TRUE(has(second, "replaces certificate NIL-000001")) << second;
    EXPECT_TRUE(has(second, "the humidity was 41 %"));
    EXPECT_TRUE(has(second, "CAL-1"));  // the standard as it was on the calibration day
    EXPECT_EQ(archivedJson({"history", "PT-1"})["calibrations"][0]["certificate"], 2);
    const ProcessResult twice = archived({"--lab", file, "certificate", "--replace", "1",
                                          "--reason", "again", "-o", dir.path("third.html")});
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_TRUE(has(twice.err, "NIL-000002")) << twice.err;
}

// A standard's status, the calibrations that relied on it over a period (worst first), dates
// refused, and interval advice once instruments have three calibrations.
TEST_P(ArchiveCli, StandardsAffectedAndIntervalAdvice) {
    const std::string lab = dir.write("lab.toml", R"([lab]
name = "Northside Instrument Lab"

[[standards]]
serial = "SN1"
certificate = "CAL-1"
calibrated = 2023-06-01
due = 2024-06-01
)");
    uint32_t seed = 1;
    for (const auto& day : {stampOn(2024, 3, 1), stampOn(2024, 9, 1), stampOn(2025, 3, 1)}) {
        const ProcessResult r = archived({"--lab", lab, "archive", "add", fieldImage(seed++, day)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    const json standards = archivedJson({"--lab", lab, "standards"});
    EXPECT_EQ(standards["standards"][0]["serial"], "SN1");
    EXPECT_EQ(standards["standards"][0]["status"], "overdue");
    EXPECT_EQ(archivedJson({"--lab", lab, "due"})["standardsDue"][0]["serial"], "SN1");

    const json all = archivedJson({"--lab", lab, "standards", "affected", "SN1"});
    ASSERT_EQ(all["calibrations"].size(), 6u);
    double previous = 1e300;
    for (const json& c : all["calibrations"]) {
        EXPECT_EQ(c["standard"]["certificate"], "CAL-1");
        EXPECT_FALSE(c["standard"]["reconstructed"].get<bool>());
        const double worst = c["largestErrorOfTolerancePercent"].get<double>();
        EXPECT_LE(worst, previous);
        previous = worst;
    }
    const json later = archivedJson({"--lab", lab, "standards", "affected", "SN1", "--since",
                                     "2024-06-01", "--until", "2025-03-01"});
    EXPECT_EQ(later["calibrations"].size(), 4u);
    EXPECT_EQ(
        archived({"--lab", lab, "standards", "affected", "SN1", "--since", "2024-13-01"}).exitCode,
        2);
    EXPECT_TRUE(
        archivedJson({"--lab", lab, "standards", "affected", "SN2"})["calibrations"].empty());

    const json advice = archivedJson({"--lab", lab, "due", "--advise"});
    ASSERT_EQ(advice["instruments"].size(), 2u);
    for (const json& i : advice["instruments"]) {
        EXPECT_EQ(i["asFound"].size(), 3u) << i.dump();
        EXPECT_EQ(i["intervalDays"], 365);
    }
}

class ArchiveSqliteCli : public ::testing::Test {
  protected:
    ScratchDir dir;
    const std::string archive = dir.path("lab/records.db");
};

// Killed in the middle of a large add, the archive is sound and holds all of it or none;
// adding again completes it.
TEST_F(ArchiveSqliteCli, KilledMidAddLeavesAllOrNone) {
    constexpr int kResults = 2000;
    k27emu::CalibratorOptions options;
    options.clock = stampOn(2024, 3, 1);
    k27emu::Calibrator emu(options);
    ASSERT_TRUE(emu.start());
    ASSERT_EQ(
        runCli({"--port", emu.portPath(), "-q", "download", dir.write("t.json", fieldTests())})
            .exitCode,
        0);
    emu.runProcedures();
    // The third result and its tag again and again, a second apart.
    std::vector<kvttools::MemoryRecord> results = emu.memory(kvttools::Memory::Results);
    const kvttools::MemoryRecord result = results[results.size() - 2], tag = results.back();
    for (int i = 1; i <= kResults - 3; ++i) {
        kvttools::MemoryRecord copy = result;
        copy.stamp.minute = static_cast<uint8_t>(i / 60 % 60);
        copy.stamp.second = static_cast<uint8_t>(i % 60);
        copy.stamp.hour = static_cast<uint8_t>(10 + i / 3600);
        results.push_back(copy);
        results.push_back(tag);
    }
    ASSERT_TRUE(emu.replaceMemory(kvttools::Memory::Results, results));
    const std::string big = dir.path("big.json");
    ASSERT_EQ(runCli({"--port", emu.portPath(), "-q", "upload", "--out", big}).exitCode, 0);

    ChildProcess add(KVTLNK_CLI_PATH, {"--archive", archive, "archive", "add", big});
    static const std::regex midway(R"(archive: .*, ([1-9]\d*)/(\d+) items)");
    ASSERT_TRUE(add.readUntil(
        [](const ProcessResult& r) {
            std::smatch m;
            return std::regex_search(r.err, m, midway);
        },
        240));
    add.finish(SIGKILL);

    auto db = kvtarchive::openSqlite(archive);
    EXPECT_EQ(db->query("PRAGMA integrity_check", {}).at(0).text("integrity_check"), "ok");
    const auto held = [&db] {
        return std::stoll(db->query("SELECT COUNT(*) AS n FROM results", {}).at(0).text("n"));
    };
    EXPECT_TRUE(held() == 0 || held() == kResults) << held();
    const ProcessResult again =
        runCli({"--archive", archive, "--json", "-q", "archive", "add", big});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(held(), kResults);
}

// The drift page: one plot with the tolerance band and both sides, rendered by a browser.
TEST_F(ArchiveSqliteCli, DriftPageRendersInABrowser) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        k27emu::CalibratorOptions options;
        options.seed = seed;
        options.clock = stampOn(2021 + int(seed), 6, 1);
        // A calibrator each: the host's clock says they are all uploaded today, and a
        // calibrator whose results go back a year before its previous upload is not believed.
        options.identity.serialNumber = "SN27000" + std::to_string(seed);
        k27emu::Calibrator emu(options);
        ASSERT_TRUE(emu.start());
        const std::vector<std::string> port = {"--port", emu.portPath(), "-q", "--archive",
                                               archive};
        ASSERT_EQ(runCli({port[0], port[1], "-q", "download", dir.write("t.json", fieldTests())})
                      .exitCode,
                  0);
        emu.runProcedures();
        ASSERT_EQ(runCli({port[0], port[1], port[2], port[3], port[4], "upload"}).exitCode, 0);
    }
    const std::string html = dir.path("drift.html");
    const std::string png = dir.path("drift.png");
    ASSERT_EQ(runCli({"--archive", archive, "history", "PT-1", "--out", html}).exitCode, 0);
    const bool browser = access("/usr/bin/chromium", X_OK) == 0;
    if (browser) {
        runProcess({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
                    "--user-data-dir=" + dir.path("browser"), "--window-size=1000,800",
                    "--screenshot=" + png, "file://" + html});
    }
    const ProcessResult check =
        runProcess({"/usr/bin/python3", KVTLNK_REPORT_CHECK, html, browser ? png : ""});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    const json summary = jsonOf(check);
    ASSERT_EQ(summary["sections"].size(), 1u);
    EXPECT_EQ(summary["sections"][0]["svgs"], 1);
    EXPECT_GE(summary["sections"][0]["bands"].get<int>(), 1);
    EXPECT_EQ(summary["sections"][0]["rows"].size(), 3u);  // one row a calibration
    const std::string page = contents(html);
    // Nine points as found and three as left at each of the three calibrations.
    size_t found = 0, left = 0;
    for (size_t at = page.find("class=\"as-found\""); at != std::string::npos;
         at = page.find("class=\"as-found\"", at + 1))
        ++found;
    for (size_t at = page.find("class=\"as-left\""); at != std::string::npos;
         at = page.find("class=\"as-left\"", at + 1))
        ++left;
    EXPECT_EQ(found, 27u + 1);  // and the legend's
    EXPECT_EQ(left, 9u + 1);
    if (!browser) GTEST_SKIP() << "no /usr/bin/chromium to render the page (scripts/deps.sh)";
    EXPECT_GT(summary["png"]["distinct"].get<int>(), 20) << "a blank page";
}

// An archive the user may not write, and a file that is not an archive: refused, unchanged.
TEST_F(ArchiveSqliteCli, ReadOnlyArchiveAndForeignFile) {
    ASSERT_EQ(
        runCli({"--archive", archive, "-q", "archive", "add", dir.write("e.json", kNoResults)})
            .exitCode,
        0);
    const std::string before = contents(archive);
    const std::string image = fieldImage(dir, 1, stampOn(2024, 2, 1));
    chmod(dir.path("").c_str(), 0755);
    chmod(dir.path("lab").c_str(), 0755);
    chmod(archive.c_str(), 0444);
    const ProcessResult r = runProcess(
        asOrdinaryUser({KVTLNK_CLI_PATH, "--archive", archive, "-q", "archive", "add", image}));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(archive), std::string::npos) << r.err;
    EXPECT_EQ(contents(archive), before);

    const std::string foreign = dir.write("notes.db", "calibrated PT-101 today\n");
    const ProcessResult f = runCli({"--archive", foreign, "archive", "list"});
    EXPECT_EQ(f.exitCode, 2);
    EXPECT_NE(f.err.find("is not a kvtlnk archive"), std::string::npos) << f.err;
    EXPECT_EQ(contents(foreign), "calibrated PT-101 today\n");
}

}  // namespace
