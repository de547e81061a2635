#include "json_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "failure.h"

namespace kvtcli {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw inputError("cannot read " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw inputError("cannot read " + path + ": " + std::strerror(errno));
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw inputError("cannot write " + path + ": " + std::strerror(errno));
        out << text;
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw inputError("cannot write " + path + ": " + std::strerror(errno));
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        throw inputError("cannot write " + path + ": " + reason);
    }
}

std::optional<nlohmann::ordered_json> parseJson(const std::string& text, std::string& reason) {
    try {
        return nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::ordered_json::parse_error& e) {
        // The library's text starts with its own tag ("[json.exception.parse_error.101] ");
        // the user needs only what follows.
        std::string what = e.what();
        const size_t tagEnd = what.find("] ");
        reason = tagEnd == std::string::npos ? what : what.substr(tagEnd + 2);
        return std::nullopt;
    }
}

std::string dumpJson(const nlohmann::ordered_json& value) {
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string describeType(const nlohmann::ordered_json& value) {
    switch (value.type()) {
        case nlohmann::ordered_json::value_t::null:
            return "null";
        case nlohmann::ordered_json::value_t::object:
            return "an object";
        case nlohmann::ordered_json::value_t::array:
            return "a list";
        case nlohmann::ordered_json::value_t::string:
            return "a text";
        case nlohmann::ordered_json::value_t::boolean:
            return "true or false";
        default:
            return "a number";
    }
}

}  // namespace kvtcli
