"""Finding and loading the kvtlnk C library, the prototypes of its calls, and result codes."""
import ctypes
import ctypes.util
import os
import pathlib

from ._header import PROTOTYPES, TEXTS, UNKNOWN_TEXT
from .errors import error_class

_BUILD_TREE = pathlib.Path(__file__).resolve().parents[2]
_NAMES = ("kvtlnk.dll",) if os.name == "nt" else ("libkvtlnk.so.1", "libkvtlnk.so")
_loaded = None


def library_path():
    """Where the library is found: the file named by ``KVTLNK_LIBRARY``; else the build tree
    this package was made in (``build/``); else the name the system's loader resolves."""
    named = os.environ.get("KVTLNK_LIBRARY")
    if named:
        return named
    for name in _NAMES:
        built = _BUILD_TREE / name
        if built.exists():
            return str(built)
    return ctypes.util.find_library("kvtlnk") or _NAMES[0]


def bind(handle):
    """Sets the prototype of every call of the header on a loaded library; raises OSError when
    the library lacks one (it is not the library this package was built with)."""
    missing = [name for name in PROTOTYPES if not hasattr(handle, name)]
    if missing:
        raise OSError("%s lacks %s: not the kvtlnk library this package was built with"
                      % (getattr(handle, "_name", handle), ", ".join(missing)))
    for name, (restype, argtypes) in PROTOTYPES.items():
        function = getattr(handle, name)
        function.restype, function.argtypes = restype, argtypes
    return handle


def lib():
    """The loaded library, with the prototypes of its calls set (loaded on first use)."""
    global _loaded
    if _loaded is None:
        loader = ctypes.WinDLL if os.name == "nt" else ctypes.CDLL  # stdcall on 32-bit Windows
        _loaded = bind(loader(library_path()))
    return _loaded


def message(code):
    """The library's text for a result code: what happened and what to do."""
    return TEXTS.get(code, UNKNOWN_TEXT)


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
