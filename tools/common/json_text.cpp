#include "common/json_text.h"

#include <fmt/format.h>

#include <unordered_set>
#include <vector>

namespace kvttools {
namespace {

// Builds the document from the parser's events, refusing what nlohmann's own builder takes
// silently (a key given twice keeps its last value) and naming the place of every problem.
// Members are appended without the ordered object's search for their key, which costs time in
// proportion to the object's size for each key: the set of the object's keys finds a repeat.
class DocumentReader : public nlohmann::json_sax<Json> {
  public:
    Json document;
    std::string field;   // where the first problem stands
    std::string reason;  // and what it is

    bool null() override { return place(nullptr) != nullptr; }
    bool boolean(bool value) override { return place(value) != nullptr; }
    bool number_integer(number_integer_t value) override { return place(value) != nullptr; }
    bool number_unsigned(number_unsigned_t value) override { return place(value) != nullptr; }
    bool number_float(number_float_t value, const string_t&) override {
        return place(value) != nullptr;
    }
    bool string(string_t& value) override { return place(std::move(value)) != nullptr; }
    bool binary(binary_t& value) override { return place(std::move(value)) != nullptr; }
    bool start_object(std::size_t) override { return open(Json::object()); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }

    bool key(string_t& name) override {
        Level& top = levels_.back();
        top.key = name;
        if (!top.keys.insert(std::move(name)).second) {
            return fail("is given twice in one object; give each key once");
        }
        return true;
    }

    bool parse_error(std::size_t, const std::string& last,
                     const nlohmann::detail::exception& e) override {
        if (e.id == 406) return fail("is " + last + ", a number beyond any the calibrator takes");
        // The text starts with the parser's own tag ("[json.exception.parse_error.101] ");
        // the reader needs only what follows.
        const std::string what = e.what();
        const size_t tagEnd = what.find("] ");
        field = "(file)";
        reason =
            "not valid JSON: " + (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2));
        return false;
    }

  private:
    struct Level {
        Json* value;                           // an object or a list being read
        std::string key;                       // of an object: the member being read
        std::unordered_set<std::string> keys;  // of an object: those read so far
        // Of an object: its members until it closes. The object's own list copies each member
        // whole when it grows (its keys are constant), so it is filled once, at its size.
        std::vector<std::pair<std::string, Json>> members;
    };

    // Appends a value where the parser stands: the document, the list or the member.
    Json* place(Json&& value) {
        if (levels_.empty()) {
            document = std::move(value);
            return &document;
        }
        Level& top = levels_.back();
        if (top.value->is_array()) {
            auto& elements = top.value->get_ref<Json::array_t&>();
            elements.push_back(std::move(value));
            return &elements.back();
        }
        top.members.emplace_back(top.key, std::move(value));
        return &top.members.back().second;
    }

    bool open(Json&& container) {
        if (levels_.size() >= kMaxJsonDepth) {
            return fail(
                fmt::format("nests lists and objects deeper than {} levels", kMaxJsonDepth));
        }
        levels_.push_back({place(std::move(container)), {}, {}, {}});
        return true;
    }

    bool close() {
        Level& top = levels_.back();
        if (top.value->is_object()) {
            auto& object = top.value->get_ref<Json::object_t&>();
            object.reserve(top.members.size());
            for (auto& [name, value] : top.members)
                object.emplace_back(std::move(name), std::move(value));
        }
        levels_.pop_back();
        return true;
    }

    // The path of the value being read: "tasks[0].steps[2].prompt", "" for the document.
    std::string path() const {
        std::string text;
        for (size_t i = 0; i < levels_.size(); ++i) {
            const Json& v = *levels_[i].value;
            if (v.is_array()) {
                // An enclosing list holds the open value already; the innermost not yet.
                text += fmt::format("[{}]", v.size() - (i + 1 < levels_.size() ? 1 : 0));
            } else {
                text += (text.empty() ? "" : ".") + levels_[i].key;
            }
        }
        return text;
    }

    bool fail(std::string message) {
        field = path();
        if (field.empty()) field = "(top level)";
        reason = std::move(message);
        return false;
    }

    std::vector<Level> levels_;
};

}  // namespace

std::optional<Json> parseJson(const std::string& text, std::string* reason, std::string* field) {
    DocumentReader reader;
    if (!Json::sax_parse(text, &reader)) {
        *field = reader.field;
        *reason = reader.reason;
        return std::nullopt;
    }
    return std::move(reader.document);
}

}  // namespace kvttools
