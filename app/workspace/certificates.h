// Certificates of the archive's events: which events a request names, and issuing one (its
// number from the archive, the conditions stored with the event, the page).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "certificate/certificate.h"
#include "workspace/workspace.h"

namespace kvtapp {

// The events of the targets (an event number, else the last event of the instrument with that
// tag) and of every day since the day given (a day number), each once, oldest first for the
// days; an input Error naming what the archive does not hold.
std::vector<int64_t> eventsOf(kvtarchive::Archive& archive, const std::vector<std::string>& targets,
                              std::optional<int64_t> since);

// What a certificate is issued with besides the event.
struct Issue {
    Conditions conditions;  // stored with the event where it holds none
    std::string paper;      // "A4" or "letter"; "" for the lab file's, else A4
};

// Gives the certificate its number and day of issue (the same again when it was issued before)
// and the conditions the event holds; fills in the paper and the technician.
void issueCertificate(const Workspace& workspace, kvtarchive::Archive& archive, const Issue& issue,
                      CertificateData& certificate);

}  // namespace kvtapp
