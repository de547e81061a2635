"""Finding and loading the kvtlnk C library, the prototypes of its calls, and result codes."""
import ctypes
import ctypes.util
import os
import pathlib
import re
from ctypes import POINTER, c_char_p, c_float, c_int32, c_uint32, c_void_p

from .errors import error_class

_U, _I, _F = POINTER(c_uint32), POINTER(c_int32), POINTER(c_float)
_TEXT = [c_char_p]

# Every call of the library: result type and argument types.
PROTOTYPES = {
    "KVTversion": (None, _TEXT),
    "KVTsetVersion": (c_uint32, [c_char_p, c_char_p]),
    "KVTopen": (c_uint32, [c_int32, c_char_p, c_uint32, c_int32]),
    "KVTclose": (c_uint32, []),
    "KVTgetK2x": (c_uint32, [c_char_p, c_char_p, c_char_p, _U, _U, _U]),
    "KVTmemstats": (c_uint32, [_U, _U]),
    "KVTdnlStart": (c_uint32, [_U]),
    "KVTdnlStep": (c_uint32, [_U]),
    "KVTclear": (c_uint32, []),
    "KVTuplStart": (c_uint32, [_U]),
    "KVTuplStep": (c_uint32, [_U]),
    "MEMclear": (None, []),
    "MEMstrategyDefn": (c_uint32, [_U, c_char_p, c_int32, _F]),
    "MEMcheckPromptDefn": (c_uint32, [c_char_p, _U]),
    "MEMpromptDefn": (c_uint32, [c_char_p, c_char_p]),
    "MEMstartTask": (c_uint32, _TEXT),
    "MEMprompt": (c_uint32, _TEXT),
    "MEMtemplate": (c_uint32, [c_uint32, c_uint32, c_char_p, c_char_p, c_uint32]),
    "MEMendTask": (c_uint32, []),
    "MEMused": (None, [_U]),
    "MEMstats": (None, [_U, _U]),
    "MEMpDir": (c_uint32, [c_int32] + [_U] * 7),
    "MEMrDir": (c_uint32, [c_int32] + [_U] * 7),
    "MEMtaskInfo": (c_uint32, [c_int32, c_char_p, _U]),
    "MEMstrategyInfo": (c_uint32, [c_int32, c_char_p, _I, c_int32, _F]),
    "MEMtemplateInfo": (c_uint32, [c_int32, _U, _U, c_char_p, c_char_p]),
    "MEMtemplateState": (c_uint32, [c_int32]),
    "MEMpromptInfo": (c_uint32, [c_int32, c_char_p]),
    "MEMpromptDefnInfo": (c_uint32, [c_int32, c_char_p, _U, c_int32, c_char_p]),
    "MEMdump": (None, _TEXT),
    "MEMcalResult": (c_uint32, [c_int32, _U]),
    "MEMcalResultEntry": (c_uint32, [c_int32, c_int32, _F, _U, _F, _F, _U, _F, _F]),
    "MEMbaseState": (c_uint32, [c_int32]),
    "MEMasflInfo": (c_uint32, [c_int32, _U, _U, _U]),
    "MEMtagidInfo": (c_uint32, [c_uint32, c_char_p, c_char_p, c_char_p]),
    "STAinit": (c_uint32, []),
    "STAsetInput": (c_uint32, [c_char_p, c_char_p]),
    "STAsetInputRange": (c_uint32, [c_uint32, c_float]),
    "STAsetOutput": (c_uint32, [c_char_p, c_char_p, c_float, c_float]),
    "STAsetLoopPower": (c_uint32, _TEXT),
    "STAsetTempUnits": (c_uint32, _TEXT),
    "STAsetPresUnits": (c_uint32, _TEXT),
    "STAsetTempStd": (c_uint32, _TEXT),
    "STAsetTref": (c_uint32, [c_char_p, c_float]),
    "STAsetInputScale": (c_uint32, [c_float, c_float]),
    "STAsetOutputScale": (c_uint32, [c_float, c_float]),
    "STAsetTestTolerance": (c_uint32, [c_float]),
    "STAsave": (c_uint32, [_I]),
    "STArestore": (c_uint32, [c_int32]),
    "STAgetInput": (c_uint32, [c_char_p, c_char_p, _U, _U, _F, _F]),
    "STAgetOutput": (c_uint32, [c_char_p, c_char_p, _U, _U, _F, _F]),
    "STAgetMinMax": (c_uint32, [_F, _F]),
    "STAgetInputString": (c_uint32, [c_char_p, c_char_p]),
    "STAgetOutputString": (c_uint32, [c_char_p, c_char_p]),
    "STAgetMinMaxString": (c_uint32, [c_char_p, c_char_p]),
    "STAgetInputRange": (None, [_U, _F]),
    "STAgetLoopPower": (None, _TEXT),
    "STAgetScaled": (None, [_U, _F, _F, _U, _F, _F]),
    "STAgetInputScale": (None, [_F, _F]),
    "STAgetOutputScale": (None, [_F, _F]),
    "STAgetTestTolerance": (None, [_F]),
    "STAgetPressure": (None, [c_char_p, c_char_p, _U]),
    "STAgetTempUnits": (c_void_p, _TEXT),
    "STAgetPresUnits": (c_void_p, _TEXT),
    "STAgetTempStd": (c_void_p, _TEXT),
    "STAgetTref": (c_void_p, [c_char_p, _F]),
    "STAgetLogData": (c_uint32, [_U, _U, _U]),
    "STAgetLogStart": (c_uint32, [_U] * 6),
    "STAgetLogMinMax": (c_uint32, [_F, _F]),
    "STAgetLoggedData": (c_uint32, [c_uint32, _U, _F]),
}

_SOURCE_ROOT = pathlib.Path(__file__).resolve().parents[2]
_NAMES = ("kvtlnk.dll",) if os.name == "nt" else ("libkvtlnk.so.1", "libkvtlnk.so")
_loaded = None
_texts = None


def library_path():
    """Where the library is found: the file named by ``KVTLNK_LIBRARY``; else the build tree
    this package sits in (``build/``); else the name the system's loader resolves."""
    named = os.environ.get("KVTLNK_LIBRARY")
    if named:
        return named
    for name in _NAMES:
        built = _SOURCE_ROOT / "build" / name
        if built.exists():
            return str(built)
    return ctypes.util.find_library("kvtlnk") or _NAMES[0]


def lib():
    """The loaded library, with the prototypes of its calls set (loaded on first use)."""
    global _loaded
    if _loaded is None:
        loader = ctypes.WinDLL if os.name == "nt" else ctypes.CDLL  # stdcall on 32-bit Windows
        handle = loader(library_path())
        for name, (restype, argtypes) in PROTOTYPES.items():
            function = getattr(handle, name, None)
            if function is not None:
                function.restype, function.argtypes = restype, argtypes
        _loaded = handle
    return _loaded


def _header_dirs():
    """Where the public headers may lie: next to the source tree, or the installed library."""
    dirs = [pathlib.Path(os.environ["KVTLNK_INCLUDE"])] if "KVTLNK_INCLUDE" in os.environ else []
    dirs.append(_SOURCE_ROOT / "include")
    loaded = pathlib.Path(getattr(_loaded, "_name", "") or "").resolve().parent
    dirs += [loaded.parent / "include", loaded.parent.parent / "include",
             pathlib.Path("/usr/local/include"), pathlib.Path("/usr/include")]
    return dirs


def texts():
    """{code: text}: the texts of kvtlnkMessage(), read from the installed kvtlnk_messages.h,
    which holds them for C and Python alike. Empty when no header is found."""
    global _texts
    if _texts is None:
        _texts = {}
        for directory in _header_dirs():
            header = directory / "kvtlnk" / "kvtlnk.h"
            messages = directory / "kvtlnk" / "kvtlnk_messages.h"
            if header.exists() and messages.exists():
                values = dict(re.findall(r"#define (KVTLNK_[A-Z0-9_]+) (\d+)u", header.read_text()))
                for name, body in re.findall(r"case (KVTLNK_[A-Z0-9_]+):\s*return ((?:\s*\"[^\"]*\")+);",
                                             messages.read_text()):
                    _texts[int(values[name])] = "".join(re.findall(r"\"([^\"]*)\"", body))
                break
    return _texts


def message(code):
    """The library's text for a result code: what happened and what to do."""
    return texts().get(code, "result code %d (install the kvtlnk headers for its text)" % code)


def f32(value):
    """A float the library gave as single precision, as the number the calibrator shows (the
    shortest decimal of 7 significant digits: 0.113 rather than 0.11299999803304672)."""
    return float("%.7g" % value)


def call(name, *args):
    """Calls the library and checks its result: an error raises the family's KvtlnkError; the
    code (0, or a warning 100-105) is returned."""
    code = getattr(lib(), name)(*args)
    if code >= 2000:
        raise error_class(code)(code, name, message(code))
    return code
