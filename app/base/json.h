// JSON as the application writes and reads it back: text safe for files and terminals, floats
// of the library as their shortest decimals, and members of untrusted documents read as what
// they should be.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace kvtapp {

// JSON text for files and standard output; bytes that are not UTF-8 become U+FFFD, control
// characters \u escapes.
std::string dumpJson(const nlohmann::ordered_json& value);

// A float of the library as its shortest decimal; null for NaN.
nlohmann::ordered_json floatJson(float value);

// A member of an object read back, as what it should be: the text, the number (NaN when it is
// null or not a number), the flag; the fallback when it is missing or of another type.
std::string textAt(const nlohmann::ordered_json& object, const char* key);
double numberAt(const nlohmann::ordered_json& object, const char* key);
bool flagAt(const nlohmann::ordered_json& object, const char* key);
// The number as a float (beyond a float's range, an infinity); NaN as numberAt.
float floatAt(const nlohmann::ordered_json& object, const char* key);
float floatOf(const nlohmann::ordered_json& value);
// A whole number, or the fallback.
int64_t wholeAt(const nlohmann::ordered_json& object, const char* key, int64_t fallback);
// The member, or null.
const nlohmann::ordered_json& memberAt(const nlohmann::ordered_json& object, const char* key);

// "a text", "a number", ... for messages about a value of the wrong type.
std::string describeType(const nlohmann::ordered_json& value);

}  // namespace kvtapp
