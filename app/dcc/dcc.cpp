// The DCC of a certificate: the administrative data (software, core data, the item, the lab,
// who is responsible, the customer, the statements) and a measurement result for each table
// of the certificate, with the method, the reference standards, the conditions and each point
// as found and as left as D-SI quantities.
#include "dcc/dcc.h"

#include <fmt/format.h>

#include <regex>

#include "base/error.h"
#include "dcc/xml.h"

namespace kvtapp {

namespace {

using xml::Element;

const char* const kDccUri = "https://ptb.de/dcc";
const char* const kSiUri = "https://ptb.de/si";
const char* const kLanguage = "en";

bool matches(const std::string& text, const char* pattern) {
    return std::regex_match(text, std::regex(pattern));
}

// A number as the certificate prints it, in the decimal form D-SI takes: a sign, digits with
// at most one point among them, an exponent. Scanned, as a text of any length may come.
bool decimal(const std::string& text) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        if (digits() == 0) return false;
    }
    return i == text.size();
}

// A DCC text: its content in the certificate's language.
void text(const Element& parent, const char* name, const std::string& content) {
    parent.add(name).add("content", content).attribute("lang", kLanguage);
}

class Writer {
  public:
    Writer(const CertificateContent& content, const DccOptions& options)
        : c_(content), options_(options) {}

    std::string bytes() {
        Element root = doc_.root("digitalCalibrationCertificate", kDccUri, "dcc");
        si_ = doc_.declare(kSiUri, "si");
        root.attribute("schemaVersion", "3.1.2");
        administrativeData(root.add("administrativeData"));
        measurementResults(root.add("measurementResults"));
        return doc_.bytes();
    }

  private:
    const CertificateContent& c_;
    const DccOptions& options_;
    xml::Document doc_;
    xmlNsPtr si_ = nullptr;

    std::string day(const std::string& value, const char* what) const {
        if (!matches(value, R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]))")) {
            throw inputError(fmt::format("certificate {}: its DCC needs a date of {}, not \"{}\"",
                                         c_.number, what, value));
        }
        return value;
    }

    std::string unit(const std::string& symbol) const {
        const std::optional<std::string> dsi = dsiUnit(symbol);
        if (!dsi) {
            throw inputError(fmt::format(
                "certificate {}: a DCC cannot state values in {}: D-SI has no unit for it "
                "(its units are SI units and bar, mmHg, %)",
                c_.number, symbol));
        }
        return *dsi;
    }

    void administrativeData(const Element& a) {
        const Element software = a.add("dccSoftware").add("software");
        text(software, "name", "kvtlnk");
        software.add("release", options_.release);
        software.add("type", "application");
        coreData(a.add("coreData"));
        item(a.add("items").add("item"));
        const Element lab = a.add("calibrationLaboratory");
        if (!c_.lab.accreditation.empty())
            lab.add("calibrationLaboratoryCode", c_.lab.accreditation);
        contact(lab.add("contact"), c_.lab.name, c_.lab.address);
        const Element persons = a.add("respPersons");
        person(persons, c_.technician, "calibrated by", false);
        if (!c_.authorisedBy.empty()) person(persons, c_.authorisedBy, "authorised by", true);
        contact(a.add("customer"), c_.customer.name, c_.customer.address);
        statements(a.add("statements"));
    }

    void coreData(const Element& core) {
        if (!matches(options_.country, "[A-Z]{2}")) {
            throw inputError(
                "a DCC names the lab's country by two capital letters (ISO 3166-1), "
                "not \"" +
                options_.country + "\"");
        }
        core.add("countryCodeISO3166_1", options_.country);
        core.add("usedLangCodeISO639_1", kLanguage);
        core.add("mandatoryLangCodeISO639_1", kLanguage);
        core.add("uniqueIdentifier", c_.number);
        identification(core.add("identifications"), "calibrationLaboratory",
                       std::to_string(c_.calibration), "calibration number in the lab's records");
        const std::string calibrated = day(c_.calibrated, "calibration");
        core.add("beginPerformanceDate", calibrated);
        core.add("endPerformanceDate", calibrated);
        core.add("performanceLocation", "laboratory");
    }

    void identification(const Element& list, const char* issuer, const std::string& value,
                        const std::string& name) {
        const Element id = list.add("identification");
        id.add("issuer", issuer);
        id.add("value", value);
        text(id, "name", name);
    }

    void item(const Element& item) {
        const ItemPart& i = c_.item;
        std::string name = i.make;
        if (!i.model.empty()) name += (name.empty() ? "" : " ") + i.model;
        text(item, "name", name.empty() ? i.tag : name);
        const Element description = item.add("description");
        for (const std::string& line :
             {i.test, i.range.empty() ? "" : "range " + i.range, "tag texts " + i.tagTexts}) {
            if (!line.empty()) description.add("content", line).attribute("lang", kLanguage);
        }
        text(item.add("manufacturer"), "name", i.make);
        if (!i.model.empty()) item.add("model", i.model);
        const Element ids = item.add("identifications");
        identification(ids, i.untagged ? "calibrationLaboratory" : "customer", i.tag,
                       i.untagged ? "name of an untagged instrument" : "tag");
        if (!i.serialNumber.empty())
            identification(ids, "manufacturer", i.serialNumber, "serial number");
    }

    // A contact: the schema asks for an e-mail address, which a certificate does not hold.
    void contact(const Element& contact, const std::string& name, const std::string& address) {
        text(contact, "name", name);
        contact.add("eMail", "");
        const Element further = contact.add("location").add("further");
        if (!address.empty()) further.add("content", address).attribute("lang", kLanguage);
    }

    void person(const Element& list, const std::string& name, const char* role, bool signer) {
        const Element p = list.add("respPerson");
        text(p.add("person"), "name", name);
        p.add("role", role);
        if (signer) p.add("mainSigner", "true");
    }

    Element statement(const Element& list, const char* kind) {
        Element s = list.add("statement");
        s.attribute("refType", kind);
        return s;
    }

    void declaration(const Element& parent, const std::string& content) {
        parent.add("declaration").add("content", content).attribute("lang", kLanguage);
    }

    void conformity(const Element& parent, const std::string& verdict) {
        if (verdict == "pass" || verdict == "fail") parent.add("conformity", verdict);
    }

    void statements(const Element& list) {
        declaration(statement(list, "relateOnlyToItem"),
                    "The results relate only to the item calibrated, at the time of the "
                    "calibration.");
        Element issued = statement(list, "issue");
        declaration(issued, "Date of issue");
        issued.add("date", day(c_.issued, "issue"));
        if (!c_.replaces.empty()) {
            declaration(statement(list, "replaces"),
                        "This certificate replaces certificate " + c_.replaces + ": " + c_.reason);
        }
        if (!c_.dateNote.empty()) declaration(statement(list, "calibrationDate"), c_.dateNote);
        const Element rule = statement(list, "decisionRule");
        rule.add("convention", c_.decisionRule);
        declaration(rule, c_.decisionStatement);
        const Element traceability = statement(list, "traceability");
        traceability.add("traceable", c_.traceable ? "true" : "false");
        declaration(traceability, c_.traceability);
        declaration(statement(list, "uncertainty"), c_.uncertaintyStatement);
        const Element found = statement(list, "asFound");
        declaration(found, "As found: " + c_.asFound);
        conformity(found, c_.asFound);
        const Element adjustment = statement(list, c_.asLeft.empty() ? "adjustment" : "asLeft");
        declaration(adjustment, c_.asLeft.empty() ? "The item was " + c_.adjustment + "."
                                                  : "As left, after adjustment: " + c_.asLeft);
        conformity(adjustment, c_.asLeft);
        if (!c_.remarks.empty()) declaration(statement(list, "remarks"), c_.remarks);
        for (const std::string& problem : c_.undecoded)
            declaration(statement(list, "resultNotDecoded"), "A result is not stated: " + problem);
    }

    void measurementResults(const Element& list) {
        if (c_.tables.empty()) {
            const Element r = list.add("measurementResult");
            text(r, "name", "no results");
            const Element result = r.add("results").add("result");
            text(result, "name", "no results");
            result.add("data").add("text").add("content", "No result of the calibration decodes.");
            return;
        }
        int table = 0;
        for (const TablePart& t : c_.tables) {
            ++table;
            // Every unit of the table is known before anything of it is written.
            unit(t.inUnit);
            if (!t.outUnit.empty()) unit(t.outUnit);
            const Element r = list.add("measurementResult");
            text(r, "name", t.caption);
            method(r.add("usedMethods").add("usedMethod"));
            if (!c_.standards.empty()) equipment(r.add("measuringEquipments"), table);
            if (!c_.temperature.empty() || !c_.humidity.empty())
                conditions(r.add("influenceConditions"));
            const Element results = r.add("results");
            if (!t.foundLabel.empty()) side(results, t, t.foundLabel, true);
            if (!t.leftLabel.empty()) side(results, t, t.leftLabel, false);
        }
    }

    void method(const Element& m) {
        text(m, "name", c_.method.procedure);
        if (!c_.method.reference.empty()) m.add("reference", c_.method.reference);
    }

    // Each standard, by an id of its table and place: ids are unique in the document.
    void equipment(const Element& list, int table) {
        int n = 0;
        for (const StandardPart& s : c_.standards) {
            const Element e = list.add("measuringEquipment");
            e.attribute("id", fmt::format("result{}-standard{}", table, ++n));
            // "calibrator K27"; a model that names its kind ("pressure module 10 bar") alone.
            const bool named = s.model.find(s.kind) != std::string::npos;
            text(e, "name", named ? s.model : s.kind + (s.model.empty() ? "" : " " + s.model));
            std::string state = s.status;
            if (!s.certificate.empty()) {
                state = fmt::format("certificate {}{}, calibrated {}, due {}: {}", s.certificate,
                                    s.calibratedBy.empty() ? "" : " of " + s.calibratedBy,
                                    s.calibrated, s.due, s.status);
            }
            e.add("description").add("content", state).attribute("lang", kLanguage);
            if (!s.model.empty()) e.add("model", s.model);
            if (s.serial.empty() && s.certificate.empty()) continue;
            const Element ids = e.add("identifications");
            if (!s.serial.empty()) identification(ids, "manufacturer", s.serial, "serial number");
            if (!s.certificate.empty())
                identification(ids, "other", s.certificate, "calibration certificate");
        }
    }

    // "22.5 °C", "41 %": the number and the unit of a condition as the certificate states it.
    void conditions(const Element& list) {
        const auto condition = [&](const char* name, const std::string& stated) {
            if (stated.empty()) return;
            const size_t space = stated.find(' ');
            const Element k = list.add("influenceCondition");
            text(k, "name", name);
            const Element q = k.add("data").add("quantity");
            real(q, stated.substr(0, space),
                 space == std::string::npos ? "" : stated.substr(space + 1), "");
        };
        condition("ambient temperature", c_.temperature);
        condition("relative humidity", c_.humidity);
    }

    // A value as an si:real in its unit, with its expanded uncertainty (k = 2, about 95 %)
    // when one is given; a text the certificate shows that is not a number as noQuantity.
    void real(const Element& quantity, const std::string& value, const std::string& symbol,
              const std::string& uncertainty) {
        if (!decimal(value)) {
            quantity.add("noQuantity").add("content", value).attribute("lang", kLanguage);
            return;
        }
        const Element r = quantity.add(si_, "real");
        r.add("value", value);
        r.add("unit", unit(symbol));
        if (uncertainty.empty() || uncertainty[0] == '-' || !decimal(uncertainty)) return;
        const Element u = r.add("expandedUnc");
        u.add("uncertainty", uncertainty);
        u.add("coverageFactor", "2");
        u.add("coverageProbability", "0.95");
        u.add("distribution", "normal");
    }

    // A quantity of a point, when it has a value in a unit; whether it has.
    bool quantity(const Element& list, const char* name, const char* kind, const std::string& value,
                  const std::string& symbol, const std::string& uncertainty = "") {
        if (value.empty() || symbol.empty()) return false;
        const Element q = list.add("quantity");
        q.attribute("refType", kind);
        text(q, "name", name);
        real(q, value, symbol, uncertainty);
        return true;
    }

    void side(const Element& results, const TablePart& t, const std::string& label, bool found) {
        const Element result = results.add("result");
        result.attribute("refType", found ? "asFound" : "asLeft");
        text(result, "name", label);
        const Element data = result.add("data");
        bool points = false;
        for (const PointRowPart& row : t.rows)
            points = points || (found ? row.found : row.left).present;
        if (!points) {
            data.add("text").add("content", "no points").attribute("lang", kLanguage);
            return;
        }
        const Element list = data.add("list");
        for (const PointRowPart& row : t.rows) {
            const SideCells& s = found ? row.found : row.left;
            if (!s.present) continue;
            const Element point = list.add("list");
            // "50 ↑": at 50 % of span, going up.
            std::string place = row.point;
            const size_t space = place.find(' ');
            place.insert(space == std::string::npos ? place.size() : space, " % of span");
            text(point, "name", place);
            bool any = quantity(point, "nominal", "basic_nominalValue", row.nominal, t.outUnit);
            any |= quantity(point, "expected", "basic_referenceValue", row.expected, t.inUnit);
            any |= quantity(point, "reading", "basic_measuredValue", s.reading, t.inUnit);
            any |= quantity(point, "error", "basic_measurementError", s.error, t.inUnit,
                            s.uncertainty);
            any |= quantity(point, "error in % of span", "basic_measurementErrorRelative",
                            s.errorPercent, "%");
            any |= quantity(point, "TUR", "basic_testUncertaintyRatio", s.tur, "1");
            if (!any) {
                const Element none = point.add("quantity");
                text(none, "name", "reading");
                none.add("noQuantity").add("content", "no reading").attribute("lang", kLanguage);
            }
            const Element meta = point.add("measurementMetaData").add("metaData");
            meta.attribute("refType", "basic_conformity");
            declaration(meta, s.verdict + (s.lowTur ? ", TUR below the lab's minimum" : ""));
            conformity(meta, s.verdict);
        }
    }
};

}  // namespace

std::string dccXml(const CertificateContent& content, const DccOptions& options) {
    return Writer(content, options).bytes();
}

}  // namespace kvtapp
