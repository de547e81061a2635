// The quality manager's pages: the audit trail newest first and cut, verify only for those who
// may, every finding shown; the standards' status and their reverse traceability; the interval
// advice; hostile texts inert in all of them.
#include <gtest/gtest.h>

#include <cmath>

#include "hostile_texts.h"
#include "pages.h"

namespace {

using namespace kvtweb;

kvtlab::Standard standard(const std::string& serial, const std::string& text,
                          const std::string& due) {
    kvtlab::Standard s;
    s.serial = serial;
    s.model = s.certificate = text;
    s.calibrated = "2025-12-06";
    s.due = due;
    return s;
}

Visitor visitorWith(const std::string& role, bool local) {
    return {"token", "csrf", "someone", role, local, false};
}

// The newest rows of a trail of rows, at most as many as the page shows, as the archive gives
// them to it.
std::vector<kvtarchive::AuditEntry> auditLog(size_t rows) {
    std::vector<kvtarchive::AuditEntry> log;
    for (size_t i = rows > kShownAuditRows ? rows - kShownAuditRows + 1 : 1; i <= rows; ++i) {
        kvtarchive::AuditEntry e;
        e.id = int64_t(i);
        e.at = "2026-12-01T08:00:00Z";
        e.change = "change-" + std::to_string(i) + ";";
        e.touched = R"({"results":{"4":"aa","5":"bb"},"calibrations":{"2":"cc"}})";
        e.sha256 = "head" + std::to_string(i);
        log.push_back(e);
    }
    return log;
}

TEST(QualityPages, AuditRowsNewestFirstAndCut) {
    const struct {
        size_t rows;
        std::string first, last, more;
    } cases[] = {{0, "", "", ""},
                 {3, "change-3;", "change-1;", ""},
                 {kShownAuditRows, "change-500;", "change-1;", ""},
                 {kShownAuditRows + 2, "change-502;", "change-3;", "2 changes older not shown"}};
    const Visitor local = visitorWith("", true);
    for (const auto& c : cases) {
        const std::string page =
            auditBody(auditLog(c.rows), int64_t(c.rows), "", nullptr, local).str();
        if (c.rows == 0) {
            EXPECT_NE(page.find("holds no change yet"), std::string::npos);
            continue;
        }
        const size_t first = page.find(c.first), last = page.find(c.last);
        ASSERT_NE(first, std::string::npos) << c.rows;
        ASSERT_NE(last, std::string::npos) << c.rows;
        EXPECT_LT(first, last) << c.rows;
        if (c.rows > kShownAuditRows) {
            const std::string cut = "change-" + std::to_string(c.rows - kShownAuditRows) + ";";
            EXPECT_EQ(page.find(cut), std::string::npos) << c.rows;
        }
        EXPECT_EQ(page.find("older not shown") != std::string::npos, !c.more.empty()) << c.rows;
        if (!c.more.empty()) {
            EXPECT_NE(page.find(c.more), std::string::npos) << page;
        }
        EXPECT_NE(page.find(std::to_string(c.rows) + ":head" + std::to_string(c.rows)),
                  std::string::npos);
        EXPECT_NE(page.find("calibrations 2; results 4, 5"), std::string::npos);
    }
}

TEST(QualityPages, VerifyIsTheQualityManagersAndShowsEveryFinding) {
    const struct {
        Visitor visitor;
        bool button;
    } visitors[] = {{visitorWith("", true), true},
                    {visitorWith("quality manager", false), true},
                    {visitorWith("technician", false), false}};
    for (const auto& v : visitors) {
        const std::string page = auditBody(auditLog(1), 1, "", nullptr, v.visitor).str();
        EXPECT_EQ(page.find("/audit/verify") != std::string::npos, v.button) << v.visitor.role;
    }

    kvtarchive::AuditVerdict whole;
    whole.headId = 9;
    whole.head = "abc";
    kvtarchive::AuditVerdict broken;
    broken.findings = {{"changed", "results", "4", "the value differs"},
                       {"deleted", "audit", "7", "the chain skips it"}};
    const std::string wholePage = auditBody(auditLog(1), 1, "", &whole, visitors[0].visitor).str();
    EXPECT_NE(wholePage.find(whole.line()), std::string::npos);
    EXPECT_NE(wholePage.find("Head 9:abc"), std::string::npos);
    const std::string brokenPage =
        auditBody(auditLog(1), 1, "", &broken, visitors[0].visitor).str();
    EXPECT_NE(brokenPage.find(Html(broken.line()).str()), std::string::npos);
    for (const kvtarchive::AuditFinding& f : broken.findings)
        EXPECT_NE(brokenPage.find(f.detail), std::string::npos) << f.detail;
    EXPECT_EQ(brokenPage.find("Head "), std::string::npos);
}

TEST(QualityPages, StandardsStatusOnTheDay) {
    kvtlab::Lab lab;
    lab.path = "lab.toml";
    const struct {
        const char* serial;
        const char* due;
        const char* shown;
        const char* cls;
    } cases[] = {{"S-1", "2026-06-01", "overdue 188 d", "overdue"},
                 {"S-2", "2026-12-06", "due today", "due"},
                 {"S-3", "2027-01-05", "due in 30 d", "due"},
                 {"S-4", "2027-01-06", "in date", ""},
                 {"A/B 7", "2027-06-01", "in date", ""}};
    for (const auto& c : cases)
        lab.calibrators.push_back(standard(c.serial, "cert", c.due));
    const std::string page = standardsBody(lab, "2026-12-06").str();
    for (const auto& c : cases) {
        const std::string cell = std::string("<td class=\"") + c.cls + "\">" + c.shown + "</td>";
        EXPECT_NE(page.find(std::string(c.cls).empty() ? std::string(c.shown) : cell),
                  std::string::npos)
            << c.serial << "\n"
            << page;
    }
    EXPECT_NE(page.find("href=\"/standards/A%2FB%207\""), std::string::npos) << page;
    EXPECT_NE(standardsBody(kvtlab::Lab{}, "2026-12-06").str().find("no lab file"),
              std::string::npos);
}

TEST(QualityPages, ReverseTraceability) {
    kvtapp::AffectedCalibration worst, unjudged;
    worst.calibration = 12;
    worst.instrument = "PT-1";
    worst.day = "2026-11-02";
    worst.worstPercent = 97.5;
    worst.certificates = {"NIL-000003", "NIL-000004"};
    worst.used.standard.certificate = "C-77";
    worst.used.reconstructed = true;
    unjudged.calibration = 13;
    unjudged.instrument = "PT-2";
    unjudged.used.standard.certificate = "C-78";
    const std::string page = affectedBody("S-1", "2026-01-01", "", {worst, unjudged}).str();
    const struct {
        const char* text;
    } shown[] = {{"2 calibrations relied on it from 2026-01-01, 2 certificates"},
                 {"href=\"/calibrations/12\""},
                 {"97.5 %"},
                 {"NIL-000003, NIL-000004"},
                 {"C-77<span class=\"flag\"> reconstructed</span>"},
                 {"1 calibration stored before standards were recorded"},
                 {"value=\"2026-01-01\""}};
    for (const auto& s : shown)
        EXPECT_NE(page.find(s.text), std::string::npos) << s.text << "\n" << page;
    EXPECT_EQ(page.find("C-78<span"), std::string::npos);
    EXPECT_LT(page.find("#12"), page.find("#13"));
}

TEST(QualityPages, IntervalAdviceIsShownNeverSet) {
    Instrument i;
    i.tag = "PT-1";
    i.intervalDays = 365;
    const Visitor local = visitorWith("", true);
    const std::string without = instrumentBody("PT-1", &i, {}, {}, local).str();
    EXPECT_EQ(without.find("Interval advice"), std::string::npos);
    const kvtapp::IntervalAdvice advice = kvtapp::adviseInterval(
        "PT-1", {{1, 100, 10, true}, {2, 465, 12, true}, {3, 830, 11, true}}, 365);
    const std::string with = instrumentBody("PT-1", &i, {}, {}, local, &advice).str();
    EXPECT_NE(with.find("Interval advice"), std::string::npos);
    EXPECT_NE(with.find(std::to_string(advice.suggestedDays) + " days (" +
                        kvtapp::changeName(advice.change) + ")"),
              std::string::npos)
        << with;
    EXPECT_NE(with.find("10 %, 12 %, 11 %"), std::string::npos) << with;
    EXPECT_NE(with.find("365 days"), std::string::npos);  // the interval in force stays
}

TEST(QualityPages, HostileTextsStayText) {
    const Visitor local = visitorWith("", true);
    for (const HostileText& t : hostileTexts()) {
        std::vector<kvtarchive::AuditEntry> log = auditLog(1);
        log[0].technician = log[0].command = log[0].osUser = t.text;
        log[0].touched = nlohmann::json{{t.text, {{t.text, "aa"}}}}.dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace);
        kvtarchive::AuditVerdict verdict;
        verdict.findings = {{"changed", "results", t.text, t.text}};
        kvtapp::AffectedCalibration a;
        a.instrument = a.customer = t.text;
        a.used.standard.certificate = t.text;
        kvtlab::Lab lab;
        lab.calibrators.push_back(standard(t.text, t.text, "2027-01-01"));
        const std::string pages[] = {auditBody(log, int64_t(log.size()), "", &verdict, local).str(),
                                     affectedBody(t.text, "", "", {a}).str(),
                                     standardsBody(lab, "2026-12-06").str()};
        for (const std::string& page : pages) {
            EXPECT_NE(page.find(t.html), std::string::npos) << t.text << "\n" << page;
            if (t.text.find('<') != std::string::npos) {
                EXPECT_EQ(page.find(t.text), std::string::npos) << t.text << "\n" << page;
            }
        }
    }
}

}  // namespace
