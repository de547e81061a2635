// Writes the .NET binding's P/Invoke layer from api.json: the result codes as an enum, the named
// constants, the name tables and glyphs, and every entry point three ways (the 32-bit Windows
// DLL: stdcall and its decorated names; the 64-bit DLL; libkvtlnk.so.1), behind one method that
// picks the one of the running process. Each carries its reference text as XML documentation.
//
//   kvtlnk_dotnet_native API_JSON OUT
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using json = nlohmann::ordered_json;

namespace {

std::string xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

// A documentation element, its text wrapped at 100 columns, paragraphs as <para>.
void document(std::ostream& out, const std::string& indent, const std::string& tag,
              const std::string& text, const std::string& attributes = "") {
    std::vector<std::string> paragraphs;
    for (size_t start = 0;;) {
        const auto end = text.find("\n\n", start);
        paragraphs.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    out << indent << "/// <" << tag << attributes << ">\n";
    for (size_t p = 0; p < paragraphs.size(); ++p) {
        const bool para = paragraphs.size() > 1;
        std::istringstream words(xml(paragraphs[p]));
        std::string line = indent + "/// " + (para ? "<para>" : ""), word;
        bool first = true;
        while (words >> word) {
            if (!first && line.size() + 1 + word.size() > 100) {
                out << line << "\n";
                line = indent + "/// ";
                first = true;
            }
            line += (first ? "" : " ") + word;
            first = false;
        }
        out << line << (para ? "</para>" : "") << "\n";
    }
    out << indent << "/// </" << tag << ">\n";
}

// "KVTLNK_E_NO_SESSION" as "NoSession", "KVTLNK_OK" as "Ok".
std::string pascal(const std::string& constant) {
    std::string name = constant.substr(constant.find('_') + 1);
    if (name.rfind("W_", 0) == 0 || name.rfind("E_", 0) == 0) name = name.substr(2);
    std::string out;
    bool upper = true;
    for (char c : name) {
        if (c == '_') {
            upper = true;
            continue;
        }
        out += upper ? c : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        upper = false;
    }
    return out;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%04X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

struct Parameter {
    std::string declaration;  // "[Out] byte[] model"
    std::string argument;     // "model", "out edValue"
};

// How a C parameter crosses: values as themselves; texts and bytes as byte arrays (the
// calibrator's 8-bit character set, zero-terminated); a buffer of floats as a float array; one
// number behind a pointer as out or ref.
Parameter parameterOf(const json& p) {
    static const std::set<std::string> keywords = {"base", "checked", "event",  "fixed",
                                                   "in",   "lock",    "object", "operator",
                                                   "out",  "params",  "ref",    "string"};
    const std::string type = p["type"], direction = p["direction"];
    std::string name = p["name"];
    if (keywords.count(name) != 0) name = "@" + name;
    const std::string base = type.substr(type.rfind("const ", 0) == 0 ? 6 : 0);
    const std::string scalar = base.rfind("uint32_t", 0) == 0  ? "uint"
                               : base.rfind("int32_t", 0) == 0 ? "int"
                               : base.rfind("float", 0) == 0   ? "float"
                                                               : "byte";
    if (type.back() != '*') return {scalar + " " + name, name};
    const std::string marshal = direction == "in" ? "[In] " : "[Out] ";
    if (!p["size"].is_null() || scalar == "byte") {
        return {marshal + scalar + "[] " + name, name};
    }
    const std::string pass = direction == "in,out" ? "ref" : "out";
    return {pass + " " + scalar + " " + name, pass + " " + name};
}

std::string resultOf(const std::string& type) {
    if (type == "void") return "void";
    if (type == "uint32_t") return "uint";
    return "IntPtr";  // a text: the caller's buffer, or the library's own
}

void writeCall(std::ostream& out, const json& call, const std::set<std::string>& calls) {
    const std::string name = call["name"];
    std::vector<Parameter> params;
    for (const json& p : call["parameters"])
        params.push_back(parameterOf(p));
    std::string declarations, arguments;
    for (const Parameter& p : params) {
        declarations += (declarations.empty() ? "" : ", ") + p.declaration;
        arguments += (arguments.empty() ? "" : ", ") + p.argument;
    }
    const std::string result = resultOf(call["returns"]["type"]);
    const std::string indent = "        ";
    std::string summary = call["description"];
    if (call["set"] == "extension") {
        summary +=
            "\n\nExtension: exported by libkvtlnk.so and the 64-bit DLL, not the 32-bit one.";
    }
    document(out, indent, "summary", summary);
    for (const json& p : call["parameters"]) {
        document(out, indent, "param", p["doc"], " name=\"" + p["name"].get<std::string>() + "\"");
    }
    if (result != "void") document(out, indent, "returns", call["returns"]["doc"]);
    if (!call["remarks"].get<std::string>().empty())
        document(out, indent, "remarks", call["remarks"]);
    for (const json& see : call["see"]) {
        if (calls.count(see) != 0)
            out << indent << "/// <seealso cref=\"" << see.get<std::string>() << "\"/>\n";
    }
    const std::string ret = result == "void" ? "" : "return ";
    out << indent << "public static " << result << " " << name << "(" << declarations << ")\n"
        << indent << "{\n"
        << indent << "    switch (Abi)\n"
        << indent << "    {\n"
        << indent << "        case Abi.Windows32:\n";
    if (call["stdcall_name"].is_null()) {
        out << indent << "            throw new EntryPointNotFoundException(\"" << name
            << " is not in the 32-bit kvtlnk.dll: the extension needs the 64-bit DLL\");\n";
    } else {
        out << indent << "            " << ret << "Windows32." << name << "(" << arguments << ");\n"
            << (ret.empty() ? indent + "            return;\n" : "");
    }
    out << indent << "        case Abi.Windows64:\n"
        << indent << "            " << ret << "Windows64." << name << "(" << arguments << ");\n"
        << (ret.empty() ? indent + "            return;\n" : "") << indent << "        default:\n"
        << indent << "            " << ret << "Posix." << name << "(" << arguments << ");\n"
        << (ret.empty() ? indent + "            return;\n" : "") << indent << "    }\n"
        << indent << "}\n\n";
}

// The extern declarations of one library: its file, its calling convention and its names.
void writeImports(std::ostream& out, const json& api, const std::string& cls,
                  const std::string& library, const std::string& convention, bool decorated) {
    out << "        private static class " << cls << "\n        {\n";
    for (const json& call : api["calls"]) {
        if (decorated && call["stdcall_name"].is_null()) continue;
        std::string declarations;
        for (const json& p : call["parameters"]) {
            declarations += (declarations.empty() ? "" : ", ") + parameterOf(p).declaration;
        }
        const std::string entry = decorated ? call["stdcall_name"] : call["name"];
        out << "            [DllImport(\"" << library << "\", " << convention << "EntryPoint = \""
            << entry << "\", ExactSpelling = true)]\n"
            << "            internal static extern " << resultOf(call["returns"]["type"]) << " "
            << call["name"].get<std::string>() << "(" << declarations << ");\n";
    }
    out << "        }\n\n";
}

void writeNames(std::ostream& out, const std::string& name, const std::string& doc,
                const std::vector<std::string>& items) {
    document(out, "        ", "summary", doc);
    out << "        public static readonly IReadOnlyList<string> " << name
        << " = Array.AsReadOnly(new[] {";
    std::string line;
    for (const std::string& item : items) {
        const std::string piece = quoted(item) + ",";
        if (!line.empty() && line.size() + 1 + piece.size() > 88) {
            out << "\n            " << line;
            line.clear();
        }
        line += (line.empty() ? "" : " ") + piece;
    }
    out << "\n            " << line << "\n        });\n\n";
}

std::vector<std::string> column(const json& rows, const char* key = nullptr) {
    std::vector<std::string> out;
    for (const json& row : rows)
        out.push_back(key == nullptr ? row : row[key]);
    return out;
}

void write(std::ostream& out, const json& api) {
    out << "// <auto-generated>\n"
           "// The P/Invoke layer of kvtlnk "
        << api["version"].get<std::string>()
        << ", written by\n"
           "// bindings/dotnet/generate from api.json, the description of the C API that the "
           "build\n"
           "// writes from kvtlnk.h and kvtlnk_ext.h. Do not edit: the build writes it again and\n"
           "// stops when this copy differs.\n"
           "// </auto-generated>\n"
           "using System;\n"
           "using System.Collections.Generic;\n"
           "using System.Runtime.InteropServices;\n\n"
           "namespace Kvtlnk.Interop\n{\n";

    out << "    /// <summary>What the calls return: 0 for success, 100-105 for warnings (the call "
           "did "
           "its\n    /// work and something else changed to allow it), 2000 and above for errors."
           "</summary>\n    public enum ResultCode : uint\n    {\n";
    for (const json& code : api["result_codes"]) {
        document(out, "        ", "summary", code["text"]);
        out << "        " << pascal(code["name"]) << " = " << code["value"] << ",\n";
    }
    out << "    }\n\n";

    out << "    /// <summary>The library a process loads, and so how it is called.</summary>\n"
           "    public enum Abi\n    {\n"
           "        /// <summary>Linux and other POSIX systems: libkvtlnk.so.1.</summary>\n"
           "        Posix,\n"
           "        /// <summary>32-bit Windows: the drop-in kvtlnk.dll, stdcall with decorated "
           "names.</summary>\n        Windows32,\n"
           "        /// <summary>64-bit Windows: kvtlnk.dll.</summary>\n        Windows64,\n"
           "    }\n\n";

    std::set<std::string> calls;
    for (const json& call : api["calls"])
        calls.insert(call["name"]);
    out << "    /// <summary>The C entry points of kvtlnk.h and kvtlnk_ext.h as they are declared, "
           "with their\n    /// constants. Texts cross as zero-terminated bytes in the "
           "calibrator's character set\n    /// (<see cref=\"Kvtlnk.Charset\"/>).</summary>\n"
           "    public static class NativeMethods\n    {\n"
           "        /// <summary>The library this process calls.</summary>\n"
           "        public static readonly Abi Abi =\n"
           "            Environment.OSVersion.Platform != PlatformID.Win32NT ? Abi.Posix\n"
           "            : IntPtr.Size == 4 ? Abi.Windows32 : Abi.Windows64;\n\n";
    for (const json& constant : api["constants"]) {
        const unsigned long value = constant["value"];
        document(out, "        ", "summary", constant["doc"]);
        out << "        public const " << (value > 0x7FFFFFFFul ? "uint " : "int ")
            << constant["name"].get<std::string>() << " = " << value
            << (value > 0x7FFFFFFFul ? "u" : "") << ";\n";
    }
    out << "\n";
    for (const json& call : api["calls"])
        writeCall(out, call, calls);
    writeImports(out, api, "Windows32", "kvtlnk.dll",
                 "CallingConvention = CallingConvention.StdCall, ", true);
    writeImports(out, api, "Windows64", "kvtlnk.dll", "", false);
    writeImports(out, api, "Posix", "libkvtlnk.so.1", "", false);
    out << "        /// <summary>The text of a result code as the description of the API gives it, "
           "the "
           "library's own\n        /// (KVXmessage): for the 32-bit drop-in DLL, which lacks that "
           "call.</summary>\n"
           "        /// <param name=\"code\">a result code.</param>\n"
           "        /// <returns>what happened and what to do.</returns>\n"
           "        public static string DescribedMessage(uint code)\n        {\n"
           "            switch (code)\n            {\n";
    for (const json& code : api["result_codes"]) {
        out << "                case " << code["value"] << ": return " << quoted(code["text"])
            << ";\n";
    }
    out << "                default: return " << quoted(api["unknown_code_text"])
        << ";\n"
           "            }\n        }\n    }\n}\n\n";

    const json& tables = api["tables"];
    out << "namespace Kvtlnk\n{\n"
           "    /// <summary>The names the setup takes and reports, lowercase and exact, in the "
           "order of their\n    /// codes.</summary>\n    public static class Names\n    {\n";
    writeNames(out, "Functions", "The function names of either side.",
               column(tables["functions"], "name"));
    writeNames(out, "FunctionUnits",
               "The unit of each function's values, in the order of Functions: a unit name, or "
               "\"temperature\" or \"pressure\" for the setup's units.",
               column(tables["functions"], "unit"));
    writeNames(out, "InputFunctions", "What the calibrator measures.",
               column(tables["input_functions"]));
    writeNames(out, "OutputFunctions", "What the calibrator sources.",
               column(tables["output_functions"]));
    writeNames(out, "Thermocouples", "The thermocouples of \"tc\".",
               column(tables["thermocouples"]));
    writeNames(out, "Rtds", "The RTDs of \"2w_rtd\", \"3w_rtd\" and \"4w_rtd\".",
               column(tables["rtds"]));
    writeNames(out, "TemperatureUnits", "The temperature units.",
               column(tables["temperature_units"]));
    writeNames(out, "PressureUnits", "The pressure units.", column(tables["pressure_units"]));
    writeNames(out, "LoopPower", "The loop power settings.", column(tables["loop_power"]));
    writeNames(out, "TemperatureStandards", "The temperature standards of the sensor curves.",
               column(tables["temperature_standards"]));
    writeNames(out, "JunctionModes", "The reference-junction modes.",
               column(tables["junction_modes"]));
    writeNames(out, "Units", "The unit names.", column(tables["units"], "name"));
    writeNames(out, "UnitSymbols",
               "The symbol the display shows after a value, in the order of Units.",
               column(tables["units"], "symbol"));
    out << "    }\n\n    public static partial class Charset\n    {\n"
           "        // The display's own glyphs, each as its byte and its character; the first row "
           "of "
           "a byte\n        // is the character it reads as.\n"
           "        private static readonly byte[] GlyphBytes = {";
    std::string bytes, chars;
    for (const json& glyph : tables["glyphs"]) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%02X", glyph["byte"].get<unsigned>());
        bytes += (bytes.empty() ? "" : ", ") + std::string(text);
        std::snprintf(text, sizeof text, "'\\u%04X'", glyph["code_point"].get<unsigned>());
        chars += (chars.empty() ? "" : ", ") + std::string(text);
    }
    out << bytes << "};\n        private static readonly char[] GlyphChars = {" << chars
        << "};\n    }\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kvtlnk_dotnet_native API_JSON OUT\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    json api;
    try {
        api = json::parse(in);
    } catch (const json::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary);
    write(out, api);
    out.close();
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
