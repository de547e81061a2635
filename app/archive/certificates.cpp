// Certificates as issued: numbered from a counter row that the storing transaction moves on, so
// that an issue that fails or is stopped before it is stored takes no number; each stored whole
// in one transaction, a replaced one marked with the number that replaces it.
#include <fmt/format.h>

#include "archive/archive.h"
#include "archive/audit.h"
#include "archive/database.h"
#include "archive/fields.h"

namespace kvtarchive {
namespace {

const char* const kCertificateColumns =
    "number, calibration_id, issued, issued_at, issued_by, replaces, reason, replaced_by, "
    "ambient_temperature, humidity, remarks, content, document, sha256";

IssuedCertificate certificateOf(const Row& r) {
    IssuedCertificate c;
    c.number = r.integer(fields::kIssuedNumber);
    c.calibration = r.integer(fields::kCalibrationId);
    c.issued = r.text("issued");
    c.issuedAt = r.text("issued_at");
    c.issuedBy = r.text("issued_by");
    c.replaces = r.integer(fields::kReplaces);
    c.reason = r.text("reason");
    c.replacedBy = r.integer(fields::kReplacedBy);
    c.conditions = {r.real(fields::kIssuedTemperature), r.real(fields::kIssuedHumidity),
                    r.text("remarks")};
    c.content = r.text("content");
    c.document = r.text("document");
    c.sha256 = r.text("sha256");
    return c;
}

}  // namespace

int64_t Archive::nextCertificateNumber() {
    return db_->query("SELECT next FROM certificate_numbers").at(0).integer(fields::kNextNumber);
}

void Archive::storeCertificate(const IssuedCertificate& c) {
    Transaction transaction(*db_);
    // Moving the counter on takes its row's lock: a second bench storing at once waits here,
    // then finds its number taken.
    if (db_->query("UPDATE certificate_numbers SET next = next + 1 WHERE next = $1 RETURNING next",
                   {c.number})
            .empty()) {
        throw NumberTaken(
            fmt::format("certificate number {} was taken by another issue", c.number));
    }
    const std::vector<Row> inForce = db_->query(
        "SELECT number FROM certificates WHERE calibration_id = $1 AND replaced_by IS NULL "
        "ORDER BY number",
        {c.calibration});
    for (const Row& r : inForce) {
        if (r.integer(fields::kIssuedNumber) == c.replaces) continue;
        throw ArchiveError(fmt::format(
            "calibration {} has certificate {} in force: print it again, or issue one that "
            "replaces it",
            c.calibration, r.integer(fields::kIssuedNumber)));
    }
    if (c.replaces && inForce.empty()) {
        throw ArchiveError(
            fmt::format("certificate {} is not in force for calibration {}: "
                        "only a certificate in force is replaced",
                        c.replaces, c.calibration));
    }
    db_->insert("certificates", {{"number", c.number},
                                 {"calibration_id", c.calibration},
                                 {"issued", c.issued},
                                 {"issued_at", c.issuedAt},
                                 {"issued_by", c.issuedBy},
                                 {"replaces", c.replaces ? Value(c.replaces) : Value()},
                                 {"reason", c.reason},
                                 {"ambient_temperature", c.conditions.temperature},
                                 {"humidity", c.conditions.humidity},
                                 {"remarks", c.conditions.remarks},
                                 {"content", c.content},
                                 {"document", c.document},
                                 {"sha256", c.sha256}});
    Touched touched{{"certificates", {std::to_string(c.number)}},
                    {"certificate_numbers", {"counter"}}};
    if (c.replaces) {
        db_->query("UPDATE certificates SET replaced_by = $1 WHERE number = $2",
                   {c.number, c.replaces});
        touched["certificates"].insert(std::to_string(c.replaces));
    }
    addFacts({{"certificate", c.number}, {"calibration", c.calibration}, {"sha256", c.sha256}});
    audited(c.replaces ? "certificate replaced" : "certificate issued", touched);
    transaction.commit();
}

std::optional<IssuedCertificate> Archive::certificate(int64_t number) {
    const std::vector<Row> rows = db_->query(
        std::string("SELECT ") + kCertificateColumns + " FROM certificates WHERE number = $1",
        {number});
    if (rows.empty()) return std::nullopt;
    return certificateOf(rows[0]);
}

std::vector<IssuedCertificate> Archive::certificates(int64_t calibration) {
    std::vector<IssuedCertificate> list;
    for (const Row& r : db_->query(std::string("SELECT ") + kCertificateColumns +
                                       " FROM certificates WHERE calibration_id = $1 "
                                       "ORDER BY number",
                                   {calibration}))
        list.push_back(certificateOf(r));
    return list;
}

}  // namespace kvtarchive
