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
        std::vector<Instrument> list = {instrument(t.text, 3)};
        list[0].identity = {t.text, t.text, t.text, t.text, t.text, "2026-12-01T08:00:00Z", t.text};
        const nlohmann::ordered_json station = {{"port", t.text},
                                                {"id", stationId(t.text)},
                                                {"status", "idle"},
                                                {"phase", t.text},
                                                {"note", t.text}};
        const std::string pages[] = {
            instrumentsBody(list, {}).str(),
            dueBody(list).str(),
            instrumentBody(t.text, &list[0], {list[0].identity}, {}, visitor).str(),
            instrumentsBody(list, {"", "", t.text}).str(),
            calibratorsBody({{t.text, t.text, t.text, -1}}, {station}, visitor).str(),
            framedPage(t.text, {visitor, "", t.text, t.text, t.text}, problemBody(t.text))};
        for (const std::string& page : pages) {
            EXPECT_NE(page.find(t.html), std::string::npos) << t.text << "\n" << page;
            if (t.text.find('<') != std::string::npos) {
                EXPECT_EQ(page.find(t.text), std::string::npos) << t.text << "\n" << page;
            }
        }
    }
}

TEST(Pages, InstrumentFilter) {
    using kvtapp::Verdict;
    // PT-101 of Harbour Water, failed as left; as found and undated as each case says.
    const struct {
        std::string text, status, customer;
        int64_t daysLeft;
        Verdict asFound;
        int64_t undated;
        bool shown;
    } cases[] = {
        {"", "", "", 400, Verdict::Pass, 0, true},
        {"pt-1", "", "", 400, Verdict::Pass, 0, true},
        {"TT", "", "", 400, Verdict::Pass, 0, false},
        {"", "due", "", 30, Verdict::Pass, 0, true},
        {"", "due", "", 31, Verdict::Pass, 0, false},
        {"", "due", "", -1, Verdict::Pass, 0, false},
        {"", "overdue", "", -1, Verdict::Pass, 0, true},
        {"", "overdue", "", 0, Verdict::Pass, 0, false},
        {"", "failed", "", 400, Verdict::Pass, 0, true},
        {"PT", "overdue", "", -5, Verdict::Pass, 0, true},
        {"", "failed-as-found", "", 400, Verdict::Fail, 0, true},
        {"", "failed-as-found", "", 400, Verdict::Pass, 0, false},
        {"", "failed-as-found", "", 400, Verdict::None, 0, false},
        {"", "suspect", "", 400, Verdict::Pass, 1, true},
        {"", "suspect", "", 400, Verdict::Pass, 0, false},
        {"", "", "Harbour Water", 400, Verdict::Pass, 0, true},
        {"", "", "harbour water", 400, Verdict::Pass, 0, false},
        {"", "", "Harbour", 400, Verdict::Pass, 0, false},
        {"", "suspect", "Harbour Water", 400, Verdict::Pass, 2, true},
        {"", "suspect", "Other", 400, Verdict::Pass, 2, false},
    };
    for (const auto& c : cases) {
        Instrument i = instrument("PT-101", c.daysLeft);
        i.identity.customer = "Harbour Water";
        i.lastAsFound = c.asFound;
        i.undated = c.undated;
        const InstrumentFilter filter{c.text, c.status, c.customer};
        EXPECT_EQ(filter.matches(i), c.shown) << c.text << " " << c.status << " " << c.customer
                                              << " " << c.daysLeft << " " << c.undated;
    }
}

// The customers to choose from: each once, the chosen one selected, no option for none.
TEST(Pages, CustomersToChooseFrom) {
    std::vector<Instrument> list;
    for (const char* customer : {"B", "A", "", "B"}) {
        list.push_back(instrument("PT", 100));
        list.back().identity.customer = customer;
    }
    const std::string page = instrumentsBody(list, {"", "", "B"}).str();
    EXPECT_NE(page.find(R"(<option value="">every customer</option><option value="A">A</option>)"
                        R"(<option value="B" selected="selected">B</option></select>)"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("2 instruments"), std::string::npos) << page;
}

// The date of a calibration whose stamps are not believed is confirmed from its page by whoever
// may issue certificates; a believed one has no such form.
TEST(Pages, ConfirmDateForm) {
    Access local(false, "me"), signedIn(true, "");
    const Visitor everything = local.visitor("");
    Visitor technician = signedIn.visitor(""), manager = technician;
    technician.user = "tess";
    technician.role = "technician";
    manager.user = "quinn";
    manager.role = "quality manager";
    const struct {
        bool suspect, impossible, confirmed;
        const Visitor* visitor;
        const char* button;  // nullptr: no form
    } cases[] = {
        {true, false, false, &manager, "Confirm the date"},
        {false, true, false, &everything, "Confirm the date"},
        {true, false, true, &manager, "Correct the date"},
        {true, false, false, &technician, nullptr},
        {false, false, false, &manager, nullptr},
    };
    for (const auto& c : cases) {
        Calibration e;
        e.id = 12;
        e.instrument = "PT-101";
        e.clockSuspect = c.suspect;
        e.dateImpossible = c.impossible;
        if (c.confirmed) e.confirmed = kvtapp::DateConfirmation{"2026-11-30", "quinn", "x"};
        const std::string page = calibrationBody(e, nullptr, {}, *c.visitor).str();
        const bool form =
            page.find(R"(action="/calibrations/12/confirm-date")") != std::string::npos;
        EXPECT_EQ(form, c.button != nullptr) << page;
        if (!c.button) continue;
        EXPECT_NE(page.find(c.button), std::string::npos) << page;
        EXPECT_NE(page.find(R"(name="reason")"), std::string::npos) << page;
        EXPECT_EQ(page.find(R"(value="2026-11-30")") != std::string::npos, c.confirmed) << page;
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
