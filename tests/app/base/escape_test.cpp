#include "base/escape.h"

#include <gtest/gtest.h>

#include "hostile_texts.h"

namespace kvtapp {
namespace {

// Every control a text may bring, as a terminal, a page and a spreadsheet get it.
TEST(TextEscape, ControlsBecomeVisibleEverywhere) {
    for (const HostileText& c : hostileTexts()) {
        SCOPED_TRACE(c.terminal);
        EXPECT_EQ(visibleText(c.text), c.terminal);
        EXPECT_EQ(escapeHtml(c.text), c.html);
        EXPECT_EQ(csvField(c.text), c.csv);
    }
    EXPECT_EQ(visibleText("two\nlines\r\n", true), "two\nlines\\x0d\n");
}

}  // namespace
}  // namespace kvtapp
