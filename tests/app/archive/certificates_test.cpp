// Issued certificates, what identifies instruments and the standards' certificates, against both
// engines: numbers that only a stored certificate takes, a replacement that marks the one it
// replaces, every identity kept with when and where from.
#include "archive_engines.h"
#include "base/time.h"

namespace {

using namespace kvtarchive;

IssuedCertificate issued(int64_t number, int64_t calibration, int64_t replaces = 0) {
    IssuedCertificate c;
    c.number = number;
    c.calibration = calibration;
    c.issued = "2024-06-20";
    c.issuedAt = "2024-06-20T08:00:00Z";
    c.issuedBy = "lab";
    c.replaces = replaces;
    c.reason = replaces ? "the humidity was 41 %" : "";
    c.conditions = {22.5, 41, "zero trimmed"};
    c.content = "{\"number\":\"" + std::to_string(number) + "\"}";
    c.document = "<html>" + std::to_string(number) + "</html>";
    c.sha256 = sha256Hex({c.document.begin(), c.document.end()});
    return c;
}

class CertificateSuite : public EngineTest {};
KVTLNK_BOTH_ENGINES(CertificateSuite);

TEST_P(CertificateSuite, NumbersAreTakenOnlyByStoredCertificates) {
    auto archive = open();
    for (const char* tag : {"PT-101", "TT-7"})
        archive->add(makeUpload("SN1", {makeResult(tag, "2024-06-19 09:00:00", false, {0.01})}));
    const int64_t pt = archive->lastCalibration("PT-101");
    const int64_t tt = archive->lastCalibration("TT-7");
    EXPECT_EQ(archive->nextCertificateNumber(), 1);
    // A number another issue took, or a number ahead of the counter, is refused and changes
    // nothing.
    EXPECT_THROW(archive->storeCertificate(issued(2, pt)), NumberTaken);
    EXPECT_EQ(archive->nextCertificateNumber(), 1);
    archive->storeCertificate(issued(1, pt));
    EXPECT_EQ(archive->nextCertificateNumber(), 2);
    EXPECT_THROW(archive->storeCertificate(issued(1, tt)), NumberTaken);
    // One certificate in force per calibration: a second is refused, a replacement is not.
    EXPECT_THROW(archive->storeCertificate(issued(2, pt)), ArchiveError);
    EXPECT_THROW(archive->storeCertificate(issued(2, tt, 1)), ArchiveError);
    EXPECT_EQ(archive->nextCertificateNumber(), 2);
    archive->storeCertificate(issued(2, tt));
    archive->storeCertificate(issued(3, pt, 1));
    EXPECT_THROW(archive->storeCertificate(issued(4, pt, 1)), ArchiveError);  // replaced already

    const std::optional<IssuedCertificate> first = archive->certificate(1);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->replacedBy, 3);
    EXPECT_EQ(first->document, "<html>1</html>");
    EXPECT_EQ(first->conditions.humidity, 41);
    EXPECT_EQ(first->conditions.remarks, "zero trimmed");
    const IssuedCertificate third = *archive->certificate(3);
    EXPECT_EQ(third.replaces, 1);
    EXPECT_EQ(third.reason, "the humidity was 41 %");
    EXPECT_EQ(third.replacedBy, 0);
    EXPECT_EQ(third.sha256, sha256Hex({third.document.begin(), third.document.end()}));
    EXPECT_EQ(archive->calibration(pt)->certificate, 3);
    EXPECT_EQ(archive->certificates(pt).size(), 2u);
    EXPECT_FALSE(archive->certificate(99));
    // A row deleted behind the archive's back does not give its number again.
    rawDatabase(location())->query("DELETE FROM certificates WHERE number = 2", {});
    EXPECT_EQ(archive->nextCertificateNumber(), 4);
}

TEST_P(CertificateSuite, IdentitiesAreKeptWithEverySetting) {
    auto archive = open();
    archive->add(makeUpload("SN1", {makeResult("PT-101", "2024-06-19 09:00:00", false, {0.01})}));
    EXPECT_TRUE(archive->identity("PT-101").set.empty());
    const InstrumentIdentity lab{"Acme", "PX-2", "A123", "0 to 10 bar", "Harbour Water", "", ""};
    EXPECT_TRUE(archive->noteLabIdentity("PT-101", lab));
    EXPECT_FALSE(archive->noteLabIdentity("PT-101", lab));  // the lab file says the same
    EXPECT_FALSE(archive->noteLabIdentity("XX-9", lab));    // an instrument the archive lacks
    InstrumentIdentity mine = lab;
    mine.serialNumber = "A124";
    mine.source = "lab";
    EXPECT_TRUE(archive->setIdentity("PT-101", mine));
    EXPECT_FALSE(archive->setIdentity("PT-101", mine));
    EXPECT_FALSE(archive->noteLabIdentity("PT-101", lab));  // unchanged in the lab file
    EXPECT_EQ(archive->identity("PT-101").serialNumber, "A124");
    EXPECT_EQ(archive->identity("PT-101").source, "lab");
    InstrumentIdentity changed = lab;
    changed.customer = "Harbour Water Ltd";
    EXPECT_TRUE(archive->noteLabIdentity("PT-101", changed));
    const InstrumentIdentity now = archive->identity("PT-101");
    EXPECT_EQ(now.customer, "Harbour Water Ltd");
    EXPECT_EQ(now.serialNumber, "A123");
    EXPECT_EQ(now.source, "lab file");
    EXPECT_EQ(count(location(), "instrument_identities"), 3);
    // Every setting, the latest first, each with where it came from.
    std::vector<std::string> kept;
    for (const InstrumentIdentity& i : archive->identities("PT-101"))
        kept.push_back(i.source + ":" + i.serialNumber + ":" + i.customer);
    EXPECT_EQ(kept,
              (std::vector<std::string>{"lab file:A123:Harbour Water Ltd", "lab:A124:Harbour Water",
                                        "lab file:A123:Harbour Water"}));
    EXPECT_TRUE(archive->identities("XX-9").empty());
    // Setting one before its first calibration makes the instrument.
    EXPECT_TRUE(archive->setIdentity("FT-3", mine));
    EXPECT_EQ(archive->instruments(0, 365).size(), 2u);
    EXPECT_EQ(archive->instruments(0, 365)[0].identity.make, "Acme");
}

TEST_P(CertificateSuite, StandardsCertificatesAreKeptOnce) {
    auto archive = open();
    kvtlab::Standard k;
    k.serial = "SN270001";
    k.model = "K27";
    k.certificate = "CAL-2025-0042";
    k.calibrated = "2025-03-02";
    k.due = "2026-03-02";
    k.calibratedBy = "Metrology Lab";
    k.accuracy = {{"current", {0.02, 0.005}}};
    kvtlab::Standard earlier = k;
    earlier.certificate = "CAL-2024-0042";
    earlier.calibrated = "2024-03-02";
    earlier.due = "2025-03-02";
    earlier.accuracy = {{"current", {0.03, 0.005}}};
    k.past = {earlier};
    archive->keepStandards({k});
    // The lab file later lists only the next certificate: the earlier ones stay.
    kvtlab::Standard next = k;
    next.past.clear();
    next.certificate = "CAL-2026-0042";
    next.calibrated = "2026-03-02";
    next.due = "2027-03-02";
    archive->keepStandards({next, next});
    const std::vector<kvtlab::Standard> kept = archive->keptStandards("SN270001");
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].certificate, "CAL-2024-0042");
    EXPECT_EQ(kept[0].accuracy.at("current").ofReading, 0.03);
    EXPECT_EQ(kept[1].calibratedBy, "Metrology Lab");
    EXPECT_EQ(kept[2].due, "2027-03-02");
    EXPECT_TRUE(archive->keptStandards("PM-1").empty());
}

}  // namespace
