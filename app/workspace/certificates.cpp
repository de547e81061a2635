#include "workspace/certificates.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>

#include "base/error.h"
#include "base/numbers.h"
#include "base/time.h"

namespace kvtapp {
namespace {

// The event a target names: an event number, else the last event of an instrument.
int64_t eventOf(kvtarchive::Archive& archive, const std::string& target) {
    const std::optional<int64_t> number = wholeNumber(target, 1, INT64_MAX);
    const int64_t last = archive.lastEvent(target);
    if (number && archive.event(*number)) {
        if (last) {
            throw inputError("\"" + target + "\" is both an event number and the tag of an " +
                             "instrument: give the number of its last event instead (kvtlnk " +
                             "history " + target + ")");
        }
        return *number;
    }
    if (last) return last;
    throw inputError("the archive holds no " +
                     std::string(number ? "event " + target + " and no " : "") + "instrument \"" +
                     target + "\" (kvtlnk archive list names them)");
}

}  // namespace

std::vector<int64_t> eventsOf(kvtarchive::Archive& archive, const std::vector<std::string>& targets,
                              std::optional<int64_t> since) {
    std::vector<int64_t> ids;
    if (since) ids = archive.eventsSince(*since);
    for (const std::string& target : targets) {
        const int64_t id = eventOf(archive, target);
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
    }
    return ids;
}

void issueCertificate(const Workspace& workspace, kvtarchive::Archive& archive, const Issue& issue,
                      CertificateData& c) {
    std::optional<Certificate> certificate;
    try {
        certificate = archive.certify(c.event.id, issue.conditions, dateOfDay(today()));
    } catch (const kvtarchive::ArchiveError& e) {
        throw archiveError(e);
    }
    if (!certificate) throw inputError(fmt::format("the archive holds no event {}", c.event.id));
    c.certificate = *certificate;
    c.number = certificateNumber(*c.lab, certificate->number);
    c.paper = !issue.paper.empty() ? issue.paper : !c.lab->paper.empty() ? c.lab->paper : "A4";
    if (c.technician.empty()) c.technician = workspace.technician();
}

}  // namespace kvtapp
