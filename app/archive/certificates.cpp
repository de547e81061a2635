// Certificates of calibration events: their numbers, and the conditions stored with the event.
#include <fmt/format.h>

#include <cmath>

#include "archive/archive.h"
#include "archive/database.h"
#include "archive/fields.h"

namespace kvtarchive {
namespace {

std::string shown(double v) {
    return fmt::format("{}", v);
}

// A condition given that the event holds otherwise: refused, naming both.
void refuseChange(int64_t eventId, const std::string& what, const std::string& held,
                  const std::string& given) {
    throw ArchiveError("event " + std::to_string(eventId) + " holds the " + what + " " + held +
                       ", not " + given + ": a certificate states the conditions it was " +
                       "issued with, and those stay");
}

void checkSame(int64_t eventId, const Conditions& held, const Conditions& given) {
    const struct {
        const char* what;
        double held, given;
        const char* unit;
    } numbers[] = {{"ambient temperature", held.temperature, given.temperature, " °C"},
                   {"relative humidity", held.humidity, given.humidity, " %"}};
    for (const auto& n : numbers) {
        if (!std::isnan(n.given) && n.held != n.given) {
            refuseChange(eventId, n.what, shown(n.held) + n.unit, shown(n.given) + n.unit);
        }
    }
    if (!given.remarks.empty() && held.remarks != given.remarks) {
        refuseChange(eventId, "remarks", "\"" + held.remarks + "\"", "\"" + given.remarks + "\"");
    }
}

}  // namespace

std::optional<Certificate> Archive::certify(int64_t eventId, const Conditions& given,
                                            const std::string& issued) {
    Transaction transaction(*db_);
    // One statement stores what the event lacks and reads what it holds, so that two benches
    // certifying at once agree.
    const std::vector<Row> held = db_->query(
        "UPDATE events SET ambient_temperature = COALESCE(ambient_temperature, $2), "
        "humidity = COALESCE(humidity, $3), remarks = COALESCE(remarks, $4) WHERE id = $1 "
        "RETURNING id AS event_id, ambient_temperature, humidity, remarks",
        {eventId, given.temperature, given.humidity,
         given.remarks.empty() ? Value() : Value(given.remarks)});
    if (held.empty()) return std::nullopt;
    Certificate c;
    c.conditions = {held[0].real(fields::kAmbientTemperature), held[0].real(fields::kHumidity),
                    held[0].text("remarks")};
    checkSame(eventId, c.conditions, given);
    // Asked first, so that printing a certificate again takes no number from the sequence.
    const std::string issuedOne =
        "SELECT number, issued, event_id FROM certificates WHERE event_id = $1";
    std::vector<Row> number = db_->query(issuedOne, {eventId});
    if (number.empty()) {
        db_->insert("certificates", {{"event_id", eventId}, {"issued", issued}},
                    " ON CONFLICT (event_id) DO NOTHING");
        number = db_->query(issuedOne, {eventId});
    }
    c.number = number.at(0).integer(fields::kCertificateNumber);
    c.issued = number.at(0).text("issued");
    transaction.commit();
    return c;
}

}  // namespace kvtarchive
