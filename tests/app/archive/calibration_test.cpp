// Calibrations against both engines: which results make one calibration, and which stamps are
// believed, each a table of scenarios; a date confirmed by a person.
#include "archive_engines.h"
#include "base/time.h"

namespace {

using namespace kvtarchive;

struct Taken {
    const char* tag;
    const char* taken;
    bool asLeft;
};

struct Given {
    const char* serial;
    const char* uploaded;
    std::vector<Taken> results;
};

Upload uploadOf(const Given& g) {
    std::vector<Result> results;
    int32_t index = 0;
    for (const Taken& t : g.results)
        results.push_back(makeResult(t.tag, t.taken, t.asLeft, {0.01}, 0.1f, index += 2));
    return makeUpload(g.serial, std::move(results), g.uploaded);
}

// "as found, as left | as found": each calibration's labels, oldest first.
std::string calibrationsOf(Archive& archive, const std::string& tag) {
    std::string text;
    for (const Calibration& c : archive.history(tag)) {
        text += text.empty() ? "" : " | ";
        for (size_t i = 0; i < c.results.size(); ++i)
            text += (i ? ", " : "") + c.results[i].label;
    }
    return text;
}

class CalibrationSuite : public EngineTest {};
KVTLNK_BOTH_ENGINES(CalibrationSuite);

TEST_P(CalibrationSuite, ResultsMakeCalibrations) {
    const Given untagged = {
        "SN1",
        "2024-06-19 17:00:00",
        {{"", "2024-06-19 09:00:00", false}, {"PT-1", "2024-06-19 09:30:00", false}}};
    const struct {
        const char* what;
        std::vector<Given> uploads;
        std::vector<std::pair<const char*, const char*>> want;  // tag: its calibrations
    } scenarios[] = {
        {"as found and as left in one upload",
         {{"SN1",
           "2024-06-19 17:00:00",
           {{"PT-1", "2024-06-19 09:00:00", false}, {"PT-1", "2024-06-19 09:20:00", true}}}},
         {{"PT-1", "as found, as left"}}},
        {"as found and as left in two uploads",
         {{"SN1", "2024-06-18 17:00:00", {{"PT-1", "2024-06-18 09:00:00", false}}},
          {"SN1", "2024-06-21 17:00:00", {{"PT-1", "2024-06-20 09:00:00", true}}}},
         {{"PT-1", "as found, as left"}}},
        {"the as found uploaded after the as left, by another calibrator",
         {{"SN1", "2024-06-20 17:00:00", {{"PT-1", "2024-06-20 09:00:00", true}}},
          {"SN2", "2024-06-22 17:00:00", {{"PT-1", "2024-06-19 09:00:00", false}}}},
         {{"PT-1", "as found, as left"}}},
        {"two visits uploaded in the reverse order, by two calibrators",
         {{"SN2",
           "2024-06-21 17:00:00",
           {{"PT-1", "2024-06-21 09:00:00", false}, {"PT-1", "2024-06-21 09:20:00", true}}},
          {"SN1",
           "2024-06-22 17:00:00",
           {{"PT-1", "2024-06-19 09:00:00", false}, {"PT-1", "2024-06-19 09:20:00", true}}}},
         {{"PT-1", "as found, as left | as found, as left"}}},
        {"an as left uploaded later splits a calibration and moves its later as found",
         {{"SN1",
           "2024-06-19 17:00:00",
           {{"PT-1", "2024-06-19 09:00:00", false}, {"PT-1", "2024-06-19 10:00:00", false}}},
          {"SN2", "2024-06-20 17:00:00", {{"PT-1", "2024-06-19 09:30:00", true}}}},
         {{"PT-1", "as found, as left | as found"}}},
        {"two visits a month apart in one upload",
         {{"SN1",
           "2024-06-19 17:00:00",
           {{"PT-1", "2024-05-02 09:00:00", false}, {"PT-1", "2024-06-02 09:00:00", false}}}},
         {{"PT-1", "as found | as found"}}},
        {"a second as found before the adjustment",
         {{"SN1",
           "2024-06-19 17:00:00",
           {{"PT-1", "2024-06-19 09:00:00", false},
            {"PT-1", "2024-06-19 09:10:00", false},
            {"PT-1", "2024-06-19 09:30:00", true}}}},
         {{"PT-1", "first as found, second as found, as left"}}},
        {"an as found after the as left opens the next calibration",
         {{"SN1",
           "2024-06-19 17:00:00",
           {{"PT-1", "2024-06-19 09:00:00", false},
            {"PT-1", "2024-06-19 09:20:00", true},
            {"PT-1", "2024-06-19 10:00:00", false}}}},
         {{"PT-1", "as found, as left | as found"}}},
        {"the as left seven days after the as found, and one second more",
         {{"SN1",
           "2024-06-30 17:00:00",
           {{"PT-1", "2024-06-01 09:00:00", false},
            {"PT-1", "2024-06-08 09:00:00", true},
            {"TT-2", "2024-06-01 09:00:00", false},
            {"TT-2", "2024-06-08 09:00:01", true}}}},
         {{"PT-1", "as found, as left"}, {"TT-2", "as found | as left"}}},
        {"a test without tag texts",
         {untagged},
         {{"untagged: task field, strategy 3 up", "as found"}, {"PT-1", "as found"}}},
        {"a stamp not believed stays apart from believed ones",
         {{"SN1", "2024-06-19 17:00:00", {{"PT-1", "2024-06-19 09:00:00", false}}},
          {"SN1", "2024-06-20 17:00:00", {{"PT-1", "2024-06-20 18:00:00", true}}}},
         {{"PT-1", "as found | as left"}}},
    };
    for (const auto& s : scenarios) {
        SCOPED_TRACE(s.what);
        auto archive = Archive::open(another(), Access::Store);
        for (const Given& g : s.uploads)
            archive->add(uploadOf(g));
        for (const auto& [tag, want] : s.want)
            EXPECT_EQ(calibrationsOf(*archive, tag), want) << tag;
        // Every row the grouping moved or removed was sealed by its upload's audit row.
        EXPECT_TRUE(archive->verify().whole());
    }
    // The untagged instrument is listed and flagged.
    auto archive = Archive::open(another(), Access::Store);
    archive->add(uploadOf(untagged));
    const std::vector<Instrument> listed = archive->instruments(0, 365);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[1].untagged);
    EXPECT_EQ(listed[1].tag, "untagged: task field, strategy 3 up");
    EXPECT_FALSE(listed[0].untagged);
}

TEST_P(CalibrationSuite, StampsAgainstTheHostsClock) {
    const struct {
        const char* what;
        const char* previous;  // the calibrator's upload before, "" for none
        const char* uploaded;
        const char* taken;
        int64_t tolerance;    // seconds
        const char* problem;  // the start of why it is not believed; "" when it is
    } cases[] = {
        {"a day before the previous upload", "2024-06-10 12:00:00", "2024-06-20 10:00:00",
         "2024-06-09 12:00:00", 86400, ""},
        {"a second more", "2024-06-10 12:00:00", "2024-06-20 10:00:00", "2024-06-09 11:59:59",
         86400, "calibrator clock suspect: taken before the calibrator's previous upload"},
        {"years before", "2024-06-10 12:00:00", "2024-06-20 10:00:00", "2019-03-01 08:00:00", 86400,
         "calibrator clock suspect"},
        {"no tolerance", "2024-06-10 12:00:00", "2024-06-20 10:00:00", "2024-06-10 11:59:59", 0,
         "calibrator clock suspect"},
        {"years before the calibrator's first upload", "", "2024-06-20 10:00:00",
         "2019-03-01 08:00:00", 86400, ""},
        {"at the upload", "", "2024-06-20 10:00:00", "2024-06-20 10:00:00", 86400, ""},
        {"a second after the upload", "", "2024-06-20 10:00:00", "2024-06-20 10:00:01", 86400,
         "calibrator clock suspect: taken after its upload 2024-06-20 10:00:00"},
        {"next year", "", "2024-06-20 10:00:00", "2025-06-20 10:00:00", 86400,
         "calibrator clock suspect"},
        {"30 February", "", "2024-06-20 10:00:00", "2024-02-30 10:00:00", 86400, "date impossible"},
        {"month 13", "", "2024-06-20 10:00:00", "2023-13-02 10:00:00", 86400, "date impossible"},
        {"29 February of a leap year", "", "2024-06-20 10:00:00", "2024-02-29 10:00:00", 86400, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto archive = Archive::open(another(), Access::Store);
        const VisitRules rules{7 * 86400, c.tolerance};
        if (*c.previous) {
            archive->add(makeUpload("SN1", {makeResult("TT-9", "2024-06-01 08:00:00", false, {0})},
                                    c.previous),
                         rules);
        }
        // Another calibrator's later upload is not this one's previous upload.
        archive->add(makeUpload("SN2", {makeResult("TT-8", "2024-06-19 08:00:00", false, {0})},
                                "2024-06-19 12:00:00"),
                     rules);
        const AddOutcome added = archive->add(
            makeUpload("SN1", {makeResult("PT-1", c.taken, false, {0.01})}, c.uploaded), rules);
        EXPECT_EQ(added.suspect, *c.problem ? 1u : 0u);
        const std::vector<Calibration> history = archive->history("PT-1");
        ASSERT_EQ(history.size(), 1u);
        const Calibration& k = history[0];
        EXPECT_EQ(k.date, c.taken);  // as the calibrator sent it
        EXPECT_EQ(k.results.at(0).stampProblem.rfind(c.problem, 0), 0u)
            << k.results.at(0).stampProblem;
        EXPECT_EQ(kvtapp::believed(k), !*c.problem);
        EXPECT_EQ(kvtapp::calibrationDay(k).has_value(), !*c.problem);
        const Instrument pt = archive->instruments(kvtapp::dayNumber(2024, 6, 20), 365).at(0);
        EXPECT_EQ(pt.due.empty(), *c.problem != '\0');
        EXPECT_EQ(pt.undated, *c.problem ? 1 : 0);
    }
}

// A stamp in the future is not the last calibration: the one before it stays due; a person's
// date puts it in its place, with who and when.
TEST_P(CalibrationSuite, ConfirmedDatesCount) {
    auto archive = open();
    archive->add(makeUpload("SN1", {makeResult("PT-1", "2024-01-10 09:00:00", false, {0.01})},
                            "2024-01-10 17:00:00"));
    archive->add(makeUpload("SN1", {makeResult("PT-1", "2027-06-01 09:00:00", false, {0.02})},
                            "2024-06-20 10:00:00"));
    const int64_t today = kvtapp::dayNumber(2024, 6, 20);
    Instrument pt = archive->instruments(today, 365).at(0);
    EXPECT_EQ(pt.calibrations, 2);
    EXPECT_EQ(pt.undated, 1);
    EXPECT_EQ(pt.due, "2025-01-09");
    const std::vector<Calibration> before = archive->history("PT-1");
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(kvtapp::dateNote(before[1]), "calibrator clock suspect");
    EXPECT_EQ(archive->undated().size(), 1u);

    EXPECT_TRUE(
        archive->confirmDate(before[1].id, {"2024-06-01", "C. Manager", "2024-06-20T08:00:00Z"}));
    EXPECT_FALSE(archive->confirmDate(9999, {"2024-06-01", "C. Manager", "x"}));
    EXPECT_THROW(archive->confirmDate(before[1].id, {"2024-02-30", "C. Manager", "x"}),
                 ArchiveError);
    pt = archive->instruments(today, 365).at(0);
    EXPECT_EQ(pt.undated, 0);
    EXPECT_EQ(pt.lastCalibration, before[1].id);
    EXPECT_EQ(pt.due, "2025-06-01");
    const Calibration after = *archive->calibration(before[1].id);
    ASSERT_TRUE(after.confirmed);
    EXPECT_EQ(after.confirmed->by, "C. Manager");
    EXPECT_EQ(after.confirmed->at, "2024-06-20T08:00:00Z");
    EXPECT_EQ(after.date, "2027-06-01 09:00:00");  // the stamp as it came
    EXPECT_EQ(kvtapp::dateNote(after),
              "calibrator clock suspect; confirmed 2024-06-01 by C. Manager");
    EXPECT_TRUE(archive->undated().empty());
}

}  // namespace
