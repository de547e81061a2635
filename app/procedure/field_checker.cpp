#include "procedure/field_checker.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "base/charset.h"
#include "base/json.h"

namespace kvtapp {

std::string member(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

std::string element(const std::string& path, size_t i) {
    return fmt::format("{}[{}]", path, i);
}

std::string inQuotes(const std::string& calibratorText) {
    return "\"" + toUtf8(calibratorText) + "\"";
}

void Checker::problem(const std::string& field, const std::string& message) {
    problems_.push_back({field.empty() ? "(top level)" : field, message});
}

bool Checker::object(const json& v, const std::string& path,
                     std::initializer_list<const char*> known) {
    if (!v.is_object()) {
        problem(path, "must be an object, not " + describeType(v));
        return false;
    }
    for (auto it = v.begin(); it != v.end(); ++it) {
        const std::string& key = it.key();
        if (key == "comment" ||
            std::any_of(known.begin(), known.end(), [&](const char* k) { return key == k; })) {
            continue;
        }
        std::string names;
        for (const char* k : known)
            names += std::string(names.empty() ? "" : ", ") + k;
        problem(member(path, key), "unknown key (known keys: " + names + ", comment)");
    }
    return true;
}

const json* Checker::required(const json& object, const std::string& path, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) {
        problem(path, std::string("missing key \"") + key + "\"");
        return nullptr;
    }
    return &*it;
}

const json* Checker::list(const json& object, const std::string& path, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) return nullptr;
    if (!it->is_array()) {
        problem(member(path, key), "must be a list, not " + describeType(*it));
        return nullptr;
    }
    return &*it;
}

std::optional<std::string> Checker::text(const json& v, const std::string& path, size_t maxLength,
                                         bool isName) {
    if (!v.is_string()) {
        problem(path, "must be a text, not " + describeType(v));
        return std::nullopt;
    }
    std::string bad;
    std::optional<std::string> t = fromUtf8(v.get<std::string>(), &bad);
    if (!t) {
        problem(path, "holds " + bad);
        return std::nullopt;
    }
    for (char c : *t) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && !(b == '\n' && !isName)) {
            problem(path, isName ? "a name cannot hold control characters or line breaks"
                                 : "a prompt text can hold line breaks but no other control "
                                   "characters");
            return std::nullopt;
        }
    }
    if (isName && t->empty()) {
        problem(path, "must not be empty");
        return std::nullopt;
    }
    if (t->size() > maxLength) {
        problem(path, fmt::format("is {} characters long; the calibrator takes at most {}",
                                  t->size(), maxLength));
        return std::nullopt;
    }
    return t;
}

std::optional<float> Checker::number(const json& v, const std::string& path) {
    if (!v.is_number()) {
        problem(path, "must be a number, not " + describeType(v));
        return std::nullopt;
    }
    const auto f = static_cast<float>(v.get<double>());
    if (!std::isfinite(f)) {
        problem(path, "is " + v.dump() + ", a number beyond any the calibrator takes");
        return std::nullopt;
    }
    return f;
}

std::optional<std::string> Checker::name(const json& v, const std::string& path) {
    if (!v.is_string()) {
        problem(path, "must be a text, not " + describeType(v));
        return std::nullopt;
    }
    return v.get<std::string>();
}

std::optional<bool> Checker::flag(const json& v, const std::string& path) {
    if (!v.is_boolean()) {
        problem(path, "must be true or false, not " + describeType(v));
        return std::nullopt;
    }
    return v.get<bool>();
}

}  // namespace kvtapp
