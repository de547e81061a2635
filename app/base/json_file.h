// Reading and writing the tool's JSON files.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "common/files.h"
#include "common/json_text.h"

namespace kvtcli {

// The whole file (or standard input for "-"), within the tools' bound on inputs; throws an
// input error naming the file and the reason when it cannot be read.
std::string readFile(const std::string& path);
// The JSON document of a file read so; throws the file's problem, naming the field.
nlohmann::ordered_json readJsonFile(const std::string& path);

// A file the tool writes at the end of its work, made at once: a place that cannot be written
// is an input error before anything is sent or fetched, and the file appears whole or not at
// all (interrupted, it is never half written). With replace false, a file that exists is
// refused, however it came there.
class OutputFile {
  public:
    explicit OutputFile(const std::string& path, bool replace = true);
    void commit(const std::string& text);
    const std::string& path() const { return file_.path(); }

  private:
    kvttools::AtomicFile file_;
};

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

}  // namespace kvtcli
