// The lab file: the sample installed with the tool reads without a problem and says what it
// means; a broken file names each bad key; intervals by tag and pattern.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <tuple>

#include "lab/lab.h"

namespace {

using namespace kvtlab;

std::string sampleText() {
    std::ifstream in(KVTLNK_LAB_SAMPLE);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The sample installed with the tool is a lab file the tool takes whole: no problem, and each
// standard it lists complete, found by its serial number as a calibration names it.
TEST(LabFile, SampleReadsWithoutAProblem) {
    std::vector<Problem> problems;
    const Lab lab = parseLab(sampleText(), "lab.toml", problems);
    for (const Problem& p : problems)
        ADD_FAILURE() << p.key << ": " << p.message;
    EXPECT_FALSE(lab.name.empty());
    ASSERT_FALSE(lab.calibrators.empty());
    ASSERT_FALSE(lab.modules.empty());
    for (const auto* list : {&lab.calibrators, &lab.modules}) {
        for (const Standard& s : *list) {
            EXPECT_FALSE(s.certificate.empty()) << s.serial;
            EXPECT_LT(s.calibrated, s.due) << s.serial;
            EXPECT_FALSE(s.accuracy.empty()) << s.serial;
        }
    }
    EXPECT_EQ(lab.calibrator(lab.calibrators[0].serial), &lab.calibrators[0]);
    EXPECT_EQ(lab.module("", lab.modules[0].serial), &lab.modules[0]);
    EXPECT_FALSE(lab.calibrator("SN999"));
    EXPECT_FALSE(lab.module("", ""));
}

// Each mistake is named by its key, and all of them in one go.
TEST(LabFile, BrokenFileNamesEachBadKey) {
    const char* const text = R"(
colour = "red"
[lab]
address = 4
technician = "C. Stranger"
technicians = ["A. Tester", 7]
[[standards]]
serial = "SN1"
calibrated = 2025-03-01
due = 2025-01-01
accuracy = { dcv = [0.02], volts = [0.1, 0.1], current = [-1, 0] }
[[standards]]
serial = "SN1"
certificate = "C-2"
calibrated = "2025-01-01"
due = 2026-01-01
extra = 1
[[modules]]
serial = "PM-1"
certificate = "C-3"
calibrated = 2025-01-01
due = 2026-01-01
range = [10, 0]
units = "furlongs"
[intervals]
"PT-*" = "often"
"TT-1" = 180
)";
    std::vector<Problem> problems;
    parseLab(text, "broken.toml", problems);
    std::vector<std::string> keys;
    for (const Problem& p : problems)
        keys.push_back(p.key);
    const std::vector<std::string> expected = {
        "colour",
        "lab.name",
        "lab.address",
        "lab.technicians[1]",
        "lab.technician",
        "standards[0].certificate",
        "standards[0].due",
        "standards[0].accuracy.current",
        "standards[0].accuracy.dcv",
        "standards[0].accuracy.volts",
        "standards[1].extra",
        "standards[1].calibrated",
        "standards[1].serial",
        "modules[0].units",
        "modules[0].range",
        "intervals.\"PT-*\"",
        "intervals.TT-1",
    };
    EXPECT_EQ(keys, expected);
    for (const Problem& p : problems) {
        if (p.key == "standards[1].calibrated") {
            EXPECT_NE(p.message.find("(line 15)"), std::string::npos) << p.message;
        }
    }
}

TEST(LabFile, SyntaxErrorGivesItsLine) {
    std::vector<Problem> problems;
    parseLab("[lab]\nname = \"unclosed\n", "x.toml", problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].key, "line 2");
    EXPECT_NE(problems[0].message.find("not TOML"), std::string::npos);
}

TEST(LabFile, IntervalByTagThenLongestPattern) {
    std::vector<Problem> problems;
    const Lab lab = parseLab(R"([intervals]
"PT-*" = "180d"
"PT-1*" = "26w"
"PT-101" = "1y"
"TT-?" = "90"
)",
                             "", problems);
    ASSERT_TRUE(problems.empty());
    const struct {
        const char* tag;
        std::optional<int> days;
    } cases[] = {{"PT-101", 365}, {"PT-102", 182},         {"PT-2", 180},
                 {"TT-7", 90},    {"TT-77", std::nullopt}, {"pt-2", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(lab.intervalFor(c.tag), c.days) << c.tag;
}

// The archive a lab file names by a relative path is beside the lab file, wherever the tool
// runs; a URI or an absolute path stays as written.
TEST(LabFile, RelativeArchiveIsBesideTheLabFile) {
    const struct {
        const char* file;
        const char* archive;
        const char* want;
    } cases[] = {{"/srv/lab/lab.toml", "records.db", "/srv/lab/records.db"},
                 {"/srv/lab/lab.toml", "data/records.db", "/srv/lab/data/records.db"},
                 {"/srv/lab/lab.toml", "../records.db", "/srv/lab/../records.db"},
                 {"conf/lab.toml", "records.db", "conf/records.db"},
                 {"lab.toml", "records.db", "records.db"},
                 {"/srv/lab/lab.toml", "/var/records.db", "/var/records.db"},
                 {"/srv/lab/lab.toml", "postgresql://bench@db/lab", "postgresql://bench@db/lab"},
                 {"/srv/lab/lab.toml", ":memory:", ":memory:"},
                 {"/srv/lab/lab.toml", "", ""}};
    for (const auto& c : cases) {
        std::vector<Problem> problems;
        const Lab lab =
            parseLab(std::string("[lab]\nname = \"Bench\"\narchive = \"") + c.archive + "\"\n",
                     c.file, problems);
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(lab.archive, c.want) << c.file << " " << c.archive;
    }
}

TEST(LabFile, Intervals) {
    const struct {
        const char* text;
        std::optional<int> days;
    } cases[] = {{"180d", 180},
                 {"180", 180},
                 {"26w", 182},
                 {"1y", 365},
                 {"0d", 0},
                 {"100y", 36500},
                 {"101y", std::nullopt},
                 {"-1d", std::nullopt},
                 {"+5", std::nullopt},
                 {"5212432095833489407y", std::nullopt},
                 {" 5", std::nullopt},
                 {"\t5", std::nullopt},
                 {"5 ", std::nullopt},
                 {"-0", std::nullopt},
                 {"0x10", std::nullopt},
                 {"1e2d", std::nullopt},
                 {"5dd", std::nullopt},
                 {"36501", std::nullopt},
                 {"5m", std::nullopt},
                 {"", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(parseInterval(c.text), c.days) << c.text;
}

}  // namespace

// The users of the bench page: each mistake named by its key.
TEST(LabFile, UsersNameEachBadKey) {
    const char* const text = R"(
[[users]]
name = "tess"
role = "technician"
password_hash = "$argon2id$v=19$m=65536,t=2,p=1$c2FsdA$aGFzaA"
[[users]]
name = "tess"
role = "boss"
password_hash = "plain"
colour = "red"
)";
    std::vector<Problem> problems;
    const Lab lab = parseLab(text, "lab.toml", problems);
    std::vector<std::string> keys;
    for (const Problem& p : problems)
        keys.push_back(p.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"users[1].colour", "users[1].role",
                                              "users[1].password_hash", "users[1].name"}));
    ASSERT_TRUE(lab.user("tess"));
    EXPECT_EQ(lab.user("tess")->role, "technician");
    EXPECT_FALSE(lab.user("quinn"));
}

// Setting a password changes the lines of that user and nothing else of the file.
TEST(LabFile, PasswordEditKeepsTheRestOfTheFile) {
    const std::string head = "# our lab\n[lab]\nname = \"Lab\"  # the name\n\n";
    const std::string tess = "[[users]]\nname = \"tess\"\n  role = \"technician\"\n";
    const struct {
        const char* what;
        std::string text, name, role;
        std::string edited;  // "" when refused
    } cases[] = {
        {"a hash added after the name", head + tess, "tess", "",
         head + "[[users]]\nname = \"tess\"\npassword_hash = 'H'\n  role = \"technician\"\n"},
        {"a hash replaced, indentation kept", head + tess + "  password_hash = \"old\" # x\n",
         "tess", "", head + tess + "  password_hash = 'H'\n"},
        {"a role changed with it", head + tess, "tess", "quality manager",
         head + "[[users]]\nname = \"tess\"\npassword_hash = 'H'\n  role = 'quality manager'\n"},
        {"a new user at the end", head, "quinn", "quality manager",
         head + "\n[[users]]\nname = 'quinn'\nrole = 'quality manager'\npassword_hash = 'H'\n"},
        {"a name with a quote", "", "O\"Neil", "technician",
         "\n[[users]]\nname = 'O\"Neil'\nrole = 'technician'\npassword_hash = 'H'\n"},
        {"a new user needs a role", head, "quinn", "", ""},
        {"an inline entry is left alone", "users = [{name = \"tess\", role = \"technician\"}]\n",
         "tess", "", ""},
        {"not TOML", "[lab\n", "tess", "technician", ""},
    };
    for (const auto& c : cases) {
        std::string problem;
        const std::string edited = withUserPassword(c.text, c.name, c.role, "H", problem);
        if (c.edited.empty()) {
            EXPECT_FALSE(problem.empty()) << c.what;
            EXPECT_EQ(edited, c.text) << c.what;
            continue;
        }
        EXPECT_EQ(problem, "") << c.what;
        EXPECT_EQ(edited, c.edited) << c.what;
    }
}

// A check on a day reminds of each standard past its due date or due within 30 days, and of no
// other, whichever list it is in.
TEST(LabFile, WarningsForStandardsDueOrPastDue) {
    Lab lab;
    const auto standard = [](const std::string& serial, const std::string& due) {
        Standard s;
        s.serial = serial;
        s.due = due;
        return s;
    };
    lab.calibrators = {standard("LATE", "2025-03-01"), standard("FAR", "2025-05-01"),
                       standard("UNDATED", "")};
    lab.modules = {standard("SOON", "2025-04-10"), standard("TODAY", "2025-03-31"),
                   standard("EDGE", "2025-04-30")};
    const std::vector<Problem> warnings = labWarnings(lab, "2025-03-31");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"standards[0]",
         "calibrator LATE was due on 2025-03-01, 30 days ago: certificates of calibrations with "
         "it since then say so"},
        {"modules[0]", "pressure module SOON is due on 2025-04-10, in 10 days"},
        {"modules[1]", "pressure module TODAY is due today"},
        {"modules[2]", "pressure module EDGE is due on 2025-04-30, in 30 days"},
    };
    ASSERT_EQ(warnings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(warnings[i].key, expected[i].first);
        EXPECT_EQ(warnings[i].message, expected[i].second);
    }
    // The same day's status of every standard, in the order of the file.
    const std::vector<std::tuple<std::string, StandardStatus, int64_t>> statuses = {
        {"LATE", StandardStatus::Overdue, -30},  {"FAR", StandardStatus::InDate, 31},
        {"UNDATED", StandardStatus::Unknown, 0}, {"SOON", StandardStatus::DueSoon, 10},
        {"TODAY", StandardStatus::DueSoon, 0},   {"EDGE", StandardStatus::DueSoon, 30},
    };
    const std::vector<StandardStanding> standings = standardsOn(lab, "2025-03-31");
    ASSERT_EQ(standings.size(), statuses.size());
    for (size_t i = 0; i < statuses.size(); ++i) {
        EXPECT_EQ(standings[i].standard->serial, std::get<0>(statuses[i]));
        EXPECT_EQ(standings[i].status, std::get<1>(statuses[i])) << std::get<0>(statuses[i]);
        EXPECT_EQ(standings[i].daysLeft, std::get<2>(statuses[i])) << std::get<0>(statuses[i]);
    }
}
