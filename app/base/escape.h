// Texts that came from a calibrator, an image file, a description or a file name, made safe
// for where they are shown: a terminal, a spreadsheet, a page. A tag text may hold any byte;
// shown as it is, an escape sequence in it could rewrite the user's terminal, a leading "="
// make a spreadsheet formula of it.
#pragma once

#include <string>
#include <vector>

namespace kvtapp {

// The text with every control character shown as a visible escape: the C0 controls, DEL and
// the C1 controls U+0080 ... U+009F as "\x1b", "\x7f", "\x9b", and each byte that is not part
// of well-formed UTF-8 as "\xNN" too; a line break stays one when keepLineBreaks is set.
// Everything else is left as it is, so a text without controls reads the same.
std::string visibleText(const std::string& text, bool keepLineBreaks = false);

// Text for HTML (and XML) element content and attribute values: visible controls, and
// & < > " ' as character references.
std::string escapeHtml(const std::string& text);

// A field of a CSV row. A text that a spreadsheet would take for a formula (it begins with
// "=", "+", "-", "@", a tab or a carriage return, and is not a plain number such as "-0.5")
// gets a leading apostrophe; controls are shown visibly; a field holding a comma or a double
// quote is quoted.
std::string csvField(const std::string& text);
// A row of such fields, separated by commas, with its line end.
std::string csvLine(const std::vector<std::string>& fields);

}  // namespace kvtapp
