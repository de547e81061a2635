// The reference standards each calibration rests on, as recorded when it was stored.
#include "archive/archive.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "base/time.h"

namespace kvtarchive {
namespace {

constexpr Field kUsedCalibration{
    "calibration_standards", "calibration_id", "calibration_id", "calibration_id", 1,
    fields::kAnyCount};

const char* const kColumns =
    "SELECT calibration_id, kind, serial, status, standard, recorded FROM calibration_standards ";

StandardUsed usedOf(const Row& r) {
    StandardUsed used;
    used.calibration = r.integer(kUsedCalibration);
    used.kind = r.text("kind");
    used.status = r.text("status");
    used.recorded = r.text("recorded");
    const auto value = nlohmann::ordered_json::parse(r.text("standard"), nullptr, false);
    if (value.is_object()) used.standard = kvtlab::standardFromJson(value);
    used.standard.serial = r.text("serial");  // the key, whatever the text beside it says
    return used;
}

std::vector<StandardUsed> usedIn(const std::vector<Row>& rows) {
    std::vector<StandardUsed> list;
    for (const Row& r : rows)
        list.push_back(usedOf(r));
    return list;
}

std::vector<int64_t> idsIn(const std::vector<Row>& rows) {
    std::vector<int64_t> ids;
    for (const Row& r : rows)
        ids.push_back(r.integer(fields::kCalibrationId));
    return ids;
}

}  // namespace

void Archive::recordStandardsUsed(const std::vector<StandardUsed>& used) {
    Transaction transaction(*db_);
    const std::string now = kvtapp::utcTime();
    std::set<std::string> touched;
    for (const StandardUsed& u : used) {
        const std::vector<Row> added = db_->insert(
            "calibration_standards",
            {{"calibration_id", u.calibration},
             {"kind", u.kind},
             {"serial", u.standard.serial},
             {"certificate", u.standard.certificate},
             {"calibrated", u.standard.calibrated},
             {"due", u.standard.due},
             {"status", u.status},
             {"standard", kvtlab::toJson(u.standard).dump()},
             {"recorded", now}},
            " ON CONFLICT (calibration_id, kind, serial) DO NOTHING RETURNING calibration_id");
        if (!added.empty()) touched.insert(std::to_string(u.calibration));
    }
    if (!touched.empty()) audited("standards used recorded", {{"calibrations", touched}});
    transaction.commit();
}

std::vector<StandardUsed> Archive::standardsUsed(int64_t calibration) {
    return usedIn(db_->query(
        std::string(kColumns) + "WHERE calibration_id = $1 ORDER BY kind, serial", {calibration}));
}

std::vector<StandardUsed> Archive::usesOf(const std::string& serial) {
    return usedIn(
        db_->query(std::string(kColumns) + "WHERE serial = $1 ORDER BY calibration_id", {serial}));
}

std::vector<int64_t> Archive::calibrationsOfUpload(int64_t upload) {
    return idsIn(
        db_->query("SELECT DISTINCT calibration_id FROM results WHERE upload_id = $1 AND "
                   "calibration_id IS NOT NULL ORDER BY calibration_id",
                   {upload}));
}

std::vector<int64_t> Archive::calibrationsWithoutStandards() {
    return idsIn(db_->query(
        "SELECT id AS calibration_id FROM calibrations WHERE NOT EXISTS (SELECT 1 FROM "
        "calibration_standards s WHERE s.calibration_id = calibrations.id) ORDER BY id"));
}

}  // namespace kvtarchive
