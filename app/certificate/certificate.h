// The calibration certificate of an event of the archive: what it states, gathered from the
// archive, the lab file and the options, and the print-ready HTML page it is.
#pragma once

#include <string>
#include <vector>

#include "lab/lab.h"
#include "records/calibration.h"
#include "uncertainty/uncertainty.h"

namespace kvtapp {

// A reference standard of the calibration: what the upload or the result names, and what the
// lab file says of it.
struct StandardUse {
    std::string kind;  // "calibrator" or "pressure module"
    std::string model, serial;
    const kvtlab::Standard* listed = nullptr;  // nothing when the lab file does not list it
    bool overdue = false;                      // past its due date on the day of the calibration
};

// A test point as found and as left, in one row; a side without the point has none.
struct PointRow {
    const Point* found = nullptr;
    const Point* left = nullptr;
    double foundUncertainty = std::nan(""), leftUncertainty = std::nan("");  // k = 2
};

// A test as found beside the same test as left (either may be missing), row by row: the
// as-left points take the rows of the as-found points with the same place and way.
struct ResultPair {
    const Result* found = nullptr;
    const Result* left = nullptr;
    std::vector<PointRow> rows;
};

struct CertificateData {
    CertificateData() = default;
    CertificateData(CertificateData&&) = default;
    CertificateData& operator=(CertificateData&&) = default;
    CertificateData(const CertificateData&) = delete;  // its pairs point into its results
    CertificateData& operator=(const CertificateData&) = delete;

    Event event;              // with its results, as the archive keeps them
    Certificate certificate;  // its number, day of issue and conditions
    std::string number;       // as printed: the lab's prefix and six digits
    const kvtlab::Lab* lab = nullptr;
    std::vector<StandardUse> standards;
    std::vector<ResultPair> pairs;
    bool uncertainty = false;     // every point of the event has its uncertainty
    std::string uncertaintyNote;  // why not, when it has not
    std::string technician;
    std::string paper = "A4";  // "A4" or "letter"
};

// The certificate of an event: the standards its results rest on (the module named by a
// result, else moduleSerial), each point's uncertainty where the lab file gives the
// accuracies. The number and conditions are filled in later.
CertificateData gatherCertificate(Event event, const kvtlab::Lab& lab,
                                  const std::string& moduleSerial);

// "NIL-000042": the lab's prefix and six digits.
std::string certificateNumber(const kvtlab::Lab& lab, int64_t number);

// What keeps a certificate from being traceable: a standard the lab file does not list or that
// was overdue; one line each, empty when nothing does.
std::vector<std::string> traceabilityProblems(const CertificateData& certificate);

// The certificate as one self-contained HTML page (no scripts, nothing fetched), laid out for
// print on A4 or US Letter with its number and "Page n of m" on every page.
std::string certificateHtml(const CertificateData& certificate);

}  // namespace kvtapp
