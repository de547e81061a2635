"""The public headers as the package uses them, read from api.json, the description of the C
API that the build writes and puts beside this module: the prototype of every entry point, the
display's glyphs, the function names, the names each setter takes and the buffer sizes."""
import json
import pathlib
from ctypes import POINTER, c_char_p, c_float, c_int32, c_uint32, c_void_p

API = json.loads(pathlib.Path(__file__).with_name("api.json").read_text(encoding="utf-8"))
_VALUES = {"uint32_t": c_uint32, "int32_t": c_int32, "float": c_float}


def _ctype(spelling, result=False):
    """The ctypes type of a C type of the description. Texts and bytes pass as c_char_p; a
    returned text that is the caller's own buffer (char*) stays a pointer."""
    if spelling == "void":
        return None
    if spelling in ("char*", "uint8_t*", "const uint8_t*"):
        return c_void_p if result else c_char_p
    if spelling == "const char*":
        return c_char_p
    if spelling.endswith("*"):
        return POINTER(_VALUES[spelling.replace("const ", "")[:-1]])
    return _VALUES[spelling]


#: Every entry point: (result type, [argument types], (parameter names)).
PROTOTYPES = {call["name"]: (_ctype(call["returns"]["type"], result=True),
                             [_ctype(p["type"]) for p in call["parameters"]],
                             tuple(p["name"] for p in call["parameters"]))
              for call in API["calls"]}
#: The calls of the extension, which the 32-bit drop-in DLL does not export.
EXTENSION = frozenset(call["name"] for call in API["calls"] if call["set"] == "extension")
#: The text of every result code, as the library gives it (for a library without KVXmessage).
TEXTS = {code["value"]: code["text"] for code in API["result_codes"]}
UNKNOWN_TEXT = API["unknown_code_text"]

#: The display's own glyphs: (byte, character, what it shows), in the header's order.
GLYPHS = [(g["byte"], chr(g["code_point"]), g["shows"]) for g in API["tables"]["glyphs"]]
_TABLES = API["tables"]
#: The function names of either side, in the order of their codes.
FUNCTIONS = tuple(f["name"] for f in _TABLES["functions"])
INPUT_FUNCTIONS = tuple(_TABLES["input_functions"])
OUTPUT_FUNCTIONS = tuple(_TABLES["output_functions"])
THERMOCOUPLES = tuple(_TABLES["thermocouples"])
RTDS = tuple(_TABLES["rtds"])
TEMPERATURE_UNITS = tuple(_TABLES["temperature_units"])
PRESSURE_UNITS = tuple(_TABLES["pressure_units"])
LOOP_POWER = tuple(_TABLES["loop_power"])
TEMPERATURE_STANDARDS = tuple(_TABLES["temperature_standards"])
REFERENCE_JUNCTION_MODES = tuple(_TABLES["junction_modes"])

#: The named constants: {"KVTLNK_NAME_SIZE": 15, ...}.
CONSTANTS = {c["name"]: c["value"] for c in API["constants"]}
#: The size of every buffer a call fills whose size is a named constant:
#: {("KVTgetK2x", "model"): 128, ...}, terminator included.
BUFFER_SIZES = {(call["name"], p["name"]): CONSTANTS[p["size"]]
                for call in API["calls"] for p in call["parameters"] if p["size"] in CONSTANTS}
#: Buffer sizes, terminator included.
NAME_SIZE = CONSTANTS["KVTLNK_NAME_SIZE"]
VERSION_SIZE = CONSTANTS["KVTLNK_VERSION_SIZE"]
PRESSURE_TEXT_SIZE = CONSTANTS["KVTLNK_PRESSURE_TEXT_SIZE"]
DISPLAY_STRING_SIZE = CONSTANTS["KVTLNK_DISPLAY_STRING_SIZE"]
