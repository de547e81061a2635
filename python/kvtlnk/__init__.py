"""kvtlnk: Python access to the kvtlnk library for the K27 process calibrator.

The package drives the C library through ctypes and needs nothing but the standard library.
It finds the library through ``KVTLNK_LIBRARY`` (a path); else in its own folder; else on the
system's library path (``ctypes.util.find_library``); else in the build tree it was made in
(``build/libkvtlnk.so`` beside ``build/python``). Without one, the first call raises
:class:`LibraryNotFoundError`.

- :class:`Calibrator`: the session with a calibrator on a serial port (identify, memory
  statistics, download, upload, clear, backup). Download and clear refuse to lose the
  calibrator's results: give them ``backup=PATH`` or ``discard_results=True``.
- :class:`Image`: the library's memory image: build procedures, read both memories back.
- :class:`Setup`: the calibrator's setup: set it with names and values, read its readings and
  display strings, save it for a test.

The library holds one session, one image and one setup per process, and takes no lock: use it
from one thread at a time. Errors raise :class:`KvtlnkError` (a subclass per family) with the
result code and its text; warnings (100-105) are returned by the setters, and
:meth:`Setup.save_new` raises :class:`SettingChangedError` when one undoes a setting it was
given. Arguments that do not fit the library's C types raise :class:`ArgumentError` before
the call; a name the library does not know raises it with the names it takes
(:mod:`kvtlnk.names`). Texts from the calibrator are decoded from its character set (Latin-1
with its own glyphs, see :mod:`kvtlnk.charset`), so Ω, ° and ₂ come back as those characters.

Example::

    import kvtlnk
    with kvtlnk.Calibrator("/dev/ttyUSB0") as k27:
        print(k27.identify())
"""
from ._library import library_path, message
from .calibrator import Calibrator, Identity, MemoryStats
from . import names
from .charset import decode, encode
from .errors import (ArgumentError, BackupError, ImageError, KvtlnkError, LibraryNotFoundError,
                     NotAcceptedError, ResultsWouldBeLostError, SessionError, SessionInUseError,
                     SettingChangedError, SetupError)
from .image import (CalResult, DirEntry, Image, Prompt, PromptDefinition, Record, Strategy,
                    TaskEnd, TaskStart, Template, TestPoint)
from .setup_state import Log, Reading, Setup, SetupView, SetupWarning, Source, Transfer

__version__ = "1.1.0"


def version():
    """The C library's version text, e.g. ``"1.1"``."""
    import ctypes
    from . import _header, _library
    buffer = ctypes.create_string_buffer(_header.VERSION_SIZE)
    _library.call("KVTversion", buffer)
    return buffer.value.decode("ascii")


def set_version(model, firmware):
    """Accepts a calibrator by model and firmware version as opening a session does
    (KVTsetVersion), for building an image without a session: early firmware ("V1.0", "V1.1",
    "V1.2") cannot run setups for the thermocouples "tc_l" and "tc_u" or the RTDs from
    "rtd_pt200_385" on. Raises NotAcceptedError (2005) for a model that is not a K27; until
    another is accepted, no setup can be saved."""
    from . import _library
    _library.call("KVTsetVersion", encode(model), encode(firmware))


__all__ = ["ArgumentError", "BackupError", "CalResult", "Calibrator", "DirEntry", "Identity",
           "Image", "ImageError", "KvtlnkError", "LibraryNotFoundError", "Log", "MemoryStats",
           "NotAcceptedError", "Prompt", "PromptDefinition", "Reading", "Record",
           "ResultsWouldBeLostError", "SessionError", "SessionInUseError", "SettingChangedError",
           "Setup", "SetupError", "SetupView", "SetupWarning", "Source", "Strategy", "TaskEnd",
           "TaskStart", "Template", "TestPoint", "Transfer", "decode", "encode", "library_path",
           "message", "names", "set_version", "version"]
