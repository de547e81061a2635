// The certificate as a Digital Calibration Certificate (DCC, schema 3.1.2, with the D-SI 2.1.0
// format of quantities): XML that calibration software of the customer reads. It is written
// from the frozen content of an issued certificate alone, so the same content gives the same
// bytes: no clock, no random identifiers.
#pragma once

#include <optional>
#include <string>

#include "certificate/certificate.h"

namespace kvtapp {

// What the DCC says besides the certificate: the software that wrote it, and the country of
// the lab (ISO 3166-1 alpha-2; "ZZ" when not known).
struct DccOptions {
    std::string release;  // kvtlnk's version
    std::string country = "ZZ";
};

// The D-SI unit of a unit symbol as the certificate shows it: "\milli\ampere" for "mA",
// "\degreecelsius" for "°C"; nothing for a unit D-SI has no name for ("psi", "°F").
std::optional<std::string> dsiUnit(const std::string& symbol);

// The DCC of a certificate, UTF-8. An input Error names a unit of its tables that D-SI cannot
// express, a day that is not a date, or a country code that is not two capital letters.
std::string dccXml(const CertificateContent& content, const DccOptions& options);

}  // namespace kvtapp
