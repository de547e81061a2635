// Writes api.json, the description of the C API that the bindings are generated from: every
// entry point with its C types as the compiler sees them, its parameters' names, directions and
// buffer sizes and its reference text as the headers document them, the result codes with their
// texts, the named constants and the name tables. A declaration whose documentation does not
// fit it (a parameter without a direction, a buffer without a named size, names that differ)
// stops the build.
//
//   kvtlnk_apijson OUT VERSION HEADER...
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "doc_comments.h"
#include "kvtlnk/kvtlnk_ext.h"
#include "kvtlnk/kvtlnk_messages.h"

using json = nlohmann::ordered_json;

namespace {

// The C spelling of a parameter or result type.
template <typename T>
struct CType {
    static_assert(sizeof(T*) == 0, "an entry point type without a C spelling");
};
template <typename T>
struct CType<const T> {
    static std::string name() { return "const " + CType<T>::name(); }
};
template <typename T>
struct CType<T*> {
    static std::string name() { return CType<T>::name() + "*"; }
};
#define KVTLNK_CTYPE(type)                          \
    template <>                                     \
    struct CType<type> {                            \
        static std::string name() { return #type; } \
    };
KVTLNK_CTYPE(void)
KVTLNK_CTYPE(char)
KVTLNK_CTYPE(uint8_t)
KVTLNK_CTYPE(int32_t)
KVTLNK_CTYPE(uint32_t)
KVTLNK_CTYPE(float)
#undef KVTLNK_CTYPE

// The bytes an argument takes on the 32-bit stdcall stack: a pointer 4, a value rounded up to 4.
template <typename T>
constexpr unsigned stackBytes() {
    return std::is_pointer_v<T> ? 4u : unsigned(sizeof(T) + 3) / 4 * 4;
}

template <typename F>
struct Signature;
template <typename R, typename... A>
struct Signature<R(A...)> {
    static std::string result() { return CType<R>::name(); }
    static std::vector<std::string> parameters() { return {CType<A>::name()...}; }
    static unsigned stdcallBytes() { return (0u + ... + stackBytes<A>()); }
};

// A float of the headers as the shortest decimal that reads back as it (0.0331, not
// 0.033100001).
double single(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtof(text, nullptr) == value) break;
    }
    return std::strtod(text, nullptr);
}

bool isPointer(const std::string& type) {
    return type.back() == '*';
}
bool isConst(const std::string& type) {
    return type.rfind("const ", 0) == 0;
}

// The named size in a parameter's text: "<NAME> bytes" or "<NAME> floats", NAME a constant of
// the headers or another parameter of the call.
std::string sizeOf(const std::string& text, const std::set<std::string>& sizes,
                   const std::string& self) {
    static const std::regex pattern("([A-Za-z_][A-Za-z0-9_]*) (bytes|floats)\\b");
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        const std::string name = (*it)[1].str();
        if (name != self && sizes.count(name) != 0) return name;
    }
    return "";
}

json parameterOf(const std::string& call, const std::string& type, const kvtlnk::ParamDoc& doc,
                 const std::set<std::string>& sizes, kvtlnk::Failures& fail) {
    const std::string where = call + "(" + doc.name + ")";
    const bool writes = isPointer(type) && !isConst(type);
    if (writes != (doc.direction != "in")) {
        fail(where, type + " is documented as @param[" + doc.direction + "]");
    }
    // Texts in, zero-terminated, need no size; bytes, characters and floats out and bytes and
    // floats in are buffers; a whole number behind a pointer is one value.
    const bool text = type == "const char*";
    const bool array = isPointer(type) && !text && type.find("int32_t") == std::string::npos;
    const std::string size = array ? sizeOf(doc.text, sizes, doc.name) : "";
    const bool buffer = array && (type.find("float") == std::string::npos || isConst(type));
    if (buffer && size.empty()) {
        fail(where, "a buffer whose size its text does not name (\"KVTLNK_..._SIZE bytes\")");
    }
    json out = {{"name", doc.name}, {"type", type}, {"direction", doc.direction}};
    out["size"] = size.empty() ? json() : json(size);
    out["doc"] = doc.text;
    return out;
}

// The numeric constants of the headers, each with its documentation.
json constantsOf(const std::vector<kvtlnk::HeaderText>& headers) {
    json constants = json::array();
#define KVTLNK_CONSTANT(name)                                         \
    constants.push_back({{"name", #name},                             \
                         {"value", static_cast<unsigned long>(name)}, \
                         {"doc", kvtlnk::findDefine(headers, #name).value_or("")}});
#include "constants.inc"
#undef KVTLNK_CONSTANT

    return constants;
}

// Every entry point, original calls first, as the export lists give them.
json callsOf(const std::vector<kvtlnk::HeaderText>& headers, const json& constants,
             kvtlnk::Failures& fail) {
    json calls = json::array();
#define KVTLNK_ENTRY(name, decorated)                                                           \
    {                                                                                           \
        using S = Signature<decltype(name)>;                                                    \
        calls.push_back(kvtlnk::describe(headers, #name, S::result(), S::parameters(), fail));  \
        json& call = calls.back();                                                              \
        const std::string stdcall = "_" #name "@" + std::to_string(S::stdcallBytes());          \
        if (*decorated != '\0' && stdcall != decorated) {                                       \
            fail(#name, "its 32-bit name is " + stdcall + ", the export list says " decorated); \
        }                                                                                       \
        call["set"] = *decorated != '\0' ? "original" : "extension";                            \
        call["stdcall_name"] = *decorated != '\0' ? json(stdcall) : json();                     \
    }
#include "entry_points.inc"
#undef KVTLNK_ENTRY

    // Each parameter's size: a constant or another parameter.
    std::set<std::string> constantNames;
    for (const json& c : constants)
        constantNames.insert(c["name"].get<std::string>());
    for (json& call : calls) {
        std::set<std::string> sizes = constantNames;
        for (const json& p : call["parameters"])
            sizes.insert(p["name"].get<std::string>());
        for (json& p : call["parameters"]) {
            kvtlnk::ParamDoc doc{p["name"], p["direction"], p["doc"]};
            p = parameterOf(call["name"], p["type"], doc, sizes, fail);
        }
    }
    return calls;
}

// The result codes with the library's text for each.
json codesOf(kvtlnk::Failures& fail) {
    json codes = json::array();
    const char* unknown = kvtlnkMessage(UINT32_MAX);
#define KVTLNK_CODE(name)                                           \
    if (kvtlnkMessage(name) == unknown) fail(#name, "has no text"); \
    codes.push_back({{"name", #name},                               \
                     {"value", name},                               \
                     {"kind", name == 0u     ? "ok"                 \
                              : name < 2000u ? "warning"            \
                                             : "error"},            \
                     {"text", kvtlnkMessage(name)}});
#include "result_codes.inc"
#undef KVTLNK_CODE
    return {{"result_codes", codes}, {"unknown_code_text", unknown}};
}

// The display's glyphs, the units, the function names, the names each setter takes and the
// measure ranges.
json tablesOf() {
    json tables;
    // A text in the calibrator's bytes, with the display's own glyphs as their characters.
    auto shown = [](const char* bytes) {
        std::string out;
        for (const char* c = bytes; *c != '\0'; ++c) {
            const auto byte = static_cast<unsigned char>(*c);
            unsigned codePoint = byte;
#define KVTLNK_GLYPH(b, cp, what) \
    if (byte == (b) && codePoint == byte) codePoint = (cp);
            KVTLNK_GLYPHS(KVTLNK_GLYPH)
#undef KVTLNK_GLYPH
            out += kvtlnk::utf8(codePoint);
        }
        return out;
    };
#define KVTLNK_GLYPH(byte, codePoint, what) \
    tables["glyphs"].push_back({{"byte", byte}, {"code_point", codePoint}, {"shows", what}});
    KVTLNK_GLYPHS(KVTLNK_GLYPH)
#undef KVTLNK_GLYPH
#define KVTLNK_UNIT(name, symbol) \
    tables["units"].push_back({{"name", name}, {"symbol", shown(symbol)}});
    KVTLNK_UNITS(KVTLNK_UNIT)
#undef KVTLNK_UNIT
#define KVTLNK_FUNCTION(name, unit) tables["functions"].push_back({{"name", name}, {"unit", unit}});
    KVTLNK_FUNCTIONS(KVTLNK_FUNCTION)
#undef KVTLNK_FUNCTION
#define KVTLNK_NAME(name) list.push_back(name);
#define KVTLNK_NAMES(table, names) \
    {                              \
        json list = json::array(); \
        names(KVTLNK_NAME);        \
        tables[table] = list;      \
    }
    KVTLNK_NAMES("input_functions", KVTLNK_INPUT_FUNCTIONS)
    KVTLNK_NAMES("output_functions", KVTLNK_OUTPUT_FUNCTIONS)
    KVTLNK_NAMES("thermocouples", KVTLNK_THERMOCOUPLES)
    KVTLNK_NAMES("rtds", KVTLNK_RTDS)
    KVTLNK_NAMES("temperature_units", KVTLNK_TEMPERATURE_UNITS)
    KVTLNK_NAMES("pressure_units", KVTLNK_PRESSURE_UNITS)
    KVTLNK_NAMES("loop_power", KVTLNK_LOOP_POWER)
    KVTLNK_NAMES("temperature_standards", KVTLNK_TEMPERATURE_STANDARDS)
    KVTLNK_NAMES("junction_modes", KVTLNK_JUNCTION_MODES)
#undef KVTLNK_NAMES
#undef KVTLNK_NAME
#define KVTLNK_RANGE(function, high, resolution) \
    tables["input_ranges"].push_back(            \
        {{"function", function}, {"high", single(high)}, {"resolution", resolution}});
    KVTLNK_INPUT_RANGES(KVTLNK_RANGE)
#undef KVTLNK_RANGE
    return tables;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: kvtlnk_apijson OUT VERSION HEADER...\n");
        return 2;
    }
    std::vector<kvtlnk::HeaderText> headers;
    for (int i = 3; i < argc; ++i) {
        std::ifstream in(argv[i]);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            std::perror(argv[i]);
            return 1;
        }
        headers.push_back(
            {std::string(argv[i]).substr(std::string(argv[i]).rfind('/') + 1), text.str()});
    }
    kvtlnk::Failures fail;
    json api = {{"library", "kvtlnk"}, {"version", argv[2]}};

    const json constants = constantsOf(headers);
    api["calls"] = callsOf(headers, constants, fail);
    api.update(codesOf(fail));
    api["constants"] = constants;
    api["tables"] = tablesOf();

    if (fail.any) return 1;
    std::ofstream out(argv[1]);
    out << api.dump(2) << "\n";
    out.close();
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
