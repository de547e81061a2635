// The pages of the lab's records: the instruments list, the due board, an instrument, the
// standards.
#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/escape.h"
#include "base/time.h"
#include "base/units.h"
#include "base/words.h"
#include "pages.h"
#include "render/plot.h"

namespace kvtweb {

using kvtapp::Verdict;
using kvtapp::html::empty;
using kvtapp::html::newline;
using kvtapp::html::tag;
namespace html = kvtapp::html;

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "overdue 12 d", "today", "in 30 d".
std::string dueWhen(int64_t daysLeft) {
    if (daysLeft < 0) return fmt::format("overdue {} d", -daysLeft);
    if (daysLeft == 0) return "today";
    return fmt::format("in {} d", daysLeft);
}

Html dueCell(const Instrument& i) {
    const char* cls = i.daysLeft < 0 ? "overdue" : i.daysLeft <= 30 ? "due" : "";
    return tag("td", {{"class", cls}}, i.due + " (" + dueWhen(i.daysLeft) + ")");
}

Html row(std::initializer_list<Html> cells) {
    Html r;
    for (const Html& c : cells)
        r += tag("td", c);
    return tag("tr", r) + newline();
}

Html headings(std::initializer_list<const char*> names) {
    Html r;
    for (const char* n : names)
        r += tag("th", n);
    return tag("thead", tag("tr", r)) + newline();
}

// The last calibration with a day, linked; what there is when none has one (its stamps not
// believed and not confirmed).
Html lastCalibrationCell(const Instrument& i) {
    if (i.lastCalibration) return link(calibrationHref(i.lastCalibration), i.lastDate);
    return i.undated ? tag("span", {{"class", "flag"}}, "date not confirmed") : Html();
}

Html instrumentRow(const Instrument& i) {
    Html cells =
        tag("td", link(instrumentHref(i.tag), i.tag)) + tag("td", i.identity.customer) +
        tag("td", lastCalibrationCell(i)) + tag("td", verdictBadge(i.lastVerdict)) +
        tag("td", std::to_string(i.calibrations)) +
        tag("td", std::to_string(i.intervalDays) + " d" + (i.intervalSet ? "" : " (default)")) +
        dueCell(i);
    return tag("tr", {{"data-search", lower(kvtapp::visibleText(i.tag))}}, cells) + newline();
}

Html statusOptions(const std::string& chosen) {
    const struct {
        const char* value;
        const char* label;
    } kStatuses[] = {{"", "every status"},
                     {"due", "due within 30 days"},
                     {"overdue", "overdue"},
                     {"failed", "last verdict failed"},
                     {"failed-as-found", "last failed as found"},
                     {"suspect", "calibrator clock suspect"}};
    Html options;
    for (const auto& s : kStatuses) {
        html::Attributes a = {{"value", s.value}};
        if (chosen == s.value) a.push_back({"selected", "selected"});
        options += tag("option", a, s.label);
    }
    return tag("select", {{"name", "status"}, {"data-submit", "change"}}, options);
}

// Every customer of the list once, by name, to choose from.
Html customerOptions(const std::vector<Instrument>& instruments, const std::string& chosen) {
    std::vector<std::string> names;
    for (const Instrument& i : instruments) {
        if (!i.identity.customer.empty()) names.push_back(i.identity.customer);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    Html options = tag("option", {{"value", ""}}, "every customer");
    for (const std::string& name : names) {
        html::Attributes a = {{"value", name}};
        if (chosen == name) a.push_back({"selected", "selected"});
        options += tag("option", a, name);
    }
    return tag("select",
               {{"name", "customer"}, {"data-submit", "change"}, {"aria-label", "customer"}},
               options);
}

// What identifies the instrument as last set, and every setting with when and where from.
Html identityArea(const std::vector<kvtapp::InstrumentIdentity>& identities) {
    if (identities.empty()) {
        return tag("p", {{"class", "quiet"}},
                   "Nothing identifies it yet: the lab file's [[instruments]], or kvtlnk archive "
                   "instrument.");
    }
    const kvtapp::InstrumentIdentity& now = identities.front();
    Html facts;
    for (const auto& [label, part] : {std::pair<const char*, const std::string*>{"Make", &now.make},
                                      {"Model", &now.model},
                                      {"Serial number", &now.serialNumber},
                                      {"Range", &now.range},
                                      {"Customer", &now.customer}}) {
        facts += tag("tr", tag("th", label) + tag("td", *part)) + newline();
    }
    Html rows = headings({"set", "by", "make", "model", "serial number", "range", "customer"});
    for (const kvtapp::InstrumentIdentity& i : identities)
        rows += row({Html(i.set), Html(i.source), Html(i.make), Html(i.model), Html(i.serialNumber),
                     Html(i.range), Html(i.customer)});
    return tag("table", {{"class", "facts"}, {"id", "identity"}}, newline() + facts) + newline() +
           tag("details", tag("summary", kvtapp::plural(identities.size(), "setting")) +
                              tag("table", {{"class", "list"}}, newline() + rows));
}

// The calibrator and technician of a calibration's last upload.
const kvtapp::Upload& lastUpload(const Calibration& c) {
    static const kvtapp::Upload none;
    return c.uploads.empty() ? none : c.uploads.back();
}

// The date as the calibrator stamped it, with what is not believed of it.
Html dateText(const Calibration& c) {
    const std::string note = kvtapp::dateNote(c);
    return note.empty() ? Html(c.date)
                        : Html(c.date) + tag("span", {{"class", "flag"}}, " (" + note + ")");
}

Html calibrationsTable(const std::vector<Calibration>& events) {
    Html rows = headings({"calibration", "date", "calibrator", "technician", "as found",
                          "largest error %", "as left", "largest error %", "certificate"});
    for (auto e = events.rbegin(); e != events.rend(); ++e) {
        const kvtapp::Calibrator& c = lastUpload(*e).calibrator;
        rows += row({link(calibrationHref(e->id), "#" + std::to_string(e->id)), dateText(*e),
                     Html(c.model + " " + c.serialNumber), Html(lastUpload(*e).technician),
                     verdictBadge(e->asFound), Html(kvtapp::number(e->asFoundError, 3)),
                     verdictBadge(e->asLeft), Html(kvtapp::number(e->asLeftError, 3)),
                     e->certificate ? Html("No. " + std::to_string(e->certificate)) : Html("-")});
    }
    return tag("table", {{"class", "list"}}, newline() + rows) + newline();
}

Html errorPlots(const Calibration& e) {
    Html plots;
    for (const kvtapp::Result& r : e.results) {
        if (!r.problem.empty() || r.points.empty()) continue;
        plots += tag("figure", tag("figcaption", r.label + ", " + r.taken + ": " + r.task) +
                                   html::errorPlot(r));
    }
    return plots;
}

// The interval the as-found history suggests and why; shown only: the lab sets an interval.
Html adviceArea(const kvtapp::IntervalAdvice& a) {
    std::string history;
    for (const kvtapp::AsFoundPoint& p : a.asFound)
        history += (history.empty() ? "" : ", ") + fmt::format("{:.0f} %", p.percent);
    Html facts =
        tag("tr", tag("th", "Suggested interval") +
                      tag("td", fmt::format("{} days ({})", a.suggestedDays,
                                            kvtapp::changeName(a.change)))) +
        tag("tr", tag("th", "Why") + tag("td", a.reason)) +
        tag("tr", tag("th", "As found, of tolerance") + tag("td", history)) +
        tag("tr", tag("th", "Drift a year") +
                      tag("td", std::isnan(a.driftPerYear)
                                    ? std::string("-")
                                    : fmt::format("{:+.0f} % of tolerance", a.driftPerYear)));
    return section("Interval advice",
                   tag("table", {{"class", "facts"}}, facts) +
                       tag("p", {{"class", "quiet"}},
                           "Simple response method; advice only: the interval stays as set "
                           "until someone sets another."));
}

}  // namespace

bool InstrumentFilter::matches(const Instrument& i) const {
    if (!text.empty() && lower(kvtapp::visibleText(i.tag)).find(lower(text)) == std::string::npos)
        return false;
    if (!customer.empty() && i.identity.customer != customer) return false;
    if (status == "due") return i.daysLeft >= 0 && i.daysLeft <= 30;
    if (status == "overdue") return i.daysLeft < 0;
    if (status == "failed") return i.lastVerdict == Verdict::Fail;
    if (status == "failed-as-found") return i.lastAsFound == Verdict::Fail;
    if (status == "suspect") return i.undated > 0;
    return true;
}

Html instrumentsBody(const std::vector<Instrument>& instruments, const InstrumentFilter& filter) {
    Html rows = headings({"instrument", "customer", "last calibration", "verdict", "calibrations",
                          "interval", "due"});
    size_t shown = 0, matching = 0;
    for (const Instrument& i : instruments) {
        if (!filter.matches(i)) continue;
        if (++matching <= kListedInstruments) {
            rows += instrumentRow(i);
            ++shown;
        }
    }
    const Html search =
        tag("form", {{"method", "get"}, {"action", "/instruments"}, {"class", "search"}},
            empty("input", {{"type", "search"},
                            {"name", "q"},
                            {"value", filter.text},
                            {"placeholder", "tag"},
                            {"aria-label", "search by tag"},
                            {"data-filter", "instruments"}}) +
                statusOptions(filter.status) + customerOptions(instruments, filter.customer) +
                tag("button", {{"type", "submit"}}, "Search"));
    const std::string count =
        matching > shown
            ? fmt::format("{} of {} instruments shown: search to narrow the list", shown, matching)
            : kvtapp::plural(matching, "instrument");
    return tag("h1", "Instruments") + newline() + search + newline() +
           tag("p", {{"class", "count"}}, count) + newline() +
           tag("table", {{"class", "list"}, {"id", "instruments"}}, newline() + rows) + newline();
}

Html dueBody(const std::vector<Instrument>& instruments) {
    std::vector<const Instrument*> sorted;
    for (const Instrument& i : instruments)
        sorted.push_back(&i);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Instrument* a, const Instrument* b) {
        return a->daysLeft < b->daysLeft;
    });
    const struct {
        const char* heading;
        int64_t from, to;
    } kBoards[] = {{"Overdue", INT64_MIN, -1}, {"Due this week", 0, 7}, {"Due this month", 8, 31}};
    Html body = tag("h1", "Due for calibration") + newline();
    for (const auto& b : kBoards) {
        Html rows = headings({"instrument", "due", "last calibration", "verdict", "interval"});
        size_t n = 0;
        for (const Instrument* i : sorted) {
            if (i->daysLeft < b.from || i->daysLeft > b.to) continue;
            ++n;
            rows += tag("tr", tag("td", link(instrumentHref(i->tag), i->tag)) + dueCell(*i) +
                                  tag("td", lastCalibrationCell(*i)) +
                                  tag("td", verdictBadge(i->lastVerdict)) +
                                  tag("td", std::to_string(i->intervalDays) + " d")) +
                    newline();
        }
        body += section(fmt::format("{} ({})", b.heading, n),
                        n ? tag("table", {{"class", "list"}}, newline() + rows)
                          : tag("p", {{"class", "quiet"}}, "none"),
                        "board");
    }
    return body;
}

Html instrumentBody(const std::string& tagText, const Instrument* instrument,
                    const std::vector<kvtapp::InstrumentIdentity>& identities,
                    const std::vector<Calibration>& events, const Visitor& visitor,
                    const kvtapp::IntervalAdvice* advice) {
    Html body = tag("h1", tagText) + newline() + section("Identity", identityArea(identities));
    if (instrument) {
        Html facts =
            tag("tr",
                tag("th", "Calibrations") + tag("td", std::to_string(instrument->calibrations))) +
            tag("tr", tag("th", "Interval") +
                          tag("td", std::to_string(instrument->intervalDays) +
                                        (instrument->intervalDays == 1 ? " day" : " days") +
                                        (instrument->intervalSet ? "" : " (default)"))) +
            tag("tr", tag("th", "Due") + dueCell(*instrument));
        body += tag("table", {{"class", "facts"}}, facts) + newline();
        if (visitor.may(Action::IssueCertificate)) {
            body += postForm(
                "/instrument/interval", visitor,
                empty("input", {{"type", "hidden"}, {"name", "tag"}, {"value", tagText}}) +
                    tag("label", "Interval " + Html(empty("input", {{"name", "interval"},
                                                                    {"size", "6"},
                                                                    {"placeholder", "180d"}}))),
                "Set interval", "inline");
        }
        if (advice) body += adviceArea(*advice);
    }
    body += section("Calibrations", calibrationsTable(events));
    if (events.size() >= 2) {
        body += section(
            "Drift", html::driftPlot(events) + tag("p", link("/drift?tag=" + queryEscape(tagText),
                                                             "The drift page, for print")));
    }
    Html certificates;
    for (const Calibration& e : events) {
        if (!e.certificate) continue;
        certificates += tag("li", link(calibrationHref(e.id) + "/certificate.html",
                                       "No. " + std::to_string(e.certificate) + " of " + e.date));
    }
    if (!certificates.empty()) body += section("Certificates", tag("ul", certificates));
    Html plots;
    size_t shown = 0;
    for (auto e = events.rbegin(); e != events.rend() && shown < kPlottedCalibrations;
         ++e, ++shown) {
        plots += tag("h3", link(calibrationHref(e->id),
                                "Calibration #" + std::to_string(e->id) + ", " + e->date)) +
                 errorPlots(*e);
    }
    if (events.size() > shown) {
        plots += tag("p", {{"class", "quiet"}},
                     fmt::format("The {} older calibrations have their plots on their own pages.",
                                 events.size() - shown));
    }
    body += section("Errors of the latest calibrations", plots, "plots");
    return body;
}

Html loginBody(const Visitor& visitor, const std::string& refusal, const std::string& next) {
    Html fields =
        empty("input", {{"type", "hidden"}, {"name", "next"}, {"value", next}}) +
        tag("label", Html("Name") + empty("input", {{"name", "name"},
                                                    {"autocomplete", "username"},
                                                    {"required", "required"}})) +
        tag("label", Html("Password") + empty("input", {{"name", "password"},
                                                        {"type", "password"},
                                                        {"autocomplete", "current-password"},
                                                        {"required", "required"}}));
    return tag("h1", "Sign in") + newline() +
           (refusal.empty() ? Html() : tag("p", {{"class", "problem"}}, refusal)) +
           postForm("/login", visitor, fields, "Sign in", "login") + newline();
}

Html problemBody(const std::string& message) {
    return tag("h1", "Not done") + newline() +
           tag("p", {{"class", "problem"}}, multiline(message)) + newline() +
           tag("p", link("/instruments", "Instruments")) + newline();
}

}  // namespace kvtweb
