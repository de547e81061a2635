// Changing one user's password in a hand-edited lab file: only the lines of that user change, so
// that the file's comments and layout stay the lab's own.
#include <toml++/toml.h>

#include <sstream>

#include "lab/lab.h"

namespace kvtlab {
namespace {

std::string quoted(const std::string& text) {
    std::ostringstream out;
    out << toml::value<std::string>(text);
    return out.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> list;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        list.push_back(line);
    return list;
}

std::string joined(const std::vector<std::string>& list) {
    std::string text;
    for (const std::string& line : list)
        text += line + "\n";
    return text;
}

// Sets each key = value in the user's table: an existing line replaced (indentation kept), a
// missing key on a new line after the name's. Lines are numbered from 1, as toml++ counts them;
// replacements come first, as an added line moves those below it.
void setKeys(std::vector<std::string>& text, const toml::table& user,
             const std::vector<std::pair<const char*, std::string>>& values) {
    for (const auto& [key, value] : values) {
        if (const toml::node* n = user.get(key)) {
            std::string& line = text[n->source().begin.line - 1];
            line = line.substr(0, line.find_first_not_of(" \t")) + key + " = " + quoted(value);
        }
    }
    const auto after = static_cast<std::ptrdiff_t>(user.get("name")->source().begin.line);
    for (const auto& [key, value] : values) {
        if (!user.get(key))
            text.insert(text.begin() + after, key + std::string(" = ") + quoted(value));
    }
}

}  // namespace

std::string withUserPassword(const std::string& text, const std::string& name,
                             const std::string& role, const std::string& hash,
                             std::string& problem) {
    toml::table root;
    try {
        root = toml::parse(text);
    } catch (const toml::parse_error& e) {
        problem = "not TOML (line " + std::to_string(e.source().begin.line) +
                  "): " + std::string(e.description());
        return text;
    }
    const toml::array* users = root["users"].as_array();
    if (root.contains("users") && !users) {
        problem = "users must be a list of tables: [[users]]";
        return text;
    }
    for (size_t i = 0; users && i < users->size(); ++i) {
        const toml::table* t = users->get(i)->as_table();
        if (!t || t->get("name") == nullptr || t->get("name")->value<std::string>() != name) {
            continue;
        }
        if (t->is_inline()) {
            problem = "the users entry of \"" + name +
                      "\" is written inline: write it as a [[users]] table to set its password";
            return text;
        }
        std::vector<std::string> edited = lines(text);
        std::vector<std::pair<const char*, std::string>> values = {{"password_hash", hash}};
        if (!role.empty()) values.emplace_back("role", role);
        setKeys(edited, *t, values);
        return joined(edited);
    }
    if (role.empty()) {
        problem = "\"" + name + "\" is not among the lab file's users: give a role to add them";
        return text;
    }
    std::string added = text;
    if (!added.empty() && added.back() != '\n') added += "\n";
    return added + "\n[[users]]\nname = " + quoted(name) + "\nrole = " + quoted(role) +
           "\npassword_hash = " + quoted(hash) + "\n";
}

}  // namespace kvtlab
