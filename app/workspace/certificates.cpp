#include "workspace/certificates.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "base/error.h"
#include "base/time.h"

namespace kvtapp {
namespace {

// The event a target names: an event number, else the last event of an instrument.
int64_t eventOf(kvtarchive::Archive& archive, const std::string& target) {
    const bool digits = !target.empty() && target.size() < 16 &&
                        std::all_of(target.begin(), target.end(), [](char c) {
                            return std::isdigit(static_cast<unsigned char>(c));
                        });
    const int64_t last = archive.lastEvent(target);
    if (digits && archive.event(std::stoll(target))) {
        if (last) {
            throw inputError("\"" + target + "\" is both an event number and the tag of an " +
                             "instrument: give the number of its last event instead (kvtlnk " +
                             "history " + target + ")");
        }
        return std::stoll(target);
    }
    if (last) return last;
    throw inputError("the archive holds no " +
                     std::string(digits ? "event " + target + " and no " : "") + "instrument \"" +
                     target + "\" (kvtlnk archive list names them)");
}

}  // namespace

std::vector<int64_t> eventsOf(kvtarchive::Archive& archive, const std::vector<std::string>& targets,
                              const std::string& since) {
    std::vector<int64_t> ids;
    if (!since.empty()) {
        const std::optional<int64_t> day = dayOfStamp(since);
        if (!day || since.size() != 10) {
            throw inputError("--all-since \"" + since + "\" is not a date: give 2025-01-31");
        }
        ids = archive.eventsSince(*day);
    }
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
