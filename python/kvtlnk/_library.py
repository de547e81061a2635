"""Finding and loading the kvtlnk C library, the prototypes of its calls, and result codes."""
import ctypes
import ctypes.util
import numbers
import operator
import os
import pathlib

from ._header import BUFFER_SIZES, EXTENSION, PROTOTYPES, TEXTS, UNKNOWN_TEXT
from .errors import ArgumentError, LibraryNotFoundError, error_class

_PACKAGE = pathlib.Path(__file__).resolve().parent
_BUILD_TREE = _PACKAGE.parents[1]  # build/, when this is the package the build made
_BUILT_HERE = (_BUILD_TREE / "CMakeCache.txt").exists()
_NAMES = ("kvtlnk.dll",) if os.name == "nt" else ("libkvtlnk.so.1", "libkvtlnk.so")
_WHOLE = {ctypes.c_int32: (-2**31, 2**31 - 1, "int32_t"),
          ctypes.c_uint32: (0, 2**32 - 1, "uint32_t")}
_loaded = None
_loaded_from = None


def _files_in(folder):
    return [str(folder / name) for name in _NAMES if (folder / name).exists()]


def library_path():
    """Where the library is loaded from, or would be: the file named by ``KVTLNK_LIBRARY``;
    else the package's own folder; else what the system's library path holds
    (``ctypes.util.find_library``); else the build tree the package was made in. None when
    none holds it."""
    if _loaded_from is not None:
        return _loaded_from
    named = os.environ.get("KVTLNK_LIBRARY")
    if named:
        return named
    found = [*_files_in(_PACKAGE), ctypes.util.find_library("kvtlnk"),
             *(_files_in(_BUILD_TREE) if _BUILT_HERE else [])]
    return next((path for path in found if path), None)


def bind(handle):
    """Sets the prototype of every call of the headers on a loaded library; raises
    LibraryNotFoundError when the library lacks one of kvtlnk.h (it is not the library this
    package was built with). The extension's calls are bound where the library has them (the
    32-bit drop-in DLL has none)."""
    missing = [name for name in PROTOTYPES
               if name not in EXTENSION and not hasattr(handle, name)]
    if missing:
        raise LibraryNotFoundError(
            None, "kvtlnk", "%s lacks %s: not the kvtlnk library this package was built with; "
            "set KVTLNK_LIBRARY to the path of that library"
            % (getattr(handle, "_name", handle), ", ".join(missing)))
    for name, (restype, argtypes, _) in PROTOTYPES.items():
        if not hasattr(handle, name):
            continue
        function = getattr(handle, name)
        function.restype, function.argtypes = restype, argtypes
    return handle


def lib():
    """The loaded library, with the prototypes of its calls set (loaded on first use)."""
    global _loaded, _loaded_from
    if _loaded is None:
        path = library_path()
        if path is None:
            raise LibraryNotFoundError(
                None, "kvtlnk", "the kvtlnk library is neither in %s nor on the system's library "
                "path%s: install it (cmake --install) where the system's loader finds it, or set "
                "KVTLNK_LIBRARY to its path"
                % (_PACKAGE, " nor in the build tree " + str(_BUILD_TREE) if _BUILT_HERE else ""))
        loader = ctypes.WinDLL if os.name == "nt" else ctypes.CDLL  # stdcall on 32-bit Windows
        try:
            handle = loader(path)
        except OSError as error:
            raise LibraryNotFoundError(
                None, "kvtlnk", "cannot load the kvtlnk library %s (%s); set KVTLNK_LIBRARY to "
                "the path of a library that loads" % (path, error)) from None
        _loaded, _loaded_from = bind(handle), path
    return _loaded


def message(code):
    """The library's text for a result code: what happened and what to do (KVXmessage; the
    description's text where the library lacks the extension)."""
    handle = lib()
    if hasattr(handle, "KVXmessage"):
        return handle.KVXmessage(code & 0xFFFFFFFF).decode("ascii")
    return TEXTS.get(code, UNKNOWN_TEXT)


def buffer(call, parameter):
    """A buffer of the size the headers give for a call's text output."""
    return ctypes.create_string_buffer(BUFFER_SIZES[(call, parameter)])


def f32(value):
    """A float the library gave as single precision, as the number the calibrator shows (the
    shortest decimal of 7 significant digits: 0.113 rather than 0.11299999803304672)."""
    return float("%.7g" % value)


def refuse(call, text):
    """Raises ArgumentError for an argument the package does not pass on."""
    raise ArgumentError(None, call, text)


def refuse_zero_byte(call, parameter, text):
    """Refuses a text (str or bytes) with a zero byte, which would end it there in C."""
    if ("\0" if isinstance(text, str) else b"\0") in text:
        shown = text if isinstance(text, str) else text.decode("latin-1")
        refuse(call, "%s=%r holds a zero byte, which would end it there" % (parameter, shown))


def _check(call, parameter, ctype, value):
    """Refuses what ctypes would change on the way: a whole number outside its C type (which
    would wrap), a text with a zero byte (which would end it there), a value of another type."""
    if ctype in _WHOLE:
        low, high, name = _WHOLE[ctype]
        try:
            number = operator.index(value)
        except TypeError:
            refuse(call, "%s=%r is not a whole number" % (parameter, value))
        if not low <= number <= high:
            refuse(call, "%s=%d does not fit %s (%d to %d)" % (parameter, number, name, low, high))
    elif ctype is ctypes.c_float and not isinstance(value, numbers.Real):
        refuse(call, "%s=%r is not a number" % (parameter, value))
    elif ctype is ctypes.c_char_p and isinstance(value, bytes):
        refuse_zero_byte(call, parameter, value)


def call(name, *args):
    """Checks the arguments against the call's C types, calls the library and checks its
    result: an error raises the family's KvtlnkError; the code (0, or a warning 100-105) is
    returned, or what a call without a result code returns."""
    function = getattr(lib(), name)
    restype, argtypes, parameters = PROTOTYPES[name]
    for value, ctype, parameter in zip(args, argtypes, parameters):
        _check(name, parameter, ctype, value)
    code = function(*args)
    if restype is ctypes.c_uint32 and code >= 2000:
        raise error_class(code)(code, name, message(code))
    return code
