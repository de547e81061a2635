// The page of one calibration: what was calibrated with what, every point as found beside as
// left with its error, uncertainty and TUR, and its certificate.
#include "pages.h"
#include "render/plot.h"

namespace kvtweb {

using kvtapp::html::empty;
using kvtapp::html::newline;
using kvtapp::html::tag;

namespace {

Html fact(const std::string& label, Html value) {
    return tag("tr", tag("th", label) + tag("td", std::move(value))) + newline();
}

Html standardsTable(const kvtapp::CertificateContent& c) {
    Html rows;
    for (const kvtapp::StandardPart& s : c.standards) {
        rows += tag("tr", tag("td", s.kind) + tag("td", s.model + " " + s.serial) +
                              tag("td", s.certificate) + tag("td", s.due) +
                              tag("td", {{"class", s.inCalibration ? "" : "overdue"}}, s.status)) +
                newline();
    }
    return tag("table", {{"class", "list"}},
               tag("thead",
                   tag("tr", tag("th", "kind") + tag("th", "standard") + tag("th", "certificate") +
                                 tag("th", "due") + tag("th", "on the day"))) +
                   rows);
}

// One side's cells of a point: reading, error, error in % of span, U and TUR, verdict.
Html sideCells(const kvtapp::SideCells& side) {
    if (!side.present) return tag("td", {{"colspan", "6"}}, "");
    return tag("td", side.reading) + tag("td", side.error) + tag("td", side.errorPercent) +
           tag("td", side.uncertainty) +
           tag("td", {{"class", side.lowTur ? "low" : ""}}, side.tur) + tag("td", side.verdict);
}

Html pointsTable(const kvtapp::TablePart& t) {
    Html first = tag("th", {{"rowspan", "2"}}, "point %") +
                 tag("th", {{"rowspan", "2"}}, "nominal " + t.outUnit) +
                 tag("th", {{"rowspan", "2"}}, "expected " + t.inUnit);
    Html second;
    for (const std::string* label : {&t.foundLabel, &t.leftLabel}) {
        if (label->empty()) continue;
        first += tag("th", {{"colspan", "6"}, {"class", "side"}}, *label);
        for (const char* h : {"reading", "error", "error %", "U (k=2)", "TUR", "verdict"})
            second += tag("th", h);
    }
    Html rows = tag("thead", tag("tr", first) + tag("tr", second)) + newline();
    for (const kvtapp::PointRowPart& row : t.rows) {
        rows += tag("tr", tag("td", row.point) + tag("td", row.nominal) + tag("td", row.expected) +
                              (t.foundLabel.empty() ? Html() : sideCells(row.found)) +
                              (t.leftLabel.empty() ? Html() : sideCells(row.left))) +
                newline();
    }
    return tag("h3", t.caption) + tag("table", {{"class", "points"}}, newline() + rows) + newline();
}

Html certificatesList(const std::vector<kvtapp::IssuedCertificate>& certificates) {
    Html items;
    for (const kvtapp::IssuedCertificate& c : certificates) {
        std::string text = "No. " + std::to_string(c.number) + ", issued " + c.issued;
        if (c.replaces) text += ", replacing No. " + std::to_string(c.replaces) + ": " + c.reason;
        if (c.replacedBy) text += "; replaced by No. " + std::to_string(c.replacedBy);
        items += tag("li", {{"class", c.replacedBy ? "replaced" : ""}}, text);
    }
    return items.empty() ? Html() : tag("ul", items);
}

Html conditionFields() {
    return tag("label",
               Html("Ambient °C ") + empty("input", {{"name", "ambient"}, {"size", "6"}})) +
           tag("label",
               Html("Humidity % ") + empty("input", {{"name", "humidity"}, {"size", "6"}})) +
           tag("label",
               Html("Remarks ") + tag("textarea", {{"name", "remarks"}, {"rows", "2"}}, {}));
}

Html certificateArea(const Calibration& c, bool dated,
                     const std::vector<kvtapp::IssuedCertificate>& certificates,
                     const Visitor& visitor) {
    const std::string base = calibrationHref(c.id) + "/certificate";
    Html area = certificatesList(certificates);
    if (c.certificate) {
        area += tag("p", "Certificate No. " + std::to_string(c.certificate) + " is issued: ") +
                tag("p", {{"class", "buttons"}},
                    link(base + ".html", "View the certificate") + link(base + ".pdf", "PDF") +
                        link(calibrationHref(c.id) + "/dcc.xml", "DCC"));
        if (visitor.may(Action::IssueCertificate)) {
            const Html fields =
                empty("input", {{"type", "hidden"},
                                {"name", "replaces"},
                                {"value", std::to_string(c.certificate)}}) +
                tag("label", Html("Why ") + empty("input", {{"name", "reason"}, {"size", "40"}})) +
                conditionFields();
            area += postForm(calibrationHref(c.id) + "/issue", visitor, fields,
                             "Replace it with a corrected certificate", "replace");
        }
        return area;
    }
    if (!dated) {
        return area + tag("p", {{"class", "problem"}},
                          "No certificate can be issued while the calibrator's stamps are not "
                          "believed: a quality manager confirms the date first.");
    }
    if (visitor.may(Action::DraftCertificate)) {
        area += tag("p", {{"class", "buttons"}},
                    link(base + ".html?draft=1", "View a draft") +
                        link(base + ".pdf?draft=1", "Draft PDF"));
    }
    if (visitor.may(Action::IssueCertificate)) {
        area += postForm(calibrationHref(c.id) + "/issue", visitor, conditionFields(),
                         "Issue the certificate", "issue");
    }
    return area.empty() ? tag("p", "No certificate is issued yet.") : area;
}

// The form of a quality manager who gives the day of a calibration whose stamps are not
// believed (or corrects the day given), with why it is that day.
Html confirmDateForm(const Calibration& c, const Visitor& visitor) {
    if (kvtapp::believed(c) || !visitor.may(Action::IssueCertificate)) return Html();
    const Html fields =
        tag("label",
            Html("Done on ") + empty("input", {{"name", "date"},
                                               {"type", "date"},
                                               {"required", "required"},
                                               {"value", c.confirmed ? c.confirmed->date : ""}})) +
        tag("label",
            Html("Why that day ") +
                empty("input", {{"name", "reason"}, {"size", "40"}, {"required", "required"}}));
    return postForm(calibrationHref(c.id) + "/confirm-date", visitor, fields,
                    c.confirmed ? "Correct the date" : "Confirm the date", "confirm-date");
}

}  // namespace

Html calibrationBody(const Calibration& e, const kvtapp::CertificateContent* content,
                     const std::vector<kvtapp::IssuedCertificate>& certificates,
                     const Visitor& visitor) {
    Html facts = fact("Instrument", link(instrumentHref(e.instrument), e.instrument)) +
                 fact("Date", Html(e.date));
    const std::string note = kvtapp::dateNote(e);
    if (!note.empty()) facts += fact("Date note", tag("span", {{"class", "flag"}}, note));
    for (const kvtapp::Upload& u : e.uploads) {
        const kvtapp::Calibrator& cal = u.calibrator;
        facts += fact("Upload", Html(cal.model + " " + cal.serialNumber + ", firmware " +
                                     cal.firmware + "; " + u.uploaded + " from " + u.source +
                                     (u.technician.empty() ? "" : ", by " + u.technician)));
    }
    facts += fact("As found", verdictBadge(e.asFound)) + fact("As left", verdictBadge(e.asLeft));
    Html results;
    if (content) {
        for (const kvtapp::TablePart& t : content->tables)
            results += pointsTable(t);
        results += tag("p", {{"class", "quiet"}}, content->decisionStatement);
        if (!content->uncertaintyStated)
            results += tag("p", {{"class", "quiet"}}, content->uncertaintyStatement);
    } else {
        results = tag("p", {{"class", "quiet"}},
                      "The points are shown with their uncertainties once the date is confirmed.");
    }
    Html plots;
    for (const kvtapp::Result& r : e.results) {
        if (!r.problem.empty()) {
            plots += tag("p", {{"class", "problem"}}, "A result does not decode: " + r.problem);
        } else if (!r.points.empty()) {
            plots += tag("figure",
                         tag("figcaption", r.label + ", " + r.taken) + kvtapp::html::errorPlot(r));
        }
    }
    return tag("h1", "Calibration #" + std::to_string(e.id) + " of " + e.instrument) + newline() +
           tag("table", {{"class", "facts"}}, newline() + facts) + newline() +
           confirmDateForm(e, visitor) +
           section("Certificate", certificateArea(e, content != nullptr, certificates, visitor)) +
           section("Points as found and as left", results) +
           (content ? section("Standards", standardsTable(*content)) : Html()) +
           section("Error plots", plots, "plots");
}

}  // namespace kvtweb
