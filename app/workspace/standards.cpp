#include "workspace/standards.h"

#include <algorithm>
#include <cmath>

#include "certificate/certificate.h"
#include "workspace/certificates.h"

namespace kvtapp {
namespace {

using kvtarchive::StandardUsed;

template <typename Work>
auto archived(Work work) {
    try {
        return work();
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
}

std::vector<StandardUsed> usedOf(const Calibration& c, const StandardCertificates& known) {
    std::vector<StandardUsed> list;
    for (const StandardPart& part : standardsOfCalibration(c, known)) {
        StandardUsed used;
        used.calibration = c.id;
        used.kind = part.kind;
        used.standard.serial = part.serial;
        used.standard.model = part.model;
        used.standard.certificate = part.certificate;
        used.standard.calibrated = part.calibrated;
        used.standard.due = part.due;
        used.standard.calibratedBy = part.calibratedBy;
        used.status = part.status;
        if (!part.serial.empty()) list.push_back(std::move(used));
    }
    return list;
}

std::string customerOf(const Workspace& workspace, kvtarchive::Archive& archive,
                       const std::string& tag) {
    const std::string set = archive.identity(tag).customer;
    if (!set.empty()) return set;
    const kvtlab::Lab& lab = workspace.lab();
    if (const kvtlab::InstrumentEntry* entry = lab.instrument(tag);
        entry && !entry->customer.empty())
        return entry->customer;
    const kvtlab::Customer* customer = lab.customerOf(tag);
    return customer ? customer->name : "";
}

double worstPercent(const Calibration& c) {
    double worst = kNone;
    for (const Result& r : c.results) {
        const double percent = std::fabs(largestError(r)) / toleranceOf(r) * 100;
        if (!std::isnan(percent) && !(percent <= worst)) worst = percent;
    }
    return worst;
}

}  // namespace

void recordStandards(const Workspace& workspace, kvtarchive::Archive& archive, int64_t upload) {
    archived([&] {
        const StandardCertificates known = knownStandards(workspace.lab(), archive);
        std::vector<StandardUsed> all;
        for (int64_t id : archive.calibrationsOfUpload(upload)) {
            const std::optional<Calibration> c = archive.calibration(id);
            if (!c) continue;
            for (StandardUsed& used : usedOf(*c, known))
                all.push_back(std::move(used));
        }
        archive.recordStandardsUsed(all);
    });
}

std::vector<StandardUsed> standardsUsedBy(const Workspace& workspace, kvtarchive::Archive& archive,
                                          const Calibration& c) {
    return archived([&] {
        std::vector<StandardUsed> list = archive.standardsUsed(c.id);
        if (!list.empty()) return list;
        list = usedOf(c, knownStandards(workspace.lab(), archive));
        for (StandardUsed& used : list)
            used.reconstructed = true;
        return list;
    });
}

std::vector<AffectedCalibration> standardsAffected(const Workspace& workspace,
                                                   kvtarchive::Archive& archive,
                                                   const std::string& serial,
                                                   const std::string& since,
                                                   const std::string& until) {
    std::vector<AffectedCalibration> list;
    const auto consider = [&](const Calibration& c, const StandardUsed& used) {
        const std::string day = standardsDayOf(c);
        if ((!since.empty() && day < since) || (!until.empty() && day > until)) return;
        AffectedCalibration a;
        a.calibration = c.id;
        a.instrument = c.instrument;
        a.customer = customerOf(workspace, archive, c.instrument);
        a.day = day;
        a.used = used;
        a.asFound = c.asFound;
        a.asLeft = c.asLeft;
        for (const IssuedCertificate& issued : archive.certificates(c.id)) {
            a.certificates.push_back(certificateNumber(workspace.lab(), issued.number) +
                                     (issued.replacedBy ? " (replaced)" : ""));
        }
        a.worstPercent = worstPercent(c);
        list.push_back(std::move(a));
    };
    archived([&] {
        const auto judged = [&](int64_t id) {
            std::optional<Calibration> c = archive.calibration(id);
            if (c) judgeByLab(workspace, archive, *c);
            return c;
        };
        for (const StandardUsed& used : archive.usesOf(serial)) {
            if (const std::optional<Calibration> c = judged(used.calibration)) consider(*c, used);
        }
        // Calibrations stored before their standards were recorded: from the lab file now.
        for (int64_t id : archive.calibrationsWithoutStandards()) {
            const std::optional<Calibration> c = judged(id);
            if (!c) continue;
            for (const StandardUsed& used : standardsUsedBy(workspace, archive, *c)) {
                if (used.standard.serial == serial) consider(*c, used);
            }
        }
    });
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        if (std::isnan(a.worstPercent) != std::isnan(b.worstPercent))
            return std::isnan(b.worstPercent);
        return a.worstPercent > b.worstPercent;
    });
    return list;
}

nlohmann::ordered_json toJson(const StandardUsed& used) {
    nlohmann::ordered_json value = kvtlab::toJson(used.standard);
    value["kind"] = used.kind;
    value["status"] = used.status;
    value["recorded"] = used.reconstructed ? nlohmann::ordered_json(nullptr)
                                           : nlohmann::ordered_json(used.recorded);
    value["reconstructed"] = used.reconstructed;
    return value;
}

nlohmann::ordered_json toJson(const AffectedCalibration& a) {
    const auto verdict = [](const std::optional<Verdict>& v) {
        return v ? nlohmann::ordered_json(verdictName(*v)) : nlohmann::ordered_json(nullptr);
    };
    return {{"calibration", a.calibration},
            {"instrument", a.instrument},
            {"customer", a.customer},
            {"day", a.day},
            {"asFound", verdict(a.asFound)},
            {"asLeft", verdict(a.asLeft)},
            {"largestErrorOfTolerancePercent", numberJson(a.worstPercent)},
            {"certificates", a.certificates},
            {"standard", toJson(a.used)}};
}

}  // namespace kvtapp
