#include "support/text_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvtlnk {
namespace {

TEST(TextTables, UnitSymbolsAndPrefixLetters) {
    const TextTables tables;
    const StringList& units = tables.findList(kUnitSymbolsList);
    // Octal escapes where a letter follows: "\xB0C" would read as one hex escape.
    const std::vector<std::string> expected = {
        "",    "V",    "A",    "\x81",     "Hz",       "s",   "\260C", "\260F", "%",
        "psi", "mmHg", "inHg", "inH\211O", "ftH\211O", "bar", "kPa",   "UDF",   " "};
    ASSERT_EQ(units.count, expected.size());
    for (unsigned i = 0; i < expected.size(); ++i)
        EXPECT_EQ(listItem(units, i), expected[i]) << i;
    EXPECT_STREQ(listItem(units, 18), "<<nil>>");

    const StringList& prefixes = tables.findList(kPrefixLettersList);
    const char* const letters[] = {"", "u", "m", " ", "k", "M", "G", ""};
    ASSERT_EQ(prefixes.count, 8);
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_STREQ(listItem(prefixes, i), letters[i]) << i;
}

TEST(TextTables, MissingListsGiveNil) {
    const TextTables tables;
    for (unsigned id : {0u, 1u, 5u, 15u, 1400u, 1415u, 1416u, 65535u}) {
        const StringList& l = tables.findList(id);
        EXPECT_EQ(l.count, 0) << id;
        EXPECT_STREQ(firstItem(l), "<<nil>>") << id;
    }
}

TEST(TextTables, SettersCheckTheirIndexes) {
    TextTables tables;
    EXPECT_EQ(tables.selectTable(1), 0);
    EXPECT_EQ(tables.selectTable(0), 1);
    EXPECT_STREQ(tables.currentTableName(), "units");
    EXPECT_EQ(tables.setDateTimeFormat(8, 0), 0);
    EXPECT_EQ(tables.setDateTimeFormat(0, 1), 1);
    EXPECT_EQ(tables.timeFormatIndex(), 1u);
    EXPECT_EQ(tables.decimalComma(), 0);
    EXPECT_EQ(tables.setDecimalComma(1), 1);
    EXPECT_EQ(tables.decimalComma(), 1);
}

class CountingObserver : public Observer {
  public:
    void notify(Notifier*, int event, long, long) override {
        events.push_back(event);
        if (detachOnNotify != nullptr) detachOnNotify->detach(this);
    }
    std::vector<int> events;
    Notifier* detachOnNotify = nullptr;
};

TEST(TextTables, ObserversHearSuccessfulSettersOnly) {
    CountingObserver a, b;
    {
        TextTables tables;
        tables.attach(&a);
        tables.attach(&b);
        b.detachOnNotify = &tables;  // b leaves during its first call
        tables.setDecimalComma(0);
        tables.selectTable(7);  // refused: no event
        tables.setDateTimeFormat(1, 0);
        EXPECT_EQ(a.events, (std::vector<int>{2, 2}));
        EXPECT_EQ(b.events, (std::vector<int>{2}));
    }
    // Destroying the catalogue tells the observers still attached and lets them go.
    EXPECT_EQ(a.events, (std::vector<int>{2, 2, 4}));
    EXPECT_EQ(b.events, (std::vector<int>{2}));
}

}  // namespace
}  // namespace kvtlnk
