#include "doc_comments.h"

#include <cctype>
#include <iostream>
#include <sstream>

namespace kvtlnk {

using json = nlohmann::ordered_json;

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

// Doxygen's markup as plain text: references and escapes.
std::string plain(std::string text) {
    replaceAll(text, "@ref ", "");
    replaceAll(text, "\\<", "<");
    replaceAll(text, "\\>", ">");
    return trim(text);
}

// A comment's lines without their leading " * ".
std::vector<std::string> commentLines(const std::string& body) {
    std::vector<std::string> lines;
    std::istringstream in(body);
    for (std::string line; std::getline(in, line);) {
        line = trim(line);
        if (line.rfind("*", 0) == 0) line = trim(line.substr(1));
        lines.push_back(line);
    }
    return lines;
}

// Lines joined into paragraphs: a line break is a space, an empty line a paragraph break.
struct Text {
    std::string value;
    bool broken = false;
    void add(const std::string& line) {
        if (line.empty()) {
            broken = !value.empty();
            return;
        }
        value += value.empty() ? "" : broken ? "\n\n" : " ";
        value += line;
        broken = false;
    }
};

struct Doc {
    std::string group;
    Text description, remarks, returns;
    std::vector<ParamDoc> params;
    std::vector<Text> paramTexts;
    std::vector<std::string> see;
};

// Reads a comment's tags; an unknown tag is a fault, so that nothing in it is lost unseen.
Doc parse(const std::string& where, const std::string& body, Failures& fail) {
    Doc doc;
    Text* current = &doc.description;
    bool code = false;
    for (const std::string& line : commentLines(body)) {
        if (code) {
            code = line.rfind("@endcode", 0) != 0;
            continue;
        }
        if (line.rfind("@", 0) != 0 || line.rfind("@ref ", 0) == 0) {
            current->add(line);
            continue;
        }
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        std::string rest;
        std::getline(words, rest);
        rest = trim(rest);
        if (tag.rfind("@code", 0) == 0) {
            code = true;
        } else if (tag == "@ingroup") {
            doc.group = rest;
        } else if (tag.rfind("@param[", 0) == 0 && tag.back() == ']') {
            std::istringstream named(rest);
            ParamDoc param{"", tag.substr(7, tag.size() - 8), ""};
            named >> param.name;
            std::getline(named, rest);
            if (param.direction != "in" && param.direction != "out" &&
                param.direction != "in,out") {
                fail(where, "@param[" + param.direction + "] " + param.name);
            }
            doc.params.push_back(param);
            doc.paramTexts.emplace_back();
            current = &doc.paramTexts.back();
            current->add(trim(rest));
        } else if (tag == "@param") {
            fail(where, "@param " + rest + " without a direction ([in], [out] or [in,out])");
        } else if (tag == "@return") {
            current = &doc.returns;
            current->add(rest);
        } else if (tag == "@see") {
            std::istringstream names(rest);
            for (std::string name; std::getline(names, name, ',');)
                doc.see.push_back(trim(name));
            current = &doc.remarks;
        } else if (tag == "@par" || tag == "@attention") {
            current = &doc.remarks;
            current->add("");
            current->add(tag == "@par" ? rest + ":" : rest);
        } else {
            fail(where, "a tag the description does not read: " + tag);
        }
    }
    return doc;
}

// The parameter names of a declaration's list, "int32_t baud, const char* portName".
std::vector<std::string> declaredNames(const std::string& list) {
    std::vector<std::string> names;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');) {
        item = trim(item);
        if (item == "void" || item.empty()) continue;
        auto start = item.size();
        while (start > 0 && (std::isalnum(static_cast<unsigned char>(item[start - 1])) ||
                             item[start - 1] == '_')) {
            --start;
        }
        names.push_back(item.substr(start));
    }
    return names;
}

// The documentation comment that ends right before `at` (only blanks and `allowed` between).
std::optional<std::string> commentBefore(const std::string& text, size_t at) {
    const auto end = text.rfind("*/", at);
    const auto start = end == std::string::npos ? end : text.rfind("/**", end);
    if (start == std::string::npos) return std::nullopt;
    const std::string between = text.substr(end + 2, at - end - 2);
    if (between.find_first_of(";#}{") != std::string::npos) return std::nullopt;
    return text.substr(start + 3, end - start - 3);
}

}  // namespace

void Failures::operator()(const std::string& where, const std::string& what) {
    std::cerr << where << ": " << what << "\n";
    any = true;
}

json describe(const std::vector<HeaderText>& headers, const std::string& name,
              const std::string& result, const std::vector<std::string>& parameters,
              Failures& fail) {
    json out = {{"name", name}};
    for (const HeaderText& header : headers) {
        const auto at = header.text.find("KVTLNK_CALL " + name + "(");
        if (at == std::string::npos) continue;
        const auto open = header.text.find('(', at);
        const auto names =
            declaredNames(header.text.substr(open + 1, header.text.find(')', open) - open - 1));
        const auto body = commentBefore(header.text, header.text.rfind("KVTLNK_API", at));
        if (!body) {
            fail(name, "declared without a documentation comment");
            return out;
        }
        Doc doc = parse(name, *body, fail);
        if (names.size() != parameters.size()) {
            fail(name, "the declaration's names were not read");
            return out;
        }
        json params = json::array();
        for (size_t i = 0; i < names.size(); ++i) {
            if (i >= doc.params.size() || doc.params[i].name != names[i]) {
                fail(name, "parameter " + names[i] + " is not the @param in its place");
                continue;
            }
            params.push_back({{"name", names[i]},
                              {"type", parameters[i]},
                              {"direction", doc.params[i].direction},
                              {"doc", plain(doc.paramTexts[i].value)}});
        }
        if (doc.params.size() > names.size()) fail(name, "documents more parameters than it has");
        if (result != "void" && doc.returns.value.empty()) fail(name, "no @return");
        out["header"] = header.file;
        out["group"] = doc.group;
        out["description"] = plain(doc.description.value);
        out["remarks"] = plain(doc.remarks.value);
        out["returns"] = {{"type", result}, {"doc", plain(doc.returns.value)}};
        out["parameters"] = params;
        out["see"] = doc.see;
        return out;
    }
    fail(name, "no header declares it");
    return out;
}

std::optional<std::string> findDefine(const std::vector<HeaderText>& headers,
                                      const std::string& name) {
    for (const HeaderText& header : headers) {
        const auto at = header.text.find("#define " + name + " ");
        if (at == std::string::npos) continue;
        const auto end = header.text.find('\n', at);
        const std::string line = header.text.substr(at, end - at);
        std::optional<std::string> body;
        if (const auto trailing = line.find("/**<"); trailing != std::string::npos) {
            body = line.substr(trailing + 4, line.rfind("*/") - trailing - 4);
        } else {
            body = commentBefore(header.text, at);
        }
        if (!body) return std::nullopt;
        Text text;
        for (const std::string& l : commentLines(*body)) {
            if (l.rfind("@ingroup", 0) != 0 && l.rfind("@addtogroup", 0) != 0) text.add(l);
        }
        return plain(text.value);
    }
    return std::nullopt;
}

std::string utf8(unsigned codePoint) {
    std::string out;
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return out;
}

}  // namespace kvtlnk
