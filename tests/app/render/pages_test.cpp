// Every page the core writes, with every hostile text of the table in each place a text of the
// instrument, the lab or the user reaches: the page keeps the shape it has with plain texts (no
// element more or less), holds no control character, and shows the text escaped.
#include <gtest/gtest.h>

#include <regex>

#include "certificate/certificate.h"
#include "hostile_texts.h"
#include "render/html.h"
#include "render/report.h"

namespace kvtapp {
namespace {

// The elements of a page in order, opening and closing: what a text must not change (but for
// the line breaks of a text of several lines, an address or remarks).
std::vector<std::string> shape(const std::string& page) {
    static const std::regex tag(R"(<(/?[A-Za-z][A-Za-z0-9-]*))");
    std::vector<std::string> names;
    for (std::sregex_iterator it(page.begin(), page.end(), tag), end; it != end; ++it) {
        if ((*it)[1] != "br") names.push_back((*it)[1]);
    }
    return names;
}

bool holdsControls(const std::string& page) {
    for (size_t i = 0; i < page.size(); ++i) {
        const auto c = static_cast<unsigned char>(page[i]);
        const bool c1 = c == 0xC2 && i + 1 < page.size() && (page[i + 1] & 0xE0) == 0x80;
        if ((c < 0x20 && c != '\n') || c == 0x7F || c1) return true;
    }
    return false;
}

// A result whose every text is the one given: tags, task, strategy, display strings.
Result resultNamed(const std::string& text, bool asLeft) {
    Result r;
    r.taken = "2025-03-03 09:00:00";
    r.tag = r.text1 = r.text2 = r.task = r.strategy = text;
    r.taskIndex = 11;
    r.flagged = asLeft;
    r.setup.input = {"current", "", "A", {0.004f, 0.02f}, text, text};
    r.setup.output = {"pressure", "", "bar", {0, 10}, text, text};
    r.setup.pressureUnits = "bar";
    r.setup.tolerance = 0.25f;
    r.setup.pressureModule = {text, text};
    for (int i = 0; i < 3; ++i) {
        Point p;
        p.index = i;
        p.fraction = 0.5f * float(i);
        p.source = 5.0f * float(i);
        p.sourceLimit = 20;
        p.reading = 0.004f + 0.008f * float(i);
        p.readingLimit = 0.024f;
        p.expected = p.reading;
        p.error = 0.1 * i;
        p.resolution = 1e-6;
        p.verdict = Verdict::Pass;
        r.points.push_back(p);
    }
    r.verdict = Verdict::Pass;
    return r;
}

// The three pages of a calibration whose texts are all the one given.
std::vector<std::string> pages(const std::string& text) {
    Calibration c;
    c.id = 7;
    c.instrument = text;
    c.date = "2025-03-03 09:00:00";
    Upload u;
    u.calibrator.model = u.calibrator.serialNumber = text;
    u.technician = u.source = text;
    c.uploads = {u};
    c.results = {resultNamed(text, false), resultNamed(text, true)};
    c.results[1].problem = text;
    c.results[0].label = c.results[1].label = text;
    judgeSides(c);
    kvtlab::Lab lab;
    lab.name = lab.address = lab.accreditation = lab.certificatePrefix = lab.authorisedBy = text;
    lab.customers = {{text, text, {}}};
    lab.methods = {{"*", text}};
    kvtlab::Standard standard;
    standard.serial = text;
    standard.model = standard.certificate = standard.calibratedBy = text;
    standard.calibrated = "2025-01-01";
    standard.due = "2026-01-01";
    lab.calibrators = {standard};
    const StandardCertificates known = [&](const std::string& serial) {
        return serial == text ? lab.calibrators : std::vector<kvtlab::Standard>{};
    };
    const InstrumentIdentity identity{text, text, text, text, text, "", ""};
    CertificateRequest request;
    request.numberValue = 42;
    request.number = certificateNumber(lab, 42);
    request.issued = "2025-03-04";
    request.conditions = {22.5, 41, text};
    request.technician = text;
    request.replaces = text;
    request.reason = text;
    const CertificateContent content = gatherCertificate(c, lab, identity, known, request);
    ReportSource source{u.calibrator, text, text, text, text};
    return {
        reportHtml(c.results, source), driftPage(text, {c, c}, text), certificateHtml(content),
        certificateHtml(certificateContentFromJson(nlohmann::json::parse(contentText(content))))};
}

TEST(Pages, HostileTextsStayInertInEveryPage) {
    const std::vector<std::string> plain = pages("PT-101");
    // The certificate read back from what the archive keeps is the same page.
    EXPECT_EQ(plain[3], plain[2]);
    for (const HostileText& h : hostileTexts()) {
        SCOPED_TRACE(h.terminal);
        const std::vector<std::string> hostile = pages(h.text);
        for (size_t i = 0; i < plain.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(shape(hostile[i]), shape(plain[i]));
            EXPECT_FALSE(holdsControls(hostile[i]));
            // What is not UTF-8 the archive's copy of a certificate keeps as U+FFFD.
            if (i < 3) {
                EXPECT_NE(hostile[i].find(h.html), std::string::npos);
            }
        }
    }
}

// Text goes into a fragment escaped, in content and in attribute values; only what is marked
// trusted goes in as it is.
TEST(Html, TextIsEscapedUnlessTrusted) {
    using html::Html;
    const struct {
        Html fragment;
        std::string markup;
    } cases[] = {
        {Html("a < b & \"c\""), "a &lt; b &amp; &quot;c&quot;"},
        {html::tag("td", "<b>"), "<td>&lt;b&gt;</td>"},
        {html::tag("p", {{"class", "x\" onclick=\"y"}}, Html::trusted("&#x2191;")),
         "<p class=\"x&quot; onclick=&quot;y\">&#x2191;</p>"},
        {html::empty("br", {}) + "\x1b", "<br />\\x1b"},
        {html::tag("tr", html::tag("th", "k") + html::tag("td", "v")),
         "<tr><th>k</th><td>v</td></tr>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.fragment.str(), c.markup);
}

}  // namespace
}  // namespace kvtapp
