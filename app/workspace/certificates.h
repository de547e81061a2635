// Certificates of the archive's calibrations: which calibrations a request names; issuing a
// certificate (rendered, printed and written first, then stored whole in one transaction with
// the number it shows), printing one again as it was issued, and replacing one with a corrected
// certificate; the reference standards as they were on a day.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "certificate/certificate.h"
#include "certificate/pdf.h"
#include "workspace/workspace.h"

namespace kvtapp {

// The calibrations of the targets (a calibration number, else the last calibration of the
// instrument with that tag) and of every day since the day given (a day number), each once,
// oldest first for the days; an input Error naming what the archive does not hold.
std::vector<int64_t> calibrationsOf(kvtarchive::Archive& archive,
                                    const std::vector<std::string>& targets,
                                    std::optional<int64_t> since);

// Every certificate known of a reference standard: the lab file's (its earlier ones too) and
// those the archive kept; the lab file's where both have one.
StandardCertificates knownStandards(const kvtlab::Lab& lab, kvtarchive::Archive& archive);

// The calibration as history shows it: its results judged by the lab's decision rule.
void judgeByLab(const Workspace& workspace, kvtarchive::Archive& archive, Calibration& calibration);

// The results of an upload from the calibrator judged by the lab's decision rule, with the
// accuracies of the lab file's standards in force on the day of each.
void judgeResults(const Workspace& workspace, const Calibrator& calibrator,
                  std::vector<Result>& results);

// What certificates are issued with besides their calibrations.
struct IssueRequest {
    Conditions conditions;  // a replacement takes what it leaves out from the one it replaces
    std::string paper;      // "A4" or "letter"; "" for the lab file's, else A4
    std::string moduleSerial;
    std::string replaces;  // the certificate to replace, by its number (with or without prefix)
    std::string reason;    // why; required with replaces
    bool pdf = false;
    bool strict = false;  // issue nothing when a new certificate's traceability is not established
    // Hears each certificate's content (a new one's, or as issued for one printed again) before
    // anything of it is printed, written or stored: what it throws issues and writes nothing (a
    // document beside it that cannot be made).
    std::function<void(const CertificateContent&)> vet;
};

// A certificate issued, or printed again.
struct Issued {
    IssuedCertificate certificate;
    CertificateContent content;
    std::string number;  // as printed
    std::string file;    // where it was written
    bool again = false;  // printed again, as it was issued
};

// Where documents go: write puts the bytes under a name from the number and says where; a
// document whose certificate the archive then did not store is removed again.
using DocumentWriter =
    std::function<std::string(const std::string& number, const std::string& bytes)>;

// Issues a certificate for each calibration that has none in force, prints the one in force of
// each other again (the same document; conditions that differ from it are refused), or, with
// replaces, issues the replacement of that certificate for its calibration. Each new one is
// rendered, printed (with the printer, for PDF) and written before one transaction stores it
// with its number; one that is not stored takes no number and leaves no file. done hears each.
void issueCertificates(const Workspace& workspace, kvtarchive::Archive& archive,
                       const std::vector<int64_t>& calibrations, const IssueRequest& request,
                       const DocumentWriter& write, PdfPrinter& printer,
                       const std::function<void(const Issued&)>& done);

// The certificate number of a text: "NIL-000042" or "42"; 0 when it is neither.
int64_t certificateNumberOf(const kvtlab::Lab& lab, const std::string& text);

}  // namespace kvtapp
