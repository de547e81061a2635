// JSON text as the tools read it: nlohmann's parser, with the place of a problem named.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace kvttools {

using Json = nlohmann::ordered_json;

// Objects and lists inside one another; the tools' own documents nest about six deep.
constexpr size_t kMaxJsonDepth = 64;

// The JSON value of a text, or nothing with a reason and the field it concerns: "(file)" for
// text that is not JSON ("not valid JSON: line 3, column 14: ..."), else where the problem
// stands ("strategies[0].points[2]"): a number beyond the range of a double, a key given twice
// in one object, nesting deeper than kMaxJsonDepth. Takes time and memory in proportion to the
// text, however many keys an object has.
std::optional<Json> parseJson(const std::string& text, std::string* reason, std::string* field);

}  // namespace kvttools
