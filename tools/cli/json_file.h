// Reading and writing the tool's JSON files.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace kvtcli {

// The whole file; throws an input error naming the file and the reason when it cannot be read.
std::string readFile(const std::string& path);

// Writes text to path through a temporary file renamed into place, so that a failed write
// never leaves half a file; throws an input error when it cannot.
void writeFile(const std::string& path, const std::string& text);

// The JSON value of text, or nothing with a one-line reason ("line 3, column 14: ...").
std::optional<nlohmann::ordered_json> parseJson(const std::string& text, std::string& reason);

// JSON text for files and standard output; bytes that are not UTF-8 become U+FFFD.
std::string dumpJson(const nlohmann::ordered_json& value);

// "a text", "a number", ... for messages about a value of the wrong type.
std::string describeType(const nlohmann::ordered_json& value);

}  // namespace kvtcli
