// What identifies instruments, each setting kept with when it was made and where from; and the
// certificates of the reference standards as the lab file gave them, each kept once.
#include <set>

#include "archive/archive.h"
#include "archive/audit.h"
#include "archive/calibrations.h"
#include "archive/database.h"
#include "archive/fields.h"
#include "base/time.h"

namespace kvtarchive {
namespace {

const char* const kLabFile = "lab file";

InstrumentIdentity identityOf(const Row& r) {
    return {
        r.text("make"),     r.text("model"),  r.text("serial_number"), r.text("measuring_range"),
        r.text("customer"), r.text("set_at"), r.text("source")};
}

// The settings of the instrument, of one source or of any (""), the latest first; limit 0
// for all of them.
std::vector<InstrumentIdentity> settings(Database& db, const std::string& tag,
                                         const std::string& source, int64_t limit) {
    const std::vector<Row> rows = db.query(
        "SELECT d.make, d.model, d.serial_number, d.measuring_range, d.customer, d.set_at, "
        "d.source FROM instruments i JOIN instrument_identities d ON d.instrument_id = i.id "
        "WHERE i.tag = $1 AND ($2 = '' OR d.source = $2) ORDER BY d.id DESC LIMIT $3",
        {tag, source, limit > 0 ? limit : INT64_MAX});
    std::vector<InstrumentIdentity> list;
    for (const Row& r : rows)
        list.push_back(identityOf(r));
    return list;
}

std::optional<InstrumentIdentity> latest(Database& db, const std::string& tag,
                                         const std::string& source) {
    std::vector<InstrumentIdentity> last = settings(db, tag, source, 1);
    if (last.empty()) return std::nullopt;
    return std::move(last[0]);
}

// The new setting's id.
std::string append(Database& db, int64_t instrument, const InstrumentIdentity& i) {
    return db
        .insert("instrument_identities",
                {{"instrument_id", instrument},
                 {"make", i.make},
                 {"model", i.model},
                 {"serial_number", i.serialNumber},
                 {"measuring_range", i.range},
                 {"customer", i.customer},
                 {"set_at", i.set.empty() ? kvtapp::utcTime() : i.set},
                 {"source", i.source}},
                " RETURNING id")
        .at(0)
        .text("id");
}

}  // namespace

InstrumentIdentity Archive::identity(const std::string& tag) {
    return latest(*db_, tag, "").value_or(InstrumentIdentity{});
}

std::vector<InstrumentIdentity> Archive::identities(const std::string& tag) {
    return settings(*db_, tag, "", 0);
}

bool Archive::setIdentity(const std::string& tag, const InstrumentIdentity& identity) {
    Transaction transaction(*db_);
    const std::optional<InstrumentIdentity> held = latest(*db_, tag, "");
    if (held && kvtapp::sameParts(*held, identity)) return false;
    const int64_t instrument = instrumentId(*db_, tag, false);
    const std::string id = append(*db_, instrument, identity);
    addFacts({{"tag", tag}});
    audited("identity set",
            {{"instruments", {std::to_string(instrument)}}, {"instrument_identities", {id}}});
    transaction.commit();
    return true;
}

bool Archive::noteLabIdentity(const std::string& tag, const InstrumentIdentity& identity) {
    Transaction transaction(*db_);
    const std::vector<Row> known = db_->query("SELECT id FROM instruments WHERE tag = $1", {tag});
    if (known.empty()) return false;
    const std::optional<InstrumentIdentity> noted = latest(*db_, tag, kLabFile);
    if (noted && kvtapp::sameParts(*noted, identity)) return false;
    InstrumentIdentity entry = identity;
    entry.source = kLabFile;
    const std::string id = append(*db_, known[0].integer(fields::kNewIdentity), entry);
    addFacts({{"tag", tag}});
    audited("identity noted from the lab file", {{"instrument_identities", {id}}});
    transaction.commit();
    return true;
}

void Archive::keepStandards(const std::vector<kvtlab::Standard>& standards) {
    Transaction transaction(*db_);
    std::set<std::string> kept;
    for (const kvtlab::Standard& current : standards) {
        std::vector<const kvtlab::Standard*> all = {&current};
        for (const kvtlab::Standard& earlier : current.past)
            all.push_back(&earlier);
        for (const kvtlab::Standard* s : all) {
            const std::vector<Row> made =
                db_->insert("standard_certificates",
                            {{"serial", s->serial},
                             {"certificate", s->certificate},
                             {"calibrated", s->calibrated},
                             {"due", s->due},
                             {"standard", kvtlab::toJson(*s).dump()},
                             {"recorded", kvtapp::utcTime()}},
                            " ON CONFLICT (serial, certificate) DO NOTHING RETURNING serial");
            if (!made.empty()) kept.insert(s->serial + " / " + s->certificate);
        }
    }
    if (kept.empty()) return;
    audited("standards' certificates kept", {{"standard_certificates", kept}});
    transaction.commit();
}

std::vector<kvtlab::Standard> Archive::keptStandards(const std::string& serial) {
    std::vector<kvtlab::Standard> list;
    for (const Row& r : db_->query("SELECT standard FROM standard_certificates WHERE serial = $1 "
                                   "ORDER BY calibrated, certificate",
                                   {serial})) {
        const auto value = nlohmann::ordered_json::parse(r.text("standard"), nullptr, false);
        if (value.is_object()) list.push_back(kvtlab::standardFromJson(value));
    }
    return list;
}

}  // namespace kvtarchive
