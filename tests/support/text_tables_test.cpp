#include "support/text_tables.h"

#include <gtest/gtest.h>

namespace kvtlnk {
namespace {

// A few symbols the display shows in its own character set, and what lies past the lists.
TEST(TextTables, UnitSymbolsAndPrefixLettersFromTheCatalogue) {
    const TextTables tables;
    const StringList& units = tables.findList(kUnitSymbolsList);
    const StringList& prefixes = tables.findList(kPrefixLettersList);
    const struct {
        const StringList& list;
        unsigned item;
        const char* text;
    } cases[] = {
        {units, 3, "\x81"}, {units, 6, "\260C"},      {units, 12, "inH\211O"},
        {units, 17, " "},   {units, 18, "<<nil>>"},   {prefixes, 1, "u"},
        {prefixes, 4, "k"}, {prefixes, 8, "<<nil>>"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(listItem(c.list, c.item), c.text) << c.list.id << " " << c.item;
    for (unsigned id : {0u, 1u, 5u, 15u, 1415u, 65535u})
        EXPECT_STREQ(firstItem(tables.findList(id)), "<<nil>>") << id;
}

}  // namespace
}  // namespace kvtlnk
