// The bodies of the bench's pages, each built from the core's records model with the escaping
// HTML builder; routes.cpp gathers what each shows and puts it in the frame.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "advice/advice.h"
#include "archive/archive.h"
#include "calibrator/ports.h"
#include "certificate/certificate.h"
#include "frame.h"
#include "lab/lab.h"
#include "records/calibration.h"
#include "workspace/standards.h"

namespace kvtweb {

using kvtapp::Calibration;
using kvtapp::Instrument;

// The instruments list's search: a text found in the tag, a status ("due", "overdue",
// "failed" as left, "failed-as-found", "suspect" for a calibration whose date waits for a
// person's word; "" for every instrument), and the customer ("" for every one).
struct InstrumentFilter {
    std::string text;
    std::string status;
    std::string customer;
    bool matches(const Instrument& instrument) const;
};
// Instruments shown on one page of the list at most; a search narrows the rest.
constexpr size_t kListedInstruments = 500;
// Calibrations whose error plots an instrument's page shows, the latest first.
constexpr size_t kPlottedCalibrations = 10;

Html instrumentsBody(const std::vector<Instrument>& instruments, const InstrumentFilter& filter);
// What is overdue, due this week and due this month, overdue first.
Html dueBody(const std::vector<Instrument>& instruments);
// An instrument: its identity with every setting of it (the latest first), its interval, its
// calibrations with their verdicts, its certificates, the error plots of its latest
// calibrations; the drift plot with two events or more; the advice on its interval when there
// is one. instrument is null when the list does not have it.
Html instrumentBody(const std::string& tag, const Instrument* instrument,
                    const std::vector<kvtapp::InstrumentIdentity>& identities,
                    const std::vector<Calibration>& calibrations, const Visitor& visitor,
                    const kvtapp::IntervalAdvice* advice = nullptr);
// A calibration: every point as found and as left with its error, uncertainty and TUR, and the
// standards, as its certificate would state them (content, when the calibration has a day);
// its certificates, and the buttons to view, issue or replace one.
Html calibrationBody(const Calibration& calibration, const kvtapp::CertificateContent* content,
                     const std::vector<kvtapp::IssuedCertificate>& certificates,
                     const Visitor& visitor);
// The lab file's standards with their due dates and status on the day ("2025-01-10"), each
// linked to the calibrations that relied on it.
Html standardsBody(const kvtlab::Lab& lab, const std::string& today);
// The calibrations that relied on a standard between since and until (days, "" for open),
// worst first, as standardsAffected gives them.
Html affectedBody(const std::string& serial, const std::string& since, const std::string& until,
                  const std::vector<kvtapp::AffectedCalibration>& calibrations);
std::string standardHref(const std::string& serial);

// Audit rows an audit page shows at most, the newest first; a day narrows the rest.
constexpr size_t kShownAuditRows = 500;
// The audit trail from since ("" for all): its newest rows (oldest first, as the archive gives
// them) shown newest first, with the count of every row since; the verify button for a visitor
// who may verify, and the verdict when given.
Html auditBody(const std::vector<kvtarchive::AuditEntry>& log, int64_t count,
               const std::string& since, const kvtarchive::AuditVerdict* verdict,
               const Visitor& visitor);
// The serial ports of the machine and a station for each calibrator port with its live state.
Html calibratorsBody(const std::vector<kvtapp::SerialPortInfo>& machinePorts,
                     const std::vector<nlohmann::ordered_json>& stations, const Visitor& visitor);
// The sign-in form, with why the last try was refused.
Html loginBody(const Visitor& visitor, const std::string& refusal, const std::string& next);
// A page that says what went wrong, and where to go on.
Html problemBody(const std::string& message);

}  // namespace kvtweb
