// The bench's pages with every hostile text a calibrator or a file may bring: each shows as text,
// escaped, in the lists, the due board, an instrument's page and a station.
#include <gtest/gtest.h>

#include "hostile_texts.h"
#include "pages.h"

namespace {

using namespace kvtweb;

Instrument instrument(const std::string& tag, int64_t daysLeft) {
    Instrument i;
    i.tag = tag;
    i.lastCalibration = 7;
    i.lastDate = "2026-12-01 10:00:00";
    i.lastVerdict = kvtapp::Verdict::Fail;
    i.due = "2026-12-08";
    i.daysLeft = daysLeft;
    return i;
}

TEST(Pages, HostileTextsStayText) {
    Access access(false, "<i>me</i>");
    const Visitor visitor = access.visitor("");
    for (const HostileText& t : hostileTexts()) {
        const std::vector<Instrument> list = {instrument(t.text, 3)};
        const nlohmann::ordered_json station = {{"port", t.text},
                                                {"id", stationId(t.text)},
                                                {"status", "idle"},
                                                {"phase", t.text},
                                                {"note", t.text}};
        const std::string pages[] = {
            instrumentsBody(list, {}).str(), dueBody(list).str(),
            instrumentBody(t.text, &list[0], {}, visitor).str(),
            calibratorsBody({{t.text, t.text, t.text, -1}}, {station}, visitor).str(),
            framedPage(t.text, {visitor, "", t.text, t.text}, problemBody(t.text))};
        for (const std::string& page : pages) {
            EXPECT_NE(page.find(t.html), std::string::npos) << t.text << "\n" << page;
            if (t.text.find('<') != std::string::npos) {
                EXPECT_EQ(page.find(t.text), std::string::npos) << t.text << "\n" << page;
            }
        }
    }
}

TEST(Pages, InstrumentFilter) {
    const struct {
        std::string text, status;
        int64_t daysLeft;
        bool shown;
    } cases[] = {{"", "", 400, true},        {"pt-1", "", 400, true},   {"TT", "", 400, false},
                 {"", "due", 30, true},      {"", "due", 31, false},    {"", "due", -1, false},
                 {"", "overdue", -1, true},  {"", "overdue", 0, false}, {"", "failed", 400, true},
                 {"PT", "overdue", -5, true}};
    for (const auto& c : cases) {
        const InstrumentFilter filter{c.text, c.status};
        EXPECT_EQ(filter.matches(instrument("PT-101", c.daysLeft)), c.shown)
            << c.text << " " << c.status << " " << c.daysLeft;
    }
}

// A list longer than a page says how many it leaves out.
TEST(Pages, LongListsAreCut) {
    std::vector<Instrument> list;
    for (size_t i = 0; i < kListedInstruments + 20; ++i)
        list.push_back(instrument("PT-" + std::to_string(i), 100));
    const std::string page = instrumentsBody(list, {}).str();
    EXPECT_NE(page.find("500 of 520 instruments shown"), std::string::npos);
}

}  // namespace
