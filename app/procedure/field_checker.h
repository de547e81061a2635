// Checking the fields of a JSON description one by one, noting every problem with the field it
// concerns ("tasks[0].steps[2].prompt") rather than stopping at the first.
#pragma once

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace kvtapp {

using json = nlohmann::ordered_json;

// "path.key", or the key alone at the top level.
std::string member(const std::string& path, const std::string& key);
// "path[i]".
std::string element(const std::string& path, size_t i);
// A text of the calibrator's character set in double quotes, as UTF-8.
std::string inQuotes(const std::string& calibratorText);

class Checker {
  public:
    explicit Checker(std::vector<Problem>& problems) : problems_(problems) {}

    void problem(const std::string& field, const std::string& message);
    size_t count() const { return problems_.size(); }
    std::vector<Problem>& problems() { return problems_; }

    // True when v is an object; reports every key but the known ones and "comment".
    bool object(const json& v, const std::string& path, std::initializer_list<const char*> known);

    // The member key of object, or nothing after a problem "missing key".
    const json* required(const json& object, const std::string& path, const char* key);
    // The member key when it is a list; nothing when it is absent or, after a problem, not one.
    const json* list(const json& object, const std::string& path, const char* key);

    // A text in the calibrator's character set; names take 1 to maxLength characters and no
    // line break, prompt texts any length and line breaks.
    std::optional<std::string> text(const json& v, const std::string& path, size_t maxLength,
                                    bool isName);
    // A number the calibrator stores as a single float.
    std::optional<float> number(const json& v, const std::string& path);
    // A name of the library's lists ("current", "tc_k"): lowercase ASCII, not empty.
    std::optional<std::string> name(const json& v, const std::string& path);
    std::optional<bool> flag(const json& v, const std::string& path);

  private:
    std::vector<Problem>& problems_;
};

}  // namespace kvtapp
