// Texts a calibrator, an image file or a description may bring, each with how a terminal, a page
// and a spreadsheet must get it: controls of every kind, markup, formulas.
#pragma once

#include <string>
#include <vector>

struct HostileText {
    std::string text;
    std::string terminal;
    std::string html;
    std::string csv;
};

inline const std::vector<HostileText>& hostileTexts() {
    static const std::vector<HostileText> texts = {
        {"PT-101", "PT-101", "PT-101", "PT-101"},
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07", "\\x1b]0;owned\\x07", "\\x1b]0;owned\\x07"},
        {"a\rb\nc\td", "a\\x0db\\x0ac\\x09d", "a\\x0db\\x0ac\\x09d", "a\\x0db\\x0ac\\x09d"},
        {std::string("nul\0", 4) + "\x7f", "nul\\x00\\x7f", "nul\\x00\\x7f", "nul\\x00\\x7f"},
        // C1 controls as UTF-8 (U+009B, the one-byte CSI), and as stray bytes.
        {"\xc2\x9b"
         "31m",
         "\\x9b31m", "\\x9b31m", "\\x9b31m"},
        {"\x9b\xc2", "\\x9b\\xc2", "\\x9b\\xc2", "\\x9b\\xc2"},
        // An overlong ESC and a surrogate are not UTF-8.
        {"\xc0\x9b\xed\xa0\x80", "\\xc0\\x9b\\xed\\xa0\\x80", "\\xc0\\x9b\\xed\\xa0\\x80",
         "\\xc0\\x9b\\xed\\xa0\\x80"},
        // Texts of the display's glyphs and Latin-1 stay as they are.
        {"4\xe2\x80\x89mA \xce\xa9 \xc2\xb0"
         "C \xc2\xa0\xf0\x9f\x94\xa7",
         "4\xe2\x80\x89mA \xce\xa9 \xc2\xb0"
         "C \xc2\xa0\xf0\x9f\x94\xa7",
         "4\xe2\x80\x89mA \xce\xa9 \xc2\xb0"
         "C \xc2\xa0\xf0\x9f\x94\xa7",
         "4\xe2\x80\x89mA \xce\xa9 \xc2\xb0"
         "C \xc2\xa0\xf0\x9f\x94\xa7"},
        {"<b a='1'>&\"", "<b a='1'>&\"", "&lt;b a=&#39;1&#39;&gt;&amp;&quot;",
         "\"<b a='1'>&\"\"\""},
        // What a spreadsheet would take for a formula gets an apostrophe; numbers stay numbers.
        {"=HYPERLINK(\"x\")", "=HYPERLINK(\"x\")", "=HYPERLINK(&quot;x&quot;)",
         "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1+cmd|' /C calc'!A0", "+1+cmd|' /C calc'!A0", "+1+cmd|&#39; /C calc&#39;!A0",
         "'+1+cmd|' /C calc'!A0"},
        {"-2+3", "-2+3", "-2+3", "'-2+3"},
        {"@SUM(A1)", "@SUM(A1)", "@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "\\x09=1", "\\x09=1", "'\\x09=1"},
        {"\r=1", "\\x0d=1", "\\x0d=1", "'\\x0d=1"},
        {"-0.5", "-0.5", "-0.5", "-0.5"},
        {"-1.5e-07", "-1.5e-07", "-1.5e-07", "-1.5e-07"},
        {"+12", "+12", "+12", "+12"},
        {"-", "-", "-", "'-"},
        {"-1e", "-1e", "-1e", "'-1e"},
        {"a,b", "a,b", "a,b", "\"a,b\""},
        // What would end a page's style sheet and start a script.
        {"</style><script>x</script>", "</style><script>x</script>",
         "&lt;/style&gt;&lt;script&gt;x&lt;/script&gt;", "</style><script>x</script>"},

    };
    return texts;
}
