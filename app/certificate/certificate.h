// The calibration certificate of a calibration of the archive: what it states, gathered from
// the calibration, the lab file, the instrument's identity and the reference standards as they
// were on the day of the calibration; and the print-ready HTML page of it. What it states is
// one model (CertificateContent) of plain texts as printed: the page is rendered from it, the
// archive keeps it as JSON when the certificate is issued, and other renderings read it back.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lab/lab.h"
#include "records/calibration.h"
#include "uncertainty/uncertainty.h"

namespace kvtapp {

struct LabPart {
    std::string name, address, accreditation;
};

struct CustomerPart {
    std::string name, address;  // empty when not known
};

// The item calibrated: its tag (or what an untagged instrument is called) and identity, the
// tag texts of its results and its test in words.
struct ItemPart {
    std::string tag;
    bool untagged = false;
    std::string make, model, serialNumber, range;
    std::string tagTexts;
    std::string test;
};

// The procedure followed, and the lab's reference for it (empty when the lab file gives none).
struct MethodPart {
    std::string procedure, reference;
};

// A reference standard with the certificate that was in force on the day of the calibration.
struct StandardPart {
    std::string kind;  // "calibrator" or "pressure module"
    std::string model, serial, certificate, calibrated, due, calibratedBy;
    std::string status;  // "within its calibration", "past its due date", "not recorded", ...
    bool inCalibration = false;
};

// One side of a test point as printed: reading, error in the reading's unit and in % of span,
// expanded uncertainty and TUR, verdict; absent for a side without the point.
struct SideCells {
    bool present = false;
    std::string reading, error, errorPercent, uncertainty, tur, verdict;
    bool lowTur = false;  // below the lab's minimum
};

struct PointRowPart {
    std::string point;  // "50 ↑"
    std::string nominal, expected;
    SideCells found, left;
};

// A test as found beside the same test as left (either may be missing), row by row.
struct TablePart {
    std::string caption;                // "PT-1: tolerance ±0.03 % of span (±0.0048 mA)"
    std::string foundLabel, leftLabel;  // "first as found", "as left"; empty for none
    std::string inUnit, outUnit;        // "mA", "bar"
    std::vector<PointRowPart> rows;
};

// A result's largest error and hysteresis.
struct SummaryPart {
    std::string label, largest, hysteresis, verdict;
};

struct CertificateContent {
    int format = 1;      // of this model, for software that reads it back
    std::string number;  // as printed: "NIL-000042"
    int64_t numberValue = 0;
    std::string replaces;            // the number it replaces, as printed; empty for none
    std::string reason;              // why
    std::string issued, calibrated;  // the days of issue and of the calibration
    std::string dateNote;            // "calibrator clock suspect; confirmed ... by ..."; or empty
    int64_t calibration = 0;         // the archive's number of the calibration
    LabPart lab;
    CustomerPart customer;
    ItemPart item;
    MethodPart method;
    std::vector<StandardPart> standards;
    bool traceable = false;
    std::string traceability;           // the statement, or why it cannot be made
    std::string temperature, humidity;  // "22.5 °C", "41 %"; empty when not stated
    std::string remarks;
    std::string decisionRule, decisionStatement;
    std::string minimumTur;
    bool uncertaintyStated = false;
    std::string uncertaintyStatement;
    std::vector<TablePart> tables;
    std::vector<SummaryPart> summary;
    std::string asFound, asLeft;         // verdicts; asLeft empty when not adjusted
    std::string adjustment;              // "adjusted", "not adjusted"
    std::vector<std::string> undecoded;  // results that do not decode, why
    std::string technician, authorisedBy;
    std::string paper = "A4";  // "A4" or "letter"
    nlohmann::json results;    // the results as judged, as their JSON view: the plots' data
};

nlohmann::json toJson(const CertificateContent& content);
CertificateContent certificateContentFromJson(const nlohmann::json& value);
// The JSON text the archive keeps: what is not UTF-8 in a text becomes U+FFFD.
std::string contentText(const CertificateContent& content);

// What a certificate is issued with besides its calibration.
struct CertificateRequest {
    std::string number;  // as printed
    int64_t numberValue = 0;
    std::string issued;  // the day of issue
    Conditions conditions;
    std::string moduleSerial;  // the pressure module when the results do not name it
    std::string paper;         // "A4" or "letter"
    std::string technician;    // when the uploads name none
    std::string replaces, reason;
};

// Every certificate known of a reference standard by its serial number (the lab file's, its
// earlier ones, those the archive kept); the one in force on the day is taken.
using StandardCertificates = std::function<std::vector<kvtlab::Standard>(const std::string&)>;

// The day whose standards count for a calibration ("2025-01-10"): its day, else the day its
// last stamp names. The standards it rests on (the calibrator of each upload, the pressure
// module its results name, else moduleSerial), each with the certificate in force on that day.
std::string standardsDayOf(const Calibration& calibration);
std::vector<StandardPart> standardsOfCalibration(const Calibration& calibration,
                                                 const StandardCertificates& known,
                                                 const std::string& moduleSerial = "");

// Judges the calibration's results by the lab's decision rule, each with the accuracies of the
// standards in force on its day (the calibrator of its upload, the pressure module it names or
// moduleSerial), and its sides again.
void judgeCalibration(Calibration& calibration, const kvtlab::Lab& lab,
                      const StandardCertificates& known, const std::string& moduleSerial = "");

// What the certificate of a calibration states. The calibration must have a day (its stamps
// believed, or confirmed).
CertificateContent gatherCertificate(Calibration calibration, const kvtlab::Lab& lab,
                                     const InstrumentIdentity& identity,
                                     const StandardCertificates& known,
                                     const CertificateRequest& request);

// "NIL-000042": the lab's prefix and six digits.
std::string certificateNumber(const kvtlab::Lab& lab, int64_t number);

// What a certificate cannot state that a calibration certificate should (the customer, the
// item's identity, a reference for the method, the conditions, the uncertainty, who
// authorises it, traceability): one line each.
std::vector<std::string> missingItems(const CertificateContent& content);

// The certificate as one self-contained HTML page (no scripts, nothing fetched), laid out for
// print on A4 or US Letter with its number and "Page n of m" on every page.
std::string certificateHtml(const CertificateContent& content);

}  // namespace kvtapp
