// Writes _header.py, the Python package's view of the public header as the compiler reads it:
// the prototype of every entry point with its parameter names, the text of every result code,
// the display's glyphs, the function names, the names each setter takes and the buffer sizes.
// A type the package has no ctypes type for, an entry point the header lacks or a result code
// without a text stops the build.
//
//   kvtlnk_pyheader OUT
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#include "kvtlnk/kvtlnk.h"
#include "kvtlnk/kvtlnk_messages.h"

namespace {

template <typename T>
struct CType {
    static_assert(sizeof(T*) == 0, "an argument type without a ctypes type");
};
template <typename T>
struct CType<const T> : CType<T> {};
template <typename T>
struct CType<T*> {
    static std::string name() { return "POINTER(" + CType<T>::name() + ")"; }
};
#define KVTLNK_CTYPE(type, text)                   \
    template <>                                    \
    struct CType<type> {                           \
        static std::string name() { return text; } \
    };
KVTLNK_CTYPE(void, "None")
KVTLNK_CTYPE(uint32_t, "c_uint32")
KVTLNK_CTYPE(int32_t, "c_int32")
KVTLNK_CTYPE(float, "c_float")
KVTLNK_CTYPE(char*, "c_char_p")
KVTLNK_CTYPE(const char*, "c_char_p")
#undef KVTLNK_CTYPE

// The parameter names of a declaration, as a Python tuple; "" when their count is not `arity`.
std::string parameterNames(const char* spaced, size_t arity) {
    std::string out, name;
    size_t count = 0;
    for (const char* c = spaced;; ++c) {
        if (*c != ' ' && *c != '\0') {
            name += *c;
            continue;
        }
        if (!name.empty()) out += "\"" + name + "\", ";
        count += name.empty() ? 0 : 1;
        name.clear();
        if (*c == '\0') break;
    }
    return count == arity ? "(" + out + ")" : "";
}

template <typename F>
struct Prototype;
template <typename R, typename... A>
struct Prototype<R(A...)> {
    // (result type, [argument types], (parameter names)); "" when the names do not fit.
    static std::string text(const char* parameters) {
        const std::string names = parameterNames(parameters, sizeof...(A));
        if (names.empty()) return "";
        // A returned text is the caller's own buffer: it stays a pointer.
        std::string result = std::is_same_v<R, char*> ? "c_void_p" : CType<R>::name();
        std::string arguments;
        ((arguments += (arguments.empty() ? "" : ", ") + CType<A>::name()), ...);
        return "(" + result + ", [" + arguments + "], " + names + ")";
    }
};

std::string quoted(const char* text) {
    std::string out = "\"";
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '"' || *c == '\\') out += '\\';
        out += *c;
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvtlnk_pyheader OUT\n");
        return 2;
    }
    std::string out =
        "\"\"\"The public header as the package uses it, written at build time by the program "
        "that\nincludes kvtlnk.h and kvtlnk_messages.h (python/header_module.cpp).\"\"\"\n"
        "from ctypes import POINTER, c_char_p, c_float, c_int32, c_uint32, c_void_p\n\n"
        "#: Every entry point: (result type, [argument types], (parameter names)).\n"
        "PROTOTYPES = {\n";
    bool complete = true;
#define KVTLNK_ENTRY(name, parameters)                                                      \
    {                                                                                       \
        const std::string prototype = Prototype<decltype(name)>::text(parameters);          \
        complete = complete && !prototype.empty();                                          \
        if (prototype.empty()) std::fprintf(stderr, "%s: parameter names unread\n", #name); \
        out += "    \"" #name "\": " + prototype + ",\n";                                   \
    }
#include "entry_points.inc"
#undef KVTLNK_ENTRY

    const char* unknown = kvtlnkMessage(UINT32_MAX);
    out +=
        "}\n\n#: kvtlnkMessage() of every result code, and of a code it does not know.\n"
        "TEXTS = {\n";
#define KVTLNK_CODE(name)                                                                \
    complete = complete && kvtlnkMessage(name) != unknown;                               \
    if (kvtlnkMessage(name) == unknown) std::fprintf(stderr, "%s has no text\n", #name); \
    out += "    " + std::to_string(name) + ": " + quoted(kvtlnkMessage(name)) + ",\n";
#include "result_codes.inc"
#undef KVTLNK_CODE
    out += "}\nUNKNOWN_TEXT = " + quoted(unknown) + "\n\n";

    out +=
        "#: The display's own glyphs: (byte, character, what it shows), in the header's order.\n"
        "GLYPHS = [\n";
    char row[96];
#define KVTLNK_GLYPH(byte, codePoint, shows)                                            \
    std::snprintf(row, sizeof row, "    (0x%02X, \"\\u%04X\", %s),\n", byte, codePoint, \
                  quoted(shows).c_str());                                               \
    out += row;
    KVTLNK_GLYPHS(KVTLNK_GLYPH)
#undef KVTLNK_GLYPH
    out += "]\n\n#: The function names of either side, in the order of their codes.\nFUNCTIONS = (";
#define KVTLNK_FUNCTION(name, unit) out += quoted(name) + ", ";
    KVTLNK_FUNCTIONS(KVTLNK_FUNCTION)
#undef KVTLNK_FUNCTION
    out += ")\n\n#: The names each setter takes, in the header's order.\n";
#define KVTLNK_NAME(name) out += quoted(name) + ", ";
#define KVTLNK_NAMES(table, list) \
    out += #table " = (";         \
    list(KVTLNK_NAME) out += ")\n";
    KVTLNK_NAMES(INPUT_FUNCTIONS, KVTLNK_INPUT_FUNCTIONS)
    KVTLNK_NAMES(OUTPUT_FUNCTIONS, KVTLNK_OUTPUT_FUNCTIONS)
    KVTLNK_NAMES(THERMOCOUPLES, KVTLNK_THERMOCOUPLES)
    KVTLNK_NAMES(RTDS, KVTLNK_RTDS)
    KVTLNK_NAMES(TEMPERATURE_UNITS, KVTLNK_TEMPERATURE_UNITS)
    KVTLNK_NAMES(PRESSURE_UNITS, KVTLNK_PRESSURE_UNITS)
    KVTLNK_NAMES(LOOP_POWER, KVTLNK_LOOP_POWER)
    KVTLNK_NAMES(TEMPERATURE_STANDARDS, KVTLNK_TEMPERATURE_STANDARDS)
    KVTLNK_NAMES(REFERENCE_JUNCTION_MODES, KVTLNK_JUNCTION_MODES)
#undef KVTLNK_NAMES
#undef KVTLNK_NAME
    out += "\n#: Buffer sizes, terminator included.\n";
#define KVTLNK_SIZE(name) out += #name " = " + std::to_string(KVTLNK_##name) + "\n";
    KVTLNK_SIZE(NAME_SIZE)
    KVTLNK_SIZE(VERSION_SIZE)
    KVTLNK_SIZE(PRESSURE_TEXT_SIZE)
    KVTLNK_SIZE(DISPLAY_STRING_SIZE)
#undef KVTLNK_SIZE

    if (!complete) return 1;
    FILE* file = std::fopen(argv[1], "w");
    if (file == nullptr || std::fputs(out.c_str(), file) < 0 || std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
