// JSON text as the tools read it: nlohmann's parser, with the place of a problem named.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace kvttools {

using Json = nlohmann::ordered_json;

// The JSON value of a text, or nothing with a reason ("not valid JSON: line 3, column 14: ...")
// and the field it concerns: "(file)", or where a number beyond the range of a double stands.
std::optional<Json> parseJson(const std::string& text, std::string* reason, std::string* field);

}  // namespace kvttools
