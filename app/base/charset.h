// Texts between the calibrator's 8-bit character set and UTF-8, for files and terminals.
#pragma once

#include <optional>
#include <string>

namespace kvtapp {

// UTF-8 of a text in the calibrator's character set. Every byte has a code point, so the
// conversion never fails and fromCalibrator(toUtf8(t)) gives t back.
std::string toUtf8(const std::string& calibratorText);

// The calibrator's bytes for a UTF-8 text, or nothing when the text is not valid UTF-8 or holds
// a character the calibrator cannot show; badChar then says which, with its code point and
// what to write instead where there is a usual stand-in ("\"–\" (U+2013), which the calibrator
// cannot show: write \"-\" instead").
std::optional<std::string> fromUtf8(const std::string& utf8Text, std::string* badChar = nullptr);

// Number of characters of a UTF-8 text, the width it takes in a terminal column.
size_t displayWidth(const std::string& utf8Text);

}  // namespace kvtapp
