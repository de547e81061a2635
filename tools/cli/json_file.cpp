#include "json_file.h"

#include <cmath>

#include "failure.h"
#include "units.h"

namespace kvtcli {

std::string readFile(const std::string& path) {
    std::string text;
    std::string error;
    if (!kvttools::readTextFile(path, &text, &error)) throw inputError("cannot read " + error);
    return text;
}

OutputFile::OutputFile(const std::string& path, bool replace) {
    std::string error;
    if (!file_.open(path, &error, replace)) throw inputError("cannot write " + error);
}

void OutputFile::commit(const std::string& text) {
    std::string error;
    if (!file_.commit(text, &error)) throw CliError(kExitCalibrator, "cannot write " + error);
}

std::string dumpJson(const nlohmann::ordered_json& value) {
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

nlohmann::ordered_json floatJson(float value) {
    return std::isnan(value) ? nlohmann::ordered_json(nullptr)
                             : nlohmann::ordered_json(decimal(value));
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
