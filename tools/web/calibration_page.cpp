// The page of one calibration: what was calibrated with what, every point as found beside as
// left with its error, uncertainty and TUR, and its certificate.
#include <fmt/format.h>

#include <cmath>

#include "base/units.h"
#include "pages.h"
#include "render/plot.h"
#include "uncertainty/uncertainty.h"

namespace kvtweb {

using kvtapp::Point;
using kvtapp::Result;
using kvtapp::html::empty;
using kvtapp::html::newline;
using kvtapp::html::tag;

namespace {

Html fact(const std::string& label, Html value) {
    return tag("tr", tag("th", label) + tag("td", std::move(value))) + newline();
}

Html standardsTable(const kvtapp::CertificateData& c) {
    Html rows;
    for (const kvtapp::StandardUse& s : c.standards) {
        const kvtlab::Standard* l = s.listed;
        rows += tag("tr", tag("td", s.kind) + tag("td", s.model + " " + s.serial) +
                              tag("td", l ? l->certificate : "not in the lab file") +
                              tag("td", l ? l->due : "") +
                              tag("td", {{"class", s.overdue ? "overdue" : ""}},
                                  s.overdue ? "past its due date on the day" : "in calibration")) +
                newline();
    }
    return tag("table", {{"class", "list"}},
               tag("thead",
                   tag("tr", tag("th", "kind") + tag("th", "standard") + tag("th", "certificate") +
                                 tag("th", "due") + tag("th", "on the day"))) +
                   rows);
}

// One side's cells of a point: reading, error, error in % of span, U and TUR, verdict.
Html sideCells(const Result* r, const Point* p, double u) {
    if (!r || !p) return tag("td", {{"colspan", "6"}}, "");
    const kvtapp::PointText t = kvtapp::pointText(*r, *p);
    const double span = double(r->setup.input.scale[1]) - r->setup.input.scale[0];
    const double ratio =
        kvtapp::testUncertaintyRatio(r->setup.tolerance * std::fabs(span) / 100, u);
    const double factor = kvtapp::scaleUnit(r->setup.input).factor;
    return tag("td", t.reading) + tag("td", t.error) + tag("td", t.errorPercent) +
           tag("td", std::isnan(u) ? "" : kvtapp::number(u / factor, 2)) +
           tag("td", {{"class", !std::isnan(ratio) && ratio < 4 ? "low" : ""}},
               std::isnan(ratio) ? "" : fmt::format("{:.1f}", ratio)) +
           tag("td", verdictBadge(p->verdict));
}

Html pairTable(const kvtapp::ResultPair& pair) {
    const Result& any = pair.found ? *pair.found : *pair.left;
    const std::string in = kvtapp::scaleUnit(any.setup.input).symbol;
    Html first = tag("th", {{"rowspan", "2"}}, "point %") +
                 tag("th", {{"rowspan", "2"}}, "nominal") +
                 tag("th", {{"rowspan", "2"}}, "expected " + in);
    Html second;
    for (const Result* r : {pair.found, pair.left}) {
        if (!r) continue;
        first += tag("th", {{"colspan", "6"}, {"class", "side"}},
                     r == pair.found ? "As found" : "As left");
        for (const char* h : {"reading", "error", "error %", "U (k=2)", "TUR", "verdict"})
            second += tag("th", h);
    }
    Html rows = tag("thead", tag("tr", first) + tag("tr", second)) + newline();
    for (const kvtapp::PointRow& row : pair.rows) {
        const Point& p = row.found ? *row.found : *row.left;
        const kvtapp::PointText t = kvtapp::pointText(row.found ? *pair.found : *pair.left, p);
        rows +=
            tag("tr",
                tag("td", kvtapp::number(p.fraction * 100.0) + (p.down ? " ↓" : " ↑")) +
                    tag("td", t.nominal) + tag("td", t.expected) +
                    (pair.found ? sideCells(pair.found, row.found, row.foundUncertainty) : Html()) +
                    (pair.left ? sideCells(pair.left, row.left, row.leftUncertainty) : Html())) +
            newline();
    }
    return tag("h3", kvtapp::instrumentName(any) + ": " + any.task + ", " +
                         kvtapp::describeInput(any.setup)) +
           tag("table", {{"class", "points"}}, newline() + rows) + newline();
}

Html certificateArea(const kvtapp::CertificateData& c, const Visitor& visitor) {
    const std::string base = calibrationHref(c.event.id) + "/certificate";
    if (c.event.certificate) {
        return tag("p", "Certificate No. " + std::to_string(c.event.certificate) + " is issued: ") +
               tag("p", {{"class", "buttons"}},
                   link(base + ".html", "View the certificate") + link(base + ".pdf", "PDF"));
    }
    Html area;
    if (visitor.may(Action::DraftCertificate)) {
        area += tag("p", {{"class", "buttons"}},
                    link(base + ".html?draft=1", "View a draft") +
                        link(base + ".pdf?draft=1", "Draft PDF"));
    }
    if (visitor.may(Action::IssueCertificate)) {
        const Html fields =
            tag("label",
                Html("Ambient °C ") + empty("input", {{"name", "ambient"}, {"size", "6"}})) +
            tag("label",
                Html("Humidity % ") + empty("input", {{"name", "humidity"}, {"size", "6"}})) +
            tag("label",
                Html("Remarks ") + tag("textarea", {{"name", "remarks"}, {"rows", "2"}}, {}));
        area += postForm(calibrationHref(c.event.id) + "/issue", visitor, fields,
                         "Issue the certificate", "issue");
    }
    return area.empty() ? tag("p", "No certificate is issued yet.") : area;
}

}  // namespace

Html calibrationBody(const kvtapp::CertificateData& c, const Visitor& visitor) {
    const Event& e = c.event;
    const kvtapp::Calibrator& cal = e.upload.calibrator;
    Html facts = fact("Instrument", link(instrumentHref(e.instrument), e.instrument)) +
                 fact("Date", Html(e.date)) +
                 fact("Calibrator",
                      Html(cal.model + " " + cal.serialNumber + ", firmware " + cal.firmware)) +
                 fact("Technician", Html(e.upload.technician)) +
                 fact("Uploaded", Html(e.upload.uploaded + " from " + e.upload.source)) +
                 fact("As found", verdictBadge(e.asFound)) +
                 fact("As left", verdictBadge(e.asLeft));
    Html results;
    for (const kvtapp::ResultPair& pair : c.pairs)
        results += pairTable(pair);
    if (!c.uncertainty) {
        results += tag("p", {{"class", "quiet"}}, "No uncertainty: " + c.uncertaintyNote);
    }
    Html plots;
    for (const Result& r : e.results) {
        if (!r.problem.empty()) {
            plots += tag("p", {{"class", "problem"}}, "A result does not decode: " + r.problem);
        } else if (!r.points.empty()) {
            plots +=
                tag("figure", tag("figcaption", std::string(kvtapp::sideName(r)) + ", " + r.taken) +
                                  kvtapp::html::errorPlot(r));
        }
    }
    return tag("h1", "Calibration #" + std::to_string(e.id) + " of " + e.instrument) + newline() +
           tag("table", {{"class", "facts"}}, newline() + facts) + newline() +
           section("Certificate", certificateArea(c, visitor)) +
           section("Points as found and as left", results) +
           section("Standards", standardsTable(c)) + section("Error plots", plots, "plots");
}

}  // namespace kvtweb
