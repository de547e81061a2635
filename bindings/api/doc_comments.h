// The reference text of the public headers as the description of the API takes it: the
// documentation comment of an entry point or a constant, split into its description,
// parameters (with their directions), result and see-also list.
#ifndef KVTLNK_BINDINGS_DOC_COMMENTS_H
#define KVTLNK_BINDINGS_DOC_COMMENTS_H

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kvtlnk {

struct HeaderText {
    std::string file;  // "kvtlnk.h"
    std::string text;
};

struct ParamDoc {
    std::string name;
    std::string direction;  // "in", "out" or "in,out"
    std::string text;
};

// Collects what does not fit, on standard error, so that one run reports every fault.
struct Failures {
    bool any = false;
    void operator()(const std::string& where, const std::string& what);
};

// The entry point `name` as declared in the headers: {"name", "header", "group", "description",
// "remarks", "returns": {"type", "doc"}, "parameters": [{"name", "type", "direction", "doc"}],
// "see"}. The types are the compiler's (`result`, `parameters`); the names come from the
// declaration, which must agree with the @param lines in number, order and name.
nlohmann::ordered_json describe(const std::vector<HeaderText>& headers, const std::string& name,
                                const std::string& result,
                                const std::vector<std::string>& parameters, Failures& fail);

// The documentation of `#define name`: its trailing comment or the comment right above it.
std::optional<std::string> findDefine(const std::vector<HeaderText>& headers,
                                      const std::string& name);

// A code point in UTF-8.
std::string utf8(unsigned codePoint);

}  // namespace kvtlnk

#endif
