#include "common/json_text.h"

#include <fmt/format.h>

#include <vector>

namespace kvttools {
namespace {

// Finds where a number too large for a double stands, which the parser reports without saying
// where: a second pass that keeps the path to the value it is in.
class NumberOverflow : public nlohmann::json_sax<Json> {
  public:
    std::string field;  // "strategies[0].points[2]"
    std::string token;  // "1e400"

    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(false); }
    bool key(string_t& name) override {
        path_.back().key = name;
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(true); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string& last,
                     const nlohmann::detail::exception&) override {
        value();
        for (const Level& l : path_)
            field += l.array ? fmt::format("[{}]", l.index) : (field.empty() ? "" : ".") + l.key;
        token = last;
        return false;
    }

  private:
    struct Level {
        bool array;
        long index;
        std::string key;
    };
    bool value() {
        if (!path_.empty() && path_.back().array) ++path_.back().index;
        return true;
    }
    bool open(bool array) {
        value();
        path_.push_back({array, -1, {}});
        return true;
    }
    bool close() {
        path_.pop_back();
        return true;
    }
    std::vector<Level> path_;
};

}  // namespace

std::optional<Json> parseJson(const std::string& text, std::string* reason, std::string* field) {
    try {
        return Json::parse(text);
    } catch (const Json::out_of_range&) {
        NumberOverflow where;
        Json::sax_parse(text, &where);
        *field = where.field.empty() ? "(top level)" : where.field;
        *reason = "is " + where.token + ", a number beyond any the calibrator takes";
        return std::nullopt;
    } catch (const Json::parse_error& e) {
        // The text starts with the parser's own tag ("[json.exception.parse_error.101] ");
        // the reader needs only what follows.
        const std::string what = e.what();
        const size_t tagEnd = what.find("] ");
        *field = "(file)";
        *reason =
            "not valid JSON: " + (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2));
        return std::nullopt;
    }
}

}  // namespace kvttools
